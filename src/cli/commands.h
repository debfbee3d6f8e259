#pragma once

#include <memory>
#include <string>
#include <utility>

#include <CLI/CLI.hpp>

#include "cli/exit_codes.h"

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

// The usual shape of a subcommand: `bindOptions` binds its options to a request
// the command owns (shared with the callback, which outlives this call), and once
// the command line is parsed `run(request)` carries it out and gives the exit status.
template <typename Request, typename Run>
CLI::App* addRequestCommand(CLI::App& parent, int& exitCode, std::string name, std::string description,
                            void (*bindOptions)(CLI::App*, Request&), Run run) {
    CLI::App* command = parent.add_subcommand(std::move(name), std::move(description));
    auto request = std::make_shared<Request>();
    bindOptions(command, *request);
    command->callback([request, run, &exitCode] { exitCode = run(*request); });
    return command;
}

}  // namespace auralyn::cli
