#include "tools/instrument-emulator/FirmwareReceiver.h"

#include "tools/SyntheticFirmware.h"

#include <cstdio>

namespace {

constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;
constexpr std::uint8_t kFirstRealTime = 0xF8;
// F0, manufacturer, model, command.
constexpr std::size_t kPrefixBytes = 4;
constexpr std::size_t kHeaderBytes = 19;
constexpr std::size_t kClosingBytes = 12;

// A number written 7 bits per byte, most significant first.
std::uint64_t read7(const std::uint8_t* p, int bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value = value << 7 | p[i];
    }
    return value;
}

std::string hex(std::uint64_t value, int digits)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

} // namespace

CFirmwareReceiver::EEnd CFirmwareReceiver::feed(std::uint8_t byte)
{
    const std::size_t offset = m_offset++;
    if (m_state == EState::kRejected || byte >= kFirstRealTime) {
        return EEnd::kNothing;
    }
    if (byte == kSysExStart) {
        if (m_inMessage) {
            reject(EFault::kMalformed,
                   "malformed: a SysEx message began inside another at byte " + std::to_string(offset));
            return EEnd::kNothing;
        }
        m_inMessage = true;
        m_message.assign(1, byte);
        return EEnd::kNothing;
    }
    if (!m_inMessage) {
        reject(EFault::kMalformed,
               "malformed: byte " + hex(byte, 2) + " outside a SysEx message at byte " + std::to_string(offset));
        return EEnd::kNothing;
    }
    if (byte == kSysExEnd) {
        m_message.push_back(byte);
        m_inMessage = false;
        return finishMessage();
    }
    if (byte > 0x7F) {
        reject(EFault::kMalformed,
               "malformed: status byte " + hex(byte, 2) + " inside a SysEx message at byte " + std::to_string(offset));
        return EEnd::kNothing;
    }
    if (m_message.size() >= kMaxMessageBytes) {
        reject(EFault::kMalformed,
               "malformed: a SysEx message longer than " + std::to_string(kMaxMessageBytes) + " bytes");
        return EEnd::kNothing;
    }
    m_message.push_back(byte);
    return EEnd::kNothing;
}

void CFirmwareReceiver::reject(EFault fault, std::string text)
{
    m_state = EState::kRejected;
    m_fault = fault;
    m_faultText = std::move(text);
}

CFirmwareReceiver::EEnd CFirmwareReceiver::finishMessage()
{
    // Messages for other instruments are none of this one's business.
    if (m_message.size() < kPrefixBytes + 1 || m_message[1] != CSyntheticFirmware::kManufacturerId ||
        m_message[2] != CSyntheticFirmware::kModelId) {
        return EEnd::kOtherMessage;
    }
    if (m_state == EState::kComplete) {
        reject(EFault::kOrder, "order: a message after the closing message");
        return EEnd::kOtherMessage;
    }
    switch (m_message[3]) {
    case CSyntheticFirmware::kCommandHeader:
        takeHeader();
        return EEnd::kOtherMessage;
    case CSyntheticFirmware::kCommandData:
        takeBlock();
        return EEnd::kBlock;
    case CSyntheticFirmware::kCommandClosing:
        takeClosing();
        return EEnd::kOtherMessage;
    default:
        reject(EFault::kMalformed, "malformed: unknown command " + hex(m_message[3], 2));
        return EEnd::kOtherMessage;
    }
}

void CFirmwareReceiver::takeHeader()
{
    if (m_state != EState::kAwaitingHeader) {
        reject(EFault::kOrder, "order: a second header after block " + std::to_string(m_blocksReceived));
        return;
    }
    if (m_message.size() != kHeaderBytes) {
        reject(EFault::kMalformed, "malformed: a header of " + std::to_string(m_message.size()) + " bytes, not " +
                                       std::to_string(kHeaderBytes));
        return;
    }
    const std::uint8_t* p = m_message.data() + kPrefixBytes + 2; // after the version
    m_blockCount = read7(p, 2);
    m_blockSize = read7(p + 2, 2);
    m_imageSize = read7(p + 4, 3);
    const std::uint64_t crc = read7(p + 7, 5);
    if (m_blockCount == 0 || m_blockSize == 0 || m_blockSize > kMaxBlockBytes || crc > 0xFFFFFFFFu ||
        m_imageSize > m_blockCount * m_blockSize || m_imageSize <= (m_blockCount - 1) * m_blockSize) {
        reject(EFault::kMalformed, "malformed: a header whose sizes do not fit together (" +
                                       std::to_string(m_blockCount) + " blocks of " + std::to_string(m_blockSize) +
                                       " bytes for " + std::to_string(m_imageSize) + ")");
        return;
    }
    m_crc = static_cast<std::uint32_t>(crc);
    m_versionMajor = m_message[kPrefixBytes];
    m_versionMinor = m_message[kPrefixBytes + 1];
    m_image.reserve(m_imageSize);
    m_state = EState::kReceivingBlocks;
}

