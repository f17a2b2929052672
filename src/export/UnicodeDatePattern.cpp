#include "UnicodeDatePattern.h"

#include <QTimeZone>

#include <cstdlib>

namespace {

bool isPatternLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Letters whose fields parse() can read.
bool isNumericField(QChar letter)
{
    switch (letter.unicode()) {
    case 'y':
    case 'u':
    case 'M':
    case 'L':
    case 'd':
    case 'H':
    case 'k':
    case 'm':
    case 's':
    case 'S':
        return true;
    default:
        return false;
    }
}

void appendNumber(QString &out, qint64 number, int minDigits)
{
    if (number < 0) {
        out += u'-';
        number = -number;
    }
    const QString digits = QString::number(number);
    for (qsizetype i = digits.size(); i < minDigits; ++i)
        out += u'0';
    out += digits;
}

QString ordinalQuarter(int quarter)
{
    static const char *const names[] = {"1st quarter", "2nd quarter", "3rd quarter", "4th quarter"};
    return QString::fromLatin1(names[quarter - 1]);
}

QLocale::FormatType nameFormat(int count)
{
    if (count == 4)
        return QLocale::LongFormat;
    if (count == 5)
        return QLocale::NarrowFormat;
    return QLocale::ShortFormat;
}

// "+HH", "+HHMM", "+HH:MM" and the like for an offset from UTC in seconds.
QString offsetText(int offsetSecs, bool withColon, bool minutesAlways, bool withSeconds)
{
    QString out;
    out += offsetSecs < 0 ? u'-' : u'+';
    const int magnitude = std::abs(offsetSecs);
    const int hours = magnitude / 3600;
    const int minutes = magnitude / 60 % 60;
    const int seconds = magnitude % 60;
    appendNumber(out, hours, 2);
    if (minutesAlways || minutes != 0 || (withSeconds && seconds != 0)) {
        if (withColon)
            out += u':';
        appendNumber(out, minutes, 2);
    }
    if (withSeconds && seconds != 0) {
        if (withColon)
            out += u':';
        appendNumber(out, seconds, 2);
    }
    return out;
}

// "GMT", "GMT+1", "GMT+01:00" (localized GMT format in its short and long forms).
QString gmtText(int offsetSecs, bool longForm)
{
    if (offsetSecs == 0)
        return QStringLiteral("GMT");
    QString out = QStringLiteral("GMT");
    out += offsetSecs < 0 ? u'-' : u'+';
    const int magnitude = std::abs(offsetSecs);
    const int hours = magnitude / 3600;
    const int minutes = magnitude / 60 % 60;
    appendNumber(out, hours, longForm ? 2 : 1);
    if (longForm || minutes != 0) {
        out += u':';
        appendNumber(out, minutes, 2);
    }
    return out;
}

QString isoOffset(int offsetSecs, int count, bool zForZero)
{
    if (zForZero && offsetSecs == 0)
        return QStringLiteral("Z");
    switch (count) {
    case 1:
        return offsetText(offsetSecs, false, false, false);
    case 2:
        return offsetText(offsetSecs, false, true, false);
    case 3:
        return offsetText(offsetSecs, true, true, false);
    case 4:
        return offsetText(offsetSecs, false, true, true);
    default:
        return offsetText(offsetSecs, true, true, true);
    }
}

// Day of the week counted from the locale's first day: 1..7.
int localWeekday(QDate date, const QLocale &locale)
{
    return (date.dayOfWeek() - int(locale.firstDayOfWeek()) + 7) % 7 + 1;
}

} // namespace

