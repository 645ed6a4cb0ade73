#include "tools/instrument-emulator/InstrumentEmulator.h"

#include <cstdio>

CInstrumentEmulator::CInstrumentEmulator(const SSettings& settings)
    : m_settings(settings), m_buffer(settings.bufferBytes, settings.bytesPerSecond, settings.blockProcessingNs)
{
}

void CInstrumentEmulator::receive(const std::uint8_t* bytes, std::size_t size, std::uint64_t timeNs)
{
    // Each message's bytes enter the buffer as one run, so that the device
    // knows where a block ends and its processing begins.
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < size && m_outcome == EOutcome::kPending; ++i) {
        // The block being received when the buffer overruns.
        const std::size_t block = m_receiver.blocksReceived();
        const CFirmwareReceiver::EEnd end = m_receiver.feed(bytes[i]);
        if (m_receiver.state() == CFirmwareReceiver::EState::kRejected) {
            settle();
            return;
        }
        const bool lastByte = i + 1 == size;
        if (end == CFirmwareReceiver::EEnd::kNothing && !lastByte) {
            continue;
        }
        if (!m_buffer.arrive(i + 1 - runStart, end == CFirmwareReceiver::EEnd::kBlock, timeNs)) {
            m_overran = true;
            m_outcome = EOutcome::kRejected;
            m_verdict = "rejected: overrun at block " + std::to_string(block) + ": " +
                        std::to_string(m_buffer.level()) + " bytes for a " + std::to_string(m_buffer.capacity()) +
                        "-byte buffer";
            return;
        }
        runStart = i + 1;
        settle();
    }
}

void CInstrumentEmulator::inputEnded(EInputEnd why, double afterSeconds)
{
    if (m_outcome != EOutcome::kPending) {
        return;
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s", afterSeconds);
    m_outcome = EOutcome::kRejected;
    m_verdict = std::string(why == EInputEnd::kTimeout ? "rejected: incomplete at timeout: "
                                                       : "rejected: incomplete, the device end went away: ") +
                progress() + " after " + seconds;
}

void CInstrumentEmulator::settle()
{
    switch (m_receiver.state()) {
    case CFirmwareReceiver::EState::kRejected:
        m_outcome = EOutcome::kRejected;
        m_verdict = "rejected: " + m_receiver.faultText();
        break;
    case CFirmwareReceiver::EState::kComplete: {
        char crc[16];
        std::snprintf(crc, sizeof crc, "0x%08X", static_cast<unsigned>(m_receiver.crc()));
        m_outcome = EOutcome::kAccepted;
        m_verdict = "accepted: " + std::to_string(m_receiver.blocksReceived()) + " blocks, " +
                    std::to_string(m_receiver.imageBytes()) + " bytes, CRC ok (" + crc + "), minimum spare buffer " +
                    std::to_string(m_buffer.minimumSpare()) + " of " + std::to_string(m_buffer.capacity()) + " bytes";
        break;
    }
    default:
        break;
    }
}

std::string CInstrumentEmulator::progress() const
{
    if (m_receiver.state() == CFirmwareReceiver::EState::kAwaitingHeader) {
        return "no header";
    }
    return std::to_string(m_receiver.blocksReceived()) + " of " + std::to_string(m_receiver.blocksExpected()) +
           " blocks";
}
