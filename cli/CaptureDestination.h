#pragma once
// The capture destination of `send --capture OUT.syx`: a virtual MIDI backend
// with one destination, "Capture", that writes every message it receives to
// OUT.syx, bytes unchanged, and one row per message to OUT.syx.csv:
// index,sent_us,bytes, where sent_us counts microseconds from the first
// message by the packets' timestamps. One MIDISend is one message, however
// many 256-byte packets it came in.

#include "midi/virtual/VirtualBackend.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

class CCaptureDestination {
public:
    static constexpr const char* kName = "Capture";

    explicit CCaptureDestination(std::filesystem::path syxPath);
    CCaptureDestination(const CCaptureDestination&) = delete;
    CCaptureDestination& operator=(const CCaptureDestination&) = delete;

    // Creates both files (empty) and the destination. False with a reason
    // when a file cannot be created.
    bool open(std::string& outError);
    // Flushes and closes both files. False with a reason when any write failed.
    bool finish(std::string& outError);

    mirelo::midi::VirtualBackend& backend() { return m_backend; }
    const std::filesystem::path& syxPath() const { return m_syxPath; }
    const std::filesystem::path& csvPath() const { return m_csvPath; }

private:
    void receive(const MIDIPacketList& list);

    std::filesystem::path m_syxPath;
    std::filesystem::path m_csvPath;
    mirelo::midi::VirtualBackend m_backend;

    mutable std::mutex m_mutex; // the hook runs on the sending thread
    std::ofstream m_syx;
    std::ofstream m_csv;
    std::uint64_t m_count = 0;
    MIDITimeStamp m_firstTimeStamp = 0;
};
