#include "ActivityHashItem.h"
#include "BenchmarkMain.h"
#include "InMemoryBackend.h"
#include "PDSyncService.h"
#include "StoreGenerator.h"
#include "SyncJson.h"

#include "PDSyncFile.h"
#include "store/ObjectStore.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QUuid>

#include <benchmark/benchmark.h>

// The sync run against an in-memory remote: merging a large month, the month hash, and a full store's
// first and unchanged second sync.
namespace {

constexpr int monthSize = 10000;

QList<SyncActivityRecord> busyMonth()
{
    QList<SyncActivityRecord> records;
    records.reserve(monthSize);
    const QDateTime start(QDate(2016, 3, 1), QTime(0, 0));
    for (int i = 0; i < monthSize; ++i) {
        const QDateTime from = start.addSecs(i * 240);
        records.append({QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(),
                        QStringLiteral("Item %1 @Project%2 #task%3").arg(i).arg(i % 40).arg(i % 90), from,
                        from.addSecs(200), from, from.addSecs(200 + i % 7), i % 3 == 0});
    }
    return records;
}

// One store file with its cache folder and a backend over a shared remote.
struct Computer
{
    explicit Computer(std::shared_ptr<InMemoryRemote> remote, const QString &storeFile = {})
        : backend(std::make_shared<InMemoryBackend>(std::move(remote), InMemoryBackend::Delivery::SameThread))
    {
        const QString path = folder.filePath(QStringLiteral("storedata"));
        if (!storeFile.isEmpty())
            QFile::copy(storeFile, path);
        store = ObjectStore::open(path);
        if (!store)
            qFatal("Cannot open the store %s", qPrintable(path));
    }

    // Runs one sync to its end; false when it did not complete.
    bool sync()
    {
        PDSyncService service(backend, {}, store->newContext(true));
        service.setLocalCacheFolder(folder.filePath(QStringLiteral("cache")));
        QEventLoop loop;
        QObject::connect(&service, &PDSyncService::syncServiceFinish, &loop, &QEventLoop::quit);
        QObject::connect(&service, &PDSyncService::syncServiceError, &loop, &QEventLoop::quit);
        QObject::connect(&service, &PDSyncService::syncServiceCancelled, &loop, &QEventLoop::quit);
        service.sync();
        loop.exec();
        // deliver the merges into the main context, as the application does between runs
        QCoreApplication::processEvents();
        if (service.syncStatus() != PDSyncService::Completed)
            qWarning("Sync did not complete: %s", qPrintable(service.currentProgressMessage()));
        return service.syncStatus() == PDSyncService::Completed;
    }

    QTemporaryDir folder;
    std::shared_ptr<InMemoryBackend> backend;
    std::unique_ptr<ObjectStore> store;
};

// A whole run whose only work is one new 10 000-activity month file from the remote: download,
// checks, merge and save, then the export finds the month unchanged.
void BM_MergeMonthFile(benchmark::State &state)
{
    const bool storeHoldsThem = state.range(0) == 1;
    auto remote = std::make_shared<InMemoryRemote>();
    const QByteArray content = SyncJson::monthFileJson(busyMonth());
    remote->putFile(QStringLiteral("2016-03.json"), content);
    for (auto _ : state) {
        state.PauseTiming();
        auto computer = std::make_unique<Computer>(remote);
        if (storeHoldsThem) {
            if (!computer->sync())
                state.SkipWithError("first merge failed");
            // forget the records, so that the same file is merged again over the activities
            Context &context = computer->store->mainContext();
            const QList<PDSyncFile *> records = context.fetch<PDSyncFile>();
            for (PDSyncFile *record : records)
                context.deleteObject(record);
            context.save();
            computer->backend->deleteSavepoint();
        }
        state.ResumeTiming();
        if (!computer->sync())
            state.SkipWithError("merge failed");
        state.PauseTiming();
        computer.reset();
        state.ResumeTiming();
    }
    state.counters["activities"] = monthSize;
}
BENCHMARK(BM_MergeMonthFile)
    ->ArgName("storeHoldsThem")
    ->Arg(0)
    ->Arg(1)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

void BM_MonthHash(benchmark::State &state)
{
    QList<ActivityHashItem> items;
    for (const SyncActivityRecord &record : busyMonth())
        items.append(ActivityHashItem(record.uid, record.modifiedAt));
    for (auto _ : state)
        benchmark::DoNotOptimize(ActivityHashItem::hashForItems(items));
    state.SetItemsProcessed(state.iterations() * items.size());
}
BENCHMARK(BM_MonthHash)->Unit(benchmark::kMillisecond);

const StoreGenerator::Parameters fullStore; // 100 000 activities over 120 months

// The first sync of the full store into an empty remote: 120 month files written and uploaded.
void BM_FirstFullSync(benchmark::State &state)
{
    const QString generated = StoreGenerator::cachedStore(fullStore);
    for (auto _ : state) {
        state.PauseTiming();
        auto remote = std::make_shared<InMemoryRemote>();
        auto computer = std::make_unique<Computer>(remote, generated);
        state.ResumeTiming();
        if (!computer->sync())
            state.SkipWithError("sync failed");
        state.PauseTiming();
        state.counters["files"] = remote->fileNames().size();
        computer.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstFullSync)->Iterations(3)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// A run after the first one with nothing changed anywhere: every month is hashed and skipped.
void BM_UnchangedSecondSync(benchmark::State &state)
{
    auto remote = std::make_shared<InMemoryRemote>();
    Computer computer(remote, StoreGenerator::cachedStore(fullStore));
    if (!computer.sync())
        state.SkipWithError("first sync failed");
    for (auto _ : state) {
        if (!computer.sync())
            state.SkipWithError("sync failed");
    }
    state.counters["uploads"] = remote->operationCount(InMemoryRemote::Operation::Upload);
}
BENCHMARK(BM_UnchangedSecondSync)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}
