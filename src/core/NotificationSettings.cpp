#include "NotificationSettings.h"

#include <algorithm>

NotificationSettings::NotificationSettings(QObject *parent)
    : QObject(parent)
{}

template <typename Change> void NotificationSettings::changeAffectingEnabled(Change change)
{
    const bool wasEnabled = enabled();
    change();
    if (enabled() != wasEnabled)
        Q_EMIT enabledChanged(enabled());
}

void NotificationSettings::setInterval(int minutes)
{
    const int clamped = std::clamp(minutes, MinInterval, MaxInterval);
    if (clamped == m_interval)
        return;
    changeAffectingEnabled([&] { m_interval = clamped; });
    Q_EMIT intervalChanged(m_interval);
}

void NotificationSettings::setDisplayNotification(bool on)
{
    if (on == m_displayNotification)
        return;
    changeAffectingEnabled([&] { m_displayNotification = on; });
    Q_EMIT displayNotificationChanged(on);
}

void NotificationSettings::setBounceDock(bool on)
{
    if (on == m_bounceDock)
        return;
    changeAffectingEnabled([&] { m_bounceDock = on; });
    Q_EMIT bounceDockChanged(on);
}

void NotificationSettings::setBounceDockRepeat(bool on)
{
    if (on == m_bounceDockRepeat)
        return;
    m_bounceDockRepeat = on;
    Q_EMIT bounceDockRepeatChanged(on);
}
