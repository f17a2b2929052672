#include "ReportPeriod.h"

namespace {

// The first day of the week that holds `date`.
QDate weekStart(QDate date, Qt::DayOfWeek firstDayOfWeek)
{
    const int daysIntoWeek = (date.dayOfWeek() - int(firstDayOfWeek) + 7) % 7;
    return date.addDays(-daysIntoWeek);
}

// startOfDay rather than a QDateTime at 00:00: where a daylight-saving change skips midnight, the day
// begins at the first moment that exists.
ReportBounds daysFrom(QDate first, QDate afterLast, const QTimeZone &zone)
{
    return {first.startOfDay(zone), afterLast.startOfDay(zone)};
}

} // namespace

std::optional<ReportBounds> reportPeriodBounds(ReportPeriod period, QDate date, const QTimeZone &zone,
                                               Qt::DayOfWeek firstDayOfWeek)
{
    if (!date.isValid())
        return std::nullopt;
    switch (period) {
    case ReportPeriod::Day:
        return daysFrom(date, date.addDays(1), zone);
    case ReportPeriod::Week: {
        const QDate first = weekStart(date, firstDayOfWeek);
        return daysFrom(first, first.addDays(7), zone);
    }
    case ReportPeriod::Month: {
        const QDate first(date.year(), date.month(), 1);
        return daysFrom(first, first.addMonths(1), zone);
    }
    case ReportPeriod::All:
        break;
    }
    return std::nullopt;
}
