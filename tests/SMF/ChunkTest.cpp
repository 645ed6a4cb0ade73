#include <gtest/gtest.h>

#include "SMF/MidiHeader.h"
#include "SMF/MidiTrack.h"
#include "SMF/SMFUtil.h"
#include "tests/SMF/SMFTestUtil.h"

namespace {

const struct {
    uint32_t value;
    Bytes encoded;
} kVariableValCases[] = {
    {0, {0x00}},
    {127, {0x7F}},
    {128, {0x81, 0x00}},
    {200, {0x81, 0x48}},
    {16383, {0xFF, 0x7F}},
    {16384, {0x81, 0x80, 0x00}},
    {0x1FFFFF, {0xFF, 0xFF, 0x7F}},
    {0x200000, {0x81, 0x80, 0x80, 0x00}},
    {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
};

TEST(SMFUtilTest, VariableValRoundTrip)
{
    for (const auto& c : kVariableValCases) {
        const uint32_t n = getVariableValSize(c.value);
        ASSERT_EQ(c.encoded.size(), n) << c.value;
        Bytes out(n, 0xAA);
        setVariableVal(c.value, n, out.data());
        EXPECT_EQ(c.encoded, out) << c.value;

        const CExactBuffer in(c.encoded);
        uint32_t value = 0;
        EXPECT_EQ(n, fetchVariableVal(in.data(), in.size(), value)) << c.value;
        EXPECT_EQ(c.value, value);
    }
    EXPECT_EQ(5u, getVariableValSize(0x10000000));
}

TEST(SMFUtilTest, PaddedLengthCarriesLeadingZeroGroup)
{
    uint8_t out[2] = {};
    setVariableVal(127, 2, out);
    EXPECT_EQ(bytes({0x80, 0x7F}), Bytes(out, out + 2));
    uint32_t value = 0;
    EXPECT_EQ(2u, fetchVariableVal(out, 2, value));
    EXPECT_EQ(127u, value);
}

TEST(SMFUtilTest, MalformedQuantityYieldsNoValue)
{
    const Bytes cases[] = {
        bytes({0xFF, 0xFF, 0xFF, 0xFF}),       // a fifth byte would be needed
        bytes({0x81, 0x80, 0x80, 0x80, 0x00}), // ... even when it is there
        bytes({0x81}),                         // runs past the end
        bytes({0x81, 0x80, 0x80}),
        Bytes(),
    };
    for (const Bytes& c : cases) {
        const CExactBuffer in(c);
        uint32_t value = 0xDEAD;
        EXPECT_EQ(0u, fetchVariableVal(in.data(), in.size(), value)) << c.size();
        EXPECT_EQ(0xDEADu, value);
    }
}

TEST(CChunkTest, HeadNeedsEightBytesAndAFittingBody)
{
    const Bytes image = chunk("MTrk", Bytes(4, 0));
    CMidiTrack track;
    uint32_t body = 99;
    EXPECT_FALSE(track.readChunkHeader(image.data(), 7, body));
    EXPECT_EQ(99u, body);
    EXPECT_TRUE(track.readChunkHeader(image.data(), 12, body));
    EXPECT_EQ(4u, body);
    EXPECT_FALSE(track.readChunkHeader(image.data(), 11, body));
}

TEST(CChunkTest, TagMustMatchUnlessZero)
{
    const Bytes image = chunk("MTrk", kEndOfTrackBytes);
    CMidiHeader header;
    uint32_t body = 0;
    EXPECT_FALSE(header.readChunkHeader(image.data(), static_cast<uint32_t>(image.size()), body));
    EXPECT_EQ(kChunkTagHeader, header.getTag());

    CMidiTrack anyTag(0);
    EXPECT_TRUE(anyTag.readChunkHeader(image.data(), static_cast<uint32_t>(image.size()), body));
    EXPECT_EQ(kChunkTagTrack, anyTag.getTag());
}

TEST(CMidiHeaderTest, ShortBodyKeepsTheFieldsReadSoFar)
{
    const Bytes image = chunk("MThd", bytes({0x00, 0x01, 0x00, 0x02}));
    CMidiHeader header;
    header.setDivision(77);
    uint32_t consumed = 5;
    EXPECT_FALSE(header.setData(image.data(), static_cast<uint32_t>(image.size()), consumed));
    EXPECT_EQ(8u, consumed);
    EXPECT_EQ(1, header.getFormat());
    EXPECT_EQ(2, header.getTrackCount());
    EXPECT_EQ(77, header.getDivision());
}

TEST(CMidiHeaderTest, LongerBodyIsSkipped)
{
    const Bytes image = chunk("MThd", bytes({0, 1, 0, 2, 0x01, 0xE0, 0xAA, 0xBB}));
    CMidiHeader header;
    uint32_t consumed = 0;
    EXPECT_TRUE(header.setData(image.data(), static_cast<uint32_t>(image.size()), consumed));
    EXPECT_EQ(16u, consumed);
    EXPECT_EQ(480, header.getDivision());
}

TEST(CMidiHeaderTest, WritesBigEndianFieldsAndResets)
{
    CMidiHeader header;
    header.setFormat(1);
    header.setTrackCount(3);
    header.setDivision(480);
    uint8_t out[14] = {};
    uint32_t written = 0;
    ASSERT_TRUE(header.getData(out, written));
    EXPECT_EQ(14u, written);
    EXPECT_EQ(bytes({0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 1, 0, 3, 0x01, 0xE0}), Bytes(out, out + 14));

    header.reset(0);
    EXPECT_EQ(0u, header.getTag());
    EXPECT_EQ(0, header.getFormat());
    EXPECT_EQ(0, header.getTrackCount());
    EXPECT_EQ(0, header.getDivision());
}

} // namespace
