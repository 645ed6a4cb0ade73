#pragma once
// The instrument's side of the update protocol (the format CSyntheticFirmware
// writes): assembles SysEx messages from raw MIDI bytes and checks them as
// the instrument's boot loader would: the header first, then every block in
// order with a good checksum, then a closing message whose block count and
// CRC-32 match the header and the image received. The first fault rejects
// the whole update; nothing after it is looked at.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CFirmwareReceiver {
public:
    enum class EState { kAwaitingHeader, kReceivingBlocks, kComplete, kRejected };
    enum class EFault { kNone, kMalformed, kChecksum, kOrder, kMissingBlock, kCrc };
    // What a byte finished.
    enum class EEnd { kNothing, kBlock, kOtherMessage };

    static constexpr std::size_t kMaxMessageBytes = 4096;
    static constexpr std::size_t kMaxBlockBytes = 2048;

    EEnd feed(std::uint8_t byte);

    EState state() const { return m_state; }
    EFault fault() const { return m_fault; }
    // Why the update was rejected, in words ("checksum of block 5").
    const std::string& faultText() const { return m_faultText; }

    std::size_t blocksReceived() const { return m_blocksReceived; }
    std::size_t blocksExpected() const { return m_blockCount; }
    std::size_t imageBytes() const { return m_image.size(); }
    std::uint32_t crc() const { return m_crc; }
    // The major and minor version the header announced (0.0 before a header).
    std::uint8_t versionMajor() const { return m_versionMajor; }
    std::uint8_t versionMinor() const { return m_versionMinor; }

private:
    void reject(EFault fault, std::string text);
    EEnd finishMessage();
    void takeHeader();
    void takeBlock();
    void takeClosing();

    EState m_state = EState::kAwaitingHeader;
    EFault m_fault = EFault::kNone;
    std::string m_faultText;
    bool m_inMessage = false;
    std::size_t m_offset = 0; // of the byte being fed, for messages about it
    std::vector<std::uint8_t> m_message;

    std::size_t m_blockCount = 0;
    std::size_t m_blockSize = 0;
    std::size_t m_imageSize = 0;
    std::uint32_t m_crc = 0;
    std::uint8_t m_versionMajor = 0;
    std::uint8_t m_versionMinor = 0;
    std::size_t m_blocksReceived = 0;
    std::vector<std::uint8_t> m_image;
};
