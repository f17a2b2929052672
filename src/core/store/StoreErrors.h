#pragma once

#include "PdError.h"

// Errors of opening and saving the store.
namespace StoreErrors {

// Domain of the errors that opening, reading or writing the store file produces.
inline const QString domain = QStringLiteral("pendulo.store");

enum Code
{
    CannotOpen = 1,   // missing folder, no permission, not a regular file
    NotAStore = 2,    // the file is not an SQLite database
    Damaged = 3,      // an SQLite database that fails its integrity check or lacks Pendulo's tables
    OtherVersion = 4, // an SQLite store of another model version
    SaveFailed = 5,   // the SQLite transaction of a save failed
    ObjectGone = 6,   // a saved object's record was deleted elsewhere
    FetchFailed = 7,  // a query failed
};

// Domain and code of the combined error that holds several validation errors in `detailedErrors`.
inline const QString validationDomain = QStringLiteral("pendulo.validation");
constexpr qint64 multipleValidationErrorsCode = 1560;
// A required value is missing (for example a project without a name).
constexpr qint64 missingValueCode = 1570;

// Combines a new validation error with one that is already pending: the new one first, then the pending
// one, or the pending one's own detailed errors when it is itself combined.
PdError combineValidationErrors(const PdError &newError, const PdError &pending);

} // namespace StoreErrors
