#pragma once

#include <QDateTime>

#include <compare>

// Small date operations shared by the store, reports and sync.
namespace DateHelpers {

// Year * 100 + month of the date in the user's calendar and time zone (March 2016 is 201603); 0 for an
// invalid date.
int yearMonth(const QDateTime &date);

// Whole seconds since the Unix epoch, floored (10:00:00.9 and 10:00:00.1 give the same value).
qint64 flooredSeconds(const QDateTime &date);
qint64 flooredSeconds(qint64 msecsSinceEpoch);

// Compares two dates by whole seconds, each floored first: differences below one second compare equal.
std::strong_ordering compareBySeconds(const QDateTime &a, const QDateTime &b);

} // namespace DateHelpers
