// From packet lists to the pieces sent as sequencer events, and back.

#include "platform/midi/alsa/MidiStreamSplitter.h"
#include "platform/midi/alsa/SeqEventWriter.h"
#include "platform/midi/alsa/WirePacer.h"

#include "testing/SimulatedClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

using namespace mirelo::midi::alsa;

namespace {

using Bytes = std::vector<Byte>;
using Kind = MidiSegment::Kind;

Bytes sysExOf(std::size_t size)
{
    Bytes message(size);
    for (std::size_t i = 0; i < size; ++i) {
        message[i] = static_cast<Byte>((i * 7 + 3) & 0x7F);
    }
    message.front() = 0xF0;
    message.back() = 0xF7;
    return message;
}

// A message the sender cut into 256-byte packets goes out as one SysEx again.
TEST(AlsaOutputBytes, AMessageInManyPacketsIsOneSysExAgain)
{
    for (std::size_t size : {2u, 256u, 257u, 1000u, 4096u, 65535u}) {
        SCOPED_TRACE(size);
        const Bytes message = sysExOf(size);
        const mirelo::midi::PacketListStorage list =
            mirelo::midi::PacketListStorage::holding(message.data(), message.size(), 42);
        const Bytes flat = mirelo::midi::allBytes(*list.list());
        EXPECT_EQ(flat, message);
        const std::vector<MidiSegment> segments = MidiStreamSplitter::split(flat);
        ASSERT_EQ(segments.size(), 1u);
        EXPECT_EQ(segments[0].kind, Kind::sysEx);
        EXPECT_EQ(segments[0].bytes, message);
    }
    EXPECT_TRUE(MidiStreamSplitter::split({}).empty());
}

TEST(AlsaMidiStreamSplitter, CutsTheStreamIntoEventsWithoutLosingAByte)
{
    struct Case {
        const char* what;
        Bytes input;
        std::vector<MidiSegment> expected;
    };
    const std::vector<Case> cases = {
        {"note on", {0x90, 0x3C, 0x64}, {{Kind::message, {0x90, 0x3C, 0x64}}}},
        {"program change is two bytes", {0xC1, 0x05}, {{Kind::message, {0xC1, 0x05}}}},
        {"running status becomes full messages",
         {0x90, 0x3C, 0x64, 0x3E, 0x64, 0x40, 0x00},
         {{Kind::message, {0x90, 0x3C, 0x64}},
          {Kind::message, {0x90, 0x3E, 0x64}},
          {Kind::message, {0x90, 0x40, 0x00}}}},
        {"system common",
         {0xF2, 0x10, 0x20, 0xF3, 0x01, 0xF6},
         {{Kind::message, {0xF2, 0x10, 0x20}}, {Kind::message, {0xF3, 0x01}}, {Kind::message, {0xF6}}}},
        {"real time", {0xF8}, {{Kind::message, {0xF8}}}},
        {"sysex then note",
         {0xF0, 0x43, 0x10, 0xF7, 0x80, 0x3C, 0x00},
         {{Kind::sysEx, {0xF0, 0x43, 0x10, 0xF7}}, {Kind::message, {0x80, 0x3C, 0x00}}}},
        {"real time inside sysex keeps its place",
         {0xF0, 0x01, 0xF8, 0x02, 0xF7},
         {{Kind::sysEx, {0xF0, 0x01}}, {Kind::message, {0xF8}}, {Kind::sysEx, {0x02, 0xF7}}}},
        {"unterminated sysex still goes out", {0xF0, 0x01, 0x02}, {{Kind::sysEx, {0xF0, 0x01, 0x02}}}},
        {"continuation of an earlier sysex", {0x03, 0x04, 0xF7}, {{Kind::sysEx, {0x03, 0x04, 0xF7}}}},
        {"a lone F7", {0xF7}, {{Kind::sysEx, {0xF7}}}},
        {"F0 cuts short an unfinished sysex",
         {0xF0, 0x01, 0xF0, 0x02, 0xF7},
         {{Kind::sysEx, {0xF0, 0x01}}, {Kind::sysEx, {0xF0, 0x02, 0xF7}}}},
        {"unfinished message still goes out", {0x90, 0x3C}, {{Kind::sysEx, {0x90, 0x3C}}}},
        {"status cuts short an unfinished message",
         {0x90, 0x3C, 0xC0, 0x01},
         {{Kind::sysEx, {0x90, 0x3C}}, {Kind::message, {0xC0, 0x01}}}},
        {"sysex ends running status",
         {0x90, 0x3C, 0x64, 0xF0, 0xF7, 0x3E},
         {{Kind::message, {0x90, 0x3C, 0x64}}, {Kind::sysEx, {0xF0, 0xF7}}, {Kind::sysEx, {0x3E}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<MidiSegment> segments = MidiStreamSplitter::split(c.input);
        EXPECT_EQ(segments, c.expected);
        std::size_t total = 0;
        for (const MidiSegment& s : segments) {
            total += s.bytes.size();
        }
        // Running status is the one place where bytes are added, never dropped.
        EXPECT_GE(total, c.input.size());
    }
}

// What a writer hands the sequencer, recorded without one.
struct SWrittenEvent {
    snd_seq_event_type_t type;
    Bytes sysEx;
};

class AlsaSeqEventWriter : public ::testing::Test {
public:
    AlsaSeqEventWriter(const AlsaSeqEventWriter&) = delete;
    AlsaSeqEventWriter& operator=(const AlsaSeqEventWriter&) = delete;

protected:
    AlsaSeqEventWriter() { mirelo::platform::setClock(&m_clock); }
    ~AlsaSeqEventWriter() override { mirelo::platform::setClock(nullptr); }

    std::vector<SWrittenEvent> write(const Bytes& bytes, bool paced, int failAt = -1)
    {
        std::vector<SWrittenEvent> events;
        const snd_seq_addr_t dest{20, 1};
        SeqEventWriter writer(
            [&](snd_seq_event_t& ev) {
                EXPECT_EQ(ev.source.port, 3);
                EXPECT_EQ(ev.dest.client, 20);
                EXPECT_EQ(ev.dest.port, 1);
                EXPECT_EQ(ev.queue, SND_SEQ_QUEUE_DIRECT);
                SWrittenEvent written{ev.type, {}};
                if (ev.type == SND_SEQ_EVENT_SYSEX) {
                    const auto* data = static_cast<const Byte*>(ev.data.ext.ptr);
                    written.sysEx.assign(data, data + ev.data.ext.len);
                }
                events.push_back(std::move(written));
                return static_cast<int>(events.size()) - 1 == failAt ? -EPIPE : 0;
            },
            3, dest, paced ? &m_pacer : nullptr);
        m_result = writer.write(MidiStreamSplitter::split(bytes));
        return events;
    }

    mirelo::platform::SimulatedClock m_clock;
    WirePacer m_pacer;
    int m_result = 0;
};

TEST_F(AlsaSeqEventWriter, PacedPortsGetSysExIn256ByteEventsOthersWhole)
{
    struct Case {
        const char* what;
        bool paced;
        std::size_t messageBytes;
        std::vector<std::size_t> eventBytes;
    };
    const std::vector<Case> cases = {
        {"paced, one full event", true, 256, {256}},       {"paced, one byte over", true, 257, {256, 1}},
        {"paced, long", true, 1000, {256, 256, 256, 232}}, {"paced, short", true, 4, {4}},
        {"software client, long", false, 1000, {1000}},    {"software client, longest", false, 65535, {65535}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes message = sysExOf(c.messageBytes);
        const std::vector<SWrittenEvent> events = write(message, c.paced);
        EXPECT_EQ(m_result, 0);
        std::vector<std::size_t> sizes;
        Bytes joined;
        for (std::size_t i = 0; i < events.size(); ++i) {
            const Bytes& sysEx = events[i].sysEx;
            EXPECT_EQ(events[i].type, SND_SEQ_EVENT_SYSEX);
            sizes.push_back(sysEx.size());
            joined.insert(joined.end(), sysEx.begin(), sysEx.end());
            // F0 only opens the first event, F7 only closes the last.
            EXPECT_EQ(std::count(sysEx.begin(), sysEx.end(), Byte{0xF0}), i == 0 ? 1 : 0);
            EXPECT_EQ(std::count(sysEx.begin(), sysEx.end(), Byte{0xF7}), i + 1 == events.size() ? 1 : 0);
        }
        EXPECT_EQ(sizes, c.eventBytes);
        EXPECT_EQ(joined, message);
    }
}

TEST_F(AlsaSeqEventWriter, ChannelMessagesAreOneEventEachAndAFailedEventEndsTheWrite)
{
    Bytes stream = {0x90, 0x3C, 0x64};
    const Bytes message = sysExOf(300);
    stream.insert(stream.end(), message.begin(), message.end());
    stream.insert(stream.end(), {0xC0, 0x05});
    for (const bool paced : {true, false}) {
        SCOPED_TRACE(paced ? "paced" : "software client");
        std::vector<snd_seq_event_type_t> types;
        for (const SWrittenEvent& event : write(stream, paced)) {
            types.push_back(event.type);
        }
        std::vector<snd_seq_event_type_t> expected = {SND_SEQ_EVENT_NOTEON, SND_SEQ_EVENT_SYSEX};
        if (paced) {
            expected.push_back(SND_SEQ_EVENT_SYSEX);
        }
        expected.push_back(SND_SEQ_EVENT_PGMCHANGE);
        EXPECT_EQ(types, expected);

        EXPECT_EQ(write(stream, paced, 1).size(), 2u);
        EXPECT_EQ(m_result, -EPIPE);
    }
}

} // namespace
