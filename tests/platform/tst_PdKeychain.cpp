#include "TestHome.h"
#include "linux/PdKeychain.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

// A service of its own, so that running the tests in a real session never touches Pendulo's token.
const QString TestService = QStringLiteral("com.penduloapp.keychain-test");
const QString Account = QStringLiteral("oauth2_token");
const char ProbeVariable[] = "PENDULO_KEYCHAIN_PROBE";

// Collects the item signals (creation and change of an item) of the login collection, the default
// collection of the test keyring.
class ItemSignals : public QObject
{
    Q_OBJECT

public:
    bool listen()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        const QString service = QStringLiteral("org.freedesktop.secrets");
        const QString path = QStringLiteral("/org/freedesktop/secrets/collection/login");
        const QString collection = QStringLiteral("org.freedesktop.Secret.Collection");
        return bus.connect(service, path, collection, QStringLiteral("ItemCreated"), this,
                           SLOT(onItem(QDBusMessage))) &&
               bus.connect(service, path, collection, QStringLiteral("ItemChanged"), this,
                           SLOT(onItem(QDBusMessage)));
    }

    QStringList paths;

public Q_SLOTS:
    void onItem(const QDBusMessage &signal)
    {
        paths.append(qdbus_cast<QDBusObjectPath>(signal.arguments().value(0)).path());
    }
};

// Runs in a child process without a reachable session bus: tries every call and prints the outcomes.
int probeWithoutSecretStore()
{
    PdKeychain keychain(TestService);
    const bool saved = keychain.saveGenericPassword(QStringLiteral("secret"), Account);
    const bool read = keychain.getGenericAccountPassword(Account).has_value();
    const bool deleted = keychain.deleteGenericPasswordForAccount(Account);
    std::printf("save=%d read=%d delete=%d error=%s\n", saved, read, deleted,
                qPrintable(keychain.lastError()));
    return 0;
}

QStringList filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    return files;
}

} // namespace

