#pragma once

#include <QDateTime>

// The one source of "now". Code above the platform layer asks a Clock instead of reading the wall clock,
// so tests can move time instead of sleeping.
class Clock
{
public:
    virtual ~Clock() = default;

    // The current moment in local time.
    virtual QDateTime now() const = 0;

    // The clock of the real world, shared by the whole process.
    static Clock &system();
};
