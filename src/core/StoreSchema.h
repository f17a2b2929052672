#pragma once

#include <QString>

// The store's schema, kept as resources: the current model version and the SQL that creates it.
namespace StoreSchema {

constexpr int currentVersion = 5;

// The SQL that creates an empty store of the given model version (1 to 5), or an empty string.
QString createSql(int version);

} // namespace StoreSchema
