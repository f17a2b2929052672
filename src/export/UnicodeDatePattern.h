#pragma once

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

// A date pattern in the Unicode date-field syntax (the "yyyy-MM-dd'T'HH:mm:ss" of stored export formats
// and files), rendered with our own field table because Qt's format strings read several letters
// differently: "yyy" (a year of at least three digits), "a", "EEE", "LLL", "D", "Q", "w", "Z" and more
// mean other things or nothing to QDateTime::toString.
//
// Names (months, weekdays, AM/PM) come from the given locale; digits are ASCII. Letters without a
// meaning in the syntax print nothing; text between single quotes is literal, '' is one quote.
class UnicodeDatePattern
{
public:
    explicit UnicodeDatePattern(const QString &pattern = QString());

    QString pattern() const { return m_pattern; }
    bool isEmpty() const { return m_parts.isEmpty(); }

    // The moment in the local time zone, rendered.
    QString format(const QDateTime &moment, const QLocale &locale = QLocale::system()) const;
    // The same for a date and time already in local time.
    QString format(QDate date, QTime time, const QDateTime &moment, const QLocale &locale) const;

    // Reads a local time written with this pattern. Only numeric fields (years, months, days, hours,
    // minutes, seconds, fractions) and literals can be read; the whole text must match. Invalid when it
    // does not, or when the fields make no valid date or time.
    QDateTime parse(const QString &text) const;

private:
    struct Part
    {
        QChar letter; // null for literal text
        int count = 0;
        QString literal;
    };

    void appendField(QString &out, const Part &part, QDate date, QTime time, const QDateTime &moment,
                     const QLocale &locale) const;

    QString m_pattern;
    QList<Part> m_parts;
};
