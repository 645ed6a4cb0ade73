#pragma once
// Models the raw MIDI output buffer of a hardware port: 4 KiB that the device
// drains at the MIDI wire rate of 3,125 bytes per second (the model amidi
// uses). The kernel's sequencer driver drops whatever does not fit and still
// reports success, so nothing may be written before the model says it fits.

#include <cstddef>
#include <cstdint>

namespace mirelo::midi::alsa {

class WirePacer {
public:
    static constexpr std::uint64_t kBufferBytes = 4096;
    // The model's clock and the device's drain are not in lock-step (the
    // write lands a little after it is counted, the reader or the UART may
    // start late), so half the buffer is kept free as a margin. The wire rate,
    // not the buffer, limits throughput, so the margin costs no time.
    static constexpr std::uint64_t kOutstandingLimit = kBufferBytes / 2;
    static constexpr std::uint64_t kBytesPerSecond = 3125;
    static constexpr std::uint64_t kNanosecondsPerByte = 1'000'000'000 / kBytesPerSecond;

    // Sleeps through the platform clock until `bytes` fit, then counts them as
    // written. Never busy-waits.
    void admit(std::size_t bytes);

    // How long to wait at `now` before `bytes` fit (0 when they fit already).
    std::uint64_t delayBefore(std::size_t bytes, std::uint64_t nowNs) const;
    void recordWrite(std::size_t bytes, std::uint64_t nowNs);
    std::uint64_t outstandingBytes(std::uint64_t nowNs) const;

private:
    std::uint64_t m_drainedAtNs = 0; // when the modelled buffer runs empty
};

} // namespace mirelo::midi::alsa