class TestPdKeychain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestHome::reset();
        // Only the failure test runs without a secret store of its own.
        if (qstrcmp(QTest::currentTestFunction(), "failsClearlyWhenSecretsCannotBeKept") == 0)
            return;
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("needs a D-Bus session with a Secret Service; run through scripts/test");
        for (const QString &account : {Account, QStringLiteral("oauth_token"), QStringLiteral("sentinel")})
            QVERIFY(m_keychain.deleteGenericPasswordForAccount(account));
    }

    void savesReadsReplacesAndDeletes_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("token") << QStringLiteral("sl.AbC-123_x") << QStringLiteral("sl.Zyx-987_y");
        QTest::newRow("non-ASCII") << QStringLiteral("Grüße ✓ 日本") << QStringLiteral("Ärger\nzwei Zeilen");
        QTest::newRow("long") << QString(4096, QLatin1Char('a')) << QString(8192, QLatin1Char('b'));
    }

    void savesReadsReplacesAndDeletes()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QCOMPARE(m_keychain.getGenericAccountPassword(Account), std::nullopt);
        QVERIFY(m_keychain.lastError().isEmpty());

        QVERIFY(m_keychain.saveGenericPassword(first, Account));
        QCOMPARE(m_keychain.getGenericAccountPassword(Account), first);
        QVERIFY(m_keychain.saveGenericPassword(second, Account));
        QCOMPARE(m_keychain.getGenericAccountPassword(Account), second);

        QVERIFY(m_keychain.deleteGenericPasswordForAccount(Account));
        QCOMPARE(m_keychain.getGenericAccountPassword(Account), std::nullopt);
        // A missing item counts as deleted.
        QVERIFY(m_keychain.deleteGenericPasswordForAccount(Account));
        QVERIFY(m_keychain.lastError().isEmpty());
    }

    void keepsAccountsAndServicesApart()
    {
        QVERIFY(m_keychain.saveGenericPassword(QStringLiteral("two"), Account));
        QVERIFY(m_keychain.saveGenericPassword(QStringLiteral("one"), QStringLiteral("oauth_token")));
        QCOMPARE(m_keychain.getGenericAccountPassword(Account), QStringLiteral("two"));
        QCOMPARE(m_keychain.getGenericAccountPassword(QStringLiteral("oauth_token")), QStringLiteral("one"));

        PdKeychain other(TestService + QStringLiteral(".other"));
        QCOMPARE(other.getGenericAccountPassword(Account), std::nullopt);
        QVERIFY(other.deleteGenericPasswordForAccount(Account));
        QCOMPARE(m_keychain.getGenericAccountPassword(Account), QStringLiteral("two"));

        QVERIFY(m_keychain.deleteGenericPasswordForAccount(QStringLiteral("oauth_token")));
        QCOMPARE(m_keychain.getGenericAccountPassword(Account), QStringLiteral("two"));
    }

    void sameTextWritesNothing()
    {
        ItemSignals items;
        QVERIFY(items.listen());
        QVERIFY(m_keychain.saveGenericPassword(QStringLiteral("Token"), Account));
        QTRY_VERIFY(!items.paths.isEmpty());
        const QString item = items.paths.first();
        items.paths.clear();

        // Saving the stored text again, then creating another item: the bus delivers signals in order, so
        // once the other item's signal is in, a write of the first would have shown up before it.
        QVERIFY(m_keychain.saveGenericPassword(QStringLiteral("Token"), Account));
        QVERIFY(m_keychain.saveGenericPassword(QStringLiteral("x"), QStringLiteral("sentinel")));
        QTRY_VERIFY(!items.paths.isEmpty() && items.paths.last() != item);
        QVERIFY2(!items.paths.contains(item), qPrintable(items.paths.join(u' ')));

        // Tokens are case-sensitive: a text that differs only in case is a new token and is stored.
        QVERIFY(m_keychain.saveGenericPassword(QStringLiteral("token"), Account));
        QCOMPARE(m_keychain.getGenericAccountPassword(Account), QStringLiteral("token"));
    }

    void refusesEmptyTextsAndAccounts()
    {
        QVERIFY(m_keychain.saveGenericPassword(QStringLiteral("kept"), Account));

        QTest::ignoreMessage(QtCriticalMsg, "KeychainError - trying to store empty item");
        QVERIFY(!m_keychain.saveGenericPassword(QString(), Account));
        QCOMPARE(m_keychain.getGenericAccountPassword(Account), QStringLiteral("kept"));

        QTest::ignoreMessage(QtCriticalMsg,
                             QRegularExpression(QStringLiteral("^KeychainError - \\(save\\) ")));
        QVERIFY(!m_keychain.saveGenericPassword(QStringLiteral("kept"), QString()));
        QCOMPARE(m_keychain.getGenericAccountPassword(QString()), std::nullopt);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral(
                                                "^KeychainError - \\(delete\\) failed to find")));
        QVERIFY(!m_keychain.deleteGenericPasswordForAccount(QString()));
        QCOMPARE(m_keychain.getGenericAccountPassword(Account), QStringLiteral("kept"));
    }

    void failsClearlyWhenSecretsCannotBeKept_data()
    {
        // Variables set for the child process ("NAME=value"), on top of an environment without a bus.
        QTest::addColumn<QStringList>("variables");
        QTest::addColumn<QString>("error");
        const QString unreachable =
            QStringLiteral("DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/test-bus");
        const QString noService = QStringLiteral("No keychain service available");
        QTest::newRow("unreachable bus") << QStringList{unreachable} << noService;
        QTest::newRow("no bus at all") << QStringList() << noService;
        // On KDE the library goes through KWallet, where it has a plain-file fallback.
        QTest::newRow("KWallet desktop")
            << QStringList{unreachable, QStringLiteral("XDG_CURRENT_DESKTOP=KDE"),
                           QStringLiteral("KDE_SESSION_VERSION=4")}
            << noService;
        QTest::newRow("no GLib event loop")
            << QStringList{QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") +
                               qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"),
                           QStringLiteral("QT_NO_GLIB=1")}
            << QStringLiteral(
                   "The keychain cannot be reached without the GLib event loop (QT_NO_GLIB is set)");
    }

    void failsClearlyWhenSecretsCannotBeKept()
    {
        QFETCH(QStringList, variables);
        QFETCH(QString, error);
        QTemporaryDir home(TestHome::dataHome() + QStringLiteral("/probe-XXXXXX"));
        QVERIFY(home.isValid());

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(ProbeVariable), QStringLiteral("1"));
        for (const char *variable :
             {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
            environment.insert(QString::fromLatin1(variable), home.path());
        // Without a display nothing may start a bus of its own.
        for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                                     "XDG_CURRENT_DESKTOP", "KDE_SESSION_VERSION", "DESKTOP_SESSION"})
            environment.remove(QString::fromLatin1(variable));
        for (const QString &variable : variables)
            environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));

        QProcess probe;
        probe.setProcessEnvironment(environment);
        probe.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(probe.waitForFinished(60000));
        const QString output = QString::fromUtf8(probe.readAllStandardOutput());
        const QString log = QString::fromUtf8(probe.readAllStandardError());
        QCOMPARE(probe.exitCode(), 0);
        QCOMPARE(output.trimmed(), QStringLiteral("save=0 read=0 delete=0 error=") + error);
        for (const QString &action : {QStringLiteral("(save) failed to retrieve keychain item"),
                                      QStringLiteral("(get) failed to retrieve keychain item"),
                                      QStringLiteral("(delete) failed to find keychain item")}) {
            const QString line = QStringLiteral("KeychainError - %1: %2").arg(action, error);
            QVERIFY2(log.contains(line), qPrintable(log));
        }
        QVERIFY2(filesBelow(home.path()).isEmpty(), qPrintable(filesBelow(home.path()).join(u' ')));
    }

private:
    PdKeychain m_keychain{TestService};
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(ProbeVariable))
        return probeWithoutSecretStore();
    TestPdKeychain test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_PdKeychain.moc"
