#pragma once

#include <QObject>

// Watches for the user being away while an activity runs and asks what to do with the idle time.
// The application controller switches it on and off with the tracking state.
class IdleTimer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Runs the detection while `tracking` and idle detection is switched on; stops it otherwise.
    virtual void enableDisableIdleTimer(bool tracking) = 0;
    virtual void stop() = 0;
    // True while the idle prompt waits for an answer; the controller's commands are disabled then.
    virtual bool hasIdlePrompt() const = 0;

Q_SIGNALS:
    void idlePromptChanged(bool shown);
};
