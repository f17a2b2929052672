#include "controller/TrackingTimers.h"

#include "ActivityManager.h"

#include <QTimer>

TrackingTimers::TrackingTimers(ActivityManager &activityManager, std::function<void()> updateTrackStatus,
                               std::function<void()> updateStatusItemText, QObject *parent)
    : QObject(parent)
    , m_activityManager(activityManager)
    , m_updateTrackStatus(std::move(updateTrackStatus))
    , m_updateStatusItemText(std::move(updateStatusItemText))
{}

void TrackingTimers::restartTrackTimer()
{
    dropTrackTimer();
    // Qt timers keep firing while a modal dialog runs its own event loop, as the touch must.
    m_trackTimer = new QTimer(this);
    m_trackTimer->setInterval(touchIntervalMs);
    connect(m_trackTimer, &QTimer::timeout, this, &TrackingTimers::touchActivity);
    m_trackTimer->start();
}

void TrackingTimers::dropTrackTimer()
{
    delete m_trackTimer;
    m_trackTimer = nullptr;
}

void TrackingTimers::touchActivity()
{
    m_activityManager.touchCurrentActivity();
    if (m_updateStatusItemText)
        m_updateStatusItemText();
}

void TrackingTimers::mainWindowBecameActive()
{
    if (m_counterTimer)
        return;
    if (m_updateTrackStatus)
        m_updateTrackStatus();
    m_counterTimer = new QTimer(this);
    m_counterTimer->setInterval(counterIntervalMs);
    connect(m_counterTimer, &QTimer::timeout, this, [this] {
        if (m_updateTrackStatus)
            m_updateTrackStatus();
    });
    m_counterTimer->start();
}
