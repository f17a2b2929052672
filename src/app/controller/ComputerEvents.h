#pragma once

// Stops tracking when the computer sleeps, the screen sleeps or locks or the screensaver starts, and
// resumes afterwards as the settings say.
class ComputerEvents
{
public:
    virtual ~ComputerEvents() = default;

    virtual void registerForComputerEvents() = 0;
    virtual void unregisterForComputerEvents() = 0;
};
