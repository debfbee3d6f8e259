#pragma once

// auralyn analyze run on recordings made through `auralyn simulate`, its
// outputs read back tone by tone.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "run_program.h"
#include "test_files.h"

namespace auralyn::test::simulated {

// 100 Hz to 15 kHz at a third of an octave: 22 tones, a few seconds.
inline const std::vector<std::string> kSweep{"--start", "100", "--end", "15000", "--step", "3"};
// A device with its own filtering and delay, as a loudspeaker and room give it.
inline const std::vector<std::string> kDevice{"--lowpass", "9000", "0.8", "--highpass", "150", "0.7", "--delay", "301"};

// s.wav and s.swp in the folder.
void makeSweep(const TempDir& dir, std::vector<std::string> options = kSweep);

// `in` played through the device the options describe, recorded into `out`.
void simulate(const TempDir& dir, const std::string& out, std::vector<std::string> device,
              const std::string& in = "s.wav");

struct Tone {
    double frequency = 0.0, magnitudeDb = 0.0, phaseDeg = 0.0;
    nlohmann::json row;
};

struct Analysis {
    ProgramRun run;
    nlohmann::json json;
    std::string csv;
    std::vector<Tone> tones;
};

// auralyn analyze on `recording` against s.swp, every output read back (none
// may hold a NaN or an infinity); no tones where it wrote no JSON.
Analysis analyze(const TempDir& dir, const std::string& recording, std::vector<std::string> options = {});

double wrappedDegrees(double degrees);

}  // namespace auralyn::test::simulated
