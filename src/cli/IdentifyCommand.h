#pragma once
// `identify [--to INDEX|NAME] [--json]`: asks an instrument who it is (the
// MIDI Device Inquiry) and prints its manufacturer, family, model and
// firmware version, or that it did not answer. The destination is chosen as
// `send` chooses it; the answer is read on the instrument's own source.

#include "cli/Command.h"

#include <optional>
#include <string>

class CIdentifyCommand : public CCommand {
public:
    CLI::App* attach(CLI::App& inApp) override;
    int run(std::ostream& out, std::ostream& err) override;

private:
    std::optional<std::string> m_to;
    bool m_json = false;
};
