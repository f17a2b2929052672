#include "BenchmarkMain.h"
#include "StoreGenerator.h"

#include "Activity.h"
#include "ActivityManager.h"
#include "PdSettings.h"
#include "Project.h"
#include "fakes/FakeClock.h"
#include "report/ReportQuery.h"
#include "store/ObjectStore.h"

#include <benchmark/benchmark.h>

#include <QSettings>
#include <QTemporaryDir>

#include <memory>

namespace {

const StoreGenerator::Parameters fullStore;

StoreGenerator::Parameters manyProjects()
{
    StoreGenerator::Parameters parameters;
    parameters.activities = 1000;
    parameters.projects = 10000;
    return parameters;
}

// A store opened once per benchmark on the cached file (read-only use) or on a private copy.
class OpenStore
{
public:
    explicit OpenStore(const StoreGenerator::Parameters &parameters, bool writable = false)
    {
        QString path = StoreGenerator::cachedStore(parameters);
        if (writable) {
            path = m_folder.filePath(QStringLiteral("storedata"));
            if (!StoreGenerator::copyCachedStore(parameters, path))
                qFatal("Copying the generated store failed");
        }
        PdError error;
        m_store = ObjectStore::open(path, m_clock, &error);
        if (!m_store)
            qFatal("Opening the generated store failed: %s", qPrintable(error.description));
    }
    ObjectStore &store() { return *m_store; }
    // A tracking controller over the main context, with settings in a file of the store's folder.
    ActivityManager &manager()
    {
        if (!m_manager) {
            m_settingsFile = std::make_unique<QSettings>(m_folder.filePath(QStringLiteral("settings.ini")),
                                                         QSettings::IniFormat);
            m_settings = std::make_unique<PdSettings>(m_settingsFile.get());
            m_manager = std::make_unique<ActivityManager>(context(), *m_settings, m_clock);
        }
        return *m_manager;
    }
    Context &context() { return m_store->mainContext(); }
    FakeClock &clock() { return m_clock; }

private:
    QTemporaryDir m_folder;
    FakeClock m_clock{StoreGenerator::endOfData().addDays(1)};
    std::unique_ptr<ObjectStore> m_store;
    std::unique_ptr<QSettings> m_settingsFile;
    std::unique_ptr<PdSettings> m_settings;
    std::unique_ptr<ActivityManager> m_manager;
};

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

// Start, touch and stop an activity through the tracking controller, each step saved: a new activity
// from now to one second later, its end moved forward, then its end set.
void BM_StartTouchStop(benchmark::State &state)
{
    OpenStore open(fullStore, true);
    ActivityManager &manager = open.manager();
    for (auto _ : state) {
        if (!manager.startTrack(QStringLiteral("Write offer @Acme01 #sales01")).isNull()) {
            state.SkipWithError("start failed");
            break;
        }
        open.clock().advanceSecs(30);
        manager.touchCurrentActivity();
        open.clock().advanceSecs(10);
        manager.stopTrack();
        if (manager.isTracking() || open.context().hasChanges()) {
            state.SkipWithError("stop failed");
            break;
        }
        open.clock().advanceSecs(20);
    }
}
BENCHMARK(BM_StartTouchStop)->Unit(benchmark::kMillisecond);

// Find-or-create of an existing project among 10 000, in a fresh context each time (nothing cached).
void BM_FindProject(benchmark::State &state)
{
    OpenStore open(manyProjects());
    int index = 0;
    for (auto _ : state) {
        std::unique_ptr<Context> context = open.store().newContext(false);
        const QString name = StoreGenerator::projectName((index += 7919) % 10000).toUpper();
        Project *project = open.manager().findProject(name, *context);
        if (!project || project->isInserted()) {
            state.SkipWithError("the project was not found");
            break;
        }
        benchmark::DoNotOptimize(project);
    }
}
BENCHMARK(BM_FindProject)->Unit(benchmark::kMicrosecond);

// Find-or-create of a new project among 10 000, saved.
void BM_CreateProject(benchmark::State &state)
{
    OpenStore open(manyProjects(), true);
    int index = 0;
    for (auto _ : state) {
        std::unique_ptr<Context> context = open.store().newContext(false);
        Project *project =
            open.manager().findProject(QStringLiteral("New project %1").arg(++index), *context);
        if (!context->save()) {
            state.SkipWithError("saving the project failed");
            break;
        }
        benchmark::DoNotOptimize(project);
    }
}
BENCHMARK(BM_CreateProject)->Unit(benchmark::kMicrosecond);

enum Query
{
    LatestWeek,
    EarlierWeek,
    EarlierMonth,
    All,
    SearchAll,
    SearchAbsent,
    OneProject,
};

ReportFilter filterFor(Query which, Context &context)
{
    const QDate latest = StoreGenerator::endOfData().date().addDays(-3);
    const QDate earlier = latest.addYears(-5);
    ReportFilter filter;
    switch (which) {
    case LatestWeek:
        filter.bounds = reportPeriodBounds(ReportPeriod::Week, latest);
        break;
    case EarlierWeek:
        filter.bounds = reportPeriodBounds(ReportPeriod::Week, earlier);
        break;
    case EarlierMonth:
        filter.bounds = reportPeriodBounds(ReportPeriod::Month, earlier);
        break;
    case All:
        break;
    case SearchAll:
        filter.searchText = StoreGenerator::frequentWord();
        break;
    case SearchAbsent:
        filter.searchText = StoreGenerator::absentWord();
        break;
    case OneProject:
        filter.projectIds.insert(context.projectNamed(StoreGenerator::projectName(0))->objectId());
        break;
    }
    return filter;
}

// The report rows (plain values with project name and task string), newest first.
void BM_ReportRows(benchmark::State &state)
{
    OpenStore open(fullStore);
    const ReportFilter filter = filterFor(Query(state.range(0)), open.context());
    qsizetype rows = 0;
    for (auto _ : state) {
        PdError error;
        const ReportRows result = ReportQuery::rows(open.context(), filter, &error);
        if (error) {
            state.SkipWithError(qPrintable(error.description));
            break;
        }
        rows = result.size();
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_ReportRows)
    ->ArgName("query")
    ->Arg(LatestWeek)
    ->Arg(EarlierWeek)
    ->Arg(EarlierMonth)
    ->Arg(All)
    ->Arg(SearchAll)
    ->Arg(SearchAbsent)
    ->Arg(OneProject)
    ->Unit(benchmark::kMillisecond);

// The same as activity objects of a fresh context (what the report window lists), with each
// activity's project and tasks read.
void BM_ReportActivities(benchmark::State &state)
{
    OpenStore open(fullStore);
    const ReportFilter filter = filterFor(Query(state.range(0)), open.context());
    qsizetype rows = 0;
    for (auto _ : state) {
        std::unique_ptr<Context> context = open.store().newContext(false);
        PdError error;
        const QList<Activity *> result = ReportQuery::activities(*context, filter, &error);
        if (error) {
            state.SkipWithError(qPrintable(error.description));
            break;
        }
        for (Activity *activity : result)
            benchmark::DoNotOptimize(activity->tasksStr());
        rows = result.size();
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_ReportActivities)
    ->ArgName("query")
    ->Arg(LatestWeek)
    ->Arg(EarlierMonth)
    ->Arg(All)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}
