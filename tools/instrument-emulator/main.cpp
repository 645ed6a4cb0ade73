// instrument-emulator: plays a small instrument at the device end of a USB
// MIDI link, receives one firmware update and says whether it would have
// taken it. It answers identity requests all along, with the firmware
// version it runs; after taking an update it restarts (the USB device goes
// away and comes back, with --restart-udc) and runs the version the update
// carried, while after a rejected one it keeps the old. One verdict line on
// standard output; exit status 0 accepted, 1 rejected, 2 usage or no device.

#include "tools/instrument-emulator/IdentityResponder.h"
#include "tools/instrument-emulator/InstrumentEmulator.h"
#include "tools/instrument-emulator/RawMidiDeviceEnd.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <optional>
#include <thread>

namespace {

constexpr std::size_t kDeviceEndBufferBytes = 1 << 20;
// How long the device end may take to come back after the gadget is bound again.
constexpr int kReopenTries = 100;
constexpr auto kReopenPause = std::chrono::milliseconds(100);

double monotonicSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

std::optional<unsigned> number(std::string_view text, unsigned limit)
{
    int base = 10;
    if (text.size() > 2 && text.substr(0, 2) == "0x") {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || value > limit) {
        return std::nullopt;
    }
    return value;
}

// "1.0" or up to four dotted numbers of 0..127: the four revision bytes.
bool parseVersion(const std::string& text, std::array<std::uint8_t, 4>& revision)
{
    revision = {0, 0, 0, 0};
    std::size_t part = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = text.find('.', start);
        const std::optional<unsigned> value = number(std::string_view(text).substr(start, dot - start), 0x7F);
        if (!value || part == revision.size()) {
            return false;
        }
        revision[part++] = static_cast<std::uint8_t>(*value);
        if (dot == std::string::npos) {
            return true;
        }
        start = dot + 1;
    }
}

// "7D", or "00 20 33" for an extended ID.
bool parseManufacturer(const std::string& text, std::vector<std::uint8_t>& manufacturer)
{
    manufacturer.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t space = text.find(' ', start);
        const std::optional<unsigned> value =
            number("0x" + text.substr(start, space == std::string::npos ? std::string::npos : space - start), 0x7F);
        if (!value) {
            return false;
        }
        manufacturer.push_back(static_cast<std::uint8_t>(*value));
        if (space == std::string::npos) {
            break;
        }
        start = space + 1;
    }
    return (manufacturer.size() == 1 && manufacturer[0] != 0) || (manufacturer.size() == 3 && manufacturer[0] == 0);
}

std::string versionText(const std::array<std::uint8_t, 4>& revision)
{
    return std::to_string(revision[0]) + "." + std::to_string(revision[1]);
}

// Answers every identity request among the bytes.
void answer(CIdentityResponder& responder, CRawMidiDeviceEnd& device, const std::vector<std::uint8_t>& bytes)
{
    for (const std::uint8_t b : bytes) {
        const std::vector<std::uint8_t> reply = responder.feed(b);
        if (reply.empty()) {
            continue;
        }
        const bool sent = device.write(reply);
        std::printf("identity request: %s firmware %s\n", sent ? "answered with" : "could not answer with",
                    versionText(responder.identity().revision).c_str());
        std::fflush(stdout);
    }
}

bool writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path);
    out << text << '\n';
    out.close();
    return static_cast<bool>(out);
}

// Restarts as an instrument does after an update: its USB device goes away
// (the gadget is unbound from its controller) and comes back.
bool restart(CRawMidiDeviceEnd& device, const std::string& path, const std::string& udcFile, double awaySeconds,
             std::string& error)
{
    device.close();
    std::string udc;
    std::ifstream(udcFile) >> udc;
    if (udc.empty() || !writeFile(udcFile, "")) {
        error = "cannot unbind the gadget through " + udcFile;
        return false;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(awaySeconds));
    if (!writeFile(udcFile, udc)) {
        error = "cannot bind the gadget to " + udc + " again";
        return false;
    }
    for (int i = 0; i < kReopenTries; ++i) {
        if (device.open(path, kDeviceEndBufferBytes, error)) {
            return true;
        }
        std::this_thread::sleep_for(kReopenPause);
    }
    return false;
}

