#pragma once

// Only pointers and references to CLI11's types here: the files that add
// options include CLI11 itself, the others are spared compiling it.
namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace auralyn::cli {

// `auralyn devices`: the sound devices with their names, channel counts and rates.
void addDevicesCommand(CLI::App& app, int& exitCode);

// `auralyn measure`: play the sweep, record the input, analyse the recording.
void addMeasureCommand(CLI::App& app, int& exitCode);

}  // namespace auralyn::cli
