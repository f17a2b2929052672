#pragma once

#include "CSVTokenField.h"

#include <QList>
#include <QString>

#include <optional>

// The export formats as readable text for the command line.
//
// CSV columns: value codes separated by commas, e.g. "111, 120, 300, 401, 400, 404". A code names its
// field type by itself (110..255 dates, 300..302 durations, 400..404 activity values); a field whose
// stored type is another one is written "TYPE:CODE", e.g. "400:999".
//
// XML fields: the fields added to the four fixed ones, as NAME=CODE separated by commas, e.g.
// "project=401, tasks=402".
namespace FieldCodeList {

QString csvText(const QList<CSVTokenField> &fields);
// Nothing, with the reason in `error`, for an unknown code or a malformed entry. An empty text gives
// an empty list.
std::optional<QList<CSVTokenField>> parseCsv(const QString &text, QString *error);

// The enabled (user-added) fields only.
QString xmlText(const QList<CSVTokenField> &fields);
// Names pass the field's naming rules; a name that would be refused (empty, "uid", "from", "to") is an
// error here instead of being kept silently.
std::optional<QList<CSVTokenField>> parseXml(const QString &text, QString *error);

// The codes and their titles, one per line, for --help.
QString codesHelp();

} // namespace FieldCodeList
