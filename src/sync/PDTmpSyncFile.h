#pragma once

#include <QString>

#include <optional>

class Context;
struct PdError;
class PDSyncFile;

// Description of one remote sync file during a run: a month file "YYYY-MM.json" or the deleted index
// "deleted.json", with the backend's revision of it and, once known, the month hash of its content.
// A plain value; its local record is a PDSyncFile (store() / remove()).
class PDTmpSyncFile
{
public:
    // Sync methods: 0 none, 1 Dropbox (whose revisions carry the prefix "dropbox").
    static constexpr qint64 syncMethodNone = 0;
    static constexpr qint64 syncMethodDropbox = 1;

    // A month file.
    PDTmpSyncFile(qint64 year, qint64 month, qint64 syncMethod = syncMethodNone,
                  const QString &revisionValue = {});
    // The deleted index.
    static PDTmpSyncFile deletedIndexFile(qint64 syncMethod = syncMethodNone,
                                          const QString &revisionValue = {});

    // Recognises a remote path or name: "[/][folder/]YYYY-MM.json" or "[/][folder/]deleted.json". With
    // a folder, the name must lie directly in exactly that folder (case-sensitive); without one, the
    // folder part is not looked at. A month outside 1..12 or year 0 is no sync file.
    static std::optional<PDTmpSyncFile> fromFileName(const QString &fileName, const QString &pathPrefix,
                                                     qint64 syncMethod, const QString &revisionValue);
    // The same recognition for a file a listing reports as deleted (method 0, no revision).
    static std::optional<PDTmpSyncFile> deletedFileFromFileName(const QString &fileName,
                                                                const QString &pathPrefix);
    // The file a local record stands for, with the revision value when the record's revision belongs to
    // the method (a foreign prefix gives none); none for a record whose name is no sync file.
    static std::optional<PDTmpSyncFile> fromSyncFile(const PDSyncFile *record, qint64 syncMethod);

    // The revision prefix of a method: "dropbox" for 1, none (null) otherwise.
    static QString revisionPrefix(qint64 syncMethod);
    // "dropbox:<value>" for method 1, the value alone otherwise; null without a value.
    static QString composedRevision(qint64 syncMethod, const QString &revisionValue);

    qint64 year() const { return m_year; }
    qint64 month() const { return m_month; }
    bool isDeletedIndexFile() const { return m_isDeletedIndexFile; }
    bool wasDeleted() const { return m_wasDeleted; }
    void setWasDeleted(bool wasDeleted) { m_wasDeleted = wasDeleted; }
    qint64 syncMethod() const { return m_syncMethod; }
    // Null when absent.
    QString revisionValue() const { return m_revisionValue; }
    QString activityHash() const { return m_activityHash; }
    void setSyncMethod(qint64 syncMethod, const QString &revisionValue);
    void setActivityHash(const QString &activityHash) { m_activityHash = activityHash; }

    // "deleted" or "2016-03".
    QString name() const;
    QString fileName() const { return name() + QStringLiteral(".json"); }
    QString revision() const { return composedRevision(m_syncMethod, m_revisionValue); }

    // Writes the record of this file (name, composed revision, hash) into the context, leaving exactly
    // one record of that name. Does not save. False when the records cannot be read.
    bool store(Context &context, PdError *error = nullptr) const;
    // Deletes every record of this file's name. Does not save. False when the records cannot be read.
    bool remove(Context &context, PdError *error = nullptr) const;

    bool operator==(const PDTmpSyncFile &other) const = default;

private:
    PDTmpSyncFile() = default;

    qint64 m_year = 0;
    qint64 m_month = 0;
    bool m_isDeletedIndexFile = false;
    bool m_wasDeleted = false;
    qint64 m_syncMethod = syncMethodNone;
    QString m_revisionValue;
    QString m_activityHash;
};
