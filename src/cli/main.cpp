// auralyn: one command line for the whole kit.
#include <cstdio>
#include <memory>
#include <string>

#include "cli/audio_commands.h"
#include "cli/commands.h"
#include "platform/memory_advice.h"
#include "platform/product.h"

namespace {

using namespace auralyn::cli;

// The subcommand whose options were being read when the parse failed, for the hint.
std::string commandInProgress(CLI::App& app) {
    for (CLI::App* command : app.get_subcommands()) return command->get_name();
    return {};
}

// `auralyn help [CMD]`: the usage of the program or of one command.
void addHelpCommand(CLI::App& app, int& exitCode) {
    CLI::App* help = app.add_subcommand("help", "Show the usage of auralyn or of one command");
    auto name = std::make_shared<std::string>();
    help->add_option("COMMAND", *name, "the command to explain");
    help->callback([&app, name, &exitCode] {
        if (name->empty()) {
            std::fputs(app.help().c_str(), stdout);
            exitCode = kExitSuccess;
            return;
        }
        for (CLI::App* command : app.get_subcommands({})) {
            if (command->get_name() != *name) continue;
            std::fputs(command->help("auralyn").c_str(), stdout);
            exitCode = kExitSuccess;
            return;
        }
        std::fprintf(stderr, "auralyn: help: no command '%s'\nTry 'auralyn --help'.\n", name->c_str());
        exitCode = kExitUsage;
    });
}

int reportParseError(CLI::App& app, const CLI::ParseError& error) {
    const std::string command = commandInProgress(app);
    std::fprintf(stderr, "auralyn: %s%s\nTry 'auralyn %s--help'.\n", command.empty() ? "" : (command + ": ").c_str(),
                 error.what(), command.empty() ? "" : (command + " ").c_str());
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    auralyn::platform::keepFreedMemory();
    CLI::App app{"Auralyn measures the frequency response of audio devices with a stepped-sine sweep.", "auralyn"};
    app.set_version_flag("--version", std::string("auralyn (") + auralyn::platform::kProductName + ") " +
                                          auralyn::platform::kProductVersion);
    app.require_subcommand(1);
    app.footer(
        "Exit status: 0 success, 1 a failed run (bad file, failed measurement, write failure), 2 a bad command "
        "line.\nRun 'auralyn help COMMAND' or 'auralyn COMMAND --help' for a command's options.");
    int exitCode = kExitSuccess;
    addSweepCommand(app, exitCode);
    addAnalyzeCommand(app, exitCode);
    addPlotCommand(app, exitCode);
    addProcessCommand(app, exitCode);
    addSimulateCommand(app, exitCode);
    addImpedanceCommand(app, exitCode);
    addTsCommand(app, exitCode);
    addDevicesCommand(app, exitCode);
    addMeasureCommand(app, exitCode);
#ifdef AURALYN_HAVE_CALIBRATION
    addCalibrateCommand(app, exitCode);
#endif
    addHelpCommand(app, exitCode);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForVersion& version) {
        return app.exit(version);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) return app.exit(error);
        return reportParseError(app, error);
    }
    return exitCode;
}
