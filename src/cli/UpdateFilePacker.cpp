#include "cli/UpdateFilePacker.h"

#include "platform/base/WholeFile.h"
#include "schedule/FirmwareSchedule.h"
#include "schedule/UpdateFileVerifier.h"
#include "SMF/MidiEvent.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kMetaTrackName = 0x03;
constexpr std::uint8_t kMetaTempo = 0x51;

// The transfer's own conversion, for the file's one tempo at tick 0.
std::uint64_t millisecondsForTick(std::uint32_t tick, std::uint16_t division)
{
    static const CFirmwareSchedule::TempoMap kOneTempo = {{0, 60000000 / CUpdateFilePacker::kTempoMicroseconds}};
    return CFirmwareSchedule::sendTime(kOneTempo, division, tick);
}

std::size_t quantitySize(std::uint32_t value)
{
    std::size_t size = 1;
    while (value >= 0x80) {
        value >>= 7;
        ++size;
    }
    return size;
}

void putQuantity(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    std::uint8_t groups[5];
    std::size_t n = 0;
    do {
        groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1) {
        out.push_back(static_cast<std::uint8_t>(groups[--n] | 0x80));
    }
    out.push_back(groups[0]);
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void putChunkHead(std::vector<std::uint8_t>& out, const char* tag, std::uint32_t size)
{
    out.insert(out.end(), tag, tag + 4);
    put32(out, size);
}

// An 0xF0 event: the message's bytes after its 0xF0, behind their length.
std::size_t sysExEventSize(std::uint32_t delta, std::size_t messageSize)
{
    return quantitySize(delta) + 1 + quantitySize(static_cast<std::uint32_t>(messageSize - 1)) + messageSize - 1;
}

} // namespace

// Compares every SysEx event of the packed image, as the verification reads
// it, with the message and the time it was packed for.
class CUpdateFilePacker::CReadBack final : public CUpdateFileVerifier::CEventSink {
public:
    CReadBack(const CSysExRun& messages, const SOptions& options)
        : m_next(messages.begin()), m_end(messages.end()), m_options(options)
    {
    }

    void onEvent(std::uint32_t inTrack, const CMidiEvent& inEvent) override
    {
        const CMidiSysExEvent* sysEx = inEvent.getSysExData();
        if (sysEx == nullptr || m_differs) {
            return;
        }
        const std::uint64_t due = m_options.firstDelayMs + m_read * std::uint64_t{m_options.intervalMs};
        const std::span<const std::uint8_t> bytes(sysEx->getParam(), sysEx->getSize());
        if (inTrack != 1 || m_next == m_end || !std::ranges::equal(bytes, m_next->bytes) ||
            millisecondsForTick(inEvent.time, m_options.division) != due) {
            m_differs = true;
            return;
        }
        ++m_next;
        ++m_read;
    }

    bool differs() const { return m_differs; }
    std::uint64_t read() const { return m_read; }

private:
    CSysExRun::const_iterator m_next;
    CSysExRun::const_iterator m_end;
    const SOptions& m_options;
    std::uint64_t m_read = 0;
    bool m_differs = false;
};

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

std::optional<std::uint32_t> CUpdateFilePacker::tickOf(std::size_t index, const SOptions& options)
{
    const std::uint64_t ms = options.firstDelayMs + static_cast<std::uint64_t>(index) * options.intervalMs;
    if (const std::optional<std::uint32_t> tick = tickForMilliseconds(ms, options.division)) {
        return tick;
    }
    const std::string which = "message " + std::to_string(index + 1) + " is due at " + std::to_string(ms) + " ms";
    const std::uint64_t latest = millisecondsForTick(kMaxTick, options.division);
    if (ms > latest) {
        fail(which + ", later than the largest tick an update file made by pack can hold: tick " +
             std::to_string(kMaxTick) + ", " + std::to_string(latest) + " ms at division " +
             std::to_string(options.division));
    } else {
        fail(which + ", which division " + std::to_string(options.division) +
             " cannot express exactly (a division of 500 or a multiple of it always can)");
    }
    return std::nullopt;
}

