#pragma once

#include <QObject>

#include <functional>

class ActivityManager;
class QTimer;

// The controller's two repeating timers: the 30-second touch that moves the running activity's end
// forward (so a crash loses at most half a minute), and the 1-second refresh of the status line, which
// starts the first time the main window becomes active and then runs for good.
class TrackingTimers : public QObject
{
    Q_OBJECT

public:
    static constexpr int touchIntervalMs = 30000;
    static constexpr int counterIntervalMs = 1000;

    // `updateTrackStatus` refreshes the status line and the status item; `updateStatusItemText` only
    // the status item.
    TrackingTimers(ActivityManager &activityManager, std::function<void()> updateTrackStatus,
                   std::function<void()> updateStatusItemText, QObject *parent = nullptr);

    // A new touch timer for the activity that just started; replaces any earlier one.
    void restartTrackTimer();
    // Drops the touch timer (stopping tracking).
    void dropTrackTimer();
    // The touch: extends the running activity to now, saves, and refreshes the status item.
    void touchActivity();

    // Called when the main window becomes active: the first call refreshes at once and starts the
    // 1-second refresh.
    void mainWindowBecameActive();

    QTimer *trackTimer() const { return m_trackTimer; }
    QTimer *counterTimer() const { return m_counterTimer; }

private:
    ActivityManager &m_activityManager;
    std::function<void()> m_updateTrackStatus;
    std::function<void()> m_updateStatusItemText;
    QTimer *m_trackTimer = nullptr;
    QTimer *m_counterTimer = nullptr;
};
