#include "BenchmarkMain.h"
#include "Clock.h"

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
    return runBenchmarks(argc, argv);
}