bool CUpdateFilePacker::pack(const CSysExRun& messages, const SOptions& options, std::vector<std::uint8_t>& outImage)
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

    // Sized first, so the image is allocated once and never copied.
    std::uint64_t firmwareBody = 4; // End of Track
    std::uint32_t previous = 0;
    std::size_t index = 0;
    for (const CSysExRun::SMessage& message : messages) {
        const std::optional<std::uint32_t> tick = tickOf(index, options);
        if (!tick) {
            return false;
        }
        if (message.bytes.size() > 0xFFFF) {
            return fail("message " + std::to_string(index + 1) + " is longer than 65535 bytes");
        }
        firmwareBody += sysExEventSize(*tick - previous, message.bytes.size());
        previous = *tick;
        ++index;
    }
    const auto nameSize = static_cast<std::uint32_t>(options.trackName.size());
    const std::uint32_t conductorBody = 3 + static_cast<std::uint32_t>(quantitySize(nameSize)) + nameSize + 7 + 4;
    const std::uint64_t total = 14 + 8 + conductorBody + 8 + firmwareBody;
    if (total > mirelo::platform::kWholeFileLimit) {
        return fail("the update file would hold " + CUpdateFileVerifier::withThousands(total) +
                    " bytes, more than the 256 MiB the updater reads");
    }
    outImage.reserve(total);

    putChunkHead(outImage, "MThd", 6);
    put16(outImage, 1);
    put16(outImage, 2);
    put16(outImage, options.division);

    putChunkHead(outImage, "MTrk", conductorBody);
    outImage.insert(outImage.end(), {0x00, 0xFF, kMetaTrackName});
    putQuantity(outImage, nameSize);
    outImage.insert(outImage.end(), options.trackName.begin(), options.trackName.end());
    outImage.insert(outImage.end(), {0x00, 0xFF, kMetaTempo, 0x03, static_cast<std::uint8_t>(kTempoMicroseconds >> 16),
                                     static_cast<std::uint8_t>(kTempoMicroseconds >> 8),
                                     static_cast<std::uint8_t>(kTempoMicroseconds)});
    outImage.insert(outImage.end(), {0x00, 0xFF, 0x2F, 0x00});

    putChunkHead(outImage, "MTrk", static_cast<std::uint32_t>(firmwareBody));
    previous = 0;
    index = 0;
    for (const CSysExRun::SMessage& message : messages) {
        const std::uint32_t tick = *tickOf(index++, options);
        putQuantity(outImage, tick - previous);
        previous = tick;
        outImage.push_back(0xF0);
        putQuantity(outImage, static_cast<std::uint32_t>(message.bytes.size() - 1));
        outImage.insert(outImage.end(), message.bytes.begin() + 1, message.bytes.end());
    }
    outImage.insert(outImage.end(), {0x00, 0xFF, 0x2F, 0x00});

    if (!verify(outImage, messages, options)) {
        outImage.clear();
        outImage.shrink_to_fit();
        return false;
    }
    return true;
}

bool CUpdateFilePacker::verify(const std::vector<std::uint8_t>& image, const CSysExRun& messages,
                               const SOptions& options)
{
    // The updater's acceptance rules look at raw bytes across the whole image
    // (a stray "MTrk" inside SysEx data can refuse it), so only verifying the
    // result as the updater does proves that it will take it.
    CReadBack readBack(messages, options);
    if (const auto refusal = CUpdateFileVerifier::verify(image.data(), image.size(), &readBack)) {
        return fail("the packed file does not read back as an update file: " + refusal->sentence());
    }
    if (readBack.differs()) {
        return fail("the packed file reads back differently at message " + std::to_string(readBack.read() + 1));
    }
    if (readBack.read() != messages.size()) {
        return fail("the packed file reads back with " + std::to_string(readBack.read()) + " messages instead of " +
                    std::to_string(messages.size()));
    }
    return true;
}
