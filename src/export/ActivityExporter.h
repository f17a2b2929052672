#pragma once

#include "CSVTokenField.h"

#include <QByteArray>
#include <QList>
#include <QString>

class Activity;
class ExportFormatSettings;

// Writes activities to a CSV or XML file in the user's stored formats.
class ActivityExporter
{
public:
    enum Format : int
    {
        CSV = 0,
        XML = 1,
    };

    static inline const QString CsvWriteFailed = QStringLiteral("Failed to write CSV data to file!");
    static inline const QString XmlWriteFailed = QStringLiteral("Failed to write XML data to file!");
    static inline const QString UnknownFormat = QStringLiteral("Unknown export format!");

    // Writes the activities, in the order given, in the format (0 CSV, 1 XML) with the columns, separator
    // or XML fields read afresh from the settings. Returns a null text on success, else the message.
    // The file is replaced atomically; the date-formatter cache is emptied afterwards.
    static QString exportActivities(const QList<Activity *> &activities, const QString &filePath, int format,
                                    const ExportFormatSettings &settings);

    static QString exportCSV(const QList<Activity *> &activities, const QString &filePath,
                             const QList<CSVTokenField> &format, const QString &separator);
    static QString exportXML(const QList<Activity *> &activities, const QString &filePath,
                             const QList<CSVTokenField> &fields);

    // The file contents: CSV rows joined with CR LF (none after the last row), no header, UTF-8 without
    // byte-order mark.
    static QByteArray csvData(const QList<Activity *> &activities, const QList<CSVTokenField> &format,
                              const QString &separator);
    // An XML declaration, then the root "activities" with one "activity" element per activity: one
    // attribute per named field (the first field of a name wins; names that cannot be XML attribute names
    // are left out) and the activity text as content.
    static QByteArray xmlData(const QList<Activity *> &activities, const QList<CSVTokenField> &fields);

private:
    static bool writeAtomically(const QString &filePath, const QByteArray &data);
};
