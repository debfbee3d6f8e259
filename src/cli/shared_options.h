#pragma once

#include <string>

#include <CLI/CLI.hpp>

// Options that several commands take alike. Each command words their help for
// its own use; their names, the values they take and what --help shows for
// those values are the same everywhere.
namespace auralyn::cli {

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

struct ReportFileHelp {
    const char* reportDefault;  // where the report goes when no output is asked for
    const char* csv;
    const char* json;
};

// -o,--output REPORT.txt (echoprobe's report), --csv FILE and --json FILE:
// the files of a measurement, written only when asked (but see reportDefault).
void addReportFileOptions(CLI::App* command, std::string& reportPath, std::string& csvPath, std::string& jsonPath,
                          const ReportFileHelp& help);

// An option whose --help names its value and says what holds when it is not
// given (a default, or "none").
template <typename Value>
CLI::Option* addShownOption(CLI::App* command, const std::string& name, Value& value, const std::string& help,
                            const std::string& valueName, const std::string& whenNotGiven) {
    return command->add_option(name, value, help)->type_name(valueName)->default_str(whenNotGiven);
}

}  // namespace auralyn::cli
