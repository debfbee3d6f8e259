#include "cli/commands.h"

namespace auralyn::cli {

void addSimulateCommand(CLI::App& app, int& exitCode) {
    CLI::App* command = app.add_subcommand("simulate", "(not built yet)");
    command->callback([&exitCode] { exitCode = kExitFailure; });
}

}  // namespace auralyn::cli
