#include "ActivityCSVFormatter.h"

#include "ActivityFieldValue.h"

QString ActivityCSVFormatter::rowForActivity(const Activity &activity, const QString &separator) const
{
    QString row;
    appendRow(row, activity, separator);
    return row;
}

void ActivityCSVFormatter::appendRow(QString &out, const Activity &activity, const QString &separator) const
{
    bool first = true;
    for (const CSVTokenField &field : m_format) {
        if (!first)
            out += separator;
        first = false;
        appendQuoted(out, ActivityFieldValue::valueForField(activity, field));
    }
}

void ActivityCSVFormatter::appendQuoted(QString &out, const QString &value)
{
    out += u'"';
    qsizetype start = 0;
    for (qsizetype quote = value.indexOf(u'"'); quote >= 0; quote = value.indexOf(u'"', start)) {
        out += QStringView(value).mid(start, quote + 1 - start);
        out += u'"';
        start = quote + 1;
    }
    out += QStringView(value).mid(start);
    out += u'"';
}
