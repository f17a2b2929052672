#include "SyncComputer.h"

#include "Activity.h"
#include "DateHelpers.h"
#include "DeletedActivity.h"
#include "PdSettings.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

SyncComputer::SyncComputer(const QString &folder, std::shared_ptr<InMemoryRemote> remote, FakeClock &clock,
                           InMemoryBackend::Delivery delivery)
    : m_clock(clock)
    , m_cacheFolder(QDir(folder).filePath(QStringLiteral("cache/dropbox-sync")))
    , m_settingsStore(std::make_unique<QSettings>(QDir(folder).filePath(QStringLiteral("settings.ini")),
                                                  QSettings::IniFormat))
    , m_settings(std::make_unique<PdSettings>(m_settingsStore.get()))
    , m_backend(std::make_shared<InMemoryBackend>(std::move(remote), delivery))
{
    QDir().mkpath(folder);
    PdError error;
    m_store = ObjectStore::open(QDir(folder).filePath(QStringLiteral("storedata")), clock, &error);
    if (!m_store)
        qFatal("Cannot open the store in %s: %s", qPrintable(folder), qPrintable(error.toString()));
}

SyncComputer::~SyncComputer() = default;

SyncComputer::Result SyncComputer::sync(const std::function<void(PDSyncService &)> &prepare)
{
    PDSyncService service(m_backend, currentActivity, m_store->newContext(true), m_settings.get());
    service.setLocalCacheFolder(m_cacheFolder);
    QSignalSpy progress(&service, &PDSyncService::syncServiceProgress);
    QSignalSpy finish(&service, &PDSyncService::syncServiceFinish);
    QSignalSpy error(&service, &PDSyncService::syncServiceError);
    QSignalSpy cancelled(&service, &PDSyncService::syncServiceCancelled);
    if (prepare)
        prepare(service);
    service.sync();
    const bool ended =
        QTest::qWaitFor([&] { return finish.count() + error.count() + cancelled.count() > 0; }, 30000);
    if (!ended)
        qWarning("The sync run did not end: %s", qPrintable(service.activityLog()));
    // Let late signals and the merges into the main context arrive.
    QTest::qWait(1);
    QCoreApplication::processEvents();
    Result result;
    result.status = service.syncStatus();
    result.message = service.currentProgressMessage();
    result.log = service.activityLogLines();
    result.progressSignals = static_cast<int>(progress.count());
    result.finishSignals = static_cast<int>(finish.count());
    result.errorSignals = static_cast<int>(error.count());
    result.cancelSignals = static_cast<int>(cancelled.count());
    if (!finish.isEmpty() && finish.first().at(1).toString() != result.message)
        qWarning("Finish message differs from the progress message");
    return result;
}

Activity *SyncComputer::addActivity(const QString &text, const QDateTime &from, const QDateTime &to)
{
    Activity *activity = context().insertActivity();
    activity->setText(text);
    activity->setTimeFrom(from);
    activity->setTimeTo(to);
    PdError error;
    if (!context().save(&error))
        qFatal("Saving a new activity failed: %s", qPrintable(error.toString()));
    return activity;
}

Activity *SyncComputer::activity(const QString &uid)
{
    return context().activityWithUid(uid);
}

void SyncComputer::edit(const QString &uid, const std::function<void(Activity *)> &change)
{
    Activity *found = activity(uid);
    if (!found)
        qFatal("No activity %s to edit", qPrintable(uid));
    change(found);
    found->setModifiedAt(m_clock.now());
    PdError error;
    if (!context().save(&error))
        qFatal("Saving an edit failed: %s", qPrintable(error.toString()));
}

void SyncComputer::remove(const QString &uid)
{
    Activity *found = activity(uid);
    if (!found)
        qFatal("No activity %s to delete", qPrintable(uid));
    DeletedActivity::deleteActivity(found, context());
    PdError error;
    if (!context().save(&error))
        qFatal("Saving a deletion failed: %s", qPrintable(error.toString()));
}

QStringList SyncComputer::snapshot()
{
    QStringList lines;
    for (const Activity *activity : context().fetch<Activity>()) {
        lines.append(QStringLiteral("%1|%2|%3|%4|%5")
                         .arg(activity->uid(), activity->text())
                         .arg(DateHelpers::flooredSeconds(activity->timeFrom()))
                         .arg(DateHelpers::flooredSeconds(activity->timeTo()))
                         .arg(activity->isInvoiced() ? 1 : 0));
    }
    lines.sort();
    return lines;
}
