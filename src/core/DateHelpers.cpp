#include "DateHelpers.h"

namespace DateHelpers {

int yearMonth(const QDateTime &date)
{
    if (!date.isValid())
        return 0;
    const QDate local = date.toLocalTime().date();
    return local.year() * 100 + local.month();
}

qint64 flooredSeconds(const QDateTime &date)
{
    return flooredSeconds(date.toMSecsSinceEpoch());
}

qint64 flooredSeconds(qint64 msecs)
{
    // Floor division: -0.5 s belongs to second -1.
    return msecs >= 0 ? msecs / 1000 : -((-msecs + 999) / 1000);
}

std::strong_ordering compareBySeconds(const QDateTime &a, const QDateTime &b)
{
    return flooredSeconds(a) <=> flooredSeconds(b);
}

} // namespace DateHelpers
