#include "cli/commands.h"

namespace auralyn::cli {

void addAnalyzeCommand(CLI::App& app, int& exitCode) {
    CLI::App* command = app.add_subcommand("analyze", "(not built yet)");
    command->callback([&exitCode] { exitCode = kExitFailure; });
}

}  // namespace auralyn::cli
