#pragma once

#include "CSVTokenField.h"

#include <QList>
#include <QString>

class Activity;

// Writes CSV rows of activities for a fixed list of fields.
class ActivityCSVFormatter
{
public:
    ActivityCSVFormatter() = default;
    explicit ActivityCSVFormatter(const QList<CSVTokenField> &format)
        : m_format(format)
    {}

    const QList<CSVTokenField> &theFormat() const { return m_format; }

    // Every value enclosed in double quotes, its own double quotes doubled, joined with the separator.
    // Line breaks inside a value stay as they are.
    QString rowForActivity(const Activity &activity, const QString &separator) const;
    // The same, appended to `out`.
    void appendRow(QString &out, const Activity &activity, const QString &separator) const;

    static void appendQuoted(QString &out, const QString &value);

private:
    QList<CSVTokenField> m_format;
};
