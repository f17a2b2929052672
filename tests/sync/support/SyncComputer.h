#pragma once

#include "InMemoryBackend.h"
#include "PDSyncService.h"

#include "fakes/FakeClock.h"
#include "store/ObjectStore.h"

#include <QDateTime>
#include <QSettings>
#include <QStringList>

#include <functional>
#include <memory>

class Activity;
class PdSettings;

// One computer taking part in sync: its own store file, cache folder, settings and backend, all over one
// shared remote and one shared clock.
class SyncComputer
{
public:
    // `folder` receives the store file, the cache folder and the settings file.
    SyncComputer(const QString &folder, std::shared_ptr<InMemoryRemote> remote, FakeClock &clock,
                 InMemoryBackend::Delivery delivery = InMemoryBackend::Delivery::OtherThread);
    ~SyncComputer();

    ObjectStore &store() { return *m_store; }
    Context &context() { return m_store->mainContext(); }
    InMemoryBackend &backend() { return *m_backend; }
    QString cacheFolder() const { return m_cacheFolder; }
    PdSettings &settings() { return *m_settings; }
    FakeClock &clock() { return m_clock; }

    // The activity being tracked; the next runs never export it.
    ObjectId currentActivity;

    struct Result
    {
        PDSyncService::SyncStatus status = PDSyncService::NotStarted;
        QString message;
        QStringList log;
        int progressSignals = 0;
        int finishSignals = 0;
        int errorSignals = 0;
        int cancelSignals = 0;
        bool completed() const { return status == PDSyncService::Completed; }
    };
    // Runs one sync and waits for its end (at most 30 s). `prepare` may adjust the run before it starts.
    Result sync(const std::function<void(PDSyncService &)> &prepare = {});

    // A new saved activity, created and modified now.
    Activity *addActivity(const QString &text, const QDateTime &from, const QDateTime &to);
    // The saved activity with that uid in the main context, or null.
    Activity *activity(const QString &uid);
    // Changes an activity as an edit does (modified now) and saves.
    void edit(const QString &uid, const std::function<void(Activity *)> &change);
    // Deletes with a tombstone and saves.
    void remove(const QString &uid);

    // Every activity as "uid|text|from|to|invoiced" with whole-second times, sorted.
    QStringList snapshot();

private:
    FakeClock &m_clock;
    QString m_cacheFolder;
    std::unique_ptr<QSettings> m_settingsStore;
    std::unique_ptr<PdSettings> m_settings;
    std::unique_ptr<ObjectStore> m_store;
    std::shared_ptr<InMemoryBackend> m_backend;
};
