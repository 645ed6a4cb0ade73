// CSMF::setData on any bytes. An accepted image, written back with getData and
// read again, gives the same events, and writing and reading those changes
// nothing more. The schedule builder takes the same bytes and schedules
// exactly the SysEx events the library read.

#include "schedule/FirmwareSchedule.h"
#include "SMF/SMF.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/support/ScheduledMessages.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct SEventPrint {
    std::uint32_t type;
    std::uint32_t time;
    std::uint32_t dataType;
    std::uint32_t typeByte; // status of a channel message, type of a meta event
    Bytes param;

    bool operator==(const SEventPrint&) const = default;
};

struct SFilePrint {
    std::uint32_t format;
    std::uint32_t division;
    std::vector<std::vector<SEventPrint>> tracks;

    bool operator==(const SFilePrint&) const = default;
};

Bytes paramOf(const CMidiEvent& e)
{
    Bytes param(e.getDataSize());
    if (!param.empty()) {
        e.getDataParam(param.data());
    }
    return param;
}

// Every SysEx event is written as an 0xF0 event, so one read from an 0xF7
// event (its param does not begin with 0xF0) comes back with an 0xF0 in front.
SEventPrint canonical(SEventPrint print)
{
    if (print.type == CMidiEvent::kEventTypeSysEx && (print.param.empty() || print.param[0] != 0xF0)) {
        print.param.insert(print.param.begin(), 0xF0);
        print.dataType = CMidiSysExEvent::kTypeSysEx1;
    }
    return print;
}

SFilePrint printOf(const CSMF& smf, bool inCanonical)
{
    SFilePrint out{smf.getHeader().getFormat(), smf.getHeader().getDivision(), {}};
    for (const CMidiTrack* track : smf.getTracks()) {
        std::vector<SEventPrint>& events = out.tracks.emplace_back();
        for (const CMidiEvent* e : track->getEvents()) {
            std::uint32_t typeByte = 0;
            if (const CMidiShortEvent* s = e->getShortData()) {
                typeByte = s->getStatus();
            } else if (const CMidiMetaEvent* m = e->getMetaData()) {
                typeByte = m->getTypeByte();
            }
            SEventPrint print{e->getType(), e->time, e->getDataType(), typeByte, paramOf(*e)};
            events.push_back(inCanonical ? canonical(std::move(print)) : std::move(print));
        }
    }
    return out;
}

// Writes the image; false when an event cannot be encoded.
bool write(CSMF& smf, Bytes& out)
{
    out.assign(smf.GetFileSize(), 0);
    std::uint32_t written = 0;
    if (!smf.getData(out.data(), written)) {
        return false;
    }
    FUZZ_CHECK(written == out.size());
    return true;
}

// The library refuses an image in which "MTrk" (even inside event data) is
// followed by a length that is not below the image size. Writing may shrink
// the image (trailing bytes, running status), so such a run that was harmless
// in the input can refuse the written image.
bool refusedByTrackScan(const Bytes& image)
{
    for (std::size_t at = 11; at + 8 <= image.size(); ++at) {
        if (std::memcmp(&image[at], "MTrk", 4) == 0) {
            const std::uint32_t length = (std::uint32_t{image[at + 4]} << 24) | (std::uint32_t{image[at + 5]} << 16) |
                                         (std::uint32_t{image[at + 6]} << 8) | image[at + 7];
            if (length >= image.size()) {
                return true;
            }
        }
    }
    return false;
}

// The verification never accepts what the reader refuses; what it accepts is
// scheduled exactly as the reader reads it, and goes out as whole messages.
void checkSchedule(const std::uint8_t* data, std::uint32_t size, const CSMF* parsed)
{
    CFirmwareSchedule schedule;
    const CFirmwareSchedule::EResult result = schedule.build(data, size);
    if (result != CFirmwareSchedule::EResult::kOk) {
        FUZZ_CHECK(result == CFirmwareSchedule::EResult::kRefused);
        FUZZ_CHECK(schedule.refusal().has_value() && !schedule.refusal()->sentence().empty());
        FUZZ_CHECK(schedule.empty());
        return;
    }
    FUZZ_CHECK(parsed != nullptr);
    std::size_t index = 0;
    const auto messages = mirelo::test::scheduledMessages(schedule);
    for (const CMidiTrack* track : parsed->getTracks()) {
        for (const CMidiEvent* e : track->getEvents()) {
            if (const CMidiShortEvent* channel = e->getShortData()) {
                for (std::uint32_t i = 0; i < channel->getSize(); ++i) {
                    FUZZ_CHECK(channel->getParam()[i] < 0x80);
                }
            }
            if (e->getType() != CMidiEvent::kEventTypeSysEx) {
                continue;
            }
            FUZZ_CHECK(index < messages.size());
            FUZZ_CHECK(messages[index].tick == e->time);
            FUZZ_CHECK(messages[index].bytes == paramOf(*e));
            // The schedule's one pass over the tempo map gives what the rule,
            // walked from the map's end for each message, gives.
            const auto ticksPerSecond = CFirmwareSchedule::smpteTicksPerSecond(schedule.division());
            FUZZ_CHECK(messages[index].sendTime ==
                       (ticksPerSecond
                            ? CFirmwareSchedule::smpteSendTime(*ticksPerSecond, e->time)
                            : CFirmwareSchedule::sendTime(schedule.tempoMap(), schedule.division(), e->time)));
            ++index;
        }
    }
    FUZZ_CHECK(index == messages.size());
    FUZZ_CHECK(!messages.empty());
    bool open = false;
    for (const auto& message : messages) {
        for (const std::uint8_t b : message.bytes) {
            FUZZ_CHECK(open ? (b < 0x80 || b == 0xF7) : b == 0xF0);
            open = open ? b != 0xF7 : true;
        }
        FUZZ_CHECK(message.leaveTime >= message.sendTime);
    }
    FUZZ_CHECK(!open);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > UINT32_MAX) {
        return 0;
    }
    const auto length = static_cast<std::uint32_t>(size);
    CSMF first;
    std::uint32_t consumed = 0;
    if (!first.setData(data, length, consumed)) {
        FUZZ_CHECK(consumed == 0);
        FUZZ_CHECK(first.getTrackCount() == 0);
        checkSchedule(data, length, nullptr);
        return 0;
    }
    FUZZ_CHECK(consumed <= length);
    FUZZ_CHECK(first.getTrackCount() == first.getHeader().getTrackCount());
    checkSchedule(data, length, &first);

    Bytes image;
    if (!write(first, image)) {
        return 0;
    }
    CSMF second;
    consumed = 0;
    if (!second.setData(image.data(), static_cast<std::uint32_t>(image.size()), consumed)) {
        FUZZ_CHECK(refusedByTrackScan(image));
        return 0;
    }
    FUZZ_CHECK(consumed == image.size());
    FUZZ_CHECK(printOf(first, true) == printOf(second, false));

    // The events read back are a fixed point. The image becomes one a write
    // later: an 0xF7 event of 127 (or 16383, ...) bytes comes back as a 128-byte
    // param with its 0xF0, whose length field is then written one byte longer.
    Bytes again;
    FUZZ_CHECK(write(second, again));
    CSMF third;
    consumed = 0;
    FUZZ_CHECK(third.setData(again.data(), static_cast<std::uint32_t>(again.size()), consumed));
    FUZZ_CHECK(printOf(second, false) == printOf(third, false));
    Bytes last;
    FUZZ_CHECK(write(third, last));
    FUZZ_CHECK(last == again);
    return 0;
}
