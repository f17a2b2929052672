#include "ComputerEventSettings.h"

ComputerEventSettings::ComputerEventSettings(int computerEvent, QObject *parent)
    : QObject(parent)
    , m_computerEvent(computerEvent)
{}

void ComputerEventSettings::setStopTracking(bool on)
{
    if (on == m_stopTracking)
        return;
    m_stopTracking = on;
    Q_EMIT stopTrackingChanged(on);
}

void ComputerEventSettings::setResumeTracking(bool on)
{
    if (on == m_resumeTracking)
        return;
    m_resumeTracking = on;
    Q_EMIT resumeTrackingChanged(on);
}
