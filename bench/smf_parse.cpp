// Parse and destruction speed of the SMF library on generated files:
//   SysExHeavy  16 MiB, format 1, 4 tracks, SysEx of 200-300 bytes with some
//               channel messages and tempo changes (an update file, writ large)
//   Channel     10 MiB, ~1.7 million events, 8 tracks, channel messages mostly
//               in running status
//   Song        a typical 50 KiB song
// Each reports bytes/s and events/s. DestroyChannel/N shows that releasing a
// container is linear in its events; PeakMemory/SysExHeavy the memory a parse
// takes, as a multiple of the file size (counted by the operator new below).

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "SMF/SMF.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Writes track bodies byte by byte, independently of the library under test.
class CTrackWriter {
public:
    void delta(uint32_t inTicks)
    {
        uint8_t groups[5];
        int n = 0;
        do {
            groups[n++] = static_cast<uint8_t>(inTicks & 0x7F);
            inTicks >>= 7;
        } while (inTicks != 0);
        while (n > 1) {
            m_body.push_back(groups[--n] | 0x80);
        }
        m_body.push_back(groups[0]);
    }
    void byte(uint8_t inByte) { m_body.push_back(inByte); }
    void tempo(uint32_t inMicroseconds)
    {
        for (const uint8_t b : std::initializer_list<uint8_t>{0xFF, 0x51, 0x03}) {
            byte(b);
        }
        byte(static_cast<uint8_t>(inMicroseconds >> 16));
        byte(static_cast<uint8_t>(inMicroseconds >> 8));
        byte(static_cast<uint8_t>(inMicroseconds));
    }
    // An 0xF0 event of inLength bytes after the 0xF0, ending 0xF7.
    void sysEx(uint32_t inLength, std::mt19937& ioRng)
    {
        byte(0xF0);
        delta(inLength); // same encoding as a delta time
        for (uint32_t i = 0; i + 1 < inLength; ++i) {
            byte(static_cast<uint8_t>(ioRng() & 0x7F));
        }
        byte(0xF7);
    }
    size_t size() const { return m_body.size(); }
    Bytes finish()
    {
        for (const uint8_t b : std::initializer_list<uint8_t>{0x00, 0xFF, 0x2F, 0x00}) {
            byte(b);
        }
        return std::move(m_body);
    }

private:
    Bytes m_body;
};

struct SImage {
    Bytes bytes;
    uint64_t events = 0;
};

SImage assemble(uint16_t inDivision, std::vector<Bytes> inTracks, uint64_t inEvents)
{
    SImage image;
    image.events = inEvents;
    Bytes& out = image.bytes;
    const uint8_t header[] = {'M',
                              'T',
                              'h',
                              'd',
                              0,
                              0,
                              0,
                              6,
                              0,
                              1,
                              static_cast<uint8_t>(inTracks.size() >> 8),
                              static_cast<uint8_t>(inTracks.size()),
                              static_cast<uint8_t>(inDivision >> 8),
                              static_cast<uint8_t>(inDivision)};
    out.insert(out.end(), std::begin(header), std::end(header));
    for (const Bytes& body : inTracks) {
        const auto n = static_cast<uint32_t>(body.size());
        const uint8_t head[] = {'M',
                                'T',
                                'r',
                                'k',
                                static_cast<uint8_t>(n >> 24),
                                static_cast<uint8_t>(n >> 16),
                                static_cast<uint8_t>(n >> 8),
                                static_cast<uint8_t>(n)};
        out.insert(out.end(), std::begin(head), std::end(head));
        out.insert(out.end(), body.begin(), body.end());
    }
    return image;
}

SImage makeSysExHeavy()
{
    constexpr size_t kTarget = 16u << 20;
    std::mt19937 rng(1);
    std::vector<Bytes> tracks;
    uint64_t events = 0;
    CTrackWriter conductor;
    for (int i = 0; i < 64; ++i) {
        conductor.delta(i == 0 ? 0 : 1920);
        conductor.tempo(400000 + static_cast<uint32_t>(rng() % 200000));
        ++events;
    }
    tracks.push_back(conductor.finish());
    for (int t = 0; t < 3; ++t) {
        CTrackWriter track;
        while (track.size() < (kTarget - 1024) / 3) {
            track.delta(rng() % 8 == 0 ? 0 : 60);
            if (rng() % 16 == 0) {
                track.byte(static_cast<uint8_t>(0xB0 | t));
                track.byte(static_cast<uint8_t>(rng() & 0x7F));
                track.byte(static_cast<uint8_t>(rng() & 0x7F));
            } else {
                track.sysEx(200 + static_cast<uint32_t>(rng() % 101), rng);
            }
            ++events;
        }
        tracks.push_back(track.finish());
    }
    return assemble(480, std::move(tracks), events);
}

