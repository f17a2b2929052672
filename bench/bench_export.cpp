#include "BenchmarkMain.h"
#include "StoreGenerator.h"

#include "Activity.h"
#include "ActivityExporter.h"
#include "ActivityImporter.h"
#include "ActivityXMLReader.h"
#include "ExportFormatSettings.h"
#include "ImportStore.h"
#include "fakes/FakeClock.h"
#include "store/Context.h"
#include "store/ObjectStore.h"

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

// Exports of the whole 100 000-activity store, the import of the XML file into a temporary store and the
// copy into an empty main store; and, as a yardstick, the same CSV columns written by sqlite3 itself.
namespace {

const StoreGenerator::Parameters fullStore;

// The generated store (a private copy) with every activity loaded, oldest first.
class LoadedStore
{
public:
    LoadedStore()
    {
        const QString path = m_folder.filePath(QStringLiteral("storedata"));
        if (!StoreGenerator::copyCachedStore(fullStore, path))
            qFatal("Copying the generated store failed");
        PdError error;
        m_store = ObjectStore::open(path, m_clock, &error);
        if (!m_store)
            qFatal("Opening the generated store failed: %s", qPrintable(error.description));
        m_activities =
            m_store->mainContext().fetch<Activity>({QString(), {}, QStringLiteral("time_from, id")});
        if (m_activities.size() != fullStore.activities)
            qFatal("Expected %d activities, found %lld", fullStore.activities,
                   qlonglong(m_activities.size()));
    }

