#include "ReportTable.h"

#include "Activity.h"
#include "PDDurationTransformer.h"
#include "report/ReportTotals.h"

#include <QList>
#include <QStringList>

namespace {

QString oneLine(const QString &text)
{
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar &c : line) {
        if (c == u'\n' || c == u'\r' || c == u'\t' || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = u' ';
    }
    return line;
}

QStringList cellsOf(const ReportRow &row, const PDDurationTransformer &durations)
{
    QString text = oneLine(row.text);
    if (row.invoiced)
        text += QStringLiteral(" [Invoiced]");
    return {Activity::dateStr(row.timeFrom),
            Activity::dateStr(row.timeTo),
            durations.transformedValue(row.durationSecs),
            oneLine(row.projectName),
            oneLine(row.tasksStr),
            text};
}

} // namespace

namespace ReportTable {

QString text(const ReportRows &rows, const PDDurationTransformer &durations)
{
    QList<QStringList> table;
    table.append({QStringLiteral("Start"), QStringLiteral("End"), QStringLiteral("Duration"),
                  QStringLiteral("Project"), QStringLiteral("Tasks"), QStringLiteral("Text")});
    for (const ReportRow &row : rows)
        table.append(cellsOf(row, durations));

    const qsizetype columns = table.first().size();
    QList<qsizetype> widths(columns, 0);
    for (const QStringList &cells : table) {
        for (qsizetype column = 0; column < columns; ++column)
            widths[column] = std::max(widths[column], cells[column].size());
    }

    // Durations line up on the right; the last column is not padded.
    const qsizetype durationColumn = 2;
    QString result;
    for (const QStringList &cells : table) {
        QString line;
        for (qsizetype column = 0; column < columns; ++column) {
            const bool last = column == columns - 1;
            if (last)
                line += cells[column];
            else if (column == durationColumn && &cells != &table.first())
                line += cells[column].rightJustified(widths[column]);
            else
                line += cells[column].leftJustified(widths[column]);
            if (!last)
                line += QStringLiteral("  ");
        }
        while (line.endsWith(u' '))
            line.chop(1);
        result += line + QLatin1Char('\n');
    }
    return result;
}

QString totalLine(const ReportRows &rows, const PDDurationTransformer &durations)
{
    return QStringLiteral("Total: %1\n")
        .arg(durations.transformedValue(QVariant(ReportTotals::totalSeconds(rows))));
}

} // namespace ReportTable
