// The synthetic firmware decodes back to its image, and the bundled update
// file made from it is paced like a real update over a MIDI cable.

#include "tools/SyntheticFirmware.h"

#include "schedule/FirmwareSchedule.h"
#include "tests/support/ScheduledMessages.h"
#include "platform/base/WholeFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t read7(const Bytes& m, std::size_t at, int count)
{
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        value = (value << 7) | m[at + static_cast<std::size_t>(i)];
    }
    return value;
}

TEST(SyntheticFirmware, MessagesCarryTheImage)
{
    const CSyntheticFirmware firmware;
    const std::vector<Bytes> messages = firmware.messages();
    ASSERT_EQ(messages.size(), CSyntheticFirmware::kBlockCount + 2);
    const std::uint32_t crc = CSyntheticFirmware::crc32(firmware.image());

    const Bytes& header = messages.front();
    EXPECT_EQ(header[3], CSyntheticFirmware::kCommandHeader);
    EXPECT_EQ(read7(header, 6, 2), CSyntheticFirmware::kBlockCount);
    EXPECT_EQ(read7(header, 8, 2), CSyntheticFirmware::kBlockSize);
    EXPECT_EQ(read7(header, 10, 3), firmware.image().size());
    EXPECT_EQ(read7(header, 13, 5), crc);

    Bytes rebuilt;
    for (std::size_t block = 0; block < CSyntheticFirmware::kBlockCount; ++block) {
        const Bytes& m = messages[block + 1];
        ASSERT_EQ(m.size(), 155u);
        EXPECT_EQ(m[3], CSyntheticFirmware::kCommandData);
        EXPECT_EQ(read7(m, 4, 2), block);
        unsigned sum = 0;
        for (std::size_t i = 4; i < m.size() - 1; ++i) {
            sum += m[i];
        }
        EXPECT_EQ(sum & 0x7F, 0u) << "checksum of block " << block;
        const Bytes payload = CSyntheticFirmware::unpack7(m.data() + 6, m.size() - 8);
        ASSERT_EQ(payload.size(), CSyntheticFirmware::kBlockSize);
        rebuilt.insert(rebuilt.end(), payload.begin(), payload.end());
    }
    EXPECT_EQ(rebuilt, firmware.image());
    EXPECT_EQ(read7(messages.back(), 6, 5), crc);

    for (const Bytes& m : messages) {
        EXPECT_EQ(m.front(), 0xF0);
        EXPECT_EQ(m[1], 0x7D);
        EXPECT_EQ(m.back(), 0xF7);
        for (std::size_t i = 1; i + 1 < m.size(); ++i) {
            ASSERT_LT(m[i], 0x80);
        }
    }
}

TEST(SyntheticFirmware, PackingRoundTripsEveryLength)
{
    Bytes data;
    for (int n = 0; n < 40; ++n) {
        const Bytes packed = CSyntheticFirmware::pack7(data.data(), data.size());
        EXPECT_EQ(packed.size(), data.size() + (data.size() + 6) / 7);
        EXPECT_EQ(CSyntheticFirmware::unpack7(packed.data(), packed.size()), data);
        data.push_back(static_cast<std::uint8_t>(0x9D * n + 0x80));
    }
}

TEST(BundledUpdateFile, IsPacedForA31250BaudCable)
{
    Bytes image;
    const auto read = mirelo::platform::readWholeFile(MIRELO_BUNDLED_UPDATE_FILE, image);
    ASSERT_TRUE(read.ok()) << read.reason;
    CFirmwareSchedule schedule;
    ASSERT_EQ(schedule.build(image.data(), static_cast<std::uint32_t>(image.size())), CFirmwareSchedule::EResult::kOk);
    const auto messages = mirelo::test::scheduledMessages(schedule);
    ASSERT_EQ(messages.size(), CSyntheticFirmware::kBlockCount + 2);

    // The same messages the generator makes, in order.
    const std::vector<Bytes> expected = CSyntheticFirmware().messages();
    for (std::size_t i = 0; i < messages.size(); ++i) {
        ASSERT_EQ(messages[i].bytes, expected[i]) << "message " << i;
    }

    constexpr double kWireBytesPerMs = 31250.0 / 10.0 / 1000.0; // 10 bits a byte
    for (std::size_t i = 0; i < messages.size(); ++i) {
        // Never more than 2,800 bytes in any one-second window starting at a message.
        std::uint64_t bytes = 0;
        for (std::size_t j = i; j < messages.size() && messages[j].sendTime < messages[i].sendTime + 1000; ++j) {
            bytes += messages[j].bytes.size();
        }
        EXPECT_LE(bytes, 2800u) << "window from message " << i;
        // Each message is off the wire before the next is due.
        if (i + 1 < messages.size()) {
            EXPECT_LE(static_cast<double>(messages[i].bytes.size()) / kWireBytesPerMs,
                      static_cast<double>(messages[i + 1].sendTime - messages[i].sendTime));
        }
    }
    EXPECT_GE(schedule.duration(), 14000u);
    EXPECT_LE(schedule.duration(), 16000u);
}

} // namespace