SImage makeChannel(uint64_t inEvents)
{
    std::mt19937 rng(2);
    std::vector<Bytes> tracks;
    const uint64_t perTrack = inEvents / 8;
    for (int t = 0; t < 8; ++t) {
        CTrackWriter track;
        for (uint64_t i = 0; i < perTrack; ++i) {
            const auto r = static_cast<uint32_t>(rng() % 100);
            track.delta(r < 40 ? 0 : (r < 75 ? 30 + r : 200 + r * 3));
            if (r < 10 || i == 0) {
                track.byte(static_cast<uint8_t>(0x90 | t));
                track.byte(static_cast<uint8_t>(rng() & 0x7F));
                track.byte(static_cast<uint8_t>(rng() & 0x7F));
            } else if (r < 12) {
                track.sysEx(132 + (r - 10) * 20, rng); // controller dumps between the notes
            } else if (r < 14) {
                track.byte(static_cast<uint8_t>(0xE0 | t));
                track.byte(0x00);
                track.byte(static_cast<uint8_t>(rng() & 0x7F));
            } else {
                track.byte(static_cast<uint8_t>(rng() & 0x7F)); // running status
                track.byte(static_cast<uint8_t>(rng() & 0x7F));
            }
            if (r >= 12 && r < 14) {
                // Back to notes, so running status carries on as a note stream.
                track.delta(0);
                track.byte(static_cast<uint8_t>(0x90 | t));
                track.byte(0x3C);
                track.byte(0x00);
                ++i;
            }
        }
        tracks.push_back(track.finish());
    }
    return assemble(480, std::move(tracks), perTrack * 8);
}

SImage makeSong()
{
    std::mt19937 rng(3);
    std::vector<Bytes> tracks;
    uint64_t events = 0;
    CTrackWriter conductor;
    conductor.delta(0);
    for (const uint8_t b : std::initializer_list<uint8_t>{0xFF, 0x03, 0x04, 0x73, 0x6F, 0x6E, 0x67}) { // name "song"
        conductor.byte(b);
    }
    for (int i = 0; i < 16; ++i) {
        conductor.delta(i == 0 ? 0 : 7680);
        conductor.tempo(500000 - static_cast<uint32_t>(i) * 5000);
    }
    events += 17;
    tracks.push_back(conductor.finish());
    for (int t = 0; t < 10; ++t) {
        CTrackWriter track;
        track.delta(0);
        track.byte(static_cast<uint8_t>(0xC0 | t));
        track.byte(static_cast<uint8_t>(rng() & 0x7F));
        track.delta(0);
        track.byte(static_cast<uint8_t>(0x90 | t));
        track.byte(0x3C);
        track.byte(0x50);
        events += 2;
        while (track.size() < 4900) {
            track.delta(120);
            track.byte(static_cast<uint8_t>(0x30 + rng() % 40));
            track.byte(static_cast<uint8_t>(rng() % 2 ? 0 : 0x60));
            ++events;
        }
        tracks.push_back(track.finish());
    }
    return assemble(480, std::move(tracks), events);
}

// The channel file of about 10 MiB has this many events.
constexpr uint64_t kChannelEvents = 1700000;

const SImage& image(const std::string& inName)
{
    static std::map<std::string, SImage> s_images;
    auto it = s_images.find(inName);
    if (it == s_images.end()) {
        SImage made = inName == "SysExHeavy" ? makeSysExHeavy()
                      : inName == "Channel"  ? makeChannel(kChannelEvents)
                                             : makeSong();
        it = s_images.emplace(inName, std::move(made)).first;
    }
    return it->second;
}

// Null, with the benchmark marked as failed, when the generated file is refused.
std::unique_ptr<CSMF> parse(const SImage& inImage, benchmark::State& state)
{
    auto smf = std::make_unique<CSMF>();
    uint32_t consumed = 0;
    if (!smf->setData(inImage.bytes.data(), static_cast<uint32_t>(inImage.bytes.size()), consumed)) {
        state.SkipWithError("the generated file was refused");
        return nullptr;
    }
    return smf;
}

