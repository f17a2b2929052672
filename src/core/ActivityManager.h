#pragma once

#include "RecentActivityItem.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class Activity;
class Clock;
class Context;
class PdSettings;
class Project;
class Task;

// The tracking controller: starts, renames, touches and stops the running activity, resolves tag names
// into records and answers the name completions and the recent and today's lists. Main thread only.
//
// Tracking operations return a message on failure and a null QString on success.
class ActivityManager : public QObject
{
    Q_OBJECT

public:
    static const QString emptyActivityMessage; // "Activity can not be empty!"
    static const QString notTrackingMessage;   // "Not tracking!"
    static const QString saveFailedMessage;    // "Some kind of error!"

    ActivityManager(Context &mainContext, PdSettings &settings, Clock &clock, QObject *parent = nullptr);

    Context &context() const { return m_context; }
    // The running activity, an object of the main context; null while idle.
    Activity *currentActivity() const { return m_currentActivity; }
    bool isTracking() const { return m_currentActivity != nullptr; }

    // Starts a new activity from now to one second later. Does not stop a running one.
    QString startTrack(const QString &text);
    // Replaces the running activity's text; saved (and its tags resolved) by the next touch or stop.
    QString updateTrack(const QString &text);
    void stopTrack();
    // Ends the running activity at `at` (when later than its start; never shorter than one second) and
    // saves; with `continueTracking` a new activity with the same text starts now.
    void stopCurrentActivityAt(const QDateTime &at, bool continueTracking);
    // Extends the running activity to now and saves, so that a crash loses at most the time since.
    void touchCurrentActivity();
    // Creates and saves a new activity in a context of its own and makes it the current one.
    bool saveActivity(const QString &text, const QDateTime &from, const QDateTime &to, QString *message);

    // Find-or-create by name (case-insensitive; the given letter case becomes the stored one).
    Project *findProject(const QString &name, Context &context);
    Task *findTask(const QString &name, Context &context);
    // Completions for a tag being typed: stored names starting with the prefix (case-insensitively),
    // sorted case-insensitively; with changeCase the typed prefix replaces the name's first letters.
    QStringList findProjectNames(const QString &prefix, bool changeCase);
    QStringList findTaskNames(const QString &prefix, bool changeCase);

    // Absent, or nothing left after trimming spaces and tabs (newlines count as text).
    static bool isEmpty(const QString &text);

    // Distinct recent texts as the settings ask (order, count, invoiced excluded); empty on failure.
    QList<RecentActivityItem> recentActivities();
    // The activities that start today, newest first; empty on failure.
    QList<Activity *> todaysActivities();

Q_SIGNALS:
    void activityManagerStarted(ActivityManager *manager);
    void activityManagerStopped(ActivityManager *manager);

private:
    void applyOrderingSettings();
    QStringList findTagNames(const char *table, const QString &prefix, bool changeCase);
    void forgetVanishedCurrentActivity();

    Context &m_context;
    PdSettings &m_settings;
    Clock &m_clock;
    Activity *m_currentActivity = nullptr;
};
