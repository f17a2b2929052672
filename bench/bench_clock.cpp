#include "Clock.h"
#include "linux/LocalTimeZone.h"

#include <benchmark/benchmark.h>

// Reading "now" sits on every tracking path; it must stay cheap.
static void BM_SystemClockNow(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Clock::system().now());
}
BENCHMARK(BM_SystemClockNow);

int main(int argc, char **argv)
{
    // As Pendulo does at start: TZ pinned, so local-time conversions cost what they cost there.
    LocalTimeZone::pinProcessZone();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
