#include "platform/MIDIServices.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<Byte> bytesOf(const MIDIPacket& packet)
{
    const auto* start = reinterpret_cast<const Byte*>(&packet) + offsetof(MIDIPacket, data);
    return {start, start + packet.length};
}

TEST(PacketList, PacketsArePackedSoAListOfNBytesInKPacketsTakes4Plus10KPlusN)
{
    const std::vector<Byte> first = {0xF0, 0x01, 0x02};
    const std::vector<Byte> second = {0x03, 0xF7};
    const std::size_t exact = 4 + 10 * 2 + first.size() + second.size();
    std::vector<Byte> storage(exact);
    auto* list = reinterpret_cast<MIDIPacketList*>(storage.data());

    MIDIPacket* packet = MIDIPacketListInit(list);
    packet = MIDIPacketListAdd(list, exact, packet, 111, first.size(), first.data());
    ASSERT_NE(packet, nullptr);
    packet = MIDIPacketListAdd(list, exact, packet, 222, second.size(), second.data());
    ASSERT_NE(packet, nullptr);

    ASSERT_EQ(list->numPackets, 2u);
    const MIDIPacket& p0 = list->packet[0];
    const MIDIPacket& p1 = *MIDIPacketNext(&p0);
    EXPECT_EQ(reinterpret_cast<const Byte*>(&p1) - storage.data(), 4 + 10 + 3);
    EXPECT_EQ(MIDITimeStamp{p0.timeStamp}, 111u); // copied: packed fields cannot bind references
    EXPECT_EQ(bytesOf(p0), first);
    EXPECT_EQ(MIDITimeStamp{p1.timeStamp}, 222u);
    EXPECT_EQ(bytesOf(p1), second);
}

TEST(PacketList, AddRefusesWhatDoesNotFitAndLeavesTheListAlone)
{
    const std::vector<Byte> data(20, 0x11);
    std::vector<Byte> storage(4 + 10 + 20);
    auto* list = reinterpret_cast<MIDIPacketList*>(storage.data());
    MIDIPacket* packet = MIDIPacketListInit(list);

    EXPECT_EQ(MIDIPacketListAdd(list, storage.size() - 1, packet, 0, data.size(), data.data()), nullptr);
    EXPECT_EQ(list->numPackets, 0u);
    packet = MIDIPacketListAdd(list, storage.size(), packet, 0, data.size(), data.data());
    ASSERT_NE(packet, nullptr);
    EXPECT_EQ(MIDIPacketListAdd(list, storage.size(), packet, 0, 0, data.data()), nullptr);
    EXPECT_EQ(list->numPackets, 1u);
}

TEST(PacketList, AddRefusesOversizedPacketsAndMissingData)
{
    std::vector<Byte> storage(70000 + 20);
    std::vector<Byte> data(65536, 0x22);
    auto* list = reinterpret_cast<MIDIPacketList*>(storage.data());
    MIDIPacket* packet = MIDIPacketListInit(list);

    EXPECT_EQ(MIDIPacketListAdd(list, storage.size(), packet, 0, 65536, data.data()), nullptr);
    EXPECT_EQ(MIDIPacketListAdd(list, storage.size(), packet, 0, 1, nullptr), nullptr);
    EXPECT_NE(MIDIPacketListAdd(list, storage.size(), packet, 0, 65535, data.data()), nullptr);
}

TEST(PacketList, AnEmptyPacketStillCountsAsAPacket)
{
    std::vector<Byte> storage(64);
    auto* list = reinterpret_cast<MIDIPacketList*>(storage.data());
    MIDIPacket* packet = MIDIPacketListInit(list);
    packet = MIDIPacketListAdd(list, storage.size(), packet, 5, 0, nullptr);
    ASSERT_NE(packet, nullptr);
    EXPECT_EQ(list->numPackets, 1u);
    EXPECT_EQ(std::uint16_t{packet->length}, 0u);
}

} // namespace
