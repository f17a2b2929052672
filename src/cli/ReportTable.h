#pragma once

#include "report/ReportRow.h"

#include <QString>

class PDDurationTransformer;

// The report's rows as a text table for a terminal: start, end, duration, project, tasks and text
// (with "[Invoiced]" after the text of an invoiced activity), under a heading line, followed by the
// "Total: ..." line. Line breaks and tabs inside texts become spaces so that each activity keeps one
// line.
namespace ReportTable {

QString text(const ReportRows &rows, const PDDurationTransformer &durations);
QString totalLine(const ReportRows &rows, const PDDurationTransformer &durations);

} // namespace ReportTable
