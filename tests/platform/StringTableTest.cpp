#include "platform/base/StringTable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using mirelo::platform::StringTable;
using namespace std::string_literals;

namespace {

std::string valueOf(const StringTable& table, const std::string& key)
{
    const std::string* value = table.find(key);
    return value ? *value : "<missing>";
}

TEST(StringTable, ReadsOneObjectOfTextsBetweenComments)
{
    const StringTable table = StringTable::parse("\xEF\xBB\xBF/* header\n spanning lines */\r\n"
                                                 "{\r\n"
                                                 "  \"-50\": \"Bad value.\",   // trailing comment\r\n"
                                                 "  \"k\": \"q\\\" b\\\\ n\\n t\\t e\\u00e9 \\u20AC \\uD83C\\uDFB9\",\n"
                                                 "  \"raw\": \"caf\xC3\xA9 \xF0\x9F\x8E\xB9\"\n"
                                                 "}\n");
    EXPECT_TRUE(table.problems().empty()) << table.problems().front().message;
    EXPECT_EQ(table.size(), 3u);
    EXPECT_EQ(valueOf(table, "-50"), "Bad value.");
    EXPECT_EQ(valueOf(table, "k"), "q\" b\\ n\n t\t e\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB9");
    EXPECT_EQ(valueOf(table, "raw"), "caf\xC3\xA9 \xF0\x9F\x8E\xB9");
    EXPECT_EQ(table.find("missing"), nullptr);
}

struct SMalformedCase {
    const char* name;
    std::string text;
    std::size_t problemLine;
};

class StringTableMalformed : public testing::TestWithParam<SMalformedCase> {};

// Text that is not one object of texts is refused whole, with the line where
// reading stopped: a table that is half there would show the wrong alerts.
TEST_P(StringTableMalformed, IsRefusedWholeOnItsLine)
{
    const StringTable table = StringTable::parse(GetParam().text);
    EXPECT_EQ(table.size(), 0u);
    ASSERT_EQ(table.problems().size(), 1u);
    EXPECT_EQ(table.problems().front().line, GetParam().problemLine) << table.problems().front().message;
    EXPECT_FALSE(table.problems().front().message.empty());
}

// Each bad member follows a good one on line 2, so the line is the bad one's.
INSTANTIATE_TEST_SUITE_P(
    Cases, StringTableMalformed,
    testing::Values(SMalformedCase{"Empty", ""s, 1}, SMalformedCase{"NotAnObject", "[\"a\", \"b\"]"s, 1},
                    SMalformedCase{"TextAfterTheObject", "{}\n{}"s, 2},
                    SMalformedCase{"MissingComma", "{\n\"a\": \"x\"\n\"b\": \"y\"}"s, 3},
                    SMalformedCase{"TrailingComma", "{\n\"a\": \"x\",\n}"s, 3},
                    SMalformedCase{"UnquotedKey", "{\n\"a\": \"x\",\nb: \"y\"}"s, 3},
                    SMalformedCase{"StrayBytes", "{\n\"a\": \"x\",\n\x01\x02\xFF garbage}"s, 3},
                    SMalformedCase{"LineBreakInText", "{\n\"a\": \"x\",\n\"b\": \"x\ny\"}"s, 3},
                    SMalformedCase{"ControlCharacter", "{\n\"a\": \"x\",\n\"b\": \"x\x07y\"}"s, 3},
                    SMalformedCase{"NulByte", "{\n\"a\": \"x\",\n\"b\": \"x\0y\"}"s, 3},
                    SMalformedCase{"UnknownEscape", "{\n\"a\": \"x\",\n\"b\": \"\\q\"}"s, 3},
                    SMalformedCase{"ShortUnicodeEscape", "{\n\"a\": \"x\",\n\"b\": \"\\u12\"}"s, 3},
                    SMalformedCase{"LoneSurrogateEscape", "{\n\"a\": \"x\",\n\"b\": \"\\uD800\"}"s, 3},
                    SMalformedCase{"OverlongUtf8", "{\n\"a\": \"x\",\n\"b\": \"\xC0\xAF\"}"s, 3},
                    SMalformedCase{"EncodedSurrogate", "{\n\"a\": \"x\",\n\"b\": \"\xED\xA0\x80\"}"s, 3},
                    SMalformedCase{"AboveUnicode", "{\n\"a\": \"x\",\n\"b\": \"\xF4\x90\x80\x80\"}"s, 3},
                    SMalformedCase{"LoneContinuation", "{\n\"a\": \"x\",\n\"b\": \"\x80\"}"s, 3},
                    SMalformedCase{"UnclosedComment", "{\n\"a\": \"x\",\n/* open\n\n"s, 5},
                    SMalformedCase{"LoneSlash", "{\n\"a\": \"x\",\n/ \"b\": \"y\"}"s, 3},
                    SMalformedCase{"HugeNumber", "{\n\"a\": \"x\",\n\"b\": 1e999}"s, 0}),
    [](const testing::TestParamInfo<SMalformedCase>& row) { return row.param.name; });

// Members are noted without a line: the reader keeps no places.
TEST(StringTable, MembersThatAreNotTextAreLeftOutAndDuplicatesNoted)
{
    const StringTable table = StringTable::parse(
        R"({"a": "1", "n": 2, "o": {"x": "y"}, "l": ["z"], "k": "first", "k": "second", "\u0007": null})");
    EXPECT_EQ(table.size(), 2u);
    EXPECT_EQ(valueOf(table, "a"), "1");
    EXPECT_EQ(valueOf(table, "k"), "second");
    ASSERT_EQ(table.problems().size(), 5u);
    for (const StringTable::Problem& problem : table.problems()) {
        EXPECT_EQ(problem.line, 0u);
        EXPECT_EQ(problem.message.find('\x07'), std::string::npos) << "keys are shown escaped";
    }
}

TEST(StringTable, EveryEndOfTextMidwayIsReportedNotOverrun)
{
    const std::string full = "/* c */ {\"key\": \"v\\u00e9 \xC3\xA9 \\n\"}\n";
    // Every prefix of a valid table: sanitizer builds catch any read past the end.
    for (std::size_t length = 0; length + 1 < full.size(); ++length) {
        const std::string prefix = full.substr(0, length);
        const StringTable table =
            StringTable::parse(reinterpret_cast<const std::uint8_t*>(prefix.data()), prefix.size());
        EXPECT_EQ(table.size(), 0u) << length;
        EXPECT_EQ(table.problems().size(), 1u) << length;
    }
    EXPECT_EQ(StringTable::parse(full).size(), 1u);
}

TEST(StringTable, DeepNestingAndManyBadMembersCostBoundedWork)
{
    const std::string deep = "{\"a\": " + std::string(100000, '[') + std::string(100000, ']') + ", \"b\": \"2\"}";
    const StringTable nested = StringTable::parse(deep);
    EXPECT_EQ(valueOf(nested, "b"), "2");
    EXPECT_EQ(nested.problems().size(), 1u);

    std::string many = "{";
    for (int i = 0; i < 1000; ++i) {
        many += "\"" + std::to_string(i) + "\": 0,";
    }
    const StringTable bounded = StringTable::parse(many + "\"last\": \"x\"}");
    EXPECT_EQ(bounded.size(), 1u);
    EXPECT_EQ(bounded.problems().size(), 101u);
}

TEST(StringTable, LoadsFilesAndRefusesHugeOnes)
{
    const auto dir = std::filesystem::path(testing::TempDir());
    EXPECT_EQ(StringTable::load(dir / "no such table.json").size(), 0u);
    EXPECT_TRUE(StringTable::load(dir / "no such table.json").problems().empty());

    const auto small = dir / "small.json";
    std::ofstream(small, std::ios::binary) << "{\"a\": \"b\"}\n";
    EXPECT_EQ(valueOf(StringTable::load(small), "a"), "b");

    const auto huge = dir / "huge.json";
    {
        std::ofstream out(huge, std::ios::binary);
        out << "{\"a\": \"b\"}\n" << std::string(StringTable::kMaxFileSize, ' ');
    }
    const StringTable refused = StringTable::load(huge);
    EXPECT_EQ(refused.size(), 0u);
    ASSERT_EQ(refused.problems().size(), 1u);
    EXPECT_EQ(refused.problems()[0].line, 0u);
    std::filesystem::remove(small);
    std::filesystem::remove(huge);
}

} // namespace
