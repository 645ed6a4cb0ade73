// mirelo-updater-cli: the updater's command-line tool. Each subcommand lives in
// its own CCommand class; adding one is one line in makeCommands().

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/ExitStatus.h"
#include "cli/HelpFormatter.h"
#include "cli/HistoryCommand.h"
#include "cli/IdentifyCommand.h"
#include "cli/InspectCommand.h"
#include "cli/ListCommand.h"
#include "cli/PackCommand.h"
#include "cli/SendCommand.h"

namespace {

std::vector<std::unique_ptr<CCommand>> makeCommands()
{
    std::vector<std::unique_ptr<CCommand>> commands;
    commands.push_back(std::make_unique<CInspectCommand>());
    commands.push_back(std::make_unique<CPackCommand>());
    commands.push_back(std::make_unique<CSendCommand>());
    commands.push_back(std::make_unique<CListCommand>());
    commands.push_back(std::make_unique<CIdentifyCommand>());
    commands.push_back(std::make_unique<CHistoryCommand>());
    return commands;
}

int runTool(int argc, char** argv)
{
    // A reader that goes away (`| head`) gives failed writes, never a signal
    // that would end a transfer between two messages.
    std::signal(SIGPIPE, SIG_IGN);
    // Likewise a file-size limit: a capture that cannot grow fails its write
    // and the run says so, rather than the process dying between messages.
    std::signal(SIGXFSZ, SIG_IGN);

    CLI::App app{"mirelo updater: sends firmware stored in a Standard MIDI File to a MIDI instrument",
                 "mirelo-updater-cli"};
    app.set_version_flag("--version", std::string("mirelo-updater-cli ") + MIRELO_VERSION);
    app.require_subcommand(1);
    // Before the commands are attached: each takes its formatter from here.
    app.formatter(std::make_shared<CHelpFormatter>());
    // The manual page is made from this text: its "Exit status:" and
    // "Environment:" blocks become the page's sections of those names.
    app.footer("Exit status:\n"
               "  0  success\n"
               "  1  the job failed part-way: a send failed, or an output (a file, standard output) could not be "
               "written\n"
               "  2  usage error, or a refused input file\n"
               "  3  no MIDI system, no destination, or (send without --to) no single hardware destination\n"
               "  4  identify: the instrument did not answer, or has no input to answer on\n"
               "  5  send: every message was sent, but the instrument still reports another firmware version "
               "than the one the update carries: the update did not take\n"
               "  129, 130, 143  send was interrupted by SIGHUP, SIGINT or SIGTERM after the message in flight\n"
               "\n"
               "Environment:\n"
               "  MIRELO_MIDI_BACKEND  alsa (the default: the ALSA sequencer) or virtual (in-process, no "
               "hardware: only the capture destination of send --capture)\n"
               "  MIRELO_RESOURCES     the folder of the bundled update file \"mirelo updater.dat\" and the "
               "error string tables (default: ../share/mirelo-updater from the program's folder)\n"
               "  MIRELO_ALSA_DEBUG    when set, libasound's own error lines are printed too\n"
               "  XDG_STATE_HOME  the record of updates is $XDG_STATE_HOME/mirelo-updater/runs.jsonl (default "
               "~/.local/state/mirelo-updater/runs.jsonl)\n"
               "\n"
               "Without MIDI hardware: mirelo-updater-cli send --capture OUT.syx");

    std::vector<std::unique_ptr<CCommand>> commands = makeCommands();
    std::vector<CLI::App*> subcommands;
    subcommands.reserve(commands.size());
    for (const auto& command : commands) {
        subcommands.push_back(command->attach(app));
    }

    // A word that names no command would otherwise be reported as a missing
    // one; say which word it was and what the commands are.
    const auto isCommand = [&subcommands](const std::string& word) {
        return std::any_of(subcommands.begin(), subcommands.end(),
                           [&word](CLI::App* sub) { return sub->check_name(word); });
    };
    if (argc > 1 && argv[1][0] != '-' && !isCommand(argv[1])) {
        std::string names;
        for (const CLI::App* sub : subcommands) {
            names += (names.empty() ? "" : ", ") + sub->get_name();
        }
        std::cerr << "mirelo-updater-cli: \"" << argv[1] << "\" is not a command; the commands are " << names
                  << " (mirelo-updater-cli --help explains each)\n";
        return cli_exit::kBadInput;
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help and --version end here with 0; every usage error shares
        // status 2 with a refused input file.
        return app.exit(e) == 0 ? cli_exit::kSuccess : cli_exit::kBadInput;
    }

    for (size_t i = 0; i < commands.size(); ++i) {
        if (subcommands[i]->parsed()) {
            // The first failed write leaves its reason in errno; nothing after
            // it writes to standard output.
            errno = 0;
            const int status = commands[i]->run(std::cout, std::cerr);
            std::cout.flush();
            if (!std::cout && commands[i]->outputIsTheResult()) {
                std::cerr << "mirelo-updater-cli: cannot write to standard output ("
                          << (errno != 0 ? std::strerror(errno) : "write error") << ")\n";
                return status == cli_exit::kSuccess ? cli_exit::kFailed : status;
            }
            return status;
        }
    }
    return cli_exit::kFailed;
}

} // namespace

int main(int argc, char** argv)
{
    // An exception nobody expected (memory, a library's own) would otherwise
    // end the process with a bare abort and a status that reads as a signal.
    try {
        return runTool(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "mirelo-updater-cli: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "mirelo-updater-cli: an unknown error ended the run\n";
    }
    return cli_exit::kFailed;
}
