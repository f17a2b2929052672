#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>

class QSettings;

// Typed access to the user's preferences. Owns the key names, their stored forms, the defaults applied
// when a key is absent and the normalisation of out-of-range values (see docs/settings.md).
class PdSettings : public QObject
{
    Q_OBJECT

public:
    explicit PdSettings(QSettings *store, QObject *parent = nullptr);
    ~PdSettings() override;

    // Values read once at creation.
    int recentItemsCount() const { return m_recentItemsCount; }
    bool recentItemsOrderedByDate() const { return m_recentItemsOrderedByDate; }
    bool recentItemsExcludeInvoiced() const { return m_recentItemsExcludeInvoiced; }
    bool endCurrentActivityOnTrack() const { return m_endCurrentActivityOnTrack; }

    // Values read from the store at each access.
    bool reportSidebarProjectsOrdered() const;
    bool reportSidebarTasksOrdered() const;
    bool skipMigrations() const;
    QString lastActivityText() const;
    void setLastActivityText(const QString &text);

    // Booleans stored as the texts "1" and "0"; results are cached until set through setBoolValue().
    bool boolForKey(const QString &key, bool defaultValue) const;
    void setBoolValue(bool value, const QString &key);

private:
    QVariant storedValue(const QString &key) const;
    void writeValue(const QString &key, const QVariant &value);

    QSettings *m_store;
    mutable QHash<QString, bool> m_boolCache;

    int m_recentItemsCount = 10;
    bool m_recentItemsOrderedByDate = true;
    bool m_recentItemsExcludeInvoiced = false;
    bool m_endCurrentActivityOnTrack = false;
};
