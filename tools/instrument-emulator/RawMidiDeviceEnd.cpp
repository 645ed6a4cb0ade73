#include "tools/instrument-emulator/RawMidiDeviceEnd.h"

#include <poll.h>

#include <cerrno>
#include <ctime>

namespace {

std::uint64_t monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(now.tv_nsec);
}

} // namespace

CRawMidiDeviceEnd::~CRawMidiDeviceEnd()
{
    close();
}

void CRawMidiDeviceEnd::close()
{
    for (snd_rawmidi_t** end : {&m_in, &m_out}) {
        if (*end != nullptr) {
            snd_rawmidi_close(*end);
            *end = nullptr;
        }
    }
}

bool CRawMidiDeviceEnd::open(const std::string& device, std::size_t bufferBytes, std::string& error)
{
    close();
    if (const int r = snd_rawmidi_open(&m_in, &m_out, device.c_str(), SND_RAWMIDI_NONBLOCK); r < 0) {
        m_in = nullptr;
        m_out = nullptr;
        error = "cannot open " + device + ": " + snd_strerror(r);
        return false;
    }
    snd_rawmidi_params_t* params = nullptr;
    snd_rawmidi_params_alloca(&params);
    snd_rawmidi_params_current(m_in, params);
    snd_rawmidi_params_set_buffer_size(m_in, params, bufferBytes);
    snd_rawmidi_params_set_avail_min(m_in, params, 1);
    if (snd_rawmidi_params(m_in, params) < 0) {
        error = "cannot give " + device + " a buffer of " + std::to_string(bufferBytes) + " bytes";
        return false;
    }
    // Kernels before 5.14 have no arrival times; the read time then stands in.
    if (snd_rawmidi_params_set_read_mode(m_in, params, SND_RAWMIDI_READ_TSTAMP) == 0 &&
        snd_rawmidi_params_set_clock_type(m_in, params, SND_RAWMIDI_CLOCK_MONOTONIC) == 0 &&
        snd_rawmidi_params(m_in, params) == 0) {
        m_kernelTimestamps = true;
    }
    // The kernel passes input on only once the substream is triggered, which
    // a read does; whatever this first read gets is lost to nobody.
    std::vector<std::uint8_t> none;
    std::uint64_t time = 0;
    (void)read(none, time, 0);
    return true;
}

bool CRawMidiDeviceEnd::write(const std::vector<std::uint8_t>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = snd_rawmidi_write(m_out, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
            continue;
        }
        if (put != -EAGAIN && put != -EINTR) {
            return false;
        }
        pollfd fd{};
        if (snd_rawmidi_poll_descriptors(m_out, &fd, 1) != 1 || poll(&fd, 1, 1000) <= 0) {
            return false;
        }
    }
    return true;
}

CRawMidiDeviceEnd::ERead CRawMidiDeviceEnd::read(std::vector<std::uint8_t>& bytes, std::uint64_t& timeNs, int timeoutMs)
{
    std::uint8_t buffer[4096];
    for (;;) {
        ssize_t got = 0;
        if (m_kernelTimestamps) {
            timespec stamp{};
            got = snd_rawmidi_tread(m_in, &stamp, buffer, sizeof buffer);
            timeNs =
                static_cast<std::uint64_t>(stamp.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(stamp.tv_nsec);
        } else {
            got = snd_rawmidi_read(m_in, buffer, sizeof buffer);
            timeNs = monotonicNs();
        }
        if (got > 0) {
            bytes.assign(buffer, buffer + got);
            return ERead::kData;
        }
        if (got < 0 && got != -EAGAIN && got != -EINTR) {
            return ERead::kGone;
        }
        if (timeoutMs <= 0) {
            return ERead::kTimeout;
        }
        const int count = snd_rawmidi_poll_descriptors_count(m_in);
        std::vector<pollfd> fds(static_cast<std::size_t>(count));
        snd_rawmidi_poll_descriptors(m_in, fds.data(), static_cast<unsigned>(count));
        const int ready = poll(fds.data(), fds.size(), timeoutMs);
        if (ready == 0) {
            return ERead::kTimeout;
        }
        if (ready < 0 && errno != EINTR) {
            return ERead::kGone;
        }
        for (const pollfd& fd : fds) {
            if (fd.revents & (POLLERR | POLLHUP | POLLNVAL)) {
                return ERead::kGone;
            }
        }
        timeoutMs = 0; // something is there: read it, and only wait again on the next call
    }
}
