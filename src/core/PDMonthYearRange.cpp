#include "PDMonthYearRange.h"

#include <algorithm>

bool PDMonthYearRange::addYear(uint year, uint month)
{
    const std::optional<PDMonthDateRange> range = PDMonthDateRange::withYear(year, month);
    if (!range || m_present.contains(*range))
        return false;
    m_items.append(*range);
    m_present.insert(*range);
    return true;
}

std::optional<PDMonthDateRange> PDMonthYearRange::nextMonth()
{
    if (!m_isSorted) {
        std::sort(m_items.begin(), m_items.end());
        m_isSorted = true;
    }
    if (m_items.isEmpty())
        return std::nullopt;
    const PDMonthDateRange first = m_items.takeFirst();
    m_present.remove(first);
    return first;
}
