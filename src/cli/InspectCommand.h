#pragma once
// `inspect [FILE]`: what an update file holds (by default the bundled one,
// the file `send` sends), as the SMF library reads it.
// A short summary by default; with --events one JSON line per event; with
// --schedule the SysEx messages as the transfer would send them.

#include <cstdint>
#include <string>
#include <vector>

#include "cli/Command.h"

class CSMF;

class CInspectCommand : public CCommand {
public:
    CLI::App* attach(CLI::App& inApp) override;
    int run(std::ostream& out, std::ostream& err) override;

private:
    void printSummary(const CSMF& inSmf, std::ostream& out) const;
    void printEvents(const CSMF& inSmf, std::ostream& out) const;
    int printSchedule(std::ostream& out, std::ostream& err) const;

    std::string m_path;
    bool m_events = false;
    bool m_schedule = false;
};
