#pragma once
// One subcommand of mirelo-updater-cli. main() attaches every command to the
// application, lets CLI11 parse, and runs the one that was chosen.

#include <CLI/CLI.hpp>

#include <ostream>

class CCommand {
public:
    virtual ~CCommand() = default;

    // Adds the subcommand with its options to inApp and returns it.
    virtual CLI::App* attach(CLI::App& inApp) = 0;
    // Runs after a successful parse; the result is the process exit status.
    virtual int run(std::ostream& out, std::ostream& err) = 0;
    // Whether output that could not be written makes the command fail. Not
    // for a transfer: whether the update went out decides its status, and a
    // closed pipe must not stop it half-way.
    virtual bool outputIsTheResult() const { return true; }
};
