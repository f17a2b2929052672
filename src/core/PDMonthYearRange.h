#pragma once

#include "PDMonthDateRange.h"

#include <QList>
#include <QSet>

#include <optional>

// A queue of calendar months without duplicates. The first nextMonth() sorts the months ascending;
// months added after that are queued at the end, unsorted.
class PDMonthYearRange
{
public:
    // Queues the month unless it is already queued or is no valid month; answers whether it was added.
    bool addYear(uint year, uint month);
    bool hasItems() const { return !m_items.isEmpty(); }
    // Removes and answers the first queued month, or std::nullopt when the queue is empty.
    std::optional<PDMonthDateRange> nextMonth();

    const QList<PDMonthDateRange> &items() const { return m_items; }
    bool isSorted() const { return m_isSorted; }

private:
    QList<PDMonthDateRange> m_items;
    QSet<PDMonthDateRange> m_present;
    bool m_isSorted = false;
};