int run(int argc, char** argv)
{
    CLI::App app{"Receives one firmware update at a raw MIDI device (the device end of a USB MIDI link) as a "
                 "small instrument would, and prints one verdict line: \"accepted: ...\" or \"rejected: "
                 "<reason>\". Answers identity requests all along. Exit status 0 accepted, 1 rejected, 2 usage "
                 "or no device.",
                 "instrument-emulator"};
    std::string device;
    CInstrumentEmulator::SSettings settings;
    double blockMs = static_cast<double>(settings.blockProcessingNs) / 1e6;
    double timeoutSeconds = 120;
    std::string manufacturer = "7D";
    std::string family = "0x004D";
    std::string model = "0x0001";
    std::string deviceId = "0x00";
    std::string firmware = "1.0";
    std::string udcFile;
    double awaySeconds = 1.0;
    double lingerSeconds = 0;
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
    app.add_option("--manufacturer", manufacturer, "Its manufacturer ID in hex: 7D, or 00 20 33")
        ->capture_default_str();
    app.add_option("--family", family, "Its family code (14 bits)")->capture_default_str();
    app.add_option("--model", model, "Its model code (14 bits)")->capture_default_str();
    app.add_option("--device-id", deviceId, "The device ID it answers to besides 0x7F")->capture_default_str();
    app.add_option("--firmware", firmware, "The firmware version it runs until it takes an update: MAJOR.MINOR")
        ->capture_default_str();
    app.add_option("--restart-udc", udcFile,
                   "The gadget's UDC file: after taking an update the instrument restarts by unbinding the "
                   "gadget and binding it again");
    app.add_option("--restart-away", awaySeconds, "Seconds the USB device stays away while it restarts")
        ->check(CLI::Range(0.0, 60.0))
        ->capture_default_str();
    app.add_option("--linger", lingerSeconds, "Seconds to go on answering identity requests after the verdict")
        ->check(CLI::Range(0.0, 3600.0))
        ->capture_default_str();
    CLI11_PARSE(app, argc, argv);
    settings.blockProcessingNs = static_cast<std::uint64_t>(blockMs * 1e6);

    CIdentityResponder::SIdentity identity;
    const std::optional<unsigned> familyCode = number(family, 0x3FFF);
    const std::optional<unsigned> modelCode = number(model, 0x3FFF);
    const std::optional<unsigned> id = number(deviceId, 0x7F);
    if (!familyCode || !modelCode || !id || !parseVersion(firmware, identity.revision) ||
        !parseManufacturer(manufacturer, identity.manufacturer)) {
        std::fprintf(stderr, "instrument-emulator: --manufacturer, --family, --model, --device-id or --firmware "
                             "is not a MIDI identity (see --help)\n");
        return 2;
    }
    identity.family = static_cast<std::uint16_t>(*familyCode);
    identity.model = static_cast<std::uint16_t>(*modelCode);
    identity.deviceId = static_cast<std::uint8_t>(*id);
    CIdentityResponder responder(identity);

    CRawMidiDeviceEnd input;
    std::string error;
    if (!input.open(device, kDeviceEndBufferBytes, error)) {
        std::fprintf(stderr, "instrument-emulator: %s\n", error.c_str());
        return 2;
    }
    std::printf("listening on %s: a %zu-byte buffer emptied at %llu bytes/s, %.1f ms per block%s; firmware %s\n",
                device.c_str(), settings.bufferBytes, static_cast<unsigned long long>(settings.bytesPerSecond), blockMs,
                input.kernelTimestamps() ? "" : " (no kernel timestamps: arrival is read time)",
                versionText(identity.revision).c_str());
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
            answer(responder, input, bytes);
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
    std::fflush(stdout);
    const bool accepted = instrument.outcome() == CInstrumentEmulator::EOutcome::kAccepted;

    bool present = true;
    if (accepted) {
        responder.setRevision({instrument.receiver().versionMajor(), instrument.receiver().versionMinor(), 0, 0});
        if (!udcFile.empty()) {
            std::printf("restarting: the USB device goes away for %.1f s\n", awaySeconds);
            std::fflush(stdout);
            present = restart(input, device, udcFile, awaySeconds, error);
            if (!present) {
                std::printf("restart failed: %s\n", error.c_str());
            }
        }
        std::printf("running firmware %s\n", versionText(responder.identity().revision).c_str());
        std::fflush(stdout);
    }

    // Still there for whoever asks who it is now.
    const double lingerEnd = monotonicSeconds() + lingerSeconds;
    while (present && monotonicSeconds() < lingerEnd) {
        std::uint64_t timeNs = 0;
        const int waitMs = static_cast<int>((lingerEnd - monotonicSeconds()) * 1000.0) + 1;
        if (const auto read = input.read(bytes, timeNs, waitMs); read == CRawMidiDeviceEnd::ERead::kData) {
            answer(responder, input, bytes);
        } else if (read == CRawMidiDeviceEnd::ERead::kGone) {
            // Unplugged from outside: wait for the cable to come back.
            std::this_thread::sleep_for(kReopenPause);
            static_cast<void>(input.open(device, kDeviceEndBufferBytes, error));
        }
    }
    std::printf("identity requests heard: %zu\n", responder.requestsHeard());
    return accepted ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    // A test waits on the verdict line; whatever goes wrong must end the
    // process with a status and a word, not std::terminate.
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "instrument-emulator: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "instrument-emulator: an unknown error\n");
    }
    return 2;
}
