#pragma once
// The record of one run of either front end, filled in as the run goes and
// appended to the record of updates (CUpdateRecordLog) at its end: what was
// sent where, who the instrument said it was, how the run ended and in which
// words. CUpdateRun writes it for every run it starts; a front end that ends
// before any run (a refused file, no destination) writes its own.

#include "update/RunReport.h"
#include "update/UpdateRecord.h"

#include <filesystem>
#include <optional>
#include <string>

class CRunRecord {
public:
    // Stamps the start, and names this program and its version.
    CRunRecord();

    void setFile(const std::filesystem::path& path, const std::string& sha256);
    // As the user knows it.
    void setDestination(const std::string& displayName, bool hardware);
    // Whether the destination now called displayName is a port of a
    // connected device; false when there is none.
    static bool isHardware(const std::string& displayName);

    // How a run ended, and what the instrument said around it.
    void setEnd(const SRunEnd& end, const CRunReport::Destination& destination);
    // An end that came before any run.
    void setOutcome(SUpdateRecord::EResult result, std::string words);

    // Stamps the end and appends the record where the user's state is kept;
    // why not, when it could not be written whole.
    [[nodiscard]] std::optional<std::string> write();

    const SUpdateRecord& record() const { return m_record; }

private:
    SUpdateRecord m_record;
};
