#pragma once

#include <QObject>

// The options of one reminder: the one while an activity runs or the notice while nothing is tracked.
// The settings object stores every field as soon as it changes.
class NotificationSettings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int interval READ interval WRITE setInterval NOTIFY intervalChanged)
    Q_PROPERTY(bool displayNotification READ displayNotification WRITE setDisplayNotification NOTIFY
                   displayNotificationChanged)
    Q_PROPERTY(bool bounceDock READ bounceDock WRITE setBounceDock NOTIFY bounceDockChanged)
    Q_PROPERTY(
        bool bounceDockRepeat READ bounceDockRepeat WRITE setBounceDockRepeat NOTIFY bounceDockRepeatChanged)
    Q_PROPERTY(bool enabled READ enabled NOTIFY enabledChanged)

public:
    static constexpr int MinInterval = 1;
    static constexpr int MaxInterval = 120;

    explicit NotificationSettings(QObject *parent = nullptr);

    // Minutes between reminders, always within 1..120.
    int interval() const { return m_interval; }
    // Clamps to 1..120.
    void setInterval(int minutes);

    bool displayNotification() const { return m_displayNotification; }
    void setDisplayNotification(bool on);

    // Ask for the user's attention (taskbar urgency).
    bool bounceDock() const { return m_bounceDock; }
    void setBounceDock(bool on);

    // Keep asking until the program is brought to the front, instead of once.
    bool bounceDockRepeat() const { return m_bounceDockRepeat; }
    void setBounceDockRepeat(bool on);

    // Whether this reminder does anything at all.
    bool enabled() const { return m_interval >= MinInterval && (m_bounceDock || m_displayNotification); }

Q_SIGNALS:
    void intervalChanged(int minutes);
    void displayNotificationChanged(bool on);
    void bounceDockChanged(bool on);
    void bounceDockRepeatChanged(bool on);
    void enabledChanged(bool enabled);

private:
    template <typename Change> void changeAffectingEnabled(Change change);

    int m_interval = MinInterval;
    bool m_displayNotification = false;
    bool m_bounceDock = false;
    bool m_bounceDockRepeat = false;
};
