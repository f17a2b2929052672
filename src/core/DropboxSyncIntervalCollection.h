#pragma once

#include "PDFixedCollectionItem.h"

#include <QList>

// The choices of the automatic sync interval (setting "dropboxSyncInterval"), in the order shown.
namespace DropboxSyncIntervalCollection {

// 0 "Manually", a separator, 1 "Every 15 minutes", 2 "Every 30 minutes", 3 "Every hour".
QList<PDFixedCollectionItem> displayItems();

} // namespace DropboxSyncIntervalCollection
