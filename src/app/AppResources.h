#pragma once

#include <QIcon>

// The program's own artwork, compiled in as a resource.
namespace AppResources {

// An icon by name, for example "status_edit_start_date" or "DropboxSyncError".
QIcon icon(const QString &name);

} // namespace AppResources
