// auralyn: one command line for the whole kit.
#include <cstdio>

#include "cli/commands.h"
#include "platform/product.h"

int main(int argc, char** argv) {
    using namespace auralyn::cli;
    CLI::App app{"Auralyn measures the frequency response of audio devices with a stepped-sine sweep.", "auralyn"};
    app.set_version_flag("--version", std::string("auralyn (") + auralyn::kProductName + ") " +
                                          auralyn::kProductVersion);
    app.require_subcommand(1);
    int exitCode = kExitSuccess;
    addSweepCommand(app, exitCode);
    addAnalyzeCommand(app, exitCode);
    addPlotCommand(app, exitCode);
    addSimulateCommand(app, exitCode);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error);
    }
    return exitCode;
}
