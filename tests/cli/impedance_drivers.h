#pragma once

// Drivers behind a sense resistor as the impedance tests know them: the
// circuit's elements from the usual figures, a sweep that reaches their
// resonances, auralyn simulate and auralyn impedance run on them, and what the
// measured impedance and parameters must hold against the truth.
#include <complex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "run_program.h"
#include "test_files.h"

namespace auralyn::test::drivers {

constexpr double kPi = 3.14159265358979323846;

// A driver as this test knows it: the circuit's elements from the usual figures.
struct Driver {
    double re, leMh, fs, qms, qes;
    double qts() const { return qms * qes / (qms + qes); }
    std::string description() const;
    std::complex<double> impedance(double f) const;
};

// 10 Hz to 7 kHz at a sixth of an octave, with room for a low resonance to
// settle; a low sampling rate keeps the files small.
constexpr double kRate = 16000.0;

// s.wav and s.swp in the folder.
void makeSweep(const TempDir& dir);

// The driver behind `rs` ohm recorded into `out` by auralyn simulate.
void simulateDriver(const TempDir& dir, const std::string& out, const Driver& d, double rs,
                    std::vector<std::string> more = {});

nlohmann::json readJson(const TempDir& dir, const std::string& name);

// auralyn impedance on `recording` into `json` and `json`.zma.
ProgramRun measureImpedance(const TempDir& dir, const std::string& recording, double rs, const std::string& json);

// |Z| within 0.5 % and the phase within 0.5 degrees at every tone, and the
// truth inside the 95 % intervals at nine tones in ten or more.
void expectImpedanceOf(const nlohmann::json& doc, const Driver& d);

// auralyn ts's parameters within a few per cent of the driver's, each with an interval.
void expectParameters(const nlohmann::json& ts, const Driver& d);

}  // namespace auralyn::test::drivers
