#include "ActivityExporter.h"

#include "Activity.h"
#include "ActivityCSVFormatter.h"
#include "ActivityFieldValue.h"
#include "DateFormatterCache.h"
#include "ExportFormatSettings.h"
#include "XmlText.h"

#include <QLoggingCategory>
#include <QSaveFile>
#include <QSet>

Q_LOGGING_CATEGORY(lcExport, "pendulo.export")

namespace {

// Empties the date-formatter cache when an export ends, however it ends.
struct FormatterCacheReset
{
    ~FormatterCacheReset() { DateFormatterCache::clearCache(); }
};

} // namespace

QString ActivityExporter::exportActivities(const QList<Activity *> &activities, const QString &filePath,
                                           int format, const ExportFormatSettings &settings)
{
    switch (format) {
    case CSV:
        return exportCSV(activities, filePath, settings.getCSVFormat(), settings.csvSeparator());
    case XML:
        return exportXML(activities, filePath, settings.getXMLFormat());
    default:
        return UnknownFormat;
    }
}

QString ActivityExporter::exportCSV(const QList<Activity *> &activities, const QString &filePath,
                                    const QList<CSVTokenField> &format, const QString &separator)
{
    FormatterCacheReset reset;
    return writeAtomically(filePath, csvData(activities, format, separator)) ? QString() : CsvWriteFailed;
}

QString ActivityExporter::exportXML(const QList<Activity *> &activities, const QString &filePath,
                                    const QList<CSVTokenField> &fields)
{
    FormatterCacheReset reset;
    return writeAtomically(filePath, xmlData(activities, fields)) ? QString() : XmlWriteFailed;
}

QByteArray ActivityExporter::csvData(const QList<Activity *> &activities, const QList<CSVTokenField> &format,
                                     const QString &separator)
{
    const ActivityCSVFormatter formatter(format);
    QString text;
    text.reserve(activities.size() * 64);
    for (const Activity *activity : activities) {
        formatter.appendRow(text, *activity, separator);
        text += QLatin1StringView("\r\n");
    }
    if (!text.isEmpty())
        text.chop(2);
    return text.toUtf8();
}

QByteArray ActivityExporter::xmlData(const QList<Activity *> &activities, const QList<CSVTokenField> &fields)
{
    // The attributes to write: the first field of each valid name.
    QList<const CSVTokenField *> attributes;
    QSet<QString> names;
    for (const CSVTokenField &field : fields) {
        const QString name = field.xmlPropertyName();
        if (!XmlText::isAttributeName(name) || names.contains(name))
            continue;
        names.insert(name);
        attributes.append(&field);
    }

    QString xml;
    xml.reserve(activities.size() * 160);
    xml += QLatin1StringView("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<activities>");
    for (const Activity *activity : activities) {
        xml += QLatin1StringView("<activity");
        for (const CSVTokenField *field : attributes) {
            xml += u' ';
            xml += field->xmlPropertyName();
            xml += QLatin1StringView("=\"");
            XmlText::appendAttributeValue(xml, ActivityFieldValue::valueForField(*activity, *field));
            xml += u'"';
        }
        xml += u'>';
        XmlText::appendContent(xml, activity->text());
        xml += QLatin1StringView("</activity>");
    }
    xml += QLatin1StringView("</activities>\n");
    return xml.toUtf8();
}

bool ActivityExporter::writeAtomically(const QString &filePath, const QByteArray &data)
{
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcExport, "Cannot write %s: %s", qUtf8Printable(filePath),
                  qUtf8Printable(file.errorString()));
        return false;
    }
    if (file.write(data) != data.size() || !file.commit()) {
        qCWarning(lcExport, "Writing %s failed: %s", qUtf8Printable(filePath),
                  qUtf8Printable(file.errorString()));
        return false;
    }
    return true;
}
