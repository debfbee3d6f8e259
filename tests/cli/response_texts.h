#pragma once

// Responses written as auralyn analyze writes them, for the end-to-end tests
// of process and plot, and the columns of what they write back.

#include <complex>
#include <functional>
#include <string>
#include <vector>

#include "program_runs.h"

namespace auralyn::test {

inline constexpr double kPi = 3.14159265358979323846;

// Tones at `perOctave` to the octave through 1 kHz, from `low` to `high`.
std::vector<double> logTones(int perOctave, double low = 20.0, double high = 20000.0);

// A CSV file in analyze's layout of the system h, phases unwrapped.
std::string csvOf(const std::vector<double>& tones, const std::function<std::complex<double>(double)>& h);

// The same as analyze's JSON, with a sample rate.
std::string jsonOf(const std::string& csv, double rate);

void writeText(const TempDir& dir, const std::string& name, const std::string& text);

std::vector<std::string> lines(const std::string& text);

// Column `name` of a CSV text, as numbers (NaN for an empty field).
std::vector<double> csvColumn(const std::string& text, const std::string& name);

}  // namespace auralyn::test
