#pragma once

#include <QObject>

// What to do with tracking when one computer event happens and when it ends. The settings object stores
// every field as soon as it changes.
class ComputerEventSettings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int computerEvent READ computerEvent CONSTANT)
    Q_PROPERTY(bool stopTracking READ stopTracking WRITE setStopTracking NOTIFY stopTrackingChanged)
    Q_PROPERTY(bool resumeTracking READ resumeTracking WRITE setResumeTracking NOTIFY resumeTrackingChanged)

public:
    enum ComputerEvent
    {
        ComputerSleep = 1,
        ScreenSleep = 2,
        Screensaver = 3,
        ScreenLocked = 4
    };
    Q_ENUM(ComputerEvent)

    explicit ComputerEventSettings(int computerEvent, QObject *parent = nullptr);

    int computerEvent() const { return m_computerEvent; }

    // Stop tracking when the event happens.
    bool stopTracking() const { return m_stopTracking; }
    void setStopTracking(bool on);

    // Resume the stopped activity when the event ends.
    bool resumeTracking() const { return m_resumeTracking; }
    void setResumeTracking(bool on);

Q_SIGNALS:
    void stopTrackingChanged(bool on);
    void resumeTrackingChanged(bool on);

private:
    const int m_computerEvent;
    bool m_stopTracking = false;
    bool m_resumeTracking = false;
};
