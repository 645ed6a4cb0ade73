#include "platform/StringTable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

using mirelo::platform::StringTable;

namespace {

std::string valueOf(const StringTable& table, const std::string& key)
{
    const std::string* value = table.find(key);
    return value ? *value : "<missing>";
}

TEST(StringTable, ReadsEntriesBetweenCommentsAndBlankLines)
{
    const StringTable table = StringTable::parse("\xEF\xBB\xBF/* header\n spanning lines */\n"
                                                 "\"-50\" = \"Bad value.\";   // trailing comment\r\n"
                                                 "\r\n"
                                                 "  \"fmt?\"=\"Format\"  ;\n"
                                                 "\"split\"\n  =\n  \"across lines\";");
    EXPECT_TRUE(table.problems().empty());
    EXPECT_EQ(table.size(), 3u);
    EXPECT_EQ(valueOf(table, "-50"), "Bad value.");
    EXPECT_EQ(valueOf(table, "fmt?"), "Format");
    EXPECT_EQ(valueOf(table, "split"), "across lines");
    EXPECT_EQ(table.find("missing"), nullptr);
}

TEST(StringTable, DecodesEscapes)
{
    const StringTable table = StringTable::parse(
        R"("k" = "q\" b\\ n\n t\t r\r e\u00e9 \U20AC";)"
        "\n\"raw\" = \"caf\xC3\xA9 \xF0\x9F\x8E\xB9\";");
    EXPECT_TRUE(table.problems().empty());
    EXPECT_EQ(valueOf(table, "k"), "q\" b\\ n\n t\t r\r e\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(valueOf(table, "raw"), "caf\xC3\xA9 \xF0\x9F\x8E\xB9");
}

struct MalformedCase {
    const char* name;
    std::string text;
    std::size_t problemLine;
};

class StringTableMalformed : public testing::TestWithParam<MalformedCase> {};

// Each bad entry sits between two good ones: it is reported on its line and
// costs neither neighbour.
TEST_P(StringTableMalformed, SkipsTheBadEntryAndKeepsTheRest)
{
    const std::string text = "\"before\" = \"1\";\n" + GetParam().text + "\n\"after\" = \"2\";\n";
    const StringTable table = StringTable::parse(text);
    EXPECT_EQ(valueOf(table, "before"), "1");
    EXPECT_EQ(valueOf(table, "after"), "2");
    EXPECT_EQ(table.size(), 2u);
    ASSERT_FALSE(table.problems().empty());
    EXPECT_EQ(table.problems().front().line, GetParam().problemLine);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StringTableMalformed,
    testing::Values(MalformedCase{"MissingSemicolon", "\"a\" = \"x\"", 3},
                    MalformedCase{"MissingEquals", "\"a\" \"x\";", 2},
                    MalformedCase{"UnquotedKey", "a = \"x\";", 2},
                    MalformedCase{"StrayBytes", "\x01\x02\xFF garbage", 2},
                    MalformedCase{"LineBreakInValue", "\"a\" = \"x", 2},
                    MalformedCase{"ControlCharacter", std::string("\"a\" = \"x\x07y\";"), 2},
                    MalformedCase{"NulByte", std::string("\"a\" = \"x\0y\";", 12), 2},
                    MalformedCase{"UnknownEscape", "\"a\" = \"\\q\";", 2},
                    MalformedCase{"ShortUnicodeEscape", "\"a\" = \"\\u12\";", 2},
                    MalformedCase{"NulEscape", "\"a\" = \"\\u0000\";", 2},
                    MalformedCase{"SurrogateEscape", "\"a\" = \"\\uD800\";", 2},
                    MalformedCase{"OverlongUtf8", "\"a\" = \"\xC0\xAF\";", 2},
                    MalformedCase{"EncodedSurrogate", "\"a\" = \"\xED\xA0\x80\";", 2},
                    MalformedCase{"AboveUnicode", "\"a\" = \"\xF4\x90\x80\x80\";", 2},
                    MalformedCase{"LoneContinuation", "\"a\" = \"\x80\";", 2},
                    MalformedCase{"EmptyKey", "\"\" = \"x\";", 2},
                    MalformedCase{"LoneSlash", "/ \"a\" = \"x\";", 2}),
    [](const testing::TestParamInfo<MalformedCase>& info) { return info.param.name; });

TEST(StringTable, EndsOfTextMidwayAreReportedNotOverrun)
{
    const std::string full = "/* c */ \"key\" = \"v\\u00e9 \xC3\xA9 \\n\";\n";
    // Every prefix of a valid entry: sanitizer builds catch any read past the end.
    for (std::size_t length = 0; length + 1 < full.size(); ++length) {
        const std::string prefix = full.substr(0, length);
        const StringTable table = StringTable::parse(
            reinterpret_cast<const std::uint8_t*>(prefix.data()), prefix.size());
        EXPECT_EQ(table.size(), 0u) << length;
        EXPECT_EQ(table.problems().empty(), length == 0 || length == 7 || length == 8) << length;
    }
    EXPECT_EQ(StringTable::parse(full).size(), 1u);
}

TEST(StringTable, UnclosedCommentStopsReading)
{
    const StringTable table = StringTable::parse("\"a\" = \"1\";\n/* open\n\"b\" = \"2\";\n");
    EXPECT_EQ(table.size(), 1u);
    ASSERT_EQ(table.problems().size(), 1u);
    EXPECT_NE(table.problems()[0].message.find("line 2"), std::string::npos);
}

TEST(StringTable, LaterDuplicateWinsAndIsReported)
{
    const StringTable table = StringTable::parse("\"k\" = \"first\";\n\"k\" = \"second\";\n");
    EXPECT_EQ(valueOf(table, "k"), "second");
    ASSERT_EQ(table.problems().size(), 1u);
    EXPECT_EQ(table.problems()[0].line, 2u);
}

TEST(StringTable, ProblemListIsBounded)
{
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        text += "junk\n";
    }
    const StringTable table = StringTable::parse(text);
    EXPECT_LE(table.problems().size(), 101u);
}

TEST(StringTable, LoadsFilesAndRefusesHugeOnes)
{
    const auto dir = std::filesystem::path(testing::TempDir());
    EXPECT_EQ(StringTable::load(dir / "no such table.strings").size(), 0u);
    EXPECT_TRUE(StringTable::load(dir / "no such table.strings").problems().empty());

    const auto small = dir / "small.strings";
    std::ofstream(small, std::ios::binary) << "\"a\" = \"b\";\n";
    EXPECT_EQ(valueOf(StringTable::load(small), "a"), "b");

    const auto huge = dir / "huge.strings";
    {
        std::ofstream out(huge, std::ios::binary);
        out << "\"a\" = \"b\";\n" << std::string(StringTable::kMaxFileSize, ' ');
    }
    const StringTable refused = StringTable::load(huge);
    EXPECT_EQ(refused.size(), 0u);
    ASSERT_EQ(refused.problems().size(), 1u);
    EXPECT_EQ(refused.problems()[0].line, 0u);
    std::filesystem::remove(small);
    std::filesystem::remove(huge);
}

} // namespace
