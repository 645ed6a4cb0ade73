#include "tests/fuzz/PacketListDecoder.h"

#include "platform/MIDIServices.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kListHeaderSize = offsetof(MIDIPacketList, packet);
constexpr std::size_t kPacketHeaderSize = offsetof(MIDIPacket, data);
constexpr unsigned kMaxPacketsPerList = 9;
constexpr std::uint8_t kLongLength = 0xFF;

class CInput {
public:
    CInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool empty() const { return m_at >= m_size; }
    std::uint8_t byte() { return empty() ? 0 : m_data[m_at++]; }
    std::vector<std::uint8_t> take(std::size_t count)
    {
        count = std::min(count, m_size - m_at);
        std::vector<std::uint8_t> out(m_data + m_at, m_data + m_at + count);
        m_at += count;
        return out;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

} // namespace

SPacketListImage makePacketList(std::vector<std::vector<std::uint8_t>> packets)
{
    SPacketListImage list;
    list.size = kListHeaderSize;
    for (const auto& packet : packets) {
        list.size += kPacketHeaderSize + packet.size();
    }
    list.bytes = std::make_unique<std::uint8_t[]>(list.size);
    const auto count = static_cast<std::uint32_t>(packets.size());
    std::memcpy(list.bytes.get(), &count, sizeof count);
    std::size_t at = kListHeaderSize;
    MIDITimeStamp timeStamp = 1000;
    for (const auto& packet : packets) {
        const auto length = static_cast<std::uint16_t>(packet.size());
        std::memcpy(list.bytes.get() + at, &timeStamp, sizeof timeStamp);
        std::memcpy(list.bytes.get() + at + sizeof timeStamp, &length, sizeof length);
        if (!packet.empty()) {
            std::memcpy(list.bytes.get() + at + kPacketHeaderSize, packet.data(), packet.size());
        }
        at += kPacketHeaderSize + packet.size();
        ++timeStamp;
    }
    list.packets = std::move(packets);
    return list;
}

std::vector<SPacketListImage> decodePacketLists(const std::uint8_t* data, std::size_t size)
{
    std::vector<SPacketListImage> lists;
    CInput input(data, size);
    while (!input.empty()) {
        const unsigned count = input.byte() % kMaxPacketsPerList;
        std::vector<std::vector<std::uint8_t>> packets;
        for (unsigned i = 0; i < count; ++i) {
            std::size_t length = input.byte();
            if (length == kLongLength) {
                length = std::size_t{input.byte()} << 8;
                length |= input.byte();
            }
            packets.push_back(input.take(length));
        }
        lists.push_back(makePacketList(std::move(packets)));
    }
    return lists;
}
