#pragma once
// `history [--json] [--last N]`: the record of updates, oldest first: when
// each ran, what went where, who the instrument said it was before and
// after, and how it ended.

#include "cli/Command.h"

#include <cstddef>

struct SUpdateRecord;

class CHistoryCommand : public CCommand {
public:
    CLI::App* attach(CLI::App& inApp) override;
    int run(std::ostream& out, std::ostream& err) override;

    // One record as `history` shows it: three or four lines.
    static void printRecord(std::ostream& out, const SUpdateRecord& record);

private:
    bool m_json = false;
    std::size_t m_last = 0;
};
