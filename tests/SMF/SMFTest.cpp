#include <gtest/gtest.h>

#include <random>

#include "SMF/SMF.h"
#include "tests/SMF/SMFTestUtil.h"

namespace {

Bytes minimalImage(int inFormat = 0, int inTracks = 1, int inDivision = 96)
{
    return headerChunk(inFormat, inTracks, inDivision) + chunk("MTrk", kEndOfTrackBytes);
}

bool parse(CSMF& smf, const Bytes& image, uint32_t& consumed)
{
    const CExactBuffer buffer(image);
    return smf.setData(buffer.data(), buffer.size(), consumed);
}

void expectEmpty(const CSMF& smf)
{
    EXPECT_EQ(0u, smf.getTrackCount());
    EXPECT_EQ(0, smf.getHeader().getFormat());
    EXPECT_EQ(0, smf.getHeader().getTrackCount());
    EXPECT_EQ(0, smf.getHeader().getDivision());
}

TEST(CSMFTest, MinimalImageRoundTrips)
{
    const Bytes image = minimalImage();
    ASSERT_EQ(26u, image.size());
    CSMF smf;
    uint32_t consumed = 0;
    ASSERT_TRUE(parse(smf, image, consumed));
    EXPECT_EQ(26u, consumed);
    EXPECT_EQ(0, smf.getHeader().getFormat());
    EXPECT_EQ(1u, smf.getTrackCount());
    EXPECT_EQ(96, smf.getHeader().getDivision());
    EXPECT_EQ(0u, smf.getTracks()[0]->getEventCount());
    ASSERT_EQ(26u, smf.GetFileSize());
    Bytes out(26, 0);
    uint32_t written = 0;
    ASSERT_TRUE(smf.getData(out.data(), written));
    EXPECT_EQ(26u, written);
    EXPECT_EQ(image, out);
}

TEST(CSMFTest, AcceptanceRules)
{
    const Bytes track = chunk("MTrk", kEndOfTrackBytes);
    const Bytes minimal = minimalImage();
    Bytes badTag = minimalImage();
    badTag[3] = 'D';
    Bytes longHeader = minimalImage();
    longHeader[7] = 7;
    // "MTrk" inside SysEx data whose next four bytes are not below the image size.
    const Bytes trapInSysEx =
        headerChunk(0, 1, 96) +
        chunk("MTrk", bytes({0x00, 0xF0, 0x09, 'M', 'T', 'r', 'k', 0x00, 0x10, 0x00, 0x00, 0xF7}) + kEndOfTrackBytes);
    const Bytes harmlessInSysEx =
        headerChunk(0, 1, 96) +
        chunk("MTrk", bytes({0x00, 0xF0, 0x09, 'M', 'T', 'r', 'k', 0x00, 0x00, 0x00, 0x01, 0xF7}) + kEndOfTrackBytes);
    // The second track chunk is announced but its body is not a readable track.
    const Bytes badSecondTrack = headerChunk(1, 2, 96) + track + chunk("MTrk", bytes({0x00, 0x3C, 0x40}));
    // Something else stands between the two track chunks.
    const Bytes gap = headerChunk(1, 2, 96) + track + bytes({0x00}) + track;

    const struct {
        const char* name;
        Bytes image;
        bool accepted;
        uint32_t tracks;
    } cases[] = {
        {"format 1", minimalImage(1), true, 1},
        {"format 2", minimalImage(2), false, 0},
        {"format 3", minimalImage(3), false, 0},
        {"division 0", minimalImage(0, 1, 0), false, 0},
        {"division 0x8018", minimalImage(0, 1, 0x8018), false, 0},
        {"division 0x80FF", minimalImage(0, 1, 0x80FF), false, 0},
        {"division 0xE728", minimalImage(0, 1, 0xE728), true, 1},
        {"no track announced", minimalImage(0, 0), false, 0},
        {"two announced, one there", minimalImage(1, 2), false, 0},
        {"one announced, two there", minimalImage(1, 1) + track, true, 1},
        {"wrong header tag", badTag, false, 0},
        {"header length 7", longHeader, false, 0},
        {"13 bytes", Bytes(minimal.begin(), minimal.begin() + 13), false, 0},
        {"header only", headerChunk(0, 1, 96), false, 0},
        {"MTrk in sysex with a long length", trapInSysEx, false, 0},
        {"MTrk in sysex with a short length", harmlessInSysEx, true, 1},
        {"unreadable second track", badSecondTrack, false, 0},
        {"gap between tracks", gap, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CSMF smf;
        uint32_t consumed = 5;
        EXPECT_EQ(c.accepted, parse(smf, c.image, consumed));
        EXPECT_EQ(c.tracks, smf.getTrackCount());
        if (!c.accepted) {
            EXPECT_EQ(5u, consumed);
            expectEmpty(smf);
        }
    }
}

TEST(CSMFTest, NullImageIsRefused)
{
    CSMF smf;
    uint32_t consumed = 0;
    EXPECT_FALSE(smf.setData(nullptr, 100, consumed));
    EXPECT_EQ(0u, consumed);
    expectEmpty(smf);
}

TEST(CSMFTest, TrailingBytesAreNotConsumed)
{
    CSMF smf;
    uint32_t consumed = 0;
    ASSERT_TRUE(parse(smf, minimalImage() + text("garbage after the track"), consumed));
    EXPECT_EQ(26u, consumed);
}

TEST(CSMFTest, MTrkTooCloseToTheEndIsNotCounted)
{
    for (size_t tail = 0; tail < 4; ++tail) {
        SCOPED_TRACE(tail);
        const Bytes cut = text("MTrk") + Bytes(tail, 0);
        CSMF one;
        uint32_t consumed = 0;
        EXPECT_TRUE(parse(one, minimalImage(1, 1) + cut, consumed));
        // Not counted, so it cannot stand in for a second track.
        CSMF two;
        EXPECT_FALSE(parse(two, minimalImage(1, 2) + cut, consumed));
    }
}

TEST(CSMFTest, SizesAndAddedTracks)
{
    CSMF smf;
    EXPECT_EQ(14u, smf.GetFileSize());
    CMidiTrack* first = smf.addTrack();
    EXPECT_EQ(26u, smf.GetFileSize());
    EXPECT_EQ(1, smf.getHeader().getTrackCount());
    smf.addTrack();
    smf.getHeader().setDivision(96);
    const uint8_t program = 7;
    CMidiEvent* e = new CMidiEvent;
    e->setType(CMidiEvent::kEventTypeShort);
    e->getShortData()->setStatus(0xC1);
    e->setDataParam(&program, 1);
    first->AddEvent(e);

    Bytes out(smf.GetFileSize(), 0xAA);
    uint32_t written = 3;
    ASSERT_TRUE(smf.getData(out.data(), written));
    EXPECT_EQ(3u + out.size(), written);
    EXPECT_EQ(headerChunk(0, 2, 96) + chunk("MTrk", bytes({0x00, 0xC1, 0x07}) + kEndOfTrackBytes) +
                  chunk("MTrk", kEndOfTrackBytes),
              out);
}

TEST(CSMFTest, SequenceName)
{
    CSMF smf;
    EXPECT_EQ("", smf.getSequenceName());
    smf.addTrack();
    smf.addTrack();
    smf.setSequenceName(2, reinterpret_cast<const uint8_t*>("x"), 1);
    EXPECT_EQ(0u, smf.getTracks()[1]->getEventCount());
    const Bytes name = bytes({0x41, 0x42, 0x00, 0x43});
    smf.setSequenceName(1, name.data(), 4);
    EXPECT_EQ("AB", smf.getSequenceName());
    smf.setSequenceName(0, reinterpret_cast<const uint8_t*>("first"), 5);
    EXPECT_EQ("first", smf.getSequenceName());
}

TEST(CSMFTest, FixSortsEveryTrack)
{
    const Bytes image = headerChunk(1, 1, 96) + chunk("MTrk", bytes({0x10, 0xC0, 0x01}));
    CSMF smf;
    uint32_t consumed = 0;
    ASSERT_TRUE(parse(smf, image, consumed));
    CMidiEvent* early = new CMidiEvent;
    early->setType(CMidiEvent::kEventTypeMeta);
    early->setDataType(CMidiMetaEvent::kTypeText);
    early->setDataParam(reinterpret_cast<const uint8_t*>("a"), 1);
    smf.getTracks()[0]->AddEvent(early);
    smf.fix();
    EXPECT_EQ(early, smf.getTracks()[0]->GetEvent(0));
}

// Hostile input: every truncation and many corruptions of a real file must be
// either parsed or refused, never read out of bounds (AddressSanitizer watches).
TEST(CSMFTest, DamagedImagesNeverCrash)
{
    Bytes image =
        headerChunk(1, 2, 480) +
        chunk("MTrk",
              bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x83, 0x60, 0xFF, 0x51, 0x03, 0x06, 0x1A, 0x80}) +
                  kEndOfTrackBytes) +
        chunk("MTrk", bytes({0x00, 0xF0, 0x05, 0x43, 0x10, 0x4C, 0x00, 0xF7, 0x00, 0x90, 0x3C, 0x40, 0x10,
                             0x3C, 0x00, 0x00, 0xF7, 0x02, 0x01, 0x02, 0x00, 0xFF, 0x01, 0x02, 'h',  'i'}) +
                          kEndOfTrackBytes);
    uint32_t accepted = 0;
    for (size_t n = 0; n <= image.size(); ++n) {
        CSMF smf;
        uint32_t consumed = 0;
        if (parse(smf, Bytes(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(n)), consumed)) {
            ++accepted;
            EXPECT_LE(consumed, n);
        }
    }
    EXPECT_EQ(1u, accepted);

    std::mt19937 rng(1234);
    for (int round = 0; round < 3000; ++round) {
        Bytes damaged = image;
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < flips; ++i) {
            damaged[14 + rng() % (damaged.size() - 14)] = static_cast<uint8_t>(rng());
        }
        CSMF smf;
        uint32_t consumed = 0;
        if (parse(smf, damaged, consumed)) {
            EXPECT_LE(consumed, damaged.size());
            Bytes out(smf.GetFileSize(), 0);
            uint32_t written = 0;
            EXPECT_TRUE(smf.getData(out.data(), written));
        }
    }
}

} // namespace
