#include "FieldCodeList.h"

#include <QRegularExpression>

namespace {

using T = ActivityTokenType;
using V = ActivityTokenValue;

const QList<int> &knownCodes()
{
    static const QList<int> codes = {V::StartDateUniversal,
                                     V::StartDateLocal,
                                     V::StartTime,
                                     V::StartDateTime,
                                     V::EndDateUniversal,
                                     V::EndDateLocal,
                                     V::EndTime,
                                     V::EndDateTime,
                                     V::StartYear,
                                     V::StartMonth,
                                     V::StartDay,
                                     V::StartHour,
                                     V::StartMinute,
                                     V::StartSecond,
                                     V::EndYear,
                                     V::EndMonth,
                                     V::EndDay,
                                     V::EndHour,
                                     V::EndMinute,
                                     V::EndSecond,
                                     V::DurationFormatted,
                                     V::DurationMinutes,
                                     V::DurationDecimalHours,
                                     V::Text,
                                     V::ProjectName,
                                     V::TaskTags,
                                     V::Uid,
                                     V::InvoicedStatus};
    return codes;
}

// The type a known code belongs to; nothing for other codes.
std::optional<int> typeOfCode(int code)
{
    if (!knownCodes().contains(code))
        return std::nullopt;
    if (code >= V::DurationFormatted && code <= V::DurationDecimalHours)
        return T::Duration;
    if (code >= V::Text)
        return T::Activity;
    return T::Date;
}

QString fieldCode(const CSVTokenField &field)
{
    const int type = field.tokenType().valueType();
    const int code = field.tokenValue().value();
    if (typeOfCode(code) == type)
        return QString::number(code);
    return QStringLiteral("%1:%2").arg(type).arg(code);
}

// "CODE" or "TYPE:CODE" as type and code.
std::optional<std::pair<int, int>> parseCode(const QString &text, QString *error)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    bool codeOk = false;
    const int code = parts.constLast().trimmed().toInt(&codeOk);
    if (parts.size() == 1 && codeOk) {
        if (const std::optional<int> type = typeOfCode(code))
            return std::make_pair(*type, code);
        *error = QStringLiteral("unknown field code %1").arg(code);
        return std::nullopt;
    }
    bool typeOk = false;
    const int type = parts.constFirst().trimmed().toInt(&typeOk);
    if (parts.size() == 2 && typeOk && codeOk)
        return std::make_pair(type, code);
    *error = QStringLiteral("\"%1\" is not a field code").arg(text);
    return std::nullopt;
}

QStringList entries(const QString &text, const QRegularExpression &separator)
{
    QStringList result;
    for (const QString &entry : text.split(separator, Qt::SkipEmptyParts)) {
        if (!entry.trimmed().isEmpty())
            result.append(entry.trimmed());
    }
    return result;
}

} // namespace

namespace FieldCodeList {

QString csvText(const QList<CSVTokenField> &fields)
{
    QStringList codes;
    for (const CSVTokenField &field : fields)
        codes.append(fieldCode(field));
    return codes.join(QStringLiteral(", "));
}

std::optional<QList<CSVTokenField>> parseCsv(const QString &text, QString *error)
{
    static const QRegularExpression separator(QStringLiteral("[,\\s]+"));
    QList<CSVTokenField> fields;
    for (const QString &entry : entries(text, separator)) {
        const std::optional<std::pair<int, int>> code = parseCode(entry, error);
        if (!code)
            return std::nullopt;
        CSVTokenField field(CSVTokenField::CSVMode, code->first);
        field.setTokenType(code->first, code->second);
        fields.append(field);
    }
    return fields;
}

QString xmlText(const QList<CSVTokenField> &fields)
{
    QStringList items;
    for (const CSVTokenField &field : fields) {
        if (field.isEnabled())
            items.append(QStringLiteral("%1=%2").arg(field.xmlPropertyName(), fieldCode(field)));
    }
    return items.join(QStringLiteral(", "));
}

std::optional<QList<CSVTokenField>> parseXml(const QString &text, QString *error)
{
    static const QRegularExpression separator(QStringLiteral(","));
    QList<CSVTokenField> fields;
    for (const QString &entry : entries(text, separator)) {
        const qsizetype equals = entry.lastIndexOf(QLatin1Char('='));
        if (equals < 0) {
            *error = QStringLiteral("\"%1\" is not NAME=CODE").arg(entry);
            return std::nullopt;
        }
        const QString name = entry.left(equals);
        const QString cleaned = CSVTokenField::cleanedPropertyName(name, true);
        if (cleaned.isNull()) {
            *error = QStringLiteral("\"%1\" cannot name an added XML field").arg(name.trimmed());
            return std::nullopt;
        }
        const std::optional<std::pair<int, int>> code = parseCode(entry.mid(equals + 1), error);
        if (!code)
            return std::nullopt;
        CSVTokenField field(CSVTokenField::XMLMode, code->first);
        field.setTokenType(code->first, code->second);
        field.setXmlPropertyName(cleaned);
        fields.append(field);
    }
    return fields;
}

QString codesHelp()
{
    QString text;
    for (const int code : knownCodes())
        text += QStringLiteral("  %1  %2\n").arg(code).arg(V::descriptionShort(code));
    return text;
}

} // namespace FieldCodeList
