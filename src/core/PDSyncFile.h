#pragma once

#include "store/StoredObject.h"

#include <QString>

#include <optional>

// The local record of one remote sync file: its name without ".json" ("2016-03" or "deleted"), the
// revision last merged or written and the month hash of that content.
class PDSyncFile : public StoredObject
{
public:
    static constexpr EntityType entityType = EntityType::SyncFile;
    EntityType entity() const override { return entityType; }

    QString name() const { return m_name; }
    void setName(const QString &name);
    QString revision() const { return m_revision; }
    void setRevision(const QString &revision);
    QString activityHash() const { return m_activityHash; }
    void setActivityHash(const QString &activityHash);

    // Year and month of a month file's name "YYYY-MM". Only for month files: asking the "deleted"
    // record is a programming error.
    qint64 year() const;
    qint64 month() const;

    // Whether the revision has a ":" and the part before the first one equals the prefix exactly.
    bool hasRevisionPrefix(const QString &prefix) const;

protected:
    QVariantList columnValues() const override;
    void setColumnValues(const QVariantList &values) override;

private:
    friend class Context;
    explicit PDSyncFile(Context *context)
        : StoredObject(context)
    {}

    void parseName() const;

    QString m_name;
    QString m_revision;
    QString m_activityHash;
    mutable std::optional<qint64> m_year;
    mutable std::optional<qint64> m_month;
    mutable bool m_nameParsed = false;
};
