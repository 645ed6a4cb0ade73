#include "platform/base/CriticalRegion.h"

#include <gtest/gtest.h>

#include <future>

namespace {

class CriticalRegion : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(MPCreateCriticalRegion(&m_region), noErr); }
    void TearDown() override { EXPECT_EQ(MPDeleteCriticalRegion(m_region), noErr); }

    OSStatus tryFromAnotherThread()
    {
        return std::async(std::launch::async,
                          [this] {
                              const OSStatus status = MPEnterCriticalRegion(m_region, kDurationImmediate);
                              if (status == noErr) {
                                  EXPECT_EQ(MPExitCriticalRegion(m_region), noErr);
                              }
                              return status;
                          })
            .get();
    }

    MPCriticalRegionID m_region = nullptr;
};

TEST_F(CriticalRegion, TheHolderMayEnterAgainAndOthersWaitUntilTheLastExit)
{
    ASSERT_EQ(MPEnterCriticalRegion(m_region, kDurationForever), noErr);
    ASSERT_EQ(MPEnterCriticalRegion(m_region, kDurationForever), noErr);
    EXPECT_EQ(tryFromAnotherThread(), kMPTimeoutErr);
    EXPECT_EQ(MPExitCriticalRegion(m_region), noErr);
    EXPECT_EQ(tryFromAnotherThread(), kMPTimeoutErr);
    EXPECT_EQ(MPExitCriticalRegion(m_region), noErr);
    EXPECT_EQ(tryFromAnotherThread(), noErr);
}

TEST_F(CriticalRegion, ExitWithoutHoldingIsRefused)
{
    EXPECT_EQ(MPExitCriticalRegion(m_region), kParamErr);
    ASSERT_EQ(MPEnterCriticalRegion(m_region, kDurationForever), noErr);
    const OSStatus fromOther = std::async(std::launch::async, [this] { return MPExitCriticalRegion(m_region); }).get();
    EXPECT_EQ(fromOther, kParamErr);
    EXPECT_EQ(MPExitCriticalRegion(m_region), noErr);
}

TEST(CriticalRegionArguments, NullRegionsAreRefused)
{
    EXPECT_EQ(MPCreateCriticalRegion(nullptr), kParamErr);
    EXPECT_EQ(MPEnterCriticalRegion(nullptr, kDurationForever), kParamErr);
    EXPECT_EQ(MPExitCriticalRegion(nullptr), kParamErr);
    EXPECT_EQ(MPDeleteCriticalRegion(nullptr), kParamErr);
}

} // namespace
