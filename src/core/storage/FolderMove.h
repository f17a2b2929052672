#pragma once

#include <QString>

// Moving a folder that may have to cross file systems (the temporary folder is often its own file
// system). Used by migration to put a migrated store in place.
namespace FolderMove {

// Renames `from` to `to`; when a rename is impossible, copies `from` into a staging folder beside `to`,
// renames that into place and removes `from`. `to` must not exist. On failure nothing exists at `to`,
// `from` is unchanged and `errorText` says why.
bool move(const QString &from, const QString &to, QString *errorText);

// The second half of move(): copy into a staging folder beside `to`, rename it into place, remove `from`.
bool moveByCopy(const QString &from, const QString &to, QString *errorText);

} // namespace FolderMove
