#include "linux/DBusNotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

// A stand-in for the desktop's notification service on a private bus.
class NotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown
    {
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };
    QList<Shown> shown;
    QList<uint> closed;
    uint nextId = 7;

public Q_SLOTS:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int)
    {
        shown.append({summary, body, actions, hints});
        return nextId++;
    }
    void CloseNotification(uint id) { closed.append(id); }
};

// Notifications through org.freedesktop.Notifications: shown with a "default" action, and only clicks
// on our own reported.
class TestDBusNotifications : public QObject
{
    Q_OBJECT

private:
    QProcess m_bus;
    QString m_address;
    NotificationServer m_server;

    QDBusConnection serverConnection() const { return QDBusConnection(QStringLiteral("server")); }

    void emitSignal(const QString &name, const QVariantList &arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(path, service, name);
        signal.setArguments(arguments);
        QVERIFY(serverConnection().send(signal));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        if (!m_bus.waitForStarted(5000))
            QSKIP("dbus-daemon is not installed");
        QVERIFY(m_bus.waitForReadyRead(5000));
        m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
        QDBusConnection server = QDBusConnection::connectToBus(m_address, QStringLiteral("server"));
        QVERIFY(server.isConnected());
        QVERIFY(server.registerService(service));
        QVERIFY(server.registerObject(path, &m_server, QDBusConnection::ExportAllSlots));
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        m_bus.kill();
        m_bus.waitForFinished();
    }

    void showsNotificationWithDefaultAction()
    {
        DBusNotifications notifications(QDBusConnection::connectToBus(m_address, QStringLiteral("client")));
        notifications.show(QStringLiteral("Pendulo"), QStringLiteral("You are not tracking"));
        QTRY_COMPARE(m_server.shown.size(), 1);
        const NotificationServer::Shown shown = m_server.shown.first();
        QCOMPARE(shown.summary, QStringLiteral("Pendulo"));
        QCOMPARE(shown.body, QStringLiteral("You are not tracking"));
        QCOMPARE(shown.actions.value(0), QStringLiteral("default"));
        QCOMPARE(shown.hints.value(QStringLiteral("desktop-entry")).toString(),
                 QStringLiteral("com.penduloapp.Pendulo"));
    }

    void onlyClicksOnOurOwnCount()
    {
        DBusNotifications notifications(QDBusConnection::connectToBus(m_address, QStringLiteral("client")));
        QSignalSpy clicked(&notifications, &Notifications::clicked);
        m_server.nextId = 40;
        notifications.show(QStringLiteral("Pendulo"), QStringLiteral("Still working on it?"));
        QTRY_COMPARE(m_server.shown.size(), 2);
        QTest::qWait(300); // the reply with the id reaches the client

        emitSignal(QStringLiteral("ActionInvoked"), {uint(99), QStringLiteral("default")}); // someone else's
        emitSignal(QStringLiteral("ActionInvoked"), {uint(40), QStringLiteral("other")});
        emitSignal(QStringLiteral("ActionInvoked"), {uint(40), QStringLiteral("default")});
        QTRY_COMPARE(clicked.size(), 1);

        emitSignal(QStringLiteral("NotificationClosed"), {uint(40), uint(2)});
        emitSignal(QStringLiteral("ActionInvoked"), {uint(40), QStringLiteral("default")});
        QTest::qWait(200);
        QCOMPARE(clicked.size(), 1);
    }

    void closeAllWithdrawsOpenNotifications()
    {
        DBusNotifications notifications(QDBusConnection::connectToBus(m_address, QStringLiteral("client")));
        m_server.nextId = 60;
        m_server.closed.clear();
        notifications.show(QStringLiteral("Pendulo"), QStringLiteral("One"));
        notifications.show(QStringLiteral("Pendulo"), QStringLiteral("Two"));
        QTest::qWait(200);
        notifications.closeAll();
        QTRY_COMPARE(m_server.closed.size(), 2);
        std::sort(m_server.closed.begin(), m_server.closed.end());
        QCOMPARE(m_server.closed, QList<uint>({60, 61}));
    }
};

QTEST_GUILESS_MAIN(TestDBusNotifications)
#include "tst_DBusNotifications.moc"
