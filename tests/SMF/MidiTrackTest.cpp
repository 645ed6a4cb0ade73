#include <gtest/gtest.h>

#include <string>

#include "SMF/MidiTrack.h"
#include "SMF/SMF.h"
#include "tests/SMF/SMFTestUtil.h"
#include "tests/support/MalformedTrackBodies.h"

namespace {

// What a test expects of one event: the event type, the status or meta type
// byte (unused for SysEx), the time and the param.
struct SExpected {
    uint32_t type;
    int lead;
    uint32_t time;
    Bytes param;

    bool operator==(const SExpected&) const = default;
};

std::ostream& operator<<(std::ostream& os, const SExpected& e)
{
    os << "{type " << e.type << ", lead " << e.lead << ", time " << e.time << ", param";
    for (uint8_t b : e.param) {
        os << ' ' << int(b);
    }
    return os << '}';
}

constexpr uint32_t kShort = CMidiEvent::kEventTypeShort;
constexpr uint32_t kSysEx = CMidiEvent::kEventTypeSysEx;
constexpr uint32_t kMeta = CMidiEvent::kEventTypeMeta;

SExpected describe(const CMidiEvent& e)
{
    switch (e.getType()) {
    case kShort:
        return {kShort, e.getShortData()->getStatus(), e.time,
                paramOf(e.getShortData()->getSize(), e.getShortData()->getParam())};
    case kMeta:
        return {kMeta, e.getMetaData()->getTypeByte(), e.time,
                paramOf(e.getMetaData()->getSize(), e.getMetaData()->getParam())};
    case kSysEx:
        return {kSysEx, -1, e.time, paramOf(e.getSysExData()->getSize(), e.getSysExData()->getParam())};
    default:
        return {e.getType(), -1, e.time, {}};
    }
}

std::vector<SExpected> describe(const CMidiTrack& track)
{
    std::vector<SExpected> out;
    for (const CMidiEvent* e : track.getEvents()) {
        out.push_back(describe(*e));
    }
    return out;
}

bool read(CMidiTrack& track, const Bytes& body)
{
    const CExactBuffer buffer(body);
    return track.readChunkBody(buffer.data(), buffer.size());
}

Bytes write(CMidiTrack& track)
{
    Bytes out(track.getChunkDataSize() + 16, 0xAA);
    uint32_t written = 0;
    EXPECT_TRUE(track.writeChunkBody(out.data(), written));
    EXPECT_EQ(track.getChunkDataSize(), written);
    out.resize(written);
    return out;
}

Bytes sysExWithBytesAfterF0(uint32_t n)
{
    Bytes param(n + 1, 0x11);
    param.front() = 0xF0;
    param.back() = 0xF7;
    return param;
}

struct SReadCase {
    const char* name;
    Bytes body;
    std::vector<SExpected> events;
};

TEST(CMidiTrackTest, ReadsEventStreams)
{
    const Bytes sysex128 = sysExWithBytesAfterF0(127);
    const SReadCase cases[] = {
        {"end of track only", kEndOfTrackBytes, {}},
        {"empty body", {}, {}},
        {"running status",
         bytes({0x00, 0x90, 0x3C, 0x64, 0x60, 0x3C, 0x00}) + kEndOfTrackBytes,
         {{kShort, 0x90, 0, {0x3C, 0x64}}, {kShort, 0x90, 96, {0x3C, 0x00}}}},
        {"running status across meta and sysex",
         bytes({0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x01, 0x00, 0x00, 0xF0, 0x01, 0xF7, 0x05, 0x3C, 0x00}),
         {{kShort, 0x90, 0, {0x3C, 0x64}},
          {kMeta, 0x01, 0, {}},
          {kSysEx, -1, 0, {0xF0, 0xF7}},
          {kShort, 0x90, 5, {0x3C, 0x00}}}},
        {"one-byte messages in running status",
         bytes({0x00, 0xC2, 0x05, 0x01, 0x06, 0x00, 0xD1, 0x40}),
         {{kShort, 0xC2, 0, {0x05}}, {kShort, 0xC2, 1, {0x06}}, {kShort, 0xD1, 1, {0x40}}}},
        {"sysex keeps its lead byte",
         bytes({0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}),
         {{kSysEx, -1, 0, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}}}},
        {"sysex escape without its lead byte", bytes({0x00, 0xF7, 0x02, 0xF3, 0x01}), {{kSysEx, -1, 0, {0xF3, 0x01}}}},
        {"padded sysex length",
         bytes({0x00, 0xF0, 0x80, 0x7F}) + Bytes(sysex128.begin() + 1, sysex128.end()),
         {{kSysEx, -1, 0, sysex128}}},
        {"end of track stops reading",
         bytes({0x00, 0x90, 0x3C, 0x64, 0x10, 0xFF, 0x2F, 0x00, 0x05, 0x3C, 0x00}),
         {{kShort, 0x90, 0, {0x3C, 0x64}}}},
        {"unknown meta type kept", bytes({0x81, 0x48, 0xFF, 0x21, 0x01, 0x00}), {{kMeta, 0x21, 200, {0x00}}}},
        {"data bytes are not checked", bytes({0x00, 0x90, 0xF8, 0x81}), {{kShort, 0x90, 0, {0xF8, 0x81}}}},
    };
    for (const SReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        CMidiTrack track;
        ASSERT_TRUE(read(track, c.body));
        EXPECT_EQ(c.events, describe(track));
    }
}

