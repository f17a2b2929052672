#include "PDDurationTransformer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

std::optional<qint64> PDDurationTransformer::integerFromValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong number = value.toULongLong();
        if (number > qulonglong(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        return qint64(number);
    }
    case QMetaType::Float:
    case QMetaType::Double: {
        const double number = std::trunc(value.toDouble());
        // 2^63 is exactly representable; anything at or beyond it (and NaN) is no count of seconds.
        if (!(number >= -9223372036854775808.0 && number < 9223372036854775808.0))
            return std::nullopt;
        return qint64(number);
    }
    default:
        return std::nullopt;
    }
}

namespace {

// printf-style fixed notation: nearest value, an exact half going to the even neighbour, always with a
// full stop as decimal separator, whatever the process locale is. A result that rounds to zero carries
// no minus sign.
QString fixed(float value, int decimals)
{
    char buffer[64];
    const std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof buffer, double(value), std::chars_format::fixed, decimals);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    const auto isZeroDigit = [](QChar c) { return c == u'0' || c == u'.'; };
    if (text.startsWith(u'-') && std::all_of(text.cbegin() + 1, text.cend(), isZeroDigit))
        text.remove(0, 1);
    return text;
}

QString twoDigits(quint64 number)
{
    return QString::number(number).rightJustified(2, u'0');
}

// hours:minutes:seconds with at least two digits each; a negative duration gets one leading minus sign.
QString formatted(qint64 seconds)
{
    // Work on the magnitude in unsigned arithmetic so that the smallest qint64 has one too.
    const quint64 magnitude = seconds < 0 ? 0 - quint64(seconds) : quint64(seconds);
    const QString text = twoDigits(magnitude / 3600) + u':' + twoDigits(magnitude / 60 % 60) + u':' +
                         twoDigits(magnitude % 60);
    return seconds < 0 ? u'-' + text : text;
}

} // namespace

PDDurationTransformer::PDDurationTransformer(int format, const QString &prefix)
    : m_format(format)
    , m_prefix(prefix)
{}

QString PDDurationTransformer::transformedValue(const QVariant &seconds) const
{
    const std::optional<qint64> count = integerFromValue(seconds);
    if (!count)
        return QStringLiteral("");
    return transformedValue(*count);
}

QString PDDurationTransformer::transformedValue(qint64 seconds) const
{
    QString text;
    switch (m_format) {
    case Formatted:
        text = formatted(seconds);
        break;
    case Minutes:
        text = fixed(float(seconds) / 60.0f, 0);
        break;
    case DecimalHours:
        text = fixed(float(seconds) / 3600.0f, 4);
        break;
    default:
        return QString();
    }
    return m_prefix + text;
}
