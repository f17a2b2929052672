#include "BenchmarkMain.h"

#include "linux/LocalTimeZone.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

int runBenchmarks(int argc, char **argv)
{
    LocalTimeZone::pinProcessZone();
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
