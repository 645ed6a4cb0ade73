#pragma once
// The capture destination of `send --capture OUT.syx` and of the window's
// MIRELO_CAPTURE: a virtual MIDI backend with one destination, "Capture", that writes every message it receives to
// OUT.syx, bytes unchanged, and one row per message to OUT.syx.csv:
// index,sent_us,bytes, where sent_us counts microseconds from the transfer's
// start, the zero its due times count from. One MIDISend is one message,
// however many 256-byte packets it came in.
//
// Each message is written through at once: a write that fails (disk full, the
// file removed) fails that send, so the run stops there as it would at a
// device that refused a message, and the files hold exactly what was sent.

#include "platform/midi/virtual/VirtualBackend.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

namespace mirelo::midi {

class CaptureDestination {
public:
    static constexpr const char* kName = "Capture";
    // The status of a send whose message could not be written.
    static constexpr OSStatus kWriteFailed = kMIDIMessageSendErr;

    enum class OpenResult { kOk, kInUse, kFailed };

    // Adds the destination; the files are opened by open().
    explicit CaptureDestination(std::filesystem::path syxPath);
    ~CaptureDestination();
    CaptureDestination(const CaptureDestination&) = delete;
    CaptureDestination& operator=(const CaptureDestination&) = delete;

    // Why the capture may not write where asked: an output is something other
    // than a regular file (a FIFO, a device, a directory, a socket), it is the
    // update file itself, or the two outputs are one file (through any link,
    // one that dangles too). Nothing is opened or created, and nothing waits.
    static std::optional<std::string> pathProblem(const std::filesystem::path& updateFile,
                                                  const std::filesystem::path& syxPath);

    // Opens or creates both files, locks each against another capture, then
    // empties them. kInUse when another capture holds a lock. On failure the
    // files it created are removed again. Never blocks.
    [[nodiscard]] OpenResult open(std::string& outError);
    // Empties both files for a new run after open(): each run's capture holds
    // that run alone, its rows counted from its own start. False with a reason
    // when the files are not open or cannot be emptied.
    [[nodiscard]] bool restart(std::string& outError);
    // Rows count from this start (monotonic nanoseconds), once it is set;
    // before, from the first message.
    void countFrom(const std::atomic<std::uint64_t>* startNanoseconds) { m_start = startNanoseconds; }
    // Closes both files. False with a reason when a write failed or closing did.
    [[nodiscard]] bool finish(std::string& outError);
    // The write error that failed a send, if any.
    std::optional<std::string> failure() const;

    VirtualBackend& backend() { return m_backend; }
    const std::filesystem::path& syxPath() const { return m_syxPath; }
    const std::filesystem::path& csvPath() const { return m_csvPath; }

private:
    OSStatus receive(const MIDIPacketList& list);
    bool writeAll(int fd, const void* data, std::size_t size, const std::filesystem::path& path);
    void closeFiles();
    // Both files emptied and the log's head written again; the lock held.
    bool empty(std::string& outError);

    std::filesystem::path m_syxPath;
    std::filesystem::path m_csvPath;
    VirtualBackend m_backend;
    const std::atomic<std::uint64_t>* m_start = nullptr;

    mutable std::mutex m_mutex; // receive runs on the sending thread
    int m_syx = -1;
    int m_csv = -1;
    std::uint64_t m_count = 0;
    std::uint64_t m_syxBytes = 0; // written by whole messages
    std::uint64_t m_csvBytes = 0;
    std::uint64_t m_firstStamp = 0;
    std::optional<std::string> m_failure;
};

} // namespace mirelo::midi
