#include "SyncDate.h"

namespace SyncDate {

namespace {

// Writes value with at least `width` digits, zero-padded.
void appendPadded(QByteArray &out, int value, int width)
{
    char digits[12];
    int count = 0;
    do {
        digits[count++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (int i = count; i < width; ++i)
        out.append('0');
    while (count > 0)
        out.append(digits[--count]);
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

void appendTo(QByteArray &out, const QDateTime &date)
{
    if (!date.isValid())
        return;
    // Dates read from the store are local already; converting again would cost a time-zone lookup.
    const QDateTime local = date.timeSpec() == Qt::LocalTime ? date : date.toLocalTime();
    const QDate day = local.date();
    const QTime time = local.time();
    if (day.year() < 0)
        out.append('-');
    appendPadded(out, std::abs(day.year()), 3);
    out.append('-');
    appendPadded(out, day.month(), 2);
    out.append('-');
    appendPadded(out, day.day(), 2);
    out.append('T');
    appendPadded(out, time.hour(), 2);
    out.append(':');
    appendPadded(out, time.minute(), 2);
    out.append(':');
    appendPadded(out, time.second(), 2);
}

QString toString(const QDateTime &date)
{
    QByteArray out;
    out.reserve(20);
    appendTo(out, date);
    return date.isValid() ? QString::fromLatin1(out) : QString();
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
