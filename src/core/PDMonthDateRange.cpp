#include "PDMonthDateRange.h"

#include <QDate>

namespace {

constexpr uint lastYear = 9999;

} // namespace

PDMonthDateRange::PDMonthDateRange(uint year, uint month, const QDateTime &dateFrom, const QDateTime &dateTo)
    : m_year(year)
    , m_month(month)
    , m_dateFrom(dateFrom)
    , m_dateTo(dateTo)
{}

std::optional<PDMonthDateRange> PDMonthDateRange::withYear(uint year, uint month)
{
    if (month < 1 || month > 12 || year < 1 || year > lastYear)
        return std::nullopt;
    const QDate firstDay(int(year), int(month), 1);
    // startOfDay() answers the first valid moment where a daylight-saving change skips local midnight;
    // one second before the next month's start is 23:59:59 of the last day, also where that day's last
    // hour repeats.
    const QDateTime dateFrom = firstDay.startOfDay(Qt::LocalTime);
    const QDateTime dateTo = firstDay.addMonths(1).startOfDay(Qt::LocalTime).addSecs(-1);
    if (!dateFrom.isValid() || !dateTo.isValid())
        return std::nullopt;
    return PDMonthDateRange(year, month, dateFrom, dateTo);
}

QString PDMonthDateRange::name() const
{
    return QString::number(m_year) + u'-' + QString::number(m_month).rightJustified(2, u'0');
}

std::strong_ordering PDMonthDateRange::compare(const PDMonthDateRange &other) const
{
    if (const auto byYear = m_year <=> other.m_year; byYear != 0)
        return byYear;
    return m_month <=> other.m_month;
}
