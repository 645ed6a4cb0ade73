#include "schedule/MessageStream.h"

#include <algorithm>
#include <cstring>

namespace {

// Small schedules stay small; large ones waste at most one record's worth at
// the end of each 1 MiB block.
constexpr std::size_t kFirstBlockBytes = std::size_t{4} * 1024;
constexpr std::size_t kLargestBlockBytes = std::size_t{1024} * 1024;
// A 64-bit number takes at most ten 7-bit groups.
constexpr std::size_t kLongestNumber = 10;

std::uint8_t* putNumber(std::uint8_t* out, std::uint64_t value)
{
    while (value >= 0x80) {
        *out++ = static_cast<std::uint8_t>(value | 0x80);
        value >>= 7;
    }
    *out++ = static_cast<std::uint8_t>(value);
    return out;
}

} // namespace

void CMessageStream::append(std::uint64_t tickStep, std::uint64_t millisecondStep, std::span<const std::uint8_t> bytes)
{
    const std::size_t most = 3 * kLongestNumber + bytes.size();
    if (m_blocks.empty() || m_blocks.back().size - m_blocks.back().used < most) {
        const std::size_t grown =
            m_blocks.empty() ? kFirstBlockBytes : std::min(m_blocks.back().size * 2, kLargestBlockBytes);
        SBlock block;
        block.size = std::max(grown, most);
        // Left uninitialised: the pages are touched only as records fill them.
        block.data.reset(new std::uint8_t[block.size]);
        m_blocks.push_back(std::move(block));
    }
    SBlock& block = m_blocks.back();
    std::uint8_t* out = block.data.get() + block.used;
    out = putNumber(out, tickStep);
    out = putNumber(out, millisecondStep);
    out = putNumber(out, bytes.size());
    if (!bytes.empty()) {
        std::memcpy(out, bytes.data(), bytes.size());
    }
    out += bytes.size();
    block.used = static_cast<std::size_t>(out - block.data.get());
}

void CMessageStream::clear()
{
    m_blocks.clear();
    m_blocks.shrink_to_fit();
}

std::size_t CMessageStream::capacity() const
{
    std::size_t total = 0;
    for (const SBlock& block : m_blocks) {
        total += block.size;
    }
    return total;
}

std::uint64_t CMessageStream::CReader::number()
{
    const std::uint8_t* in = m_stream->m_blocks[m_block].data.get() + m_position;
    std::uint64_t value = 0;
    unsigned shift = 0;
    std::size_t taken = 0;
    std::uint8_t b = 0;
    do {
        b = in[taken++];
        value |= std::uint64_t{b & 0x7Fu} << shift;
        shift += 7;
    } while ((b & 0x80) != 0);
    m_position += taken;
    return value;
}

CMessageStream::SRecord CMessageStream::CReader::next()
{
    if (m_position == m_stream->m_blocks[m_block].used) {
        ++m_block;
        m_position = 0;
    }
    SRecord record;
    record.tickStep = number();
    record.millisecondStep = number();
    const std::size_t size = number();
    record.bytes = {m_stream->m_blocks[m_block].data.get() + m_position, size};
    m_position += size;
    return record;
}
