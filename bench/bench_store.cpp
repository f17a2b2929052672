#include "StoreGenerator.h"

#include "store/ObjectStore.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

namespace {

const StoreGenerator::Parameters fullStore;

// Opening the generated store: file checks, connection, main context.
void BM_OpenStore(benchmark::State &state)
{
    const QString path = StoreGenerator::cachedStore(fullStore);
    for (auto _ : state) {
        PdError error;
        auto store = ObjectStore::open(path, &error);
        if (!store) {
            state.SkipWithError(qPrintable(error.description));
            break;
        }
        benchmark::DoNotOptimize(store.get());
    }
}
BENCHMARK(BM_OpenStore)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
