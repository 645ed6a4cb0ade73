#pragma once
// `send [FILE]`: the update job. Sends the update file (by default the
// bundled "mirelo updater.dat") to a MIDI destination, or with --capture to a
// capture file, through the same controller, manager and update run as the
// window: CZAVController::initialize(), the manager's openMidiOut, then the
// run's worker while the main thread runs the event loop. Unless told not
// to, the run asks the instrument who it is before the first message and
// after the last. Every send is kept in the record of updates.

#include "cli/Command.h"
#include "update/UpdateRecord.h"

#include <optional>
#include <string>

class CRunRecord;

class CSendCommand : public CCommand {
public:
    CLI::App* attach(CLI::App& inApp) override;
    int run(std::ostream& out, std::ostream& err) override;
    bool outputIsTheResult() const override { return false; }

private:
    // Ends send before any run: says why and keeps the record of it.
    static int endEarly(std::ostream& err, CRunRecord& record, SUpdateRecord::EResult result, int status,
                        const std::string& words);

    std::optional<std::string> m_file;
    std::optional<std::string> m_to;
    std::optional<std::string> m_capture;
    bool m_noIdentify = false;
};
