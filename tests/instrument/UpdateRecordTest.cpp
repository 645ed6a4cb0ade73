// The record of updates: each run one whole JSON line, written where the XDG
// rules say, read back with what is not a record skipped; a record that
// cannot be written says why instead of failing; runs at once never mix
// their lines.

#include "update/FileDigest.h"
#include "update/UpdateRecordLog.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

// A scratch folder, removed with everything in it.
class CScratch {
public:
    CScratch()
        : m_path(fs::temp_directory_path() /
                 ("mirelo-record-" + std::to_string(::getpid()) + "-" + std::to_string(s_next++)))
    {
        fs::create_directories(m_path);
    }
    ~CScratch() { fs::remove_all(m_path); }
    CScratch(const CScratch&) = delete;
    CScratch& operator=(const CScratch&) = delete;
    const fs::path& path() const { return m_path; }

private:
    static inline int s_next = 0;
    fs::path m_path;
};

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Sets a variable for one scope, and puts the old value back.
class CScopedVariable {
public:
    CScopedVariable(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
        ::tzset();
    }
    CScopedVariable(const CScopedVariable&) = delete;
    CScopedVariable& operator=(const CScopedVariable&) = delete;
    ~CScopedVariable()
    {
        m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name);
        ::tzset();
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

SUpdateRecord sampleRecord(SUpdateRecord::EResult result)
{
    SDeviceIdentity before;
    before.manufacturer = {0x7D, 0, 0};
    before.family = 0x4D;
    before.model = 1;
    before.revision = {1, 0, 0, 0};
    SDeviceIdentity after = before;
    after.revision = {1, 1, 0, 0};
    SUpdateRecord r;
    r.start = "2025-03-01T10:00:00+01:00";
    r.end = "2025-03-01T10:00:15+01:00";
    r.file = "/usr/share/mirelo-updater/mirelo updater.dat";
    r.sha256 = CFileDigest::sha256(reinterpret_cast<const std::uint8_t*>("abc"), 3);
    r.destination = "Test Instrument MIDI 1";
    r.hardware = true;
    r.identityAsked = true;
    r.before = before;
    r.after = after;
    r.result = result;
    r.messagesSent = 242;
    r.messagesTotal = 242;
    r.bytesSent = 37231;
    r.words = "sent 242 messages";
    r.program = "mirelo-updater-cli";
    r.version = "0.1.0";
    return r;
}

TEST(UpdateRecord, EachRunIsOneLineThatReadsBackAsWritten)
{
    CScratch scratch;
    const fs::path file = scratch.path() / "state" / "mirelo-updater" / "runs.jsonl";
    SUpdateRecord refused = sampleRecord(SUpdateRecord::EResult::kRefused);
    refused.identityAsked = false;
    refused.before.reset();
    refused.after.reset();
    refused.messagesSent = 0;
    SUpdateRecord oddName = sampleRecord(SUpdateRecord::EResult::kDidNotTake);
    oddName.destination = "Synth \xff\xfe";
    struct SRow {
        SUpdateRecord record;
        const char* result;
        const char* firmwareAfter; // null: identity_after is null
    };
    const std::vector<SRow> rows = {
        {sampleRecord(SUpdateRecord::EResult::kCompleted), "completed", "1.1"},
        {refused, "refused", nullptr},
        {sampleRecord(SUpdateRecord::EResult::kInterrupted), "interrupted", "1.1"},
        {oddName, "did not take", "1.1"},
    };
    std::string problem;
    for (const SRow& row : rows) {
        ASSERT_TRUE(CUpdateRecordLog::append(file, row.record, problem)) << problem;
    }
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(file.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);

    const std::string text = readAll(file);
    ASSERT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(rows.size()));
    const CUpdateRecordLog::SContents contents = CUpdateRecordLog::read(file);
    ASSERT_EQ(contents.entries.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const nlohmann::ordered_json& json = contents.entries[i].json;
        EXPECT_EQ(json["outcome"]["result"], rows[i].result);
        EXPECT_EQ(json["identity_after"].is_null(), rows[i].firmwareAfter == nullptr);
        if (rows[i].firmwareAfter) {
            EXPECT_EQ(json["identity_after"]["firmware"], rows[i].firmwareAfter);
        }
        if (i != 3) {
            EXPECT_EQ(contents.entries[i].record.toJson(), rows[i].record.toJson()) << "line " << i + 1;
        }
    }
    EXPECT_EQ(contents.entries[3].record.destination, "Synth \xEF\xBF\xBD\xEF\xBF\xBD") << "not UTF-8: U+FFFD";
    EXPECT_EQ(contents.entries[0].json["file"]["sha256"],
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    const CUpdateRecordLog::SContents lastTwo = CUpdateRecordLog::read(file, 2);
    ASSERT_EQ(lastTwo.entries.size(), 2u);
    EXPECT_EQ(lastTwo.entries[0].line, 3u);
    EXPECT_EQ(lastTwo.records, rows.size());
}

TEST(UpdateRecord, LivesWhereTheXdgRulesSay)
{
    const CScopedVariable home("HOME", "/home/someone");
    struct SRow {
        const char* state;
        const char* path;
    };
    for (const SRow& row : {SRow{"/var/state", "/var/state/mirelo-updater/runs.jsonl"},
                            SRow{"relative/state", "/home/someone/.local/state/mirelo-updater/runs.jsonl"},
                            SRow{"", "/home/someone/.local/state/mirelo-updater/runs.jsonl"},
                            SRow{nullptr, "/home/someone/.local/state/mirelo-updater/runs.jsonl"}}) {
        const CScopedVariable state("XDG_STATE_HOME", row.state);
        EXPECT_EQ(CUpdateRecordLog::defaultPath(), fs::path(row.path)) << (row.state ? row.state : "unset");
    }
    struct STime {
        const char* zone;
        const char* text;
    };
    for (const STime& t : {STime{"UTC0", "2023-11-14T22:13:20+00:00"}, STime{"XXX-05:30", "2023-11-15T03:43:20+05:30"},
                           STime{"XXX3", "2023-11-14T19:13:20-03:00"}}) {
        const CScopedVariable zone("TZ", t.zone);
        EXPECT_EQ(SUpdateRecord::isoTime(1'700'000'000), t.text) << t.zone;
    }
}

TEST(UpdateRecord, WhatCannotBeWrittenSaysWhyAndWhatIsNoRecordIsSkipped)
{
    CScratch scratch;
    std::ofstream(scratch.path() / "a-file") << "x";
    ::mkfifo((scratch.path() / "fifo.jsonl").c_str(), 0600);
    fs::create_directories(scratch.path() / "folder.jsonl");
    struct SRow {
        fs::path file;
        const char* says;
    };
    const std::vector<SRow> rows = {
        {scratch.path() / "a-file" / "mirelo-updater" / "runs.jsonl", "a-file is not a folder"},
        {scratch.path() / "folder.jsonl", "folder.jsonl: Is a directory"},
        {scratch.path() / "fifo.jsonl", "fifo.jsonl is not a regular file"},
    };
    for (const SRow& row : rows) {
        std::string problem;
        EXPECT_FALSE(CUpdateRecordLog::append(row.file, sampleRecord(SUpdateRecord::EResult::kCompleted), problem));
        EXPECT_NE(problem.find(row.says), std::string::npos) << problem;
    }
    EXPECT_EQ(CUpdateRecordLog::read(scratch.path() / "none.jsonl").state,
              CUpdateRecordLog::SContents::EState::kMissing);
    EXPECT_EQ(CUpdateRecordLog::read(scratch.path() / "fifo.jsonl").state,
              CUpdateRecordLog::SContents::EState::kUnreadable);

    // A line a run left unfinished, one that is JSON but no record, and one
    // too long to be ours: the records around them still read.
    const fs::path file = scratch.path() / "runs.jsonl";
    std::ofstream(file) << "{\"start\":\"x\"}\n" << std::string(CUpdateRecordLog::kMaxLineBytes + 1, 'x') << "\n{\"st";
    std::string problem;
    ASSERT_TRUE(CUpdateRecordLog::append(file, sampleRecord(SUpdateRecord::EResult::kFailed), problem)) << problem;
    const CUpdateRecordLog::SContents contents = CUpdateRecordLog::read(file);
    ASSERT_EQ(contents.entries.size(), 1u);
    EXPECT_EQ(contents.entries[0].line, 4u);
    EXPECT_EQ(contents.skipped, (std::vector<std::size_t>{1, 2, 3}));
}

TEST(UpdateRecord, RunsAtOnceNeverMixTheirLines)
{
    CScratch scratch;
    const fs::path file = scratch.path() / "runs.jsonl";
    constexpr int kRuns = 8;
    constexpr int kRecordsEach = 100;
    std::vector<std::thread> runs;
    for (int run = 0; run < kRuns; ++run) {
        runs.emplace_back([&file, run] {
            SUpdateRecord record = sampleRecord(SUpdateRecord::EResult::kCompleted);
            record.words = std::string(static_cast<std::size_t>(3000 + run * 500),
                                       static_cast<char>('a' + run)); // well past a pipe's atomic size
            for (int i = 0; i < kRecordsEach; ++i) {
                std::string problem;
                EXPECT_TRUE(CUpdateRecordLog::append(file, record, problem)) << problem;
            }
        });
    }
    for (std::thread& run : runs) {
        run.join();
    }
    const CUpdateRecordLog::SContents contents = CUpdateRecordLog::read(file);
    EXPECT_TRUE(contents.skipped.empty());
    ASSERT_EQ(contents.entries.size(), static_cast<std::size_t>(kRuns * kRecordsEach));
    for (const CUpdateRecordLog::SEntry& entry : contents.entries) {
        const std::string& words = entry.record.words;
        EXPECT_EQ(std::count(words.begin(), words.end(), words.front()), static_cast<long>(words.size()));
    }
}

} // namespace
