#pragma once
// The device end of a USB MIDI link (f_midi's raw MIDI device), read the way
// the instrument's receiver sees it, and written when it answers. f_midi has no flow control into its
// own buffer, so the buffer is made large; and every run of bytes comes with
// the time the kernel received it, so a reader woken late still learns when
// the bytes arrived.

#include <alsa/asoundlib.h>

#include <cstdint>
#include <string>
#include <vector>

class CRawMidiDeviceEnd {
public:
    enum class ERead { kData, kTimeout, kGone };

    CRawMidiDeviceEnd() = default;
    ~CRawMidiDeviceEnd();
    CRawMidiDeviceEnd(const CRawMidiDeviceEnd&) = delete;
    CRawMidiDeviceEnd& operator=(const CRawMidiDeviceEnd&) = delete;

    // False with the reason in `error`.
    [[nodiscard]] bool open(const std::string& device, std::size_t bufferBytes, std::string& error);
    // Lets the device go, as the instrument does when it restarts.
    void close();
    // Waits (in poll) up to `timeoutMs` for bytes; on kData, `bytes` holds
    // bytes that arrived together at `timeNs` (CLOCK_MONOTONIC).
    ERead read(std::vector<std::uint8_t>& bytes, std::uint64_t& timeNs, int timeoutMs);
    // Sends the bytes to the host; false when they could not all go.
    [[nodiscard]] bool write(const std::vector<std::uint8_t>& bytes);
    // False when the kernel gives no arrival times: then a byte's time is
    // when it was read.
    bool kernelTimestamps() const { return m_kernelTimestamps; }

private:
    snd_rawmidi_t* m_in = nullptr;
    snd_rawmidi_t* m_out = nullptr;
    bool m_kernelTimestamps = false;
};
