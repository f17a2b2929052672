#pragma once

// The reminders while nothing is tracked and while an activity runs (notification or taskbar
// attention), re-armed by the controller after every start, stop and update.
class Reminders
{
public:
    virtual ~Reminders() = default;

    // Restarts the reminder timer for the current tracking state.
    virtual void setBuggingTimer(bool tracking) = 0;
    // Withdraws a pending attention request.
    virtual void stopDockBouncing() = 0;
    // The program became active: a pending attention request is over.
    virtual void applicationWillBecomeActive() = 0;
};
