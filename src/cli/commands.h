#pragma once

#include <CLI/CLI.hpp>

namespace auralyn::cli {

// Each subcommand adds itself to the application. Its options are bound to
// state the subcommand owns; once the command line is parsed, its callback
// runs the command and stores the exit status in `exitCode`:
// 0 success, 1 a failed run, 2 a bad command line.
void addSweepCommand(CLI::App& app, int& exitCode);
void addAnalyzeCommand(CLI::App& app, int& exitCode);
void addPlotCommand(CLI::App& app, int& exitCode);
void addSimulateCommand(CLI::App& app, int& exitCode);
void addImpedanceCommand(CLI::App& app, int& exitCode);
void addTsCommand(CLI::App& app, int& exitCode);
// `auralyn calibrate input|output|show` (builds with the calibration library).
void addCalibrateCommand(CLI::App& app, int& exitCode);
void addProcessCommand(CLI::App& app, int& exitCode);

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

}  // namespace auralyn::cli
