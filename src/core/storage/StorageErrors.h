#pragma once

#include "PdError.h"

// The errors of locating, opening and migrating the store, with their domains, codes and texts.
namespace StorageErrors {

inline const QString storeDomain = QStringLiteral("PD_STORE_ERROR");
inline const QString migrationDomain = QStringLiteral("Pendulo");
inline const QString applicationDomain = QStringLiteral("YOUR_ERROR_DOMAIN");
// File-system failures (creating, moving or copying folders and files).
inline const QString fileDomain = QStringLiteral("PD_FILE_ERROR");

constexpr int storeIsFolderCode = 101;
constexpr int dbFolderIsFileCode = 102;
constexpr int migrationCode = 8001;
constexpr int folderIsFileCode = 101;
constexpr int storeNotInitializedCode = 9999;

enum FileErrorCode
{
    CreateFolderFailed = 1,
    MoveFailed = 2,
    CopyFailed = 3
};

inline PdError storeIsFolder(const QString &storePath)
{
    return PdError::make(
        storeDomain, storeIsFolderCode,
        QStringLiteral("Expected a file to store application data, found a directory (%1).").arg(storePath));
}

inline PdError dbFolderIsFile(const QString &dbPath)
{
    return PdError::make(
        storeDomain, dbFolderIsFileCode,
        QStringLiteral("Expected a directory to store application data, found a file (%1).").arg(dbPath));
}

inline PdError migration(const QString &description)
{
    return PdError::make(migrationDomain, migrationCode, description);
}

inline PdError folderIsFile(const QString &dbPath)
{
    return PdError::make(
        applicationDomain, folderIsFileCode,
        QStringLiteral("Expected a folder to store application data, found a file (%1).").arg(dbPath));
}

inline PdError storeNotInitialized()
{
    return PdError::make(applicationDomain, storeNotInitializedCode,
                         QStringLiteral("Failed to initialize the store"),
                         QStringLiteral("There was an error building up the data file."));
}

inline PdError file(FileErrorCode code, const QString &description)
{
    return PdError::make(fileDomain, code, description);
}

} // namespace StorageErrors
