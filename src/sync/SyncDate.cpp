#include "SyncDate.h"

namespace SyncDate {

namespace {

void appendPadded(QString &out, int value, int width)
{
    const QString digits = QString::number(value);
    for (qsizetype i = digits.size(); i < width; ++i)
        out.append(QLatin1Char('0'));
    out.append(digits);
}

// Reads `count` digits at `pos`; -1 when one is not a digit.
int digitsAt(QStringView text, qsizetype pos, qsizetype count)
{
    int value = 0;
    for (qsizetype i = pos; i < pos + count; ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

} // namespace

QString toString(const QDateTime &date)
{
    if (!date.isValid())
        return {};
    const QDateTime local = date.toLocalTime();
    const QDate day = local.date();
    const QTime time = local.time();
    QString out;
    out.reserve(19);
    if (day.year() < 0)
        out.append(QLatin1Char('-'));
    appendPadded(out, std::abs(day.year()), 3);
    out.append(QLatin1Char('-'));
    appendPadded(out, day.month(), 2);
    out.append(QLatin1Char('-'));
    appendPadded(out, day.day(), 2);
    out.append(QLatin1Char('T'));
    appendPadded(out, time.hour(), 2);
    out.append(QLatin1Char(':'));
    appendPadded(out, time.minute(), 2);
    out.append(QLatin1Char(':'));
    appendPadded(out, time.second(), 2);
    return out;
}

QDateTime fromString(const QString &text)
{
    // The year takes every digit before the first "-" (at least three), the rest is fixed:
    // "-MM-ddTHH:mm:ss" is 15 characters.
    const qsizetype yearDigits = text.indexOf(QLatin1Char('-'));
    if (yearDigits < 3 || yearDigits > 6 || text.size() != yearDigits + 15)
        return {};
    const QStringView rest = QStringView(text).mid(yearDigits);
    if (rest.at(0) != QLatin1Char('-') || rest.at(3) != QLatin1Char('-') || rest.at(6) != QLatin1Char('T') ||
        rest.at(9) != QLatin1Char(':') || rest.at(12) != QLatin1Char(':'))
        return {};
    const int year = digitsAt(text, 0, yearDigits);
    const int month = digitsAt(rest, 1, 2);
    const int day = digitsAt(rest, 4, 2);
    const int hour = digitsAt(rest, 7, 2);
    const int minute = digitsAt(rest, 10, 2);
    const int second = digitsAt(rest, 13, 2);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0)
        return {};
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return {};
    const QDateTime result(date, time, Qt::LocalTime);
    if (result.isValid())
        return result;
    // A wall-clock time skipped here by a daylight-saving change (written on a computer in another
    // zone) reads as the moment the clock shows after the change, as a lenient reader would: refusing
    // it would stop every later merge of that file.
    return QDateTime::fromMSecsSinceEpoch(result.toMSecsSinceEpoch());
}

} // namespace SyncDate
