#include "PDFileExportFormatCollection.h"

namespace PDFileExportFormatCollection {

QList<PDFixedCollectionItem> displayItems()
{
    return {PDFixedCollectionItem::withValue(1, QStringLiteral("XML")),
            PDFixedCollectionItem::withValue(0, QStringLiteral("CSV"))};
}

QString fileExtension(int format)
{
    switch (format) {
    case 0:
        return QStringLiteral("csv");
    case 1:
        return QStringLiteral("xml");
    default:
        return QString();
    }
}

} // namespace PDFileExportFormatCollection
