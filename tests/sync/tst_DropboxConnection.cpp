#include "DropboxAuthorization.h"
#include "DropboxConnection.h"
#include "PDDropboxSyncBackend.h"

#include "FakeDropboxServer.h"
#include "PdSettings.h"
#include "fakes/FakeKeychain.h"
#include "fakes/FakeNotifications.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QUrl Page(QStringLiteral("https://www.dropbox.com/oauth2/authorize"));
const QString Key = QStringLiteral("abc123def456ghi");

} // namespace

// Handing back the address Dropbox redirected to: a real service process asks the fake server for
// the account's name.
class TestDropboxConnection : public QObject
{
    Q_OBJECT

private:
    FakeDropboxServer m_server;
    QTemporaryDir m_folder;
    std::unique_ptr<QSettings> m_store;
    std::unique_ptr<PdSettings> m_settings;
    std::unique_ptr<FakeKeychain> m_keychain;
    std::unique_ptr<FakeNotifications> m_notifications;

    std::unique_ptr<DropboxConnection> connection(DropboxAuthorization &authorization)
    {
        return std::make_unique<DropboxConnection>(authorization, *m_settings, *m_keychain, *m_notifications);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_server.exportEnvironment();
        m_server.addAccount(QStringLiteral("dbid:7"), QStringLiteral("Ada Lovelace"));
        m_server.addToken(QStringLiteral("token-7"), QStringLiteral("dbid:7"));
    }

    void init()
    {
        m_store = std::make_unique<QSettings>(m_folder.filePath(QStringLiteral("settings.ini")),
                                              QSettings::IniFormat);
        m_store->clear();
        m_settings = std::make_unique<PdSettings>(m_store.get());
        m_keychain = std::make_unique<FakeKeychain>();
        m_notifications = std::make_unique<FakeNotifications>();
    }

    void connectsTheAccountAndLearnsItsName()
    {
        QSignalSpy changed(PdDropboxAuthNotifier::instance(), &PdDropboxAuthNotifier::pdDropboxAuthChanged);
        DropboxAuthorization authorization(Page, Key);
        QVERIFY(authorization.authorizationUrl());
        const QUrl returned(QStringLiteral("penduloapp://dropbox#access_token=token-7&token_type=bearer"
                                           "&account_id=dbid%3A7&state=%1")
                                .arg(authorization.pendingState()));

        QVERIFY(connection(authorization)->handleRedirect(returned));
        QCOMPARE(m_keychain->items().value(QStringLiteral("oauth2_token")), QStringLiteral("token-7"));
        QCOMPARE(m_settings->dropboxAccountID(), QStringLiteral("dbid:7"));
        QCOMPARE(m_notifications->shown,
                 (QList<QPair<QString, QString>>{{"Dropbox", "Connected with Dropbox"}}));
        QTRY_COMPARE(m_settings->dropboxAccountName(), QStringLiteral("Ada Lovelace"));
        QCOMPARE(changed.count(), 2); // connected, then named
        QCOMPARE(m_server.requestsFor(QStringLiteral("users/get_current_account")).size(), 1);

        // The same address again is no answer to a request of ours any more.
        m_keychain->deleteGenericPasswordForAccount(QStringLiteral("oauth2_token"));
        QVERIFY(!connection(authorization)->handleRedirect(returned));
        QVERIFY(m_keychain->items().isEmpty());
    }

    void ignoresAddressesThatConnectNothing_data()
    {
        QTest::addColumn<QString>("fragment"); // STATE stands for the pending state value

        QTest::newRow("mac token") << "access_token=token-7&token_type=mac&account_id=dbid:7&state=STATE";
        QTest::newRow("foreign state") << "access_token=token-7&token_type=bearer&account_id=dbid:7&state=x";
        QTest::newRow("no state") << "access_token=token-7&token_type=bearer&account_id=dbid:7";
        QTest::newRow("refused by the user") << "error=access_denied&state=STATE";
    }

    void ignoresAddressesThatConnectNothing()
    {
        QFETCH(QString, fragment);
        DropboxAuthorization authorization(Page, Key);
        QVERIFY(authorization.authorizationUrl());
        const QUrl returned(QStringLiteral("penduloapp://dropbox#") +
                            fragment.replace(QStringLiteral("STATE"), authorization.pendingState()));

        QVERIFY(!connection(authorization)->handleRedirect(returned));
        QVERIFY(m_keychain->items().isEmpty());
        QCOMPARE(m_settings->dropboxAccountID(), QString());
        QVERIFY(m_notifications->shown.isEmpty());
    }

    void saysSoWhenTheKeychainRefusesTheToken()
    {
        DropboxAuthorization authorization(Page, Key);
        QVERIFY(authorization.authorizationUrl());
        m_keychain->setFailing(true);
        const QUrl returned(QStringLiteral("penduloapp://dropbox#access_token=token-7&token_type=bearer"
                                           "&account_id=dbid:7&state=%1")
                                .arg(authorization.pendingState()));

        QVERIFY(!connection(authorization)->handleRedirect(returned));
        QCOMPARE(m_settings->dropboxAccountID(), QString());
        QCOMPARE(m_notifications->shown.size(), 1);
        QVERIFY(m_notifications->shown.first().second.startsWith(
            QStringLiteral("Could not connect with Dropbox")));
    }
};

QTEST_GUILESS_MAIN(TestDropboxConnection)
#include "tst_DropboxConnection.moc"