TEST(CMidiTrackTest, TimeWrapsModulo2To32)
{
    Bytes body;
    for (int i = 0; i < 16; ++i) {
        body = body + bytes({0xFF, 0xFF, 0xFF, 0x7F, 0xC0, i});
    }
    body = body + bytes({0x20, 0xC0, 0x10});
    CMidiTrack track;
    ASSERT_TRUE(read(track, body));
    ASSERT_EQ(17u, track.getEventCount());
    EXPECT_EQ(0xFFFFFFF0u, track.GetEvent(15)->time);
    EXPECT_EQ(0x10u, track.GetEvent(16)->time);
}

TEST(CMidiTrackTest, MalformedBodiesAreRefusedWithoutPartialEvents)
{
    for (const auto& c : mirelo::test::malformedTrackBodies()) {
        SCOPED_TRACE(c.name);
        CMidiTrack track;
        EXPECT_FALSE(read(track, c.body));
        EXPECT_EQ(0u, track.getEventCount());
    }
}

TEST(CMidiTrackTest, FactoriesRefuseLongLengthsWithoutTouchingTheOutput)
{
    const CExactBuffer meta(bytes({0xFF, 0x01, 0x84, 0x80, 0x00}));
    CMidiEvent* sentinel = reinterpret_cast<CMidiEvent*>(0x1);
    CMidiEvent* e = sentinel;
    EXPECT_EQ(kInvalidCount, CMidiTrack::NewMetaEventData(&e, 0, meta.data(), meta.size()));
    EXPECT_EQ(sentinel, e);

    const CExactBuffer sysEx(bytes({0xF0, 0x83, 0xFF, 0x7F}));
    EXPECT_EQ(kInvalidCount, CMidiTrack::NewSysEx1Data(&e, 0, sysEx.data(), sysEx.size()));
    EXPECT_EQ(sentinel, e);
}

TEST(CMidiTrackTest, WritesEveryMessageWithItsStatusAndEndOfTrack)
{
    CMidiTrack track;
    ASSERT_TRUE(read(track, bytes({0x00, 0x90, 0x3C, 0x64, 0x60, 0x3C, 0x00})));
    EXPECT_EQ(bytes({0x00, 0x90, 0x3C, 0x64, 0x60, 0x90, 0x3C, 0x00}) + kEndOfTrackBytes, write(track));

    CMidiTrack empty;
    EXPECT_EQ(4u, empty.getChunkDataSize());
    EXPECT_EQ(kEndOfTrackBytes, write(empty));
}

