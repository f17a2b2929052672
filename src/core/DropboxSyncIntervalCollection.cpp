#include "DropboxSyncIntervalCollection.h"

namespace DropboxSyncIntervalCollection {

QList<PDFixedCollectionItem> displayItems()
{
    return {
        PDFixedCollectionItem::withValue(0, QStringLiteral("Manually")),
        PDFixedCollectionItem::separator(),
        PDFixedCollectionItem::withValue(1, QStringLiteral("Every 15 minutes")),
        PDFixedCollectionItem::withValue(2, QStringLiteral("Every 30 minutes")),
        PDFixedCollectionItem::withValue(3, QStringLiteral("Every hour")),
    };
}

} // namespace DropboxSyncIntervalCollection
