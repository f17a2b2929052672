#include "PdSettings.h"

#include <QSettings>

#include <algorithm>

PdSettings::PdSettings(QSettings *store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
    const QVariant count = storedValue(QStringLiteral("recentItemsCount"));
    if (count.isValid())
        m_recentItemsCount = std::clamp(count.toInt(), 0, 50);
    m_recentItemsOrderedByDate = storedValue(QStringLiteral("recentItemsOrderedBy")).toString() != u"text";
    m_recentItemsExcludeInvoiced = storedValue(QStringLiteral("recentItemsExcludeInvoiced")).toBool();
    m_endCurrentActivityOnTrack = storedValue(QStringLiteral("endCurrentActivityOnTrack")).toBool();
}

PdSettings::~PdSettings() = default;

bool PdSettings::reportSidebarProjectsOrdered() const
{
    return boolForKey(QStringLiteral("report_sidebar_projects_ordered"), false);
}

bool PdSettings::reportSidebarTasksOrdered() const
{
    return boolForKey(QStringLiteral("report_sidebar_tasks_ordered"), false);
}

bool PdSettings::skipMigrations() const
{
    return storedValue(QStringLiteral("skipMigrations")).toBool();
}

QString PdSettings::lastActivityText() const
{
    return storedValue(QStringLiteral("lastActivityText")).toString();
}

void PdSettings::setLastActivityText(const QString &text)
{
    writeValue(QStringLiteral("lastActivityText"), text);
}

bool PdSettings::boolForKey(const QString &key, bool defaultValue) const
{
    const auto cached = m_boolCache.constFind(key);
    if (cached != m_boolCache.constEnd())
        return *cached;
    const QVariant stored = storedValue(key);
    const bool value = stored.isValid() ? stored.toString() == u"1" : defaultValue;
    m_boolCache.insert(key, value);
    return value;
}

void PdSettings::setBoolValue(bool value, const QString &key)
{
    writeValue(key, value ? QStringLiteral("1") : QStringLiteral("0"));
    m_boolCache.remove(key);
}

QVariant PdSettings::storedValue(const QString &key) const
{
    return m_store->value(key);
}

void PdSettings::writeValue(const QString &key, const QVariant &value)
{
    m_store->setValue(key, value);
    m_store->sync();
}