    const QList<Activity *> &activities() const { return m_activities; }
    QString filePath(const QString &name) const { return m_folder.filePath(name); }
    QString storePath() const { return m_store->filePath(); }
    FakeClock &clock() { return m_clock; }

private:
    QTemporaryDir m_folder;
    FakeClock m_clock{StoreGenerator::endOfData().addDays(1)};
    std::unique_ptr<ObjectStore> m_store;
    QList<Activity *> m_activities;
};

LoadedStore &loadedStore()
{
    static LoadedStore store;
    return store;
}

// Loading every activity of the store (what an export of "all" starts from).
void BM_FetchAllActivities(benchmark::State &state)
{
    const QString path = StoreGenerator::cachedStore(fullStore);
    FakeClock clock(StoreGenerator::endOfData().addDays(1));
    for (auto _ : state) {
        std::unique_ptr<ObjectStore> store = ObjectStore::open(path, clock);
        const QList<Activity *> activities = store->mainContext().fetch<Activity>();
        benchmark::DoNotOptimize(activities.size());
    }
    state.SetItemsProcessed(state.iterations() * fullStore.activities);
}
BENCHMARK(BM_FetchAllActivities)->Unit(benchmark::kMillisecond)->Iterations(3);

// The default CSV columns: short start date, start time, duration, project, text, invoiced.
void BM_ExportCSV(benchmark::State &state)
{
    LoadedStore &store = loadedStore();
    const QString path = store.filePath(QStringLiteral("all.csv"));
    const QList<CSVTokenField> format = ExportFormatSettings::getDefaultCSVFormat();
    ActivityExporter::exportCSV(store.activities(), path, format, QStringLiteral(";")); // loads the projects
    for (auto _ : state) {
        const QString message =
            ActivityExporter::exportCSV(store.activities(), path, format, QStringLiteral(";"));
        if (!message.isNull())
            state.SkipWithError(qPrintable(message));
    }
    state.SetItemsProcessed(state.iterations() * store.activities().size());
    state.counters["bytes"] = double(QFileInfo(path).size());
}
BENCHMARK(BM_ExportCSV)->Unit(benchmark::kMillisecond)->Iterations(5);

// sqlite3 writing the same columns of the same file as CSV (its own process, start-up included).
void BM_Sqlite3CSV(benchmark::State &state)
{
    LoadedStore &store = loadedStore();
    const QString path = store.filePath(QStringLiteral("sqlite3.csv"));
    const QString query = QStringLiteral(
        "SELECT strftime('%m/%d/%Y', a.time_from, 'unixepoch', 'localtime'),"
        " strftime('%H:%M:%S', a.time_from, 'unixepoch', 'localtime'),"
        " printf('%02d:%02d:%02d', (CAST(a.time_to AS INTEGER) - CAST(a.time_from AS INTEGER)) / 3600,"
        "  (CAST(a.time_to AS INTEGER) - CAST(a.time_from AS INTEGER)) / 60 % 60,"
        "  (CAST(a.time_to AS INTEGER) - CAST(a.time_from AS INTEGER)) % 60),"
        " p.name, a.text, a.is_invoiced"
        " FROM activity a LEFT JOIN project p ON p.id = a.project_id ORDER BY a.time_from, a.id;");
    for (auto _ : state) {
        QProcess process;
        process.setStandardOutputFile(path);
        process.start(QStringLiteral("sqlite3"),
                      {QStringLiteral("-readonly"), QStringLiteral("-csv"), store.storePath(), query});
        if (!process.waitForFinished(60000) || process.exitCode() != 0)
            state.SkipWithError("sqlite3 failed");
    }
    state.SetItemsProcessed(state.iterations() * store.activities().size());
    state.counters["bytes"] = double(QFileInfo(path).size());
}
BENCHMARK(BM_Sqlite3CSV)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// The four fixed XML fields.
void BM_ExportXML(benchmark::State &state)
{
    LoadedStore &store = loadedStore();
    const QString path = store.filePath(QStringLiteral("all.xml"));
    const QList<CSVTokenField> fields = ExportFormatSettings::getDefaultXMLFormat();
    for (auto _ : state) {
        const QString message = ActivityExporter::exportXML(store.activities(), path, fields);
        if (!message.isNull())
            state.SkipWithError(qPrintable(message));
    }
    state.SetItemsProcessed(state.iterations() * store.activities().size());
    state.counters["bytes"] = double(QFileInfo(path).size());
}
BENCHMARK(BM_ExportXML)->Unit(benchmark::kMillisecond)->Iterations(5);

// The first `count` activities exported with the XML default fields, written once.
QString exportedXml(int count)
{
    LoadedStore &store = loadedStore();
    const QString path = store.filePath(QStringLiteral("import-%1.xml").arg(count));
    if (!QFileInfo::exists(path))
        ActivityExporter::exportXML(store.activities().mid(0, count), path,
                                    ExportFormatSettings::getDefaultXMLFormat());
    return path;
}

// Reading an exported file into a new temporary store (parse, insert, save with tag resolution).
void BM_ImportXML(benchmark::State &state)
{
    const int count = int(state.range(0));
    const QString path = exportedXml(count);
    FakeClock clock(StoreGenerator::endOfData().addDays(1));
    for (auto _ : state) {
        ImportStore importStore(clock);
        importStore.setRemoveFilesOnDestruction(true);
        const ActivityXMLReader::Result result =
            ActivityXMLReader::importActivitiesFromFile(path, importStore);
        if (!result.ok() || result.saveError || result.activities.size() != count)
            state.SkipWithError("import failed");
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ImportXML)->Unit(benchmark::kMillisecond)->Arg(10000)->Arg(30000)->Arg(100000)->Iterations(1);

// Copying every imported activity into an empty main store.
void BM_CopyIntoEmptyMainStore(benchmark::State &state)
{
    const int count = int(state.range(0));
    const QString path = exportedXml(count);
    FakeClock clock(StoreGenerator::endOfData().addDays(1));
    ImportStore importStore(clock);
    importStore.setRemoveFilesOnDestruction(true);
    const ActivityXMLReader::Result imported = ActivityXMLReader::importActivitiesFromFile(path, importStore);
    if (!imported.ok() || imported.saveError)
        qFatal("Import failed");
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir folder;
        std::unique_ptr<ObjectStore> mainStore =
            ObjectStore::open(folder.filePath(QStringLiteral("storedata")), clock);
        state.ResumeTiming();
        const ActivityImporter::Result result =
            ActivityImporter::importActivities(imported.activities, *mainStore);
        if (!result.ok() || result.count != count)
            state.SkipWithError("copy failed");
        state.PauseTiming();
        mainStore.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_CopyIntoEmptyMainStore)
    ->Unit(benchmark::kMillisecond)
    ->Arg(10000)
    ->Arg(30000)
    ->Arg(100000)
    ->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}