void CFirmwareReceiver::takeBlock()
{
    if (m_state != EState::kReceivingBlocks) {
        reject(EFault::kOrder, "order: a data block before the header");
        return;
    }
    // F0 7D 4D 02, index (2), packed data, checksum, F7.
    if (m_message.size() < kPrefixBytes + 4) {
        reject(EFault::kMalformed, "malformed: a data block of " + std::to_string(m_message.size()) + " bytes");
        return;
    }
    const std::size_t index = read7(m_message.data() + kPrefixBytes, 2);
    unsigned sum = 0;
    for (std::size_t i = kPrefixBytes; i + 1 < m_message.size(); ++i) {
        sum += m_message[i];
    }
    if ((sum & 0x7F) != 0) {
        reject(EFault::kChecksum, "checksum of block " + std::to_string(index));
        return;
    }
    if (index < m_blocksReceived) {
        reject(EFault::kOrder,
               "order: block " + std::to_string(index) + " after block " + std::to_string(m_blocksReceived - 1));
        return;
    }
    if (index >= m_blockCount) {
        reject(EFault::kOrder, "order: block " + std::to_string(index) + " of " + std::to_string(m_blockCount));
        return;
    }
    if (index > m_blocksReceived) {
        reject(EFault::kMissingBlock, "missing block " + std::to_string(m_blocksReceived) + " (block " +
                                          std::to_string(index) + " came instead)");
        return;
    }
    const std::size_t packedStart = kPrefixBytes + 2;
    const std::vector<std::uint8_t> data =
        CSyntheticFirmware::unpack7(m_message.data() + packedStart, m_message.size() - packedStart - 2);
    const std::size_t expected = std::min(m_blockSize, m_imageSize - index * m_blockSize);
    if (data.size() != expected) {
        reject(EFault::kMalformed, "malformed: block " + std::to_string(index) + " holds " +
                                       std::to_string(data.size()) + " bytes, not " + std::to_string(expected));
        return;
    }
    m_image.insert(m_image.end(), data.begin(), data.end());
    ++m_blocksReceived;
}

void CFirmwareReceiver::takeClosing()
{
    if (m_state != EState::kReceivingBlocks) {
        reject(EFault::kOrder, "order: a closing message before the header");
        return;
    }
    if (m_message.size() != kClosingBytes) {
        reject(EFault::kMalformed, "malformed: a closing message of " + std::to_string(m_message.size()) +
                                       " bytes, not " + std::to_string(kClosingBytes));
        return;
    }
    if (m_blocksReceived < m_blockCount) {
        reject(EFault::kMissingBlock,
               "missing block " + std::to_string(m_blocksReceived) + " (the closing message came instead)");
        return;
    }
    const std::uint8_t* p = m_message.data() + kPrefixBytes;
    const std::uint64_t count = read7(p, 2);
    const std::uint64_t crc = read7(p + 2, 5);
    if (count != m_blockCount) {
        reject(EFault::kMalformed, "malformed: the closing message counts " + std::to_string(count) +
                                       " blocks, the header " + std::to_string(m_blockCount));
        return;
    }
    const std::uint32_t imageCrc = CSyntheticFirmware::crc32(m_image);
    if (crc != m_crc || imageCrc != m_crc) {
        reject(EFault::kCrc, "CRC mismatch: image " + hex(imageCrc, 8) + ", header " + hex(m_crc, 8) +
                                 ", closing message " + hex(crc, 8));
        return;
    }
    m_state = EState::kComplete;
}
