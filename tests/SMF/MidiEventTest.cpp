#include <gtest/gtest.h>

#include "SMF/MidiEvent.h"
#include "SMF/MidiTrack.h"
#include "tests/SMF/SMFTestUtil.h"

namespace {

TEST(CMidiEventTest, ShortEventTypeFollowsTheHighNibble)
{
    const struct {
        uint8_t status;
        uint32_t type;
    } cases[] = {{0x80, 0}, {0x9F, 1}, {0xA0, 2}, {0xB5, 3}, {0xC0, 4}, {0xD0, 5},
                 {0xEF, 6}, {0x45, 7}, {0x00, 7}, {0xF0, 7}, {0xFF, 7}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.type, CMidiEvent::GetShortEventType(c.status)) << std::hex << int(c.status);
    }
}

TEST(CMidiEventTest, MetaEventTypeIsThePositionInTheTable)
{
    for (uint32_t i = 0; i < CMidiMetaEvent::kTypeMax; ++i) {
        EXPECT_EQ(i, CMidiEvent::GetMetaEventType(CMidiMetaEvent::sMsgType[i]));
    }
    EXPECT_EQ(10u, CMidiEvent::GetMetaEventType(0x51));
    EXPECT_EQ(9u, CMidiEvent::GetMetaEventType(0x2F));
    EXPECT_EQ(15u, CMidiEvent::GetMetaEventType(0x21));
    EXPECT_EQ(15u, CMidiEvent::GetMetaEventType(0xFF));
}

TEST(CMidiEventTest, MetaTypeByteOutsideTheTableIsKept)
{
    CMidiEvent e;
    e.setType(CMidiEvent::kEventTypeMeta);
    e.getMetaData()->setTypeByte(0x21);
    EXPECT_EQ(0x21, e.getMetaData()->getTypeByte());
    EXPECT_EQ(15u, e.getDataType());
    e.setDataType(CMidiMetaEvent::kTypeTempo);
    EXPECT_EQ(0x51, e.getMetaData()->getTypeByte());
}

TEST(CMidiEventTest, ChannelAndMessageAreSetIndependently)
{
    CMidiEvent e;
    e.setType(CMidiEvent::kEventTypeShort);
    CMidiShortEvent* s = e.getShortData();
    s->setStatus(0x95);
    s->setChannel(3);
    EXPECT_EQ(0x93, s->getStatus());
    e.setDataType(CMidiShortEvent::kTypeProgramChange);
    EXPECT_EQ(0xC3, s->getStatus());
    EXPECT_EQ(3, s->getChannel());
    EXPECT_EQ(4u, e.getDataType());
}

TEST(CMidiEventTest, SizeBytesCountsSevenBitGroups)
{
    const struct {
        uint32_t size;
        uint32_t bytes;
    } cases[] = {{0, 1}, {1, 1}, {127, 1}, {128, 2}, {16383, 2}, {16384, 3}, {2097151, 3}, {2097152, 4}};
    for (const auto& c : cases) {
        Bytes param(c.size + 1, 0); // never empty: setParam wants a real pointer
        CMidiMetaEvent meta{};
        meta.setParam(param.data(), c.size);
        EXPECT_EQ(c.bytes, meta.getSizeBytes()) << c.size;
        CMidiSysExEvent sysEx{};
        sysEx.setParam(param.data(), c.size);
        EXPECT_EQ(c.bytes, sysEx.getSizeBytes()) << c.size;
        meta.clearParam();
        sysEx.clearParam();
    }
}

