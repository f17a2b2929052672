#pragma once

#include "CSVTokenField.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

class PdSettings;

// The user's export formats in the settings: the CSV columns ("csv_row_format"), the added XML
// properties ("xml_properties") and the CSV separator. Each stored format is a JSON array of field
// objects with the keys "tokenMode", "tokenType", "tokenValue" and, for named XML fields,
// "xmlPropertyName" (see docs/export-formats.md).
class ExportFormatSettings
{
public:
    explicit ExportFormatSettings(PdSettings &settings)
        : m_settings(settings)
    {}

    // An absent key gives the default format; a stored value that is not a non-empty list gives an empty
    // format; otherwise its field entries. Every field shows its short description.
    QList<CSVTokenField> getCSVFormat() const;
    void setCSVFormat(const QList<CSVTokenField> &format);
    // Start date (short style), start time, formatted duration, project name, text, invoiced status.
    static QList<CSVTokenField> getDefaultCSVFormat();

    // The four fixed fields followed by the stored ones (when the stored value is a non-empty list).
    QList<CSVTokenField> getXMLFormat() const;
    // Stores the enabled fields only, so the fixed fields are never stored.
    void setXMLFormat(const QList<CSVTokenField> &format);
    // "uid" (uid), "invoiced" (invoiced status), "from" (start date/time), "to" (end date/time), none of
    // them enabled for editing.
    static QList<CSVTokenField> getDefaultXMLFormat();

    // The separator text as stored ("{TAB}" included) and the separator an export uses.
    QString csvSeparatorText() const;
    QString csvSeparator() const { return effectiveSeparator(csvSeparatorText()); }
    // Exactly "{TAB}" stands for one tab; any other text is used as it is.
    static QString effectiveSeparator(const QString &text);

    // The stored form of a list of fields, and back: none when the value is not a non-empty list;
    // entries that are not fields are left out.
    static QString archive(const QList<CSVTokenField> &fields);
    static std::optional<QList<CSVTokenField>> unarchive(const QVariant &stored);

private:
    PdSettings &m_settings;
};
