#include "cli/shared_options.h"

namespace auralyn::cli {

void addProcessingOptions(CLI::App* command, std::string& smooth, std::string& smoothMode, std::string& delay,
                          const ProcessingHelp& help) {
    command->add_option("--smooth", smooth, help.smooth)->type_name("1/N");
    command->add_option("--smooth-mode", smoothMode, help.smoothMode)
        ->check(CLI::IsMember({"power", "complex", "db", "variable"}))
        ->type_name("power|complex|db|variable");
    command->add_option("--delay", delay, help.delay)->type_name("auto|reference|SECONDS");
}

void addReportFileOptions(CLI::App* command, std::string& reportPath, std::string& csvPath, std::string& jsonPath,
                          const ReportFileHelp& help) {
    command->add_option("-o,--output", reportPath, "write the report in echoprobe's format")
        ->type_name("REPORT.txt")
        ->default_str(help.reportDefault);
    command->add_option("--csv", csvPath, help.csv)->type_name("FILE")->default_str("none");
    command->add_option("--json", jsonPath, help.json)->type_name("FILE")->default_str("none");
}

}  // namespace auralyn::cli
