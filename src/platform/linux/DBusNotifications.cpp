#include "linux/DBusNotifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QLoggingCategory>
#include <QVariantMap>

Q_LOGGING_CATEGORY(lcNotifications, "pendulo.platform.notifications")

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
const QString defaultAction = QStringLiteral("default");
const QString desktopEntry = QStringLiteral("com.penduloapp.Pendulo");

} // namespace

DBusNotifications::DBusNotifications(const QDBusConnection &bus, QObject *parent)
    : Notifications(parent)
    , m_bus(bus)
{
    // QtDBus connects bus signals by slot signature only.
    m_bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint)));
}

void DBusNotifications::show(const QString &title, const QString &body)
{
    QDBusMessage notify = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), desktopEntry}};
    notify << QStringLiteral("Pendulo") << uint(0) << desktopEntry << title << body
           << QStringList{defaultAction, tr("Open")} << hints << int(-1);

    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        QDBusPendingReply<uint> reply = *call;
        if (reply.isError())
            qCWarning(lcNotifications) << "Notification not shown:" << reply.error().message();
        else
            m_ids.insert(reply.value());
        call->deleteLater();
    });
}

void DBusNotifications::closeAll()
{
    for (uint id : std::as_const(m_ids)) {
        QDBusMessage close =
            QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("CloseNotification"));
        close << id;
        m_bus.asyncCall(close);
    }
    m_ids.clear();
}

void DBusNotifications::onActionInvoked(uint id, const QString &actionKey)
{
    if (actionKey == defaultAction && m_ids.contains(id))
        Q_EMIT clicked();
}

void DBusNotifications::onNotificationClosed(uint id, uint)
{
    m_ids.remove(id);
}