TEST(CMidiTrackTest, WritesSysExAsF0Events)
{
    const Bytes sysex128 = sysExWithBytesAfterF0(127);
    const Bytes sysex16384 = sysExWithBytesAfterF0(16383);
    const Bytes after128(sysex128.begin() + 1, sysex128.end());
    const Bytes after16384(sysex16384.begin() + 1, sysex16384.end());
    const struct {
        const char* name;
        Bytes body;
        Bytes written;
        Bytes paramReadBack;
    } cases[] = {
        {"plain", bytes({0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}),
         bytes({0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}), bytes({0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7})},
        // An escape comes back as an 0xF0 event, so reading it again adds the 0xF0.
        {"escape", bytes({0x00, 0xF7, 0x02, 0xF3, 0x01}), bytes({0x00, 0xF0, 0x02, 0xF3, 0x01}),
         bytes({0xF0, 0xF3, 0x01})},
        {"empty escape", bytes({0x00, 0xF7, 0x00}), bytes({0x00, 0xF0, 0x00}), bytes({0xF0})},
        {"127 bytes after F0", bytes({0x00, 0xF0, 0x7F}) + after128, bytes({0x00, 0xF0, 0x80, 0x7F}) + after128,
         sysex128},
        {"16383 bytes after F0", bytes({0x00, 0xF0, 0xFF, 0x7F}) + after16384,
         bytes({0x00, 0xF0, 0x80, 0xFF, 0x7F}) + after16384, sysex16384},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMidiTrack track;
        ASSERT_TRUE(read(track, c.body));
        const Bytes written = write(track);
        EXPECT_EQ(c.written + kEndOfTrackBytes, written);

        CMidiTrack again;
        ASSERT_TRUE(read(again, written));
        ASSERT_EQ(1u, again.getEventCount());
        EXPECT_EQ((SExpected{kSysEx, -1, 0, c.paramReadBack}), describe(*again.GetEvent(0)));
        EXPECT_EQ(written, write(again));
    }
}

TEST(CMidiTrackTest, WritesMetaAndLongDeltas)
{
    CMidiTrack track;
    ASSERT_TRUE(read(track, bytes({0x81, 0x48, 0xFF, 0x21, 0x01, 0x07, 0xFF, 0xFF, 0xFF, 0x7F, 0xC0, 0x01})));
    EXPECT_EQ(bytes({0x81, 0x48, 0xFF, 0x21, 0x01, 0x07, 0xFF, 0xFF, 0xFF, 0x7F, 0xC0, 0x01}) + kEndOfTrackBytes,
              write(track));
}

TEST(CMidiTrackTest, DeltaBeyondFourBytesIsNotWritten)
{
    CSMF smf;
    CMidiTrack* track = smf.addTrack();
    for (uint32_t time : {0u, 0x10000000u}) {
        CMidiEvent* e = new CMidiEvent;
        e->setType(CMidiEvent::kEventTypeShort);
        e->getShortData()->setStatus(0xC0);
        const uint8_t program = 1;
        e->setDataParam(&program, 1);
        e->time = time;
        track->AddEvent(e);
    }
    Bytes out(smf.GetFileSize(), 0);
    uint32_t written = 0;
    EXPECT_FALSE(track->writeChunkBody(out.data(), written));
    EXPECT_FALSE(smf.getData(out.data(), written));
    EXPECT_EQ(0u, written);
}

// Meta and SysEx lengths above 65535 are refused by the reader, so the writer
// must not produce them either; 65535 bytes after the 0xF0 is still fine.
TEST(CMidiTrackTest, EventDataTheReaderWouldRefuseIsNotWritten)
{
    struct SCase {
        uint32_t type;
        uint32_t size;
        bool writable;
    };
    for (const SCase& c :
         {SCase{CMidiEvent::kEventTypeSysEx, 65536, true}, SCase{CMidiEvent::kEventTypeSysEx, 65537, false},
          SCase{CMidiEvent::kEventTypeMeta, 65535, true}, SCase{CMidiEvent::kEventTypeMeta, 65536, false}}) {
        CSMF smf;
        smf.getHeader().setDivision(96);
        CMidiTrack* track = smf.addTrack();
        CMidiEvent* e = new CMidiEvent;
        e->setType(static_cast<uint8_t>(c.type));
        if (c.type == CMidiEvent::kEventTypeMeta) {
            e->setDataType(CMidiMetaEvent::kTypeText);
        }
        Bytes data(c.size, 0x11);
        data.front() = 0xF0;
        e->setDataParam(data.data(), c.size);
        track->AddEvent(e);
        Bytes out(smf.GetFileSize(), 0);
        uint32_t written = 0;
        EXPECT_EQ(c.writable, smf.getData(out.data(), written)) << c.type << " " << c.size;
        if (c.writable) {
            CSMF back;
            uint32_t consumed = 0;
            EXPECT_TRUE(back.setData(out.data(), written, consumed));
        }
    }
}

