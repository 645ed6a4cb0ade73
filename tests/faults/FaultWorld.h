#pragma once
// What both halves of the fault matrix share: the update file, the
// destination "Synth" and how each fault is set up on the virtual backend,
// and the leak check after each row.

#include "tests/faults/FaultTable.h"
#include "tests/support/SmfImageBuilder.h"

#include "QORMIDIManager_Mac.h"
#include "testing/ControlledVirtualBackend.h"
#include "testing/SimulatedClock.h"

#include <atomic>
#include <filesystem>
#include <fstream>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace mirelo::test {

inline Bytes faultUpdateImage()
{
    // 500 ticks per quarter at 500,000 us per quarter: one tick per millisecond.
    CSmfImageBuilder builder(500, 0);
    builder.track().tempo(0, 500'000);
    for (std::uint32_t i = 0; i < kFaultMessages; ++i) {
        builder.sysEx(i * 10, CSmfImageBuilder::message(200, i));
    }
    return builder.build();
}

inline void writeFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Spoils the update file for the file rows; false for every other row.
inline bool spoilUpdateFile(EFault fault, const std::filesystem::path& path)
{
    const Bytes image = faultUpdateImage();
    switch (fault) {
    case EFault::kFileRemoved:
        std::filesystem::remove(path);
        return true;
    case EFault::kFileTruncated:
        writeFile(path, Bytes(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(image.size() / 2)));
        return true;
    case EFault::kFileGarbage:
        writeFile(path, Bytes{'#', '!', '/', 'b', 'i', 'n', 0x00, 0xFF, 0x4D, 0x54, 0x68, 0x64});
        return true;
    case EFault::kFileLostAByte: {
        CSmfImageBuilder damaged(500, 0);
        damaged.track().tempo(0, 500'000).raw(0, {0x90, 0x40}).rawBytes({0xF0, 0x01, 0xF7});
        for (std::uint32_t i = 0; i < kFaultMessages; ++i) {
            damaged.sysEx(i * 10, CSmfImageBuilder::message(200, i));
        }
        writeFile(path, damaged.build());
        return true;
    }
    case EFault::kFileEmptySysEx: {
        CSmfImageBuilder damaged(500, 0);
        damaged.track().tempo(0, 500'000).sysExEvent(0, 0xF7, {});
        for (std::uint32_t i = 0; i < kFaultMessages; ++i) {
            damaged.sysEx(i * 10, CSmfImageBuilder::message(200, i));
        }
        writeFile(path, damaged.build());
        return true;
    }
    case EFault::kFileWithoutSysEx:
        writeFile(path, CSmfImageBuilder(500, 0).track().tempo(0, 500'000).noteOn(10, 60).build());
        return true;
    default:
        return false;
    }
}

// The MIDI setup of a row. "Synth" is the destination the run is meant for;
// faults that strike during a run do so from its receive hook, right after
// the third message arrived, or from the worker's next wait for its time.
class CFaultSetup {
public:
    CFaultSetup(midi::ControlledVirtualBackend& backend, platform::SimulatedClock& clock, const SFaultRow& row)
        : m_backend(backend), m_clock(clock)
    {
        const EFault fault = row.fault;
        using Announce = midi::ControlledVirtualBackend::Announce;
        midi::VirtualEndpointProperties synth{"Synth model", "Synth", "Synth", fault != EFault::kNoInstrument};
        if (fault == EFault::kDisplayNameUnreadable) {
            synth.displayName.reset();
        }
        if (fault == EFault::kModelUnreadable) {
            synth.model.reset();
        }
        m_synth = backend.addDestination(
            synth,
            [this, fault](MIDIEndpointRef, const MIDIPacketList&) {
                if (++m_arrived != 3) {
                    return;
                }
                if (fault == EFault::kDestinationRemoved) {
                    m_backend.removeEndpoint(m_synth, Announce::Yes);
                } else if (fault == EFault::kSetupChange) {
                    const MIDIEndpointRef passing = m_backend.addDestination({"Passing", "Passing", "Passing"});
                    m_backend.removeEndpoint(passing, Announce::Yes);
                }
            },
            Announce::No);
        if (fault == EFault::kOutputClosed) {
            // The manager closes the output of a device that went away; its
            // send holds the output's lock, so the close comes between sends.
            clock.setSleepHook([this](std::uint64_t) {
                if (m_arrived >= 3 && !m_outputClosed.exchange(true)) {
                    static_cast<void>(CQORMIDIManager::instance()->closeMidiOut());
                }
            });
        }
        if (fault == EFault::kSameName) {
            m_decoy = backend.addDestination({"Decoy", "Synth", "Synth"}, {}, Announce::No);
        }
        if (fault == EFault::kTwoInstruments) {
            backend.addDestination({"Keys model", "Keys", "Keys", true}, {}, Announce::No);
        }
        switch (fault) {
        case EFault::kClientCreate:
            backend.failNextClientCreate(kMIDIServerStartErr);
            break;
        case EFault::kPortCreate:
            backend.failNextPortCreate(kMIDINotPermitted);
            break;
        case EFault::kSendFailsFirst:
        case EFault::kSendFailsMiddle:
        case EFault::kSendFailsLast:
            backend.failSend(row.failingSend, kMIDIMessageSendErr);
            break;
        default:
            break;
        }
    }

    ~CFaultSetup() { m_clock.setSleepHook({}); }
    CFaultSetup(const CFaultSetup&) = delete;
    CFaultSetup& operator=(const CFaultSetup&) = delete;

    MIDIEndpointRef synth() const { return m_synth; }
    MIDIEndpointRef decoy() const { return m_decoy; }

    // Accepted sends to "Synth", and whether anything at all was sent after
    // the first send that failed.
    std::size_t sentToSynth() const
    {
        std::size_t n = 0;
        for (const auto& list : m_backend.sentLists()) {
            n += list.status == noErr && list.destination == m_synth ? 1 : 0;
        }
        return n;
    }
    bool sentAfterAFailure() const
    {
        bool failed = false;
        for (const auto& list : m_backend.sentLists()) {
            if (failed) {
                return true;
            }
            failed = list.status != noErr;
        }
        return false;
    }

private:
    midi::ControlledVirtualBackend& m_backend;
    platform::SimulatedClock& m_clock;
    MIDIEndpointRef m_synth = 0;
    MIDIEndpointRef m_decoy = 0;
    std::atomic<int> m_arrived{0};
    std::atomic<bool> m_outputClosed{false};
};

// Leaks found since the last check (LSan, under the asan preset); 0 elsewhere.
inline int leaksSinceLastCheck()
{
#if defined(__SANITIZE_ADDRESS__)
    return __lsan_do_recoverable_leak_check();
#else
    return 0;
#endif
}

} // namespace mirelo::test