TEST(CMidiEventTest, SequencerSpecificMarksNeedThreeBytes)
{
    const struct {
        Bytes param;
        bool chord;
        bool rehearsal;
    } cases[] = {
        {bytes({0x43, 0x7B}), false, false},
        {bytes({0x43, 0x7B, 0x01, 0x00}), true, false},
        {bytes({0x43, 0x7B, 0x02}), false, true},
        {bytes({0x43, 0x7C, 0x02}), false, false},
        {Bytes(), false, false},
    };
    for (const auto& c : cases) {
        CMidiMetaEvent meta{};
        meta.setParam(c.param.data() ? c.param.data() : reinterpret_cast<const uint8_t*>(""),
                      static_cast<uint32_t>(c.param.size()));
        EXPECT_EQ(c.chord, meta.isChordEventData());
        EXPECT_EQ(c.rehearsal, meta.isRehearsalMarkEventData());
        meta.clearParam();
    }
}

TEST(CMidiEventTest, SysExTypeDependsOnTheLeadByte)
{
    CMidiSysExEvent sysEx{};
    const Bytes whole = bytes({0xF0, 0x7E, 0x7F, 0xF7});
    sysEx.setParam(whole.data(), 4);
    EXPECT_EQ(CMidiSysExEvent::kTypeSysEx1, sysEx.getType());
    const Bytes part = bytes({0x00, 0xF0});
    sysEx.setParam(part.data(), 2);
    EXPECT_EQ(CMidiSysExEvent::kTypeSysEx2, sysEx.getType());
    sysEx.setParam(part.data(), 0);
    EXPECT_EQ(CMidiSysExEvent::kTypeSysEx2, sysEx.getType());
    sysEx.clearParam();
}

TEST(CMidiEventTest, FreshEventIsEmpty)
{
    CMidiEvent e;
    EXPECT_EQ(0u, e.getType());
    EXPECT_EQ(0u, e.getDataSize());
    EXPECT_EQ(0u, e.getDataType());
    EXPECT_EQ(0u, e.time);
    EXPECT_EQ(nullptr, e.getShortData());
    e.setType(CMidiEvent::kEventTypeShort);
    EXPECT_EQ(nullptr, e.getMetaData());
    EXPECT_EQ(nullptr, e.getSysExData());
    EXPECT_NE(nullptr, e.getShortData());
}

TEST(CMidiEventTest, ParamLifecycle)
{
    CMidiEvent e;
    e.setType(CMidiEvent::kEventTypeSysEx);
    const Bytes data = bytes({0xF0, 0x01, 0xF7});
    e.setDataParam(data.data(), 0);
    EXPECT_NE(nullptr, e.getSysExData()->getParam());
    EXPECT_EQ(0u, e.getDataSize());

    e.setDataParam(data.data(), 3);
    uint8_t copy[3] = {};
    e.getDataParam(copy);
    EXPECT_EQ(data, Bytes(copy, copy + 3));

    // Replacing a param by part of itself must not read freed memory.
    e.getSysExData()->setParam(e.getSysExData()->getParam() + 1, 2);
    EXPECT_EQ(bytes({0x01, 0xF7}), paramOf(2, e.getSysExData()->getParam()));

    e.resetEvent();
    EXPECT_EQ(nullptr, e.getSysExData()->getParam());
    EXPECT_EQ(0u, e.getDataSize());
    e.getSysExData()->clearParam();
    EXPECT_EQ(nullptr, e.getSysExData()->getParam());
}

// The checks stay on in release builds and say where they failed, as assert does.
TEST(CMidiEventDeathTest, FailedPreconditionNamesFileAndCondition)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    CMidiShortEvent s{};
    EXPECT_DEATH(s.setChannel(16), "SMF/MidiShortEvent:[0-9]+: .*setChannel.*: Assertion `inChannel < 0x10' failed\\.");
    CMidiEvent* e = nullptr;
    EXPECT_DEATH(CMidiTrack::NewMetaEventData(&e, 0, nullptr, 4),
                 "SMF/MidiTrack:[0-9]+: .*NewMetaEventData.*: Assertion `nullptr != pBuff' failed\\.");
    CMidiEvent fresh;
    EXPECT_DEATH(fresh.resetEvent(), "SMF/MidiEvent:[0-9]+: .*Assertion `false' failed\\.");
}

} // namespace