UnicodeDatePattern::UnicodeDatePattern(const QString &pattern)
    : m_pattern(pattern)
{
    QString literal;
    const auto flushLiteral = [&] {
        if (!literal.isEmpty()) {
            m_parts.append({QChar(), 0, literal});
            literal.clear();
        }
    };
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        if (c == u'\'') {
            if (i + 1 < pattern.size() && pattern.at(i + 1) == u'\'') {
                literal += u'\'';
                i += 2;
                continue;
            }
            // Quoted text up to the closing quote ('' inside stands for one quote); an unclosed quote
            // runs to the end.
            ++i;
            while (i < pattern.size()) {
                if (pattern.at(i) == u'\'') {
                    if (i + 1 < pattern.size() && pattern.at(i + 1) == u'\'') {
                        literal += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                literal += pattern.at(i++);
            }
            continue;
        }
        if (!isPatternLetter(c)) {
            literal += c;
            ++i;
            continue;
        }
        flushLiteral();
        int count = 0;
        while (i < pattern.size() && pattern.at(i) == c) {
            ++count;
            ++i;
        }
        m_parts.append({c, count, QString()});
    }
    flushLiteral();
}

QString UnicodeDatePattern::format(const QDateTime &moment, const QLocale &locale) const
{
    if (!moment.isValid())
        return QString();
    const QDateTime local = moment.toLocalTime();
    return format(local.date(), local.time(), local, locale);
}

QString UnicodeDatePattern::format(QDate date, QTime time, const QDateTime &moment,
                                   const QLocale &locale) const
{
    QString out;
    out.reserve(m_pattern.size() + 8);
    for (const Part &part : m_parts) {
        if (part.letter.isNull())
            out += part.literal;
        else
            appendField(out, part, date, time, moment, locale);
    }
    return out;
}

void UnicodeDatePattern::appendField(QString &out, const Part &part, QDate date, QTime time,
                                     const QDateTime &moment, const QLocale &locale) const
{
    const int count = part.count;
    const int year = date.year();
    switch (part.letter.unicode()) {
    case 'G': {
        const bool common = year > 0;
        if (count == 4)
            out += common ? QStringLiteral("Anno Domini") : QStringLiteral("Before Christ");
        else if (count == 5)
            out += common ? u'A' : u'B';
        else
            out += common ? QStringLiteral("AD") : QStringLiteral("BC");
        break;
    }
    case 'y': {
        // Year of the era: Qt counts 1 BC as year -1.
        const int eraYear = year > 0 ? year : -year;
        if (count == 2)
            appendNumber(out, eraYear % 100, 2);
        else
            appendNumber(out, eraYear, count);
        break;
    }
    case 'u':
        appendNumber(out, year > 0 ? year : year + 1, count);
        break;
    case 'Y': {
        int weekYear = year;
        date.weekNumber(&weekYear);
        if (count == 2)
            appendNumber(out, std::abs(weekYear) % 100, 2);
        else
            appendNumber(out, weekYear, count);
        break;
    }
    case 'Q':
    case 'q': {
        const int quarter = (date.month() - 1) / 3 + 1;
        if (count == 3)
            out += u'Q' + QString::number(quarter);
        else if (count == 4)
            out += ordinalQuarter(quarter);
        else
            appendNumber(out, quarter, count == 2 ? 2 : 1);
        break;
    }
    case 'M':
    case 'L':
        if (count <= 2)
            appendNumber(out, date.month(), count);
        else if (part.letter == u'M')
            out += locale.monthName(date.month(), nameFormat(count));
        else
            out += locale.standaloneMonthName(date.month(), nameFormat(count));
        break;
    case 'w':
        appendNumber(out, date.weekNumber(), count);
        break;
    case 'W': {
        const int firstWeekday = localWeekday(QDate(year, date.month(), 1), locale);
        appendNumber(out, (date.day() - 1 + firstWeekday - 1) / 7 + 1, count);
        break;
    }
    case 'd':
        appendNumber(out, date.day(), count);
        break;
    case 'D':
        appendNumber(out, date.dayOfYear(), count);
        break;
    case 'F':
        appendNumber(out, (date.day() - 1) / 7 + 1, count);
        break;
    case 'g':
        appendNumber(out, date.toJulianDay() - 2400001, count);
        break;
    case 'E':
        out += locale.dayName(date.dayOfWeek(), nameFormat(count));
        break;
    case 'e':
    case 'c':
        if (count <= 2)
            appendNumber(out, localWeekday(date, locale), part.letter == u'e' ? count : 1);
        else if (part.letter == u'e')
            out += locale.dayName(date.dayOfWeek(), nameFormat(count));
        else
            out += locale.standaloneDayName(date.dayOfWeek(), nameFormat(count));
        break;
    case 'a':
    case 'b':
    case 'B':
        out += time.hour() < 12 ? locale.amText() : locale.pmText();
        break;
    case 'h':
        appendNumber(out, time.hour() % 12 == 0 ? 12 : time.hour() % 12, count);
        break;
    case 'H':
        appendNumber(out, time.hour(), count);
        break;
    case 'K':
        appendNumber(out, time.hour() % 12, count);
        break;
    case 'k':
        appendNumber(out, time.hour() == 0 ? 24 : time.hour(), count);
        break;
    case 'm':
        appendNumber(out, time.minute(), count);
        break;
    case 's':
        appendNumber(out, time.second(), count);
        break;
    case 'S': {
        // A fraction of the second, cut (not rounded) to the number of letters.
        QString digits = QString::number(time.msec()).rightJustified(3, u'0');
        out += count <= 3 ? digits.left(count) : digits.leftJustified(count, u'0');
        break;
    }
    case 'A':
        appendNumber(out, time.msecsSinceStartOfDay(), count);
        break;
    case 'z':
        if (count == 4)
            out += moment.timeZone().displayName(moment, QTimeZone::LongName, locale);
        else
            out += moment.timeZoneAbbreviation();
        break;
    case 'Z':
        if (count == 4)
            out += gmtText(moment.offsetFromUtc(), true);
        else if (count == 5)
            out += isoOffset(moment.offsetFromUtc(), 5, true);
        else
            out += isoOffset(moment.offsetFromUtc(), 2, false);
        break;
    case 'O':
        out += gmtText(moment.offsetFromUtc(), count == 4);
        break;
    case 'v':
        if (count == 4)
            out += moment.timeZone().displayName(QTimeZone::GenericTime, QTimeZone::LongName, locale);
        else
            out += moment.timeZone().displayName(QTimeZone::GenericTime, QTimeZone::ShortName, locale);
        break;
    case 'V': {
        const QString id = QString::fromUtf8(moment.timeZone().id());
        if (count == 3)
            out += id.section(u'/', -1).replace(u'_', u' ');
        else if (count == 4)
            out += moment.timeZone().displayName(QTimeZone::GenericTime, QTimeZone::LongName, locale);
        else
            out += id;
        break;
    }
    case 'x':
    case 'X':
        out += isoOffset(moment.offsetFromUtc(), count, part.letter == u'X');
        break;
    default:
        // Letters without a meaning in the syntax are reserved and print nothing.
        break;
    }
}

QDateTime UnicodeDatePattern::parse(const QString &text) const
{
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0, msec = 0;
    qsizetype pos = 0;
    for (qsizetype i = 0; i < m_parts.size(); ++i) {
        const Part &part = m_parts.at(i);
        if (part.letter.isNull()) {
            if (!QStringView(text).mid(pos).startsWith(part.literal))
                return QDateTime();
            pos += part.literal.size();
            continue;
        }
        if (!isNumericField(part.letter))
            return QDateTime();

        bool negative = false;
        if (part.letter == u'u' && pos < text.size() && text.at(pos) == u'-') {
            negative = true;
            ++pos;
        }
        // A field directly followed by another number field takes exactly its letter count of digits;
        // otherwise it reads all digits there are (two at most for the small fields).
        const bool adjacent = i + 1 < m_parts.size() && !m_parts.at(i + 1).letter.isNull();
        const bool wide = part.letter == u'y' || part.letter == u'u' || part.letter == u'S';
        const int maxDigits = adjacent ? part.count : (wide ? 9 : std::max(2, part.count));
        const qsizetype start = pos;
        qint64 number = 0;
        while (pos < text.size() && pos - start < maxDigits && text.at(pos) >= u'0' && text.at(pos) <= u'9') {
            number = number * 10 + (text.at(pos).unicode() - '0');
            ++pos;
        }
        const qsizetype digits = pos - start;
        if (digits == 0)
            return QDateTime();

        switch (part.letter.unicode()) {
        case 'y':
            year = int(number);
            if (part.count == 2 && digits == 2)
                year += 2000;
            break;
        case 'u':
            year = negative ? int(-number) : int(number);
            if (year <= 0)
                --year; // 0 is 1 BC, which Qt counts as -1
            break;
        case 'M':
        case 'L':
            month = int(number);
            break;
        case 'd':
            day = int(number);
            break;
        case 'H':
            hour = int(number);
            break;
        case 'k':
            hour = number == 24 ? 0 : int(number);
            break;
        case 'm':
            minute = int(number);
            break;
        case 's':
            second = int(number);
            break;
        case 'S': {
            QString fraction = text.mid(start, digits).left(3);
            msec = fraction.leftJustified(3, u'0').toInt();
            break;
        }
        }
    }
    if (pos != text.size())
        return QDateTime();
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, msec);
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    const QDateTime result(date, time);
    return result.isValid() ? result : QDateTime();
}
