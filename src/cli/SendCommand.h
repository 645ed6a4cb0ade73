#pragma once
// `send [FILE]`: the update job. Sends the update file (by default the
// bundled "mirelo updater.dat") to a MIDI destination, or with --capture to a
// capture file, through the same controller, manager and update run as the
// window: CZAVController::initialize(), the manager's openMidiOut, then the
// run's worker while the main thread runs the event loop.

#include "cli/Command.h"

#include <optional>
#include <string>

class CSendCommand : public CCommand {
public:
    CLI::App* attach(CLI::App& inApp) override;
    int run(std::ostream& out, std::ostream& err) override;
    bool outputIsTheResult() const override { return false; }

private:
    std::optional<std::string> m_file;
    std::optional<std::string> m_to;
    std::optional<std::string> m_capture;
};
