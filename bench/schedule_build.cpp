// Building a schedule from an update file whose track 0 holds N Set Tempo
// events and whose track 1 holds N SysEx messages, one after each tempo
// change: the build is one pass over the tempo map and the messages, so
// N = 100,000 takes about ten times N = 10,000, not a hundred.
//
//   build/default/bench/schedule_build

#include <benchmark/benchmark.h>

#include <cstdint>

#include "tests/support/SmfImageBuilder.h"
#include "schedule/FirmwareSchedule.h"

namespace {

using mirelo::test::Bytes;
using mirelo::test::CSmfImageBuilder;

Bytes tempoHeavyFile(std::uint32_t n)
{
    CSmfImageBuilder builder(480);
    builder.track();
    for (std::uint32_t i = 0; i < n; ++i) {
        builder.tempo(i * 10, 400'000 + (i % 7) * 50'000);
    }
    builder.track();
    for (std::uint32_t i = 0; i < n; ++i) {
        builder.sysEx(i * 10 + 5, CSmfImageBuilder::message(8, i));
    }
    return builder.build();
}

void BuildTempoHeavySchedule(benchmark::State& state)
{
    const Bytes image = tempoHeavyFile(static_cast<std::uint32_t>(state.range(0)));
    for (auto _ : state) {
        CFirmwareSchedule schedule;
        if (schedule.build(image.data(), static_cast<std::uint32_t>(image.size())) != CFirmwareSchedule::EResult::kOk) {
            state.SkipWithError("the generated file was refused");
            break;
        }
        benchmark::DoNotOptimize(schedule.duration());
    }
    state.SetComplexityN(state.range(0));
    state.counters["file_bytes"] = static_cast<double>(image.size());
}
BENCHMARK(BuildTempoHeavySchedule)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace

BENCHMARK_MAIN();
