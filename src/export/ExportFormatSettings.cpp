#include "ExportFormatSettings.h"

#include "PdSettings.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

QList<CSVTokenField> withShortDescriptions(QList<CSVTokenField> fields)
{
    for (CSVTokenField &field : fields)
        field.setShowShortDescription(true);
    return fields;
}

CSVTokenField fixedXmlField(int type, int value, const QString &name)
{
    CSVTokenField field(CSVTokenField::XMLMode, type, value);
    field.setEnabled(false);
    field.setXmlPropertyName(name);
    field.setShowShortDescription(true);
    return field;
}

} // namespace

QList<CSVTokenField> ExportFormatSettings::getCSVFormat() const
{
    const QVariant stored = m_settings.exportFormatValue(PdSettings::CsvRowFormatKey);
    if (!stored.isValid())
        return withShortDescriptions(getDefaultCSVFormat());
    return withShortDescriptions(unarchive(stored).value_or(QList<CSVTokenField>()));
}

void ExportFormatSettings::setCSVFormat(const QList<CSVTokenField> &format)
{
    m_settings.setExportFormatValue(PdSettings::CsvRowFormatKey, archive(format));
}

QList<CSVTokenField> ExportFormatSettings::getDefaultCSVFormat()
{
    using T = ActivityTokenType;
    using V = ActivityTokenValue;
    const int csv = CSVTokenField::CSVMode;
    return {CSVTokenField(csv, T::Date, V::StartDateLocal),
            CSVTokenField(csv, T::Date, V::StartTime),
            CSVTokenField(csv, T::Duration, V::DurationFormatted),
            CSVTokenField(csv, T::Activity, V::ProjectName),
            CSVTokenField(csv, T::Activity, V::Text),
            CSVTokenField(csv, T::Activity, V::InvoicedStatus)};
}

QList<CSVTokenField> ExportFormatSettings::getXMLFormat() const
{
    QList<CSVTokenField> format = getDefaultXMLFormat();
    const QVariant stored = m_settings.exportFormatValue(PdSettings::XmlPropertiesKey);
    if (stored.isValid())
        format += unarchive(stored).value_or(QList<CSVTokenField>());
    return withShortDescriptions(format);
}

void ExportFormatSettings::setXMLFormat(const QList<CSVTokenField> &format)
{
    QList<CSVTokenField> userFields;
    for (const CSVTokenField &field : format) {
        if (field.isEnabled())
            userFields.append(field);
    }
    m_settings.setExportFormatValue(PdSettings::XmlPropertiesKey, archive(userFields));
}

QList<CSVTokenField> ExportFormatSettings::getDefaultXMLFormat()
{
    using T = ActivityTokenType;
    using V = ActivityTokenValue;
    return {fixedXmlField(T::Activity, V::Uid, QStringLiteral("uid")),
            fixedXmlField(T::Activity, V::InvoicedStatus, QStringLiteral("invoiced")),
            fixedXmlField(T::Date, V::StartDateTime, QStringLiteral("from")),
            fixedXmlField(T::Date, V::EndDateTime, QStringLiteral("to"))};
}

QString ExportFormatSettings::csvSeparatorText() const
{
    return m_settings.csvFieldSeparator();
}

QString ExportFormatSettings::effectiveSeparator(const QString &text)
{
    return text == u"{TAB}" ? QStringLiteral("\t") : text;
}

QString ExportFormatSettings::archive(const QList<CSVTokenField> &fields)
{
    QVariantList entries;
    entries.reserve(fields.size());
    for (const CSVTokenField &field : fields)
        entries.append(field.toStoredForm());
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromVariantList(entries)).toJson(QJsonDocument::Compact));
}

std::optional<QList<CSVTokenField>> ExportFormatSettings::unarchive(const QVariant &stored)
{
    if (stored.typeId() != QMetaType::QString && stored.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(stored.toString().toUtf8());
    if (!document.isArray() || document.array().isEmpty())
        return std::nullopt;
    QList<CSVTokenField> fields;
    for (const QVariant &entry : document.array().toVariantList()) {
        if (const std::optional<CSVTokenField> field = CSVTokenField::fromStoredForm(entry))
            fields.append(*field);
    }
    return fields;
}
