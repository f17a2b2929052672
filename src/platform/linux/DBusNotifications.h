#pragma once

#include "Notifications.h"

#include <QDBusConnection>
#include <QSet>

// Notifications through the desktop's org.freedesktop.Notifications service. Each notification offers
// the "default" action, which the desktop invokes when the notification is clicked; only the ids this
// object received from Notify count, so clicks on other programs' notifications are ignored.
class DBusNotifications final : public Notifications
{
    Q_OBJECT

public:
    explicit DBusNotifications(const QDBusConnection &bus = QDBusConnection::sessionBus(),
                               QObject *parent = nullptr);

    void show(const QString &title, const QString &body) override;
    void closeAll() override;

private Q_SLOTS:
    void onActionInvoked(uint id, const QString &actionKey);
    void onNotificationClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    QSet<uint> m_ids;
};
