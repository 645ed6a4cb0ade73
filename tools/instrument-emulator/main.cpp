// instrument-emulator: plays a small instrument at the device end of a USB
// MIDI link, receives one firmware update and says whether it would have
// taken it. One verdict line on standard output; exit status 0 accepted,
// 1 rejected, 2 usage or no device.

#include "tools/instrument-emulator/InstrumentEmulator.h"
#include "tools/instrument-emulator/RawMidiDeviceEnd.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

constexpr std::size_t kDeviceEndBufferBytes = 1 << 20;

double monotonicSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Receives one firmware update at a raw MIDI device (the device end of a USB MIDI link) as a "
                 "small instrument would, and prints one verdict line: \"accepted: ...\" or \"rejected: "
                 "<reason>\". Exit status 0 accepted, 1 rejected, 2 usage or no device.",
                 "instrument-emulator"};
    std::string device;
    CInstrumentEmulator::SSettings settings;
    double blockMs = static_cast<double>(settings.blockProcessingNs) / 1e6;
    double timeoutSeconds = 120;
    app.add_option("device", device, "The raw MIDI device to read, e.g. hw:7,0,0")->required();
    app.add_option("--buffer", settings.bufferBytes, "The instrument's receive buffer in bytes")
        ->check(CLI::Range(std::size_t{16}, std::size_t{1} << 20))
        ->capture_default_str();
    app.add_option("--rate", settings.bytesPerSecond, "Bytes per second the instrument takes out of its buffer")
        ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{100'000'000}))
        ->capture_default_str();
    app.add_option("--block-ms", blockMs, "Milliseconds the instrument spends on each data block")
        ->check(CLI::Range(0.0, 10'000.0))
        ->capture_default_str();
    app.add_option("--timeout", timeoutSeconds, "Seconds to wait for the whole update")
        ->check(CLI::Range(0.1, 86'400.0))
        ->capture_default_str();
    CLI11_PARSE(app, argc, argv);
    settings.blockProcessingNs = static_cast<std::uint64_t>(blockMs * 1e6);

    CRawMidiDeviceEnd input;
    std::string error;
    if (!input.open(device, kDeviceEndBufferBytes, error)) {
        std::fprintf(stderr, "instrument-emulator: %s\n", error.c_str());
        return 2;
    }
    std::printf("listening on %s: a %zu-byte buffer emptied at %llu bytes/s, %.1f ms per block%s\n", device.c_str(),
                settings.bufferBytes, static_cast<unsigned long long>(settings.bytesPerSecond), blockMs,
                input.kernelTimestamps() ? "" : " (no kernel timestamps: arrival is read time)");
    std::fflush(stdout);

    CInstrumentEmulator instrument(settings);
    const double start = monotonicSeconds();
    const double deadline = start + timeoutSeconds;
    std::vector<std::uint8_t> bytes;
    while (instrument.outcome() == CInstrumentEmulator::EOutcome::kPending) {
        const double left = deadline - monotonicSeconds();
        if (left <= 0) {
            instrument.inputEnded(CInstrumentEmulator::EInputEnd::kTimeout, monotonicSeconds() - start);
            break;
        }
        std::uint64_t timeNs = 0;
        const int waitMs = static_cast<int>(std::min(left * 1000.0 + 1, 60'000.0));
        switch (input.read(bytes, timeNs, waitMs)) {
        case CRawMidiDeviceEnd::ERead::kData:
            instrument.receive(bytes.data(), bytes.size(), timeNs);
            break;
        case CRawMidiDeviceEnd::ERead::kGone:
            instrument.inputEnded(CInstrumentEmulator::EInputEnd::kDeviceGone, monotonicSeconds() - start);
            break;
        case CRawMidiDeviceEnd::ERead::kTimeout:
            break;
        }
    }
    std::printf("%s\n", instrument.verdict().c_str());
    return instrument.outcome() == CInstrumentEmulator::EOutcome::kAccepted ? 0 : 1;
}
