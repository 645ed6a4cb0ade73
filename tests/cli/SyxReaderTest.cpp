#include "cli/SyxReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct SAccepted {
    const char* name;
    Bytes input;
    std::vector<Bytes> messages;
    std::vector<std::size_t> offsets;
};

TEST(SyxReader, AcceptsEveryCompleteMessageInOrder)
{
    const std::vector<SAccepted> cases = {
        {"empty input", {}, {}, {}},
        {"one message", {0xF0, 0x7D, 0x01, 0xF7}, {{0xF0, 0x7D, 0x01, 0xF7}}, {0}},
        {"empty message", {0xF0, 0xF7}, {{0xF0, 0xF7}}, {0}},
        {"back to back",
         {0xF0, 0x01, 0xF7, 0xF0, 0x02, 0x03, 0xF7},
         {{0xF0, 0x01, 0xF7}, {0xF0, 0x02, 0x03, 0xF7}},
         {0, 3}},
        {"data byte 0x7F", {0xF0, 0x7F, 0x00, 0xF7}, {{0xF0, 0x7F, 0x00, 0xF7}}, {0}},
    };
    for (const auto& c : cases) {
        CSyxReader reader;
        ASSERT_TRUE(reader.parse(c.input.data(), c.input.size())) << c.name;
        ASSERT_EQ(reader.messages().size(), c.messages.size()) << c.name;
        std::vector<Bytes> messages;
        std::vector<std::size_t> offsets;
        for (const auto& m : reader.messages()) {
            messages.emplace_back(m.bytes.begin(), m.bytes.end());
            offsets.push_back(m.offset);
        }
        EXPECT_EQ(messages, c.messages) << c.name;
        EXPECT_EQ(offsets, c.offsets) << c.name;
    }
}

struct SRefused {
    const char* name;
    Bytes input;
    std::size_t offset;
    const char* mentions;
};

TEST(SyxReader, RefusesMalformedInputAtTheOffendingByte)
{
    const std::vector<SRefused> cases = {
        {"ends inside a message", {0xF0, 0x01, 0xF7, 0xF0, 0x02}, 5, "truncated"},
        {"lone F0", {0xF0}, 1, "truncated"},
        {"new F0 before F7", {0xF0, 0x01, 0xF0, 0x02, 0xF7}, 2, "truncated"},
        {"status byte inside", {0xF0, 0x01, 0x90, 0x02, 0xF7}, 2, "above 0x7F"},
        {"real-time byte inside", {0xF0, 0x01, 0xF8, 0xF7}, 2, "above 0x7F"},
        {"data before the first message", {0x01, 0xF0, 0xF7}, 0, "outside"},
        {"byte between messages", {0xF0, 0xF7, 0x0A, 0xF0, 0xF7}, 2, "outside"},
        {"stray F7", {0xF7}, 0, "outside"},
    };
    for (const auto& c : cases) {
        CSyxReader reader;
        EXPECT_FALSE(reader.parse(c.input.data(), c.input.size())) << c.name;
        ASSERT_TRUE(reader.error().has_value()) << c.name;
        EXPECT_EQ(reader.error()->offset, c.offset) << c.name;
        EXPECT_NE(reader.error()->what.find(c.mentions), std::string::npos) << c.name << ": " << reader.error()->what;
        EXPECT_TRUE(reader.messages().empty()) << c.name << ": a refused input yields nothing";
    }
}

TEST(SyxReader, DescribesTheErrorWithFileAndOffset)
{
    const Bytes input = {0xF0, 0x01, 0xF7, 0xF0, 0x02, 0x83, 0xF7};
    CSyxReader reader;
    ASSERT_FALSE(reader.parse(input.data(), input.size()));
    const std::string text = reader.describeError("fw.syx");
    EXPECT_EQ(text.rfind("fw.syx: offset 5 (0x5): ", 0), 0u) << text;
    EXPECT_NE(text.find("0x83"), std::string::npos) << text;
    EXPECT_NE(text.find("offset 3"), std::string::npos) << "names where the message starts: " << text;
}

TEST(SyxReader, RefusesAMessageTooLongToSend)
{
    Bytes input(CSyxReader::kMaxMessageSize + 1, 0x00);
    input.front() = 0xF0;
    input.back() = 0xF7;
    CSyxReader reader;
    EXPECT_FALSE(reader.parse(input.data(), input.size()));
    input.pop_back();
    input.back() = 0xF7;
    EXPECT_TRUE(reader.parse(input.data(), input.size()));
}

TEST(SyxReader, MissingFileIsRefusedWithoutAnOffset)
{
    CSyxReader reader;
    EXPECT_FALSE(reader.readFile("/nonexistent/dir/fw.syx"));
    ASSERT_TRUE(reader.error().has_value());
    EXPECT_FALSE(reader.error()->offset.has_value());
    EXPECT_EQ(reader.describeError("fw.syx").rfind("fw.syx: cannot be read", 0), 0u);
}

// Every byte the reader looks at must be inside the buffer: each input is
// copied to an exactly sized heap block so the sanitizers see any overrun.
TEST(SyxReader, RandomInputsStayInsideTheBuffer)
{
    std::mt19937 random(7);
    const std::uint8_t alphabet[] = {0xF0, 0xF7, 0x00, 0x7F, 0x80, 0xFF, 0x41};
    for (int round = 0; round < 2000; ++round) {
        const std::size_t size = random() % 24;
        auto buffer = std::make_unique<std::uint8_t[]>(size == 0 ? 1 : size);
        for (std::size_t i = 0; i < size; ++i) {
            buffer[i] = alphabet[random() % sizeof alphabet];
        }
        CSyxReader reader;
        if (reader.parse(buffer.get(), size)) {
            std::size_t total = 0;
            for (const auto& m : reader.messages()) {
                EXPECT_EQ(m.bytes.front(), 0xF0);
                EXPECT_EQ(m.bytes.back(), 0xF7);
                total += m.bytes.size();
            }
            EXPECT_EQ(total, size) << "an accepted input is exactly its messages";
        } else {
            EXPECT_LE(*reader.error()->offset, size);
        }
    }
}

} // namespace