void reportRates(benchmark::State& state, const SImage& inImage)
{
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(inImage.bytes.size()));
    state.counters["events/s"] =
        benchmark::Counter(static_cast<double>(inImage.events), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["file_bytes"] = static_cast<double>(inImage.bytes.size());
    state.counters["events"] = static_cast<double>(inImage.events);
}

void BM_Parse(benchmark::State& state, const std::string& inName)
{
    const SImage& img = image(inName);
    for (auto _ : state) {
        std::unique_ptr<CSMF> smf = parse(img, state);
        if (!smf) {
            break;
        }
        benchmark::DoNotOptimize(smf.get());
        state.PauseTiming();
        smf.reset();
        state.ResumeTiming();
    }
    reportRates(state, img);
}

// Times only the destruction of each parsed file.
void destroyEach(benchmark::State& state, const SImage& img)
{
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<CSMF> smf = parse(img, state);
        if (!smf) {
            break;
        }
        state.ResumeTiming();
        smf.reset();
    }
    reportRates(state, img);
}

void BM_Destroy(benchmark::State& state, const std::string& inName)
{
    destroyEach(state, image(inName));
}

// Destruction against the number of events, for the complexity fit.
void BM_DestroyChannel(benchmark::State& state)
{
    destroyEach(state, makeChannel(static_cast<uint64_t>(state.range(0))));
    state.SetComplexityN(state.range(0));
}

// Heap accounting for the peak-memory run: every operator new and delete of
// the process goes through here, and is counted while s_counting is set.
bool s_counting = false;
int64_t s_heapBytes = 0;
int64_t s_heapPeak = 0;

// What a block really takes of the heap: its usable size plus malloc's header.
int64_t footprint(void* p)
{
    return static_cast<int64_t>(malloc_usable_size(p) + sizeof(size_t));
}

void* countedNew(size_t inSize)
{
    void* p = std::malloc(inSize == 0 ? 1 : inSize);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    if (s_counting) {
        s_heapBytes += footprint(p);
        s_heapPeak = std::max(s_heapPeak, s_heapBytes);
    }
    return p;
}

void countedDelete(void* p)
{
    if (p != nullptr && s_counting) {
        s_heapBytes -= footprint(p);
    }
    std::free(p);
}

// Peak heap that a parse takes, as a multiple of the file size; the image the
// caller holds during the parse is counted in peak_x_file as well.
void BM_PeakMemory(benchmark::State& state, const std::string& inName)
{
    const SImage& img = image(inName);
    for (auto _ : state) {
        s_heapBytes = 0;
        s_heapPeak = 0;
        s_counting = true;
        std::unique_ptr<CSMF> smf = parse(img, state);
        s_counting = false;
        if (!smf) {
            break;
        }
        state.PauseTiming();
        smf.reset();
        state.ResumeTiming();
    }
    const double file = static_cast<double>(img.bytes.size());
    state.counters["parse_peak_bytes"] = static_cast<double>(s_heapPeak);
    state.counters["parse_peak_x_file"] = static_cast<double>(s_heapPeak) / file;
    state.counters["peak_x_file"] = (static_cast<double>(s_heapPeak) + file) / file;
}

} // namespace

BENCHMARK_CAPTURE(BM_Parse, SysExHeavy, std::string("SysExHeavy"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Parse, Channel, std::string("Channel"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Parse, Song, std::string("Song"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Destroy, SysExHeavy, std::string("SysExHeavy"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Destroy, Channel, std::string("Channel"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Destroy, Song, std::string("Song"))->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DestroyChannel)
    ->RangeMultiplier(4)
    ->Range(1 << 14, 1 << 20)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PeakMemory, SysExHeavy, std::string("SysExHeavy"))->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PeakMemory, Channel, std::string("Channel"))->Iterations(1)->Unit(benchmark::kMillisecond);

void* operator new(size_t inSize)
{
    return countedNew(inSize);
}

void* operator new[](size_t inSize)
{
    return countedNew(inSize);
}

void operator delete(void* p) noexcept
{
    countedDelete(p);
}

void operator delete[](void* p) noexcept
{
    countedDelete(p);
}

void operator delete(void* p, size_t) noexcept
{
    countedDelete(p);
}

void operator delete[](void* p, size_t) noexcept
{
    countedDelete(p);
}

BENCHMARK_MAIN();
