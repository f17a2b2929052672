#pragma once

#include "LocalTimeZone.h"

#include <QObject>

class QFileSystemWatcher;
class QTimer;

// Follows changes of the system time zone while the program runs (for example `timedatectl set-timezone`,
// which replaces the "localtime" link): sets TZ to the new zone so local times follow it. It only acts when
// the process pinned TZ itself (LocalTimeZone::pinProcessZone) and nobody changed TZ since.
//
// It watches the folder holding the link: a watch on the link itself would follow it to the zone file,
// which does not change.
class LocalTimeZoneWatcher : public QObject
{
    Q_OBJECT

public:
    explicit LocalTimeZoneWatcher(const SystemZonePaths &paths = {}, QObject *parent = nullptr);

    bool isWatching() const;

Q_SIGNALS:
    // TZ now holds `zone` and local-time conversions use it.
    void zoneChanged(const QString &zone);

private:
    void checkZone();

    SystemZonePaths m_paths;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_settle = nullptr;
};
