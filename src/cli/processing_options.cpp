#include "cli/processing_options.h"

namespace auralyn::cli {

void addProcessingOptions(CLI::App* command, std::string& smooth, std::string& smoothMode, std::string& delay,
                          const ProcessingHelp& help) {
    command->add_option("--smooth", smooth, help.smooth)->type_name("1/N");
    command->add_option("--smooth-mode", smoothMode, help.smoothMode)
        ->check(CLI::IsMember({"power", "complex", "db", "variable"}))
        ->type_name("power|complex|db|variable");
    command->add_option("--delay", delay, help.delay)->type_name("auto|reference|SECONDS");
}

}  // namespace auralyn::cli
