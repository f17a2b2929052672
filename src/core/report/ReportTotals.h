#pragma once

#include "ReportRow.h"

#include <QList>

#include <optional>

class Activity;

// The report's totals: the sum of the listed durations, and of the selected ones while more than one
// is selected. Sums in seconds, as doubles.
namespace ReportTotals {

double totalSeconds(const ReportRows &rows);
double totalSeconds(const QList<Activity *> &activities);

// None unless more than one is selected (one selected activity shows only the listed total).
std::optional<double> selectedSeconds(const ReportRows &rows, const QList<qsizetype> &selectedIndexes);
std::optional<double> selectedSeconds(const QList<Activity *> &selected);

} // namespace ReportTotals
