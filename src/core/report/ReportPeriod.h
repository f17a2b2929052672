#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <optional>

// The periods the report lists by. All shows every activity, with no date bound.
enum class ReportPeriod
{
    Day,
    Week,
    Month,
    All,
};

// A half-open span of time: from `start` up to, not including, `end`.
struct ReportBounds
{
    QDateTime start;
    QDateTime end;

    friend bool operator==(const ReportBounds &a, const ReportBounds &b) = default;
};

// The bounds of the period that contains `date`, in the user's calendar and time zone: the day from
// its first moment to the first moment of the next day (so 23 or 25 hours on daylight-saving days),
// the calendar week starting on the locale's first weekday, the calendar month; none for All.
std::optional<ReportBounds>
reportPeriodBounds(ReportPeriod period, QDate date, const QTimeZone &zone = QTimeZone::systemTimeZone(),
                   Qt::DayOfWeek firstDayOfWeek = QLocale::system().firstDayOfWeek());
