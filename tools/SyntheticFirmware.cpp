#include "tools/SyntheticFirmware.h"

#include <cstring>

namespace {

constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;
constexpr char kBanner[] = "MIRELO SYNTHETIC FIRMWARE 1.1";

void append7(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<std::uint8_t>((value >> (7 * i)) & 0x7F));
    }
}

std::vector<std::uint8_t> messageStart(std::uint8_t command)
{
    return {kSysExStart, CSyntheticFirmware::kManufacturerId, CSyntheticFirmware::kModelId, command};
}

} // namespace

CSyntheticFirmware::CSyntheticFirmware() : m_image(kBlockCount * kBlockSize)
{
    // xorshift32: the same bytes on every machine and compiler.
    std::uint32_t state = 0x4D49524Cu;
    for (auto& b : m_image) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    std::memcpy(m_image.data(), kBanner, sizeof kBanner - 1);
}

std::vector<std::vector<std::uint8_t>> CSyntheticFirmware::messages() const
{
    std::vector<std::vector<std::uint8_t>> all;
    all.reserve(kBlockCount + 2);
    all.push_back(headerMessage());
    for (std::size_t block = 0; block < kBlockCount; ++block) {
        all.push_back(dataMessage(block));
    }
    all.push_back(closingMessage());
    return all;
}

std::vector<std::uint8_t> CSyntheticFirmware::headerMessage() const
{
    std::vector<std::uint8_t> m = messageStart(kCommandHeader);
    m.push_back(kVersionMajor);
    m.push_back(kVersionMinor);
    append7(m, kBlockCount, 2);
    append7(m, kBlockSize, 2);
    append7(m, static_cast<std::uint32_t>(m_image.size()), 3);
    append7(m, crc32(m_image), 5);
    m.push_back(kSysExEnd);
    return m;
}

std::vector<std::uint8_t> CSyntheticFirmware::dataMessage(std::size_t block) const
{
    std::vector<std::uint8_t> m = messageStart(kCommandData);
    const std::size_t checkedFrom = m.size();
    append7(m, static_cast<std::uint32_t>(block), 2);
    const std::vector<std::uint8_t> packed = pack7(m_image.data() + block * kBlockSize, kBlockSize);
    m.insert(m.end(), packed.begin(), packed.end());
    unsigned sum = 0;
    for (std::size_t i = checkedFrom; i < m.size(); ++i) {
        sum += m[i];
    }
    m.push_back(static_cast<std::uint8_t>((0x80 - (sum & 0x7F)) & 0x7F));
    m.push_back(kSysExEnd);
    return m;
}

std::vector<std::uint8_t> CSyntheticFirmware::closingMessage() const
{
    std::vector<std::uint8_t> m = messageStart(kCommandClosing);
    append7(m, kBlockCount, 2);
    append7(m, crc32(m_image), 5);
    m.push_back(kSysExEnd);
    return m;
}

std::vector<std::uint8_t> CSyntheticFirmware::pack7(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> out;
    out.reserve(size + (size + 6) / 7);
    for (std::size_t group = 0; group < size; group += 7) {
        const std::size_t n = size - group < 7 ? size - group : 7;
        std::uint8_t topBits = 0;
        for (std::size_t i = 0; i < n; ++i) {
            topBits = static_cast<std::uint8_t>(topBits | ((data[group + i] >> 7) << i));
        }
        out.push_back(topBits);
        for (std::size_t i = 0; i < n; ++i) {
            out.push_back(data[group + i] & 0x7F);
        }
    }
    return out;
}

std::vector<std::uint8_t> CSyntheticFirmware::unpack7(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> out;
    for (std::size_t group = 0; group < size; group += 8) {
        const std::size_t n = size - group < 8 ? size - group : 8;
        for (std::size_t i = 1; i < n; ++i) {
            out.push_back(static_cast<std::uint8_t>(data[group + i] | (((data[group] >> (i - 1)) & 1) << 7)));
        }
    }
    return out;
}

std::uint32_t CSyntheticFirmware::crc32(const std::vector<std::uint8_t>& data)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t b : data) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}
