#pragma once

#include "PDFixedCollectionItem.h"

#include <QList>
#include <QString>

// The export-format choices of the export save dialog, in the order shown.
namespace PDFileExportFormatCollection {

// 1 "XML", then 0 "CSV".
QList<PDFixedCollectionItem> displayItems();
// The file name extension of a format: "csv" for 0, "xml" for 1, a null text for anything else.
QString fileExtension(int format);

} // namespace PDFileExportFormatCollection
