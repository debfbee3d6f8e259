#include "cli/commands.h"

namespace auralyn::cli {

void addPlotCommand(CLI::App& app, int& exitCode) {
    CLI::App* command = app.add_subcommand("plot", "(not built yet)");
    command->callback([&exitCode] { exitCode = kExitFailure; });
}

}  // namespace auralyn::cli
