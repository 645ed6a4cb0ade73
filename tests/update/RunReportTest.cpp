// What both front ends say about a run: its sentences, its durations and the
// share of it that went.

#include "platform/base/Bundle.h"
#include "update/RunReport.h"
#include "tests/support/RunProgress.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

using mirelo::test::progressOf;

TEST(RunReport, FormatsDurationsForShortAndVeryLongSpans)
{
    const std::vector<std::pair<std::uint64_t, const char*>> cases = {{0, "0.0 s"},
                                                                      {99, "0.0 s"},
                                                                      {1250, "1.2 s"},
                                                                      {59999, "59.9 s"},
                                                                      {60000, "1:00"},
                                                                      {245000, "4:05"},
                                                                      {3599999, "59:59"},
                                                                      {3723000, "1:02:03"},
                                                                      {172799000, "47:59:59"},
                                                                      {172800000, "2 days"},
                                                                      {85'899'345'900, "994 days"},
                                                                      {315'359'999'999, "3649 days"},
                                                                      {85'899'345'900'000, "2721 years"},
                                                                      {~std::uint64_t{0}, "584542046 years"}};
    for (const auto& [ms, text] : cases) {
        EXPECT_EQ(CSentence::durationText(ms), text) << ms;
    }
}

// What both front ends say at the end of a run, as the tool prints it. The
// statuses are described by the built-in words (no resource folder here).
TEST(RunReport, SaysHowARunEnded)
{
    mirelo::platform::overrideMainBundle(nullptr);
    const auto ended = [](SRunEnd::EHow how, std::uint64_t reached, std::uint64_t total, std::uint64_t bytes) {
        SRunEnd end;
        end.how = how;
        end.progress = progressOf(reached, total, 14900);
        end.progress.bytes = bytes;
        end.elapsedMs = 14900;
        return end;
    };
    using EHow = SRunEnd::EHow;
    SRunEnd heldUp = ended(EHow::kSent, 242, 242, 37231);
    heldUp.progress.heldUpMs = 1500;
    heldUp.elapsedMs = 16400;
    SRunEnd barelyHeldUp = ended(EHow::kSent, 1, 1, 3);
    barelyHeldUp.progress.heldUpMs = CRunReport::kHeldUpWorthSaying - 1;
    SRunEnd refused = ended(EHow::kFailed, 4, 12, 1200);
    refused.status = kMIDIMessageSendErr;
    SRunEnd captureFull = refused;
    captureFull.detail = "capture: writing out.syx failed (File too large)";

    const std::vector<std::pair<CSentence, std::string>> cases = {
        {CRunReport::sent(ended(EHow::kSent, 242, 242, 37231), "Synth"),
         "sent 242 messages (37231 bytes) in 14.9 s to \"Synth\""},
        {CRunReport::sent(barelyHeldUp, "Synth"), "sent 1 message (3 bytes) in 14.9 s to \"Synth\""},
        {CRunReport::sent(heldUp, "Synth"),
         "sent 242 messages (37231 bytes) in 16.4 s to \"Synth\", 1.5 s later than the file's 14.9 s: the sender "
         "was held up; the file's spacing was kept"},
        {CRunReport::failedAt(refused),
         "send failed at message 5 of 12: the message could not be sent (status -10838 kMIDIMessageSendErr)"},
        {CRunReport::failedAt(captureFull),
         "send failed at message 5 of 12: capture: writing out.syx failed (File too large) (status -10838 "
         "kMIDIMessageSendErr)"},
        {CRunReport::failedAt(ended(EHow::kOutputClosed, 3, 10, 600)),
         "send failed at message 4 of 10: the destination went away and its output was closed"},
        {CRunReport::reached(refused, "Synth"),
         "4 of 12 messages (1200 bytes) reached \"Synth\"; the instrument must receive the whole update: send it "
         "again"},
        {CRunReport::reached(ended(EHow::kFailed, 0, 1, 0), "Synth"),
         "0 of 1 message (0 bytes) reached \"Synth\"; the instrument must receive the whole update: send it again"},
        {CRunReport::interrupted(ended(EHow::kInterrupted, 7, 60, 0)),
         "interrupted after message 7 of 60; the instrument must be updated again"},
        {CRunReport::interrupted(ended(EHow::kInterrupted, 0, 60, 0)),
         "interrupted before the first message; nothing was sent"},
        {CRunReport::closedDuringRun(ended(EHow::kInterrupted, 81, 242, 0)),
         "the window was closed during the update: interrupted after message 81 of 242; the instrument must be "
         "updated again"},
        {CRunReport::longRunWarning(7'200'000),
         "the file times this update to take 2:00:00; keep the instrument connected and switched on until it ends"},
        {CRunReport::timeLeft(progressOf(1, 4, 1500), 500), "1 of 4 messages, about 1.0 s left"},
    };
    for (const auto& [sentence, text] : cases) {
        EXPECT_EQ(sentence.plain(), text);
    }
    mirelo::platform::clearMainBundleOverride();
}

// The share of messages that went, rounded down; 100 only for a whole run.
TEST(RunReport, PercentageCountsMessagesThatWentAndIsWholeOnlyAtTheEnd)
{
    struct SCase {
        std::uint64_t reached, total;
        bool whole;
        int percent;
    };
    for (const SCase& c : std::vector<SCase>{{0, 0, false, 0},
                                             {1, 2, false, 50},
                                             {2, 2, false, 99},
                                             {2, 2, true, 100},
                                             {399, 400, false, 99},
                                             {1, 3, false, 33},
                                             {5, 3, false, 99}}) {
        EXPECT_EQ(CRunReport::percentShown(progressOf(c.reached, c.total, 0), c.whole), c.percent)
            << c.reached << " of " << c.total;
    }
}

} // namespace
