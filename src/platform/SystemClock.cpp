#include "SystemClock.h"

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

Clock &Clock::system()
{
    static SystemClock clock;
    return clock;
}
