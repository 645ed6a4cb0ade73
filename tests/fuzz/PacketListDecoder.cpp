#include "tests/fuzz/PacketListDecoder.h"

#include "tests/fuzz/FuzzCheck.h"

#include <algorithm>

namespace {

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
    SPacketListImage image;
    std::size_t dataBytes = 0;
    for (const auto& packet : packets) {
        dataBytes += packet.size();
    }
    // No room to spare, unlike mirelo::midi::PacketListStorage: a stray read is caught.
    image.size = mirelo::midi::PacketListStorage::sizeFor(packets.size(), dataBytes);
    image.bytes = std::make_unique<std::uint8_t[]>(image.size);
    auto* list = reinterpret_cast<MIDIPacketList*>(image.bytes.get());
    MIDIPacket* packet = MIDIPacketListInit(list);
    MIDITimeStamp timeStamp = 1000;
    for (const auto& data : packets) {
        packet = MIDIPacketListAdd(list, image.size, packet, timeStamp++, data.size(), data.data());
        FUZZ_CHECK(packet != nullptr);
    }
    image.packets = std::move(packets);
    return image;
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
