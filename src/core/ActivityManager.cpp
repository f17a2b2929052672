#include "ActivityManager.h"

#include "Activity.h"
#include "Clock.h"
#include "PdSettings.h"
#include "Project.h"
#include "Task.h"
#include "store/Context.h"
#include "store/ObjectStore.h"
#include "store/SqlValues.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcTracking, "pendulo.core.tracking")

const QString ActivityManager::emptyActivityMessage = QStringLiteral("Activity can not be empty!");
const QString ActivityManager::notTrackingMessage = QStringLiteral("Not tracking!");
const QString ActivityManager::saveFailedMessage = QStringLiteral("Some kind of error!");

ActivityManager::ActivityManager(Context &mainContext, PdSettings &settings, Clock &clock, QObject *parent)
    : QObject(parent)
    , m_context(mainContext)
    , m_settings(settings)
    , m_clock(clock)
{
    applyOrderingSettings();
    connect(&m_context.store(), &ObjectStore::mainContextMerged, this,
            &ActivityManager::forgetVanishedCurrentActivity);
}

void ActivityManager::applyOrderingSettings()
{
    ObjectStore &store = m_context.store();
    store.setOrderedByHand(EntityType::Project, m_settings.reportSidebarProjectsOrdered());
    store.setOrderedByHand(EntityType::Task, m_settings.reportSidebarTasksOrdered());
}

// The running activity was deleted elsewhere (another window or a sync): tracking has ended.
void ActivityManager::forgetVanishedCurrentActivity()
{
    if (!m_currentActivity || m_currentActivity->isValid())
        return;
    qCInfo(lcTracking, "The running activity was deleted elsewhere; tracking stops");
    m_currentActivity = nullptr;
    Q_EMIT activityManagerStopped(this);
}

QString ActivityManager::startTrack(const QString &text)
{
    const QDateTime now = m_clock.now();
    QString message;
    if (!saveActivity(text, now, now.addSecs(1), &message))
        return message;
    Q_EMIT activityManagerStarted(this);
    return {};
}

bool ActivityManager::saveActivity(const QString &text, const QDateTime &from, const QDateTime &to,
                                   QString *message)
{
    if (isEmpty(text)) {
        if (message)
            *message = emptyActivityMessage;
        return false;
    }
    applyOrderingSettings();
    std::unique_ptr<Context> context = m_context.store().newContext(false);
    Activity *activity = context->insertActivity();
    activity->setText(text);
    activity->setTimeFrom(from);
    activity->setTimeTo(to);
    activity->setModifiedAt(m_clock.now());
    PdError error;
    if (!context->save(&error)) {
        qCWarning(lcTracking, "Saving a new activity failed: %s", qUtf8Printable(error.toString()));
        if (message)
            *message = saveFailedMessage;
        return false;
    }
    Activity *saved = m_context.objectWithId<Activity>(activity->objectId());
    if (!saved) {
        if (message)
            *message = saveFailedMessage;
        return false;
    }
    m_currentActivity = saved;
    return true;
}

QString ActivityManager::updateTrack(const QString &text)
{
    forgetVanishedCurrentActivity();
    if (!isTracking())
        return notTrackingMessage;
    if (isEmpty(text))
        return emptyActivityMessage;
    m_currentActivity->setText(text);
    return {};
}

void ActivityManager::touchCurrentActivity()
{
    forgetVanishedCurrentActivity();
    if (!isTracking())
        return;
    const QDateTime now = m_clock.now();
    m_currentActivity->setModifiedAt(now);
    m_currentActivity->setTimeTo(now);
    applyOrderingSettings();
    PdError error;
    if (!m_context.save(&error))
        qCWarning(lcTracking, "Saving the touched activity failed: %s", qUtf8Printable(error.toString()));
}

void ActivityManager::stopTrack()
{
    stopCurrentActivityAt(m_clock.now(), false);
}