TEST(CMidiTrackTest, IndexedAccessAndPull)
{
    CMidiTrack track;
    ASSERT_TRUE(read(track, bytes({0x00, 0xC0, 0x01, 0x00, 0xC0, 0x02, 0x00, 0xC0, 0x03})));
    EXPECT_EQ(nullptr, track.GetEvent(3));
    EXPECT_NE(nullptr, track.GetEvent(2));

    CMidiEvent* middle = track.pullEvent(1);
    EXPECT_EQ(2u, middle->getShortData()->getParam()[0]);
    ASSERT_EQ(2u, track.getEventCount());
    EXPECT_EQ(1u, track.GetEvent(0)->getShortData()->getParam()[0]);
    EXPECT_EQ(3u, track.GetEvent(1)->getShortData()->getParam()[0]);
    middle->resetEvent();
    delete middle;
}

CMidiEvent* makeEvent(uint32_t inTime, uint8_t inMetaType, const Bytes& inParam)
{
    CMidiEvent* e = new CMidiEvent;
    e->setType(CMidiEvent::kEventTypeMeta);
    e->getMetaData()->setTypeByte(inMetaType);
    e->setDataParam(inParam.data(), static_cast<uint32_t>(inParam.size()));
    e->time = inTime;
    return e;
}

CMidiEvent* makeNoteOn(uint32_t inTime)
{
    CMidiEvent* e = new CMidiEvent;
    e->setType(CMidiEvent::kEventTypeShort);
    e->getShortData()->setStatus(0x90);
    const Bytes data = bytes({0x3C, 0x40});
    e->setDataParam(data.data(), 2);
    e->time = inTime;
    return e;
}

TEST(CMidiTrackTest, CompareOrdersByTimeThenRehearsalMark)
{
    CMidiTrack owner; // releases the events
    CMidiEvent* at10 = makeNoteOn(10);
    CMidiEvent* at20 = makeNoteOn(20);
    CMidiEvent* other10 = makeNoteOn(10);
    CMidiEvent* rehearsal = makeEvent(10, 0x7F, bytes({0x43, 0x7B, 0x02}));
    CMidiEvent* chord = makeEvent(10, 0x7F, bytes({0x43, 0x7B, 0x01}));
    CMidiEvent* markAsText = makeEvent(10, 0x01, bytes({0x43, 0x7B, 0x02}));
    for (CMidiEvent* e : {at10, at20, other10, rehearsal, chord, markAsText}) {
        owner.AddEvent(e);
    }
    EXPECT_TRUE(compareMidiEvent(at10, at20));
    EXPECT_FALSE(compareMidiEvent(at20, at10));
    EXPECT_FALSE(compareMidiEvent(at10, other10));
    EXPECT_TRUE(compareMidiEvent(rehearsal, at10));
    EXPECT_TRUE(compareMidiEvent(rehearsal, chord));
    EXPECT_FALSE(compareMidiEvent(chord, at10));
    EXPECT_FALSE(compareMidiEvent(markAsText, at10));
}

TEST(CMidiTrackTest, SortIsStableAndPutsRehearsalMarksFirst)
{
    CMidiTrack track;
    CMidiEvent* at20 = makeNoteOn(20);
    CMidiEvent* noteOn = makeNoteOn(10);
    CMidiEvent* rehearsal = makeEvent(10, 0x7F, bytes({0x43, 0x7B, 0x02}));
    CMidiEvent* laterNote = makeNoteOn(10);
    CMidiEvent* rehearsal2 = makeEvent(10, 0x7F, bytes({0x43, 0x7B, 0x02, 0x09}));
    CMidiEvent* first = makeEvent(0, 0x01, bytes({'a'}));
    for (CMidiEvent* e : {at20, noteOn, rehearsal, laterNote, rehearsal2, first}) {
        track.AddEvent(e);
    }
    track.sortEvents();
    const std::vector<CMidiEvent*> expected = {first, rehearsal, rehearsal2, noteOn, laterNote, at20};
    EXPECT_EQ(expected, track.getEvents());
}

} // namespace
