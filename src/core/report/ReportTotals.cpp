#include "ReportTotals.h"

#include "Activity.h"

namespace ReportTotals {

double totalSeconds(const ReportRows &rows)
{
    double sum = 0;
    for (const ReportRow &row : rows)
        sum += double(row.durationSecs);
    return sum;
}

double totalSeconds(const QList<Activity *> &activities)
{
    double sum = 0;
    for (const Activity *activity : activities)
        sum += double(activity->durationSecs());
    return sum;
}

std::optional<double> selectedSeconds(const ReportRows &rows, const QList<qsizetype> &selectedIndexes)
{
    if (selectedIndexes.size() < 2)
        return std::nullopt;
    double sum = 0;
    for (qsizetype index : selectedIndexes) {
        if (index >= 0 && index < rows.size())
            sum += double(rows.at(index).durationSecs);
    }
    return sum;
}

std::optional<double> selectedSeconds(const QList<Activity *> &selected)
{
    if (selected.size() < 2)
        return std::nullopt;
    return totalSeconds(selected);
}

} // namespace ReportTotals
