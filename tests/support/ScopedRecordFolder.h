#pragma once
// The record of updates kept in a folder of the test's own (XDG_STATE_HOME)
// for as long as this lives, and what it holds: every update run writes one.

#include "update/UpdateRecordLog.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace mirelo::test {

class CScopedRecordFolder {
public:
    explicit CScopedRecordFolder(std::filesystem::path state) : m_state(std::move(state))
    {
        std::filesystem::remove_all(m_state);
        if (const char* old = std::getenv("XDG_STATE_HOME")) {
            m_old = old;
        }
        ::setenv("XDG_STATE_HOME", m_state.c_str(), 1);
    }
    ~CScopedRecordFolder() { m_old ? ::setenv("XDG_STATE_HOME", m_old->c_str(), 1) : ::unsetenv("XDG_STATE_HOME"); }
    CScopedRecordFolder(const CScopedRecordFolder&) = delete;
    CScopedRecordFolder& operator=(const CScopedRecordFolder&) = delete;

    const std::filesystem::path& state() const { return m_state; }

    std::vector<SUpdateRecord> records() const
    {
        std::vector<SUpdateRecord> records;
        const std::filesystem::path file = m_state / CUpdateRecordLog::kFolderName / CUpdateRecordLog::kFileName;
        for (const CUpdateRecordLog::SEntry& entry : CUpdateRecordLog::read(file).entries) {
            records.push_back(entry.record);
        }
        return records;
    }
    std::vector<std::string> results() const
    {
        std::vector<std::string> results;
        for (const SUpdateRecord& record : records()) {
            results.emplace_back(SUpdateRecord::resultText(record.result));
        }
        return results;
    }
    // One result, or none when null.
    static std::vector<std::string> expected(const char* result)
    {
        return result != nullptr ? std::vector<std::string>{result} : std::vector<std::string>{};
    }

private:
    std::filesystem::path m_state;
    std::optional<std::string> m_old;
};

} // namespace mirelo::test
