// mirelo-updater-cli: the updater's command-line tool. Each subcommand lives in
// its own CCommand class; adding one is one line in makeCommands().

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <vector>

#include "Command.h"
#include "InspectCommand.h"
#include "ListCommand.h"
#include "PackCommand.h"
#include "SendCommand.h"

namespace {

std::vector<std::unique_ptr<CCommand>> makeCommands()
{
    std::vector<std::unique_ptr<CCommand>> commands;
    commands.push_back(std::make_unique<CInspectCommand>());
    commands.push_back(std::make_unique<CPackCommand>());
    commands.push_back(std::make_unique<CSendCommand>());
    commands.push_back(std::make_unique<CListCommand>());
    return commands;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"mirelo updater: sends firmware stored in a Standard MIDI File to a MIDI instrument",
                 "mirelo-updater-cli"};
    app.set_version_flag("--version", std::string("mirelo-updater-cli ") + MIRELO_VERSION);
    app.require_subcommand(1);

    std::vector<std::unique_ptr<CCommand>> commands = makeCommands();
    std::vector<CLI::App*> subcommands;
    for (const auto& command : commands) {
        subcommands.push_back(command->attach(app));
    }

    CLI11_PARSE(app, argc, argv);

    for (size_t i = 0; i < commands.size(); ++i) {
        if (subcommands[i]->parsed()) {
            return commands[i]->run(std::cout, std::cerr);
        }
    }
    return 1;
}
