#include "cli/UpdateFilePacker.h"

#include "update/FirmwareSchedule.h"
#include "SMF/SMF.h"

#include <memory>

namespace {


CMidiEvent* newMetaEvent(uint32_t metaType, const uint8_t* data, uint32_t size)
{
    auto* e = new CMidiEvent;
    e->setType(CMidiEvent::kEventTypeMeta);
    e->setDataType(metaType);
    e->setDataParam(data, size);
    e->time = 0;
    return e;
}

// The transfer's own conversion, for the file's one tempo at tick 0.
std::uint64_t millisecondsForTick(std::uint32_t tick, std::uint16_t division)
{
    static const CFirmwareSchedule::TempoMap kOneTempo = {{0, 60000000 / CUpdateFilePacker::kTempoMicroseconds}};
    return CFirmwareSchedule::sendTime(kOneTempo, division, tick);
}

} // namespace

std::optional<std::uint32_t> CUpdateFilePacker::tickForMilliseconds(std::uint64_t ms, std::uint16_t division)
{
    if (division == 0) {
        return std::nullopt;
    }
    // The conversion is monotonic and close to linear; look around the exact
    // quotient so rounding in the double arithmetic cannot make us miss.
    const std::uint64_t guess = (ms * division + 250) / 500;
    const std::uint64_t from = guess >= 2 ? guess - 2 : 0;
    for (std::uint64_t t = from; t <= guess + 2 && t <= kMaxTick; ++t) {
        if (millisecondsForTick(static_cast<std::uint32_t>(t), division) == ms) {
            return static_cast<std::uint32_t>(t);
        }
    }
    return std::nullopt;
}

bool CUpdateFilePacker::fail(std::string what)
{
    m_error = std::move(what);
    return false;
}

bool CUpdateFilePacker::pack(const std::vector<std::vector<std::uint8_t>>& messages, const SOptions& options,
                             std::vector<std::uint8_t>& outImage)
{
    m_error.clear();
    outImage.clear();
    if (messages.empty()) {
        return fail("there is no SysEx message to pack");
    }
    if (options.division == 0 || options.division > 0x7FFF) {
        return fail("the division must be between 1 and 32767 ticks per quarter note");
    }
    if (options.trackName.size() > 0xFFFF) {
        return fail("the track name is too long");
    }

    std::vector<std::uint32_t> ticks;
    ticks.reserve(messages.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const std::uint64_t ms = options.firstDelayMs + static_cast<std::uint64_t>(i) * options.intervalMs;
        const std::optional<std::uint32_t> tick = tickForMilliseconds(ms, options.division);
        if (!tick) {
            return fail("message " + std::to_string(i + 1) + " is due at " + std::to_string(ms) +
                        " ms, which division " + std::to_string(options.division) +
                        " cannot express exactly (a division of 500 or a multiple of it always can)");
        }
        if (messages[i].size() > 0xFFFF) {
            return fail("message " + std::to_string(i + 1) + " is longer than 65535 bytes");
        }
        ticks.push_back(*tick);
    }

    CSMF smf;
    smf.getHeader().setFormat(1);
    smf.getHeader().setDivision(options.division);
    CMidiTrack* conductor = smf.addTrack();
    smf.addTrack();
    smf.setSequenceName(0, reinterpret_cast<const uint8_t*>(options.trackName.data()),
                        static_cast<uint32_t>(options.trackName.size()));
    const uint8_t tempo[3] = {static_cast<uint8_t>(kTempoMicroseconds >> 16),
                              static_cast<uint8_t>(kTempoMicroseconds >> 8),
                              static_cast<uint8_t>(kTempoMicroseconds)};
    conductor->AddEvent(newMetaEvent(CMidiMetaEvent::kTypeTempo, tempo, sizeof tempo));

    CMidiTrack* firmware = smf.getTracks()[1];
    for (std::size_t i = 0; i < messages.size(); ++i) {
        auto e = std::make_unique<CMidiEvent>();
        e->setType(CMidiEvent::kEventTypeSysEx);
        e->setDataParam(messages[i].data(), static_cast<uint32_t>(messages[i].size()));
        e->time = ticks[i];
        firmware->AddEvent(e.release());
    }

    outImage.resize(smf.GetFileSize());
    uint32_t written = 0;
    if (!smf.getData(outImage.data(), written) || written != outImage.size()) {
        outImage.clear();
        return fail("the update file could not be written");
    }
    if (!verify(outImage, messages, ticks, options)) {
        outImage.clear();
        return false;
    }
    return true;
}

bool CUpdateFilePacker::verify(const std::vector<std::uint8_t>& image,
                               const std::vector<std::vector<std::uint8_t>>& messages,
                               const std::vector<std::uint32_t>& ticks, const SOptions& options)
{
    // The reader's acceptance rules look at raw bytes across the whole image
    // (a stray "MTrk" inside SysEx data can refuse it), so only reading the
    // result back proves that the updater will take it.
    CSMF check;
    uint32_t consumed = 0;
    if (!check.setData(image.data(), static_cast<uint32_t>(image.size()), consumed) || check.getTrackCount() != 2) {
        return fail("the packed file does not read back as an update file (its SysEx data may contain the bytes "
                    "of a track chunk tag, \"MTrk\", followed by a large length)");
    }
    const CMidiTrack* track = check.getTracks()[1];
    std::size_t n = 0;
    for (uint32_t i = 0; i < track->getEventCount(); ++i) {
        const CMidiEvent* e = track->GetEvent(i);
        const CMidiSysExEvent* sysEx = e->getSysExData();
        if (sysEx == nullptr) {
            continue;
        }
        if (n >= messages.size() || e->time != ticks[n] ||
            std::vector<std::uint8_t>(sysEx->getParam(), sysEx->getParam() + sysEx->getSize()) != messages[n] ||
            millisecondsForTick(e->time, options.division) !=
                options.firstDelayMs + static_cast<std::uint64_t>(n) * options.intervalMs) {
            return fail("the packed file reads back differently at message " + std::to_string(n + 1));
        }
        ++n;
    }
    if (n != messages.size()) {
        return fail("the packed file reads back with " + std::to_string(n) + " messages instead of " +
                    std::to_string(messages.size()));
    }
    return true;
}
