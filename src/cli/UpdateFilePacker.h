#pragma once
// Builds an update file from SysEx messages: a format-1 Standard MIDI File
// whose track 0 holds a track name and one Set Tempo of 500,000 us at tick 0,
// and whose track 1 holds the messages, the first at firstDelayMs and each
// next one intervalMs later. Every tick time is chosen so that the transfer's
// tick-to-millisecond conversion gives the requested time back exactly, and
// the finished image is verified as the updater verifies it, and read back
// message by message, to prove it.
//
// The image is written straight from the messages where they lie, so packing
// millions of small messages takes about the memory of the file it makes.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/SysExRun.h"

class CUpdateFilePacker {
public:
    // 500 ticks per quarter at 120 bpm: one tick is exactly one millisecond.
    static constexpr std::uint16_t kDefaultDivision = 500;
    static constexpr std::uint32_t kTempoMicroseconds = 500000;
    // The largest tick pack gives a message: one delta time (28 bits) from
    // tick 0.
    static constexpr std::uint32_t kMaxTick = 0x0FFFFFFF;

    struct SOptions {
        std::uint32_t intervalMs = 60;
        std::uint32_t firstDelayMs = 0;
        std::uint16_t division = kDefaultDivision;
        std::string trackName = "mirelo updater firmware";
    };

    // The tick whose send time, as the transfer computes it, is exactly `ms`; none when the division cannot
    // express it (a division below 500 skips some milliseconds) or the tick
    // would be past kMaxTick.
    static std::optional<std::uint32_t> tickForMilliseconds(std::uint64_t ms, std::uint16_t division);

    // False with error() set when the messages cannot be packed as asked.
    [[nodiscard]] bool pack(const CSysExRun& messages, const SOptions& options, std::vector<std::uint8_t>& outImage);
    const std::string& error() const { return m_error; }

private:
    class CReadBack;

    bool fail(std::string what);
    std::optional<std::uint32_t> tickOf(std::size_t index, const SOptions& options);
    bool verify(const std::vector<std::uint8_t>& image, const CSysExRun& messages, const SOptions& options);

    std::string m_error;
};
