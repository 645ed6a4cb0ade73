#pragma once
// An instrument receiving a firmware update: the update protocol checked by
// CFirmwareReceiver, fed through the receive buffer of CDeviceBufferModel.
// Knows nothing of where the bytes come from, so that it runs on timed byte
// runs made up by a test as well as on a device end's input.

#include "tools/instrument-emulator/DeviceBufferModel.h"
#include "tools/instrument-emulator/FirmwareReceiver.h"

#include <cstddef>
#include <cstdint>
#include <string>

class CInstrumentEmulator {
public:
    struct SSettings {
        std::size_t bufferBytes = 1024;
        std::uint64_t bytesPerSecond = 3125;
        std::uint64_t blockProcessingNs = 5'000'000;
    };
    enum class EOutcome { kPending, kAccepted, kRejected };
    enum class EInputEnd { kTimeout, kDeviceGone };

    explicit CInstrumentEmulator(const SSettings& settings);

    // Bytes that arrived together at `timeNs`.
    void receive(const std::uint8_t* bytes, std::size_t size, std::uint64_t timeNs);
    // No more input will come; an update still pending is incomplete.
    void inputEnded(EInputEnd why, double afterSeconds);

    EOutcome outcome() const { return m_outcome; }
    bool overran() const { return m_overran; }
    const CFirmwareReceiver& receiver() const { return m_receiver; }
    // One line: "accepted: ..." or "rejected: <reason>".
    const std::string& verdict() const { return m_verdict; }

private:
    void settle();
    std::string progress() const;

    SSettings m_settings;
    CFirmwareReceiver m_receiver;
    CDeviceBufferModel m_buffer;
    EOutcome m_outcome = EOutcome::kPending;
    bool m_overran = false;
    std::string m_verdict;
};
