#pragma once

#include <QString>
#include <QVariant>

#include <optional>

// Formats a duration in whole seconds as text in one of the user-selectable formats. One-way.
class PDDurationTransformer
{
public:
    enum Format : int
    {
        Formatted = 0,    // hours:minutes:seconds, e.g. 01:12:45; hours are not limited to two digits
        Minutes = 1,      // whole minutes, e.g. 73
        DecimalHours = 2, // hours with four decimals, e.g. 1.2125
    };

    explicit PDDurationTransformer(int format = Formatted, const QString &prefix = QString());

    int format() const { return m_format; }
    void setFormat(int format) { m_format = format; }
    // Put in front of every result; a null or empty prefix adds nothing.
    const QString &prefix() const { return m_prefix; }
    void setPrefix(const QString &prefix) { m_prefix = prefix; }

    // A value that is not a number gives empty text (without the prefix). A format number outside 0..2
    // gives no text: a null QString, without the prefix.
    QString transformedValue(const QVariant &seconds) const;
    QString transformedValue(qint64 seconds) const;

    // A numeric value as a signed 64-bit integer, fractions cut off toward zero; std::nullopt for anything
    // that is not a number (text, bool, invalid) or does not fit (NaN, infinities, beyond the range).
    static std::optional<qint64> integerFromValue(const QVariant &value);

private:
    int m_format;
    QString m_prefix;
};
