// The model of a hardware port's raw MIDI buffer, run on the simulated clock.

#include "platform/midi/alsa/WirePacer.h"

#include "testing/SimulatedClock.h"

#include <gtest/gtest.h>

using mirelo::midi::alsa::WirePacer;
using mirelo::platform::SimulatedClock;

namespace {

class WirePacerTest : public ::testing::Test {
public:
    WirePacerTest(const WirePacerTest&) = delete;
    WirePacerTest& operator=(const WirePacerTest&) = delete;

protected:
    WirePacerTest() { mirelo::platform::setClock(&m_clock); }
    ~WirePacerTest() override { mirelo::platform::setClock(nullptr); }

    std::uint64_t now() { return m_clock.monotonicNanoseconds(); }

    SimulatedClock m_clock;
    WirePacer m_pacer;
};

TEST_F(WirePacerTest, TheFirstHalfOfTheBufferGoesAtOnce)
{
    for (int i = 0; i < 8; ++i) {
        m_pacer.admit(256);
    }
    EXPECT_TRUE(m_clock.sleeps().empty());
    EXPECT_EQ(m_pacer.outstandingBytes(now()), 2048u);
}

TEST_F(WirePacerTest, AfterTheFreeHalfOfTheBuffer3125BytesTakeOneSecond)
{
    m_pacer.admit(2048);
    const std::uint64_t start = now();
    for (int i = 0; i < 25; ++i) {
        m_pacer.admit(125);
    }
    EXPECT_EQ(now() - start, 1'000'000'000u);
    EXPECT_EQ(m_pacer.outstandingBytes(now()), 2048u);
}

TEST_F(WirePacerTest, BeyondTheBufferBytesLeaveAtTheWireRate)
{
    const std::uint64_t start = now();
    for (int i = 0; i < 40; ++i) { // 10 KiB: far more than the buffer holds
        m_pacer.admit(256);
        EXPECT_LE(m_pacer.outstandingBytes(now()), 2048u);
    }
    // 10,240 - 2,048 bytes at 0.32 ms a byte.
    EXPECT_EQ(now() - start, 2'621'440'000u);
    EXPECT_EQ(m_pacer.outstandingBytes(now()), 2048u);
    for (std::uint64_t sleep : m_clock.sleeps()) {
        EXPECT_GT(sleep, 0u);
    }
}

TEST_F(WirePacerTest, IdleTimeDrainsTheBuffer)
{
    for (int i = 0; i < 8; ++i) {
        m_pacer.admit(256);
    }
    m_clock.advance(81'920'000); // 256 bytes' time on the wire: room for one more event
    EXPECT_EQ(m_pacer.outstandingBytes(now()), 2048u - 256u);
    m_pacer.admit(256);
    EXPECT_TRUE(m_clock.sleeps().empty());

    m_clock.advance(10'000'000'000ULL);
    EXPECT_EQ(m_pacer.outstandingBytes(now()), 0u);
    EXPECT_EQ(m_pacer.delayBefore(2048, now()), 0u);
}

TEST_F(WirePacerTest, DelayIsExactlyTheTimeToMakeRoom)
{
    const std::uint64_t t0 = 5'000'000'000ULL;
    m_pacer.recordWrite(1952, t0);
    EXPECT_EQ(m_pacer.delayBefore(96, t0), 0u);
    EXPECT_EQ(m_pacer.delayBefore(97, t0), 320'000u);     // one byte's time
    EXPECT_EQ(m_pacer.delayBefore(256, t0), 51'200'000u); // 160 bytes'
    EXPECT_EQ(m_pacer.delayBefore(256, t0 + 51'200'000), 0u);
    // A single event larger than the buffer waits only until it is empty.
    EXPECT_EQ(m_pacer.delayBefore(10000, t0), 624'640'000u);
}

} // namespace
