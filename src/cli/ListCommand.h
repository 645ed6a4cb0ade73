#pragma once
// `list`: the destinations and sources of the active MIDI backend with their
// index, port type (hardware or software), display name, model and name;
// --json for one JSON line each.

#include "cli/Command.h"

class CListCommand : public CCommand {
public:
    CLI::App* attach(CLI::App& inApp) override;
    int run(std::ostream& out, std::ostream& err) override;

private:
    bool m_json = false;
};
