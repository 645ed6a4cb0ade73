#pragma once
// `identify [--to INDEX|NAME] [--json]`: asks an instrument who it is (the
// MIDI Device Inquiry) and prints its manufacturer, family, model and
// firmware version, or that it did not answer. The destination is chosen as
// `send` chooses it; the answer is read on the instrument's own source. With
// --wait it asks again until the instrument answers, following it by name as
// it goes away and comes back (an instrument restarting after an update).

#include "cli/Command.h"

#include <chrono>
#include <optional>
#include <string>

struct SIdentityAnswer;

class CIdentifyCommand : public CCommand {
public:
    CLI::App* attach(CLI::App& inApp) override;
    int run(std::ostream& out, std::ostream& err) override;

private:
    std::chrono::nanoseconds waitSpan() const;
    // Prints the answer, or says why there is none; the exit status.
    int report(std::ostream& out, std::ostream& err, const std::string& label, const SIdentityAnswer& answer) const;

    std::optional<std::string> m_to;
    bool m_json = false;
    double m_waitSeconds = 0;
};
