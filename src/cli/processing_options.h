#pragma once

#include <string>

#include <CLI/CLI.hpp>

namespace auralyn::cli {

// Each command words the help of the shared processing options for its own
// use; the values the options take are the same everywhere.
struct ProcessingHelp {
    const char* smooth;
    const char* smoothMode;
    const char* delay;
};

// Adds --smooth 1/N, --smooth-mode power|complex|db|variable and --delay
// auto|reference|SECONDS, kept as typed: the command judges them when it runs
// (smoothingOption, delayOption), so that plot and process refuse alike.
void addProcessingOptions(CLI::App* command, std::string& smooth, std::string& smoothMode, std::string& delay,
                          const ProcessingHelp& help);

}  // namespace auralyn::cli
