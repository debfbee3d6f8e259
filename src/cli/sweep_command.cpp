#include "cli/commands.h"

namespace auralyn::cli {

void addSweepCommand(CLI::App& app, int& exitCode) {
    CLI::App* command = app.add_subcommand("sweep", "(not built yet)");
    command->callback([&exitCode] { exitCode = kExitFailure; });
}

}  // namespace auralyn::cli
