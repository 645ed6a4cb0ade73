#include "platform/midi/MIDIServices.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using mirelo::midi::PacketListStorage;

std::vector<Byte> bytesOf(const MIDIPacket& packet)
{
    const std::span<const Byte> bytes = mirelo::midi::packetBytes(packet);
    return {bytes.begin(), bytes.end()};
}

TEST(PacketList, PacketsArePackedSoAListOfNBytesInKPacketsTakes4Plus10KPlusN)
{
    const std::vector<Byte> first = {0xF0, 0x01, 0x02};
    const std::vector<Byte> second = {0x03, 0xF7};
    const std::size_t exact = 4 + 10 * 2 + first.size() + second.size();
    EXPECT_EQ(PacketListStorage::sizeFor(2, first.size() + second.size()), exact);
    PacketListStorage storage(exact);
    MIDIPacketList* list = storage.list();

    MIDIPacket* packet = MIDIPacketListInit(list);
    packet = MIDIPacketListAdd(list, exact, packet, 111, first.size(), first.data());
    ASSERT_NE(packet, nullptr);
    packet = MIDIPacketListAdd(list, exact, packet, 222, second.size(), second.data());
    ASSERT_NE(packet, nullptr);

    ASSERT_EQ(list->numPackets, 2u);
    const MIDIPacket& p0 = list->packet[0];
    const MIDIPacket& p1 = *MIDIPacketNext(&p0);
    EXPECT_EQ(reinterpret_cast<const Byte*>(&p1) - reinterpret_cast<const Byte*>(list), 4 + 10 + 3);
    EXPECT_EQ(MIDITimeStamp{p0.timeStamp}, 111u); // copied: packed fields cannot bind references
    EXPECT_EQ(bytesOf(p0), first);
    EXPECT_EQ(MIDITimeStamp{p1.timeStamp}, 222u);
    EXPECT_EQ(bytesOf(p1), second);
}

TEST(PacketList, AddRefusesWhatDoesNotFitAndLeavesTheListAlone)
{
    const std::vector<Byte> data(20, 0x11);
    PacketListStorage storage(4 + 10 + 20);
    MIDIPacketList* list = storage.list();
    MIDIPacket* packet = MIDIPacketListInit(list);

    EXPECT_EQ(MIDIPacketListAdd(list, storage.size() - 1, packet, 0, data.size(), data.data()), nullptr);
    EXPECT_EQ(list->numPackets, 0u);
    EXPECT_TRUE(storage.add(0, data.data(), data.size()));
    EXPECT_FALSE(storage.add(0, data.data(), 0));
    EXPECT_EQ(list->numPackets, 1u);
}

TEST(PacketList, AddRefusesOversizedPacketsAndMissingData)
{
    PacketListStorage storage(70000 + 20);
    std::vector<Byte> data(65536, 0x22);
    EXPECT_FALSE(storage.add(0, data.data(), 65536));
    EXPECT_FALSE(storage.add(0, nullptr, 1));
    EXPECT_TRUE(storage.add(0, data.data(), 65535));
}

TEST(PacketList, AnEmptyPacketStillCountsAsAPacket)
{
    PacketListStorage storage(64);
    ASSERT_TRUE(storage.add(5, nullptr, 0));
    EXPECT_EQ(storage.list()->numPackets, 1u);
    EXPECT_EQ(std::uint16_t{storage.list()->packet[0].length}, 0u);
}

// Bytes handed to a read procedure: 256-byte packets with one stamp, and
// flattened back to the same bytes.
TEST(PacketList, BytesArePackedIn256BytePacketsAndFlattenBack)
{
    for (std::size_t size : {0u, 1u, 256u, 257u, 5000u}) {
        SCOPED_TRACE(size);
        std::vector<Byte> message(size);
        for (std::size_t i = 0; i < size; ++i) {
            message[i] = static_cast<Byte>(i * 7);
        }
        const PacketListStorage storage = PacketListStorage::holding(message.data(), message.size(), 777);
        const MIDIPacketList& list = *storage.list();
        EXPECT_EQ(list.numPackets, (size + 255) / 256);
        std::size_t walked = 0;
        for (const MIDIPacket& packet : mirelo::midi::packetsOf(list)) {
            EXPECT_EQ(MIDITimeStamp{packet.timeStamp}, 777u);
            EXPECT_EQ(std::uint16_t{packet.length}, std::min<std::size_t>(256, size - walked * 256));
            ++walked;
        }
        EXPECT_EQ(walked, list.numPackets);
        EXPECT_EQ(mirelo::midi::allBytes(list), message);
    }
}

} // namespace
