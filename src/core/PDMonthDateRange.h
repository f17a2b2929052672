#pragma once

#include <QDateTime>
#include <QHashFunctions>
#include <QString>

#include <compare>
#include <optional>

// One calendar month with its first and last whole second in local time. Immutable value.
class PDMonthDateRange
{
public:
    // The empty range: year 0, month 0, no dates; not valid.
    PDMonthDateRange() = default;

    // The month, or std::nullopt when month is outside 1..12 or year outside 1..9999.
    static std::optional<PDMonthDateRange> withYear(uint year, uint month);

    bool isValid() const { return m_month != 0; }
    uint year() const { return m_year; }
    uint month() const { return m_month; }
    // Day 1, 00:00:00 local time (the first moment of that day where local midnight does not exist).
    const QDateTime &dateFrom() const { return m_dateFrom; }
    // Last day, 23:59:59 local time: the last whole second before the next month begins.
    const QDateTime &dateTo() const { return m_dateTo; }

    // "2016-03": the year in full, the month with two digits.
    QString name() const;
    // year * 100 + month, e.g. 201701.
    uint hash() const { return m_year * 100 + m_month; }
    std::strong_ordering compare(const PDMonthDateRange &other) const;

    bool operator==(const PDMonthDateRange &other) const
    {
        return m_year == other.m_year && m_month == other.m_month;
    }
    std::strong_ordering operator<=>(const PDMonthDateRange &other) const { return compare(other); }

private:
    PDMonthDateRange(uint year, uint month, const QDateTime &dateFrom, const QDateTime &dateTo);

    uint m_year = 0;
    uint m_month = 0;
    QDateTime m_dateFrom;
    QDateTime m_dateTo;
};

inline size_t qHash(const PDMonthDateRange &range, size_t seed = 0) noexcept
{
    return qHash(range.hash(), seed);
}