void ActivityManager::stopCurrentActivityAt(const QDateTime &at, bool continueTracking)
{
    forgetVanishedCurrentActivity();
    Activity *activity = m_currentActivity;
    if (!activity)
        return;
    m_currentActivity = nullptr;
    if (at > activity->timeFrom()) {
        activity->setTimeTo(at);
        activity->setModifiedAt(m_clock.now());
    }
    if (!activity->timeTo().isValid() || activity->timeTo() < activity->timeFrom().addSecs(1))
        activity->setTimeTo(activity->timeFrom().addSecs(1));
    applyOrderingSettings();
    PdError error;
    if (!m_context.save(&error))
        qCWarning(lcTracking, "Saving the stopped activity failed: %s", qUtf8Printable(error.toString()));
    Q_EMIT activityManagerStopped(this);
    if (continueTracking)
        startTrack(activity->text());
}

Project *ActivityManager::findProject(const QString &name, Context &context)
{
    applyOrderingSettings();
    return context.findOrCreateProject(name);
}

Task *ActivityManager::findTask(const QString &name, Context &context)
{
    applyOrderingSettings();
    return context.findOrCreateTask(name);
}

QStringList ActivityManager::findProjectNames(const QString &prefix, bool changeCase)
{
    return findTagNames("project", prefix, changeCase);
}

QStringList ActivityManager::findTaskNames(const QString &prefix, bool changeCase)
{
    return findTagNames("task", prefix, changeCase);
}

QStringList ActivityManager::findTagNames(const char *table, const QString &prefix, bool changeCase)
{
    // The keys starting with the folded prefix form one range of the name_key index; the largest code
    // point closes it.
    const QString key = TagEntity::nameKeyFor(prefix);
    const QString upperBound = key + QString::fromUcs4(U"\U0010FFFF");
    QStringList names;
    try {
        SQLite::Statement query(
            m_context.database(),
            QStringLiteral("SELECT name, name_key FROM %1 WHERE name_key >= ? AND name_key < ?")
                .arg(QLatin1String(table))
                .toStdString());
        query.bind(1, key.toStdString());
        query.bind(2, upperBound.toStdString());
        while (query.executeStep()) {
            if (QString::fromUtf8(query.getColumn(1).getText()).startsWith(key))
                names.append(QString::fromUtf8(query.getColumn(0).getText()));
        }
    } catch (const std::exception &e) {
        qCWarning(lcTracking, "Looking up %s names failed: %s", table, e.what());
        return {};
    }
    std::stable_sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    if (changeCase) {
        for (QString &name : names)
            name = prefix + name.mid(prefix.size());
    }
    return names;
}

bool ActivityManager::isEmpty(const QString &text)
{
    if (text.isNull())
        return true;
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
    });
}

QList<RecentActivityItem> ActivityManager::recentActivities()
{
    const int limit = std::max(0, m_settings.recentItemsCount());
    const QString invoiced =
        m_settings.recentItemsExcludeInvoiced() ? QStringLiteral(" AND is_invoiced = 0") : QString();
    // Each text once; by date, a text counts with its most recent start.
    const QString sql =
        m_settings.recentItemsOrderedByDate()
            ? QStringLiteral("SELECT text FROM activity WHERE text IS NOT NULL%1 GROUP BY text "
                             "ORDER BY MAX(time_from) DESC, text DESC LIMIT ?")
                  .arg(invoiced)
            : QStringLiteral("SELECT DISTINCT text FROM activity WHERE text IS NOT NULL%1 "
                             "ORDER BY text DESC LIMIT ?")
                  .arg(invoiced);
    const QString currentText = m_currentActivity ? m_currentActivity->text() : QString();
    QList<RecentActivityItem> items;
    try {
        SQLite::Statement query(m_context.database(), sql.toStdString());
        query.bind(1, limit);
        while (query.executeStep()) {
            const QString text = QString::fromUtf8(query.getColumn(0).getText());
            items.append(RecentActivityItem(text, m_currentActivity && text == currentText));
        }
    } catch (const std::exception &e) {
        qCWarning(lcTracking, "Reading the recent activities failed: %s", e.what());
        return {};
    }
    return items;
}

QList<Activity *> ActivityManager::todaysActivities()
{
    // Half-open day, so that a start in the last second of the day counts too.
    const QDate today = m_clock.now().toLocalTime().date();
    return m_context.fetch<Activity>(
        {QStringLiteral("time_from >= ? AND time_from < ?"),
         {SqlValues::fromDate(today.startOfDay()), SqlValues::fromDate(today.addDays(1).startOfDay())},
         QStringLiteral("time_from DESC"),
         -1});
}
