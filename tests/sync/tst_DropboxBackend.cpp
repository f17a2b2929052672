#include "PDDropboxSyncBackend.h"

#include "FakeDropboxServer.h"
#include "PdSettings.h"
#include "fakes/FakeKeychain.h"

#include <QDir>
#include <QJsonDocument>
#include <QMutex>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// "name|revision|deleted" of each file, in order.
QStringList describe(const QList<PDTmpSyncFile> &files)
{
    QStringList lines;
    for (const PDTmpSyncFile &file : files)
        lines << QStringLiteral("%1|%2|%3")
                     .arg(file.name(), file.revisionValue())
                     .arg(file.wasDeleted() ? 1 : 0);
    return lines;
}

QJsonArray entries(const char *json)
{
    return QJsonDocument::fromJson(json).array();
}

// What the completions and the error handler of backend operations reported, in order ("error: ..."
// or "result: ..."); they arrive on the service connection's thread.
struct Outcome
{
    mutable QMutex mutex;
    QStringList reports;

    void add(const QString &report)
    {
        QMutexLocker lock(&mutex);
        reports.append(report);
    }
    qsizetype count() const
    {
        QMutexLocker lock(&mutex);
        return reports.size();
    }
    QString last() const
    {
        QMutexLocker lock(&mutex);
        return reports.constLast();
    }
};

} // namespace

class TestDropboxBackend : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    std::unique_ptr<QSettings> m_store;
    std::unique_ptr<PdSettings> m_settings;
    FakeKeychain m_keychain;

private Q_SLOTS:
    void init()
    {
        m_store = std::make_unique<QSettings>(m_folder.filePath(QStringLiteral("settings.ini")),
                                              QSettings::IniFormat);
        m_store->clear();
        m_settings = std::make_unique<PdSettings>(m_store.get());
        m_keychain = FakeKeychain();
    }

    void turnsTheListingIntoSyncFiles_data()
    {
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<QStringList>("files");

        QTest::newRow("month file")
            << QByteArray(R"([{".tag":"file","path_lower":"/sync/2016-03.json","rev":"a1b2"}])")
            << QStringList{"2016-03|a1b2|0"};
        QTest::newRow("deleted index and deletion")
            << QByteArray(R"([{".tag":"file","path_lower":"/sync/deleted.json","rev":"r9","size":10},
                              {".tag":"deleted","path_lower":"/sync/2016-04.json"}])")
            << QStringList{"deleted|r9|0", "2016-04||1"};
        QTest::newRow("other names and folders dropped")
            << QByteArray(R"([{".tag":"file","path_lower":"/sync/notes.txt","rev":"1"},
                              {".tag":"file","path_lower":"/other/2016-03.json","rev":"2"},
                              {".tag":"folder","path_lower":"/sync/2016-05.json"},
                              {".tag":"file","path_lower":"/sync/2016-06.json","rev":"3"}])")
            << QStringList{"2016-06|3|0"};
        QTest::newRow("malformed entries skipped")
            << QByteArray(R"([{".tag":"file","path_lower":"/sync/2016-01.json"},
                              {".tag":"file","path_lower":"/sync/2016-02.json","rev":42},
                              {".tag":"file","path_lower":"/sync/2016-03.json","rev":""},
                              {".tag":"file","path_lower":7,"rev":"x"},
                              {".tag":"deleted"},
                              {"path_lower":"/sync/2016-04.json","rev":"x"},
                              {".tag":["file"],"path_lower":"/sync/2016-04.json","rev":"x"},
                              17, "text", null, [],
                              {".tag":"file","path_lower":"/sync/2016-08.json","rev":"ok"}])")
            << QStringList{"2016-08|ok|0"};
        QTest::newRow("listing order kept")
            << QByteArray(R"([{".tag":"file","path_lower":"/sync/2017-01.json","rev":"b"},
                              {".tag":"file","path_lower":"/sync/2016-01.json","rev":"a"}])")
            << QStringList{"2017-01|b|0", "2016-01|a|0"};
    }

    void turnsTheListingIntoSyncFiles()
    {
        QFETCH(QByteArray, listing);
        QFETCH(QStringList, files);
        PDDropboxSyncBackend backend(*m_settings, m_keychain);
        QStringList progress;
        backend.setProgressHandler([&](const QString &message) { progress << message; });

        const auto result = backend.getFilesToMerge(entries(listing.constData()), QStringLiteral("cursor-2"));
        QVERIFY(result);
        QCOMPARE(describe(*result), files);
        QCOMPARE(progress, QStringList{"Merging changes"});
        QCOMPARE(backend.cursor(), QStringLiteral("cursor-2"));
    }

    void listingWithoutEntriesKeepsTheCursor()
    {
        m_settings->setDropboxHash(QStringLiteral("cursor-1"));
        PDDropboxSyncBackend backend(*m_settings, m_keychain);
        QCOMPARE(backend.cursor(), QStringLiteral("cursor-1"));
        QCOMPARE(backend.getFilesToMerge(std::nullopt, QStringLiteral("cursor-2")), std::nullopt);
        QCOMPARE(backend.cursor(), QStringLiteral("cursor-1"));

        // The listing's cursor is kept in memory only until the savepoint.
        QVERIFY(backend.getFilesToMerge(QJsonArray(), QStringLiteral("cursor-3")));
        QCOMPARE(m_settings->dropboxHash(), QStringLiteral("cursor-1"));
        backend.saveSavepoint();
        QCOMPARE(m_settings->dropboxHash(), QStringLiteral("cursor-3"));
        backend.deleteSavepoint();
        QCOMPARE(backend.cursor(), std::nullopt);
        QCOMPARE(m_settings->dropboxHash(), QString());
    }

    void readsTheRevisionFromMetadata_data()
    {
        QTest::addColumn<QByteArray>("metadata");
        QTest::addColumn<QString>("revision"); // null: "No revision found in metadata"

        QTest::newRow("rev") << QByteArray(R"({"name":"2016-03.json","rev":"015a1b2"})")
                             << QStringLiteral("015a1b2");
        QTest::newRow("no rev") << QByteArray(R"({"name":"2016-03.json"})") << QString();
        QTest::newRow("empty rev") << QByteArray(R"({"rev":""})") << QString();
        QTest::newRow("number") << QByteArray(R"({"rev":12})") << QString();
        QTest::newRow("array") << QByteArray(R"(["rev"])") << QString();
        QTest::newRow("not JSON") << QByteArray("rev=1") << QString();
    }

    void readsTheRevisionFromMetadata()
    {
        QFETCH(QByteArray, metadata);
        QFETCH(QString, revision);
        QString error;
        const std::optional<QString> read = PDDropboxSyncBackend::getRevisionFromMetadata(metadata, &error);
        if (revision.isNull()) {
            QCOMPARE(read, std::nullopt);
            QCOMPARE(error, QStringLiteral("No revision found in metadata"));
        } else {
            QCOMPARE(read, revision);
        }
        QCOMPARE(PDDropboxSyncBackend::getRevisionFromMetadata(std::nullopt, &error), std::nullopt);
    }

    void copiesTheWholeDownloadIntoTheCache()
    {
        QByteArray content;
        for (int i = 0; i < 700; ++i)
            content += QByteArray::number(i) + ',';
        QVERIFY(content.size() > 2048);
        QFile download(m_folder.filePath(QStringLiteral("download")));
        QVERIFY(download.open(QIODevice::ReadWrite | QIODevice::Truncate));
        download.write(content);
        // The handle is somewhere in the middle; the copy starts at the beginning anyway.
        QVERIFY(download.seek(100));

        const QString cache = m_folder.filePath(QStringLiteral("cache"));
        QVERIFY(QDir().mkpath(cache));
        const QString target = QDir(cache).filePath(QStringLiteral("2016-03.json"));
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x'));
        old.close();

        QString error;
        QVERIFY2(PDDropboxSyncBackend::copyFile(download, target, &error), qPrintable(error));
        QFile copied(target);
        QVERIFY(copied.open(QIODevice::ReadOnly));
        QCOMPARE(copied.readAll(), content);
        QCOMPARE(QDir(cache).entryList(QDir::Files), QStringList{"2016-03.json"});

        // A cache folder that is gone fails without touching anything.
        QFile again(download.fileName());
        QVERIFY(again.open(QIODevice::ReadOnly));
        QVERIFY(!PDDropboxSyncBackend::copyFile(again, m_folder.filePath(QStringLiteral("gone/2016-03.json")),
                                                &error));
        QVERIFY(!error.isEmpty());
    }

    void tellsWhetherAnAccountIsConnected_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("oldToken");
        QTest::addColumn<QString>("oldSecret");
        QTest::addColumn<bool>("connected");

        QTest::newRow("bearer token") << "t" << QString() << QString() << true;
        QTest::newRow("old token with secret") << QString() << "o"
                                               << "s" << true;
        QTest::newRow("old token without secret") << QString() << "o" << QString() << false;
        QTest::newRow("empty bearer token") << "" << QString() << QString() << false;
        QTest::newRow("empty old secret") << ""
                                          << "o"
                                          << "" << false;
        QTest::newRow("nothing") << QString() << QString() << QString() << false;
    }

    void tellsWhetherAnAccountIsConnected()
    {
        QFETCH(QString, token);
        QFETCH(QString, oldToken);
        QFETCH(QString, oldSecret);
        QFETCH(bool, connected);
        const QStringList accounts{"oauth2_token", "oauth_token", "oauth_token_secret"};
        const QStringList values{token, oldToken, oldSecret};
        for (int i = 0; i < 3; ++i)
            if (!values[i].isNull())
                m_keychain.setItem(accounts[i], values[i]);
        QCOMPARE(PDDropboxSyncBackend::isDropboxConnected(m_keychain), connected);

        if (!connected) {
            // A run then ends at once, before any connection to the service.
            PDDropboxSyncBackend backend(*m_settings, m_keychain);
            QStringList errors;
            backend.setErrorHandler([&](const QString &message) { errors << message; });
            bool completed = false;
            backend.initializeBackend([&] { completed = true; });
            QVERIFY(!completed);
            QCOMPARE(errors,
                     QStringList{"Dropbox is not connected. Please configure Dropbox sync in preferences"});
        }
    }

    void connectsAndDisconnectsTheAccount()
    {
        QSignalSpy changed(PdDropboxAuthNotifier::instance(), &PdDropboxAuthNotifier::pdDropboxAuthChanged);
        PDDropboxSyncBackend backend(*m_settings, m_keychain);
        QVERIFY(backend.connectDropboxAccountWithName(QStringLiteral("Ada"), QStringLiteral("dbid:1"),
                                                      QStringLiteral("token-1")));
        QCOMPARE(m_keychain.items().value(QStringLiteral("oauth2_token")), QStringLiteral("token-1"));
        QCOMPARE(m_settings->dropboxAccountName(), QStringLiteral("Ada"));
        QCOMPARE(m_settings->dropboxAccountID(), QStringLiteral("dbid:1"));
        QCOMPARE(changed.count(), 1);

        m_keychain.setItem(QStringLiteral("oauth_token"), QStringLiteral("o"));
        m_keychain.setItem(QStringLiteral("oauth_token_secret"), QStringLiteral("s"));
        m_settings->setDropboxHash(QStringLiteral("cursor"));
        m_settings->setDropboxSyncDate(QDateTime(QDate(2016, 3, 1), QTime(10, 0)));
        backend.disconnectDropbox();
        QVERIFY(m_keychain.items().isEmpty());
        QCOMPARE(m_settings->dropboxAccountName(), QString());
        QCOMPARE(m_settings->dropboxAccountID(), QString());
        QCOMPARE(m_settings->dropboxHash(), QString());
        QVERIFY(!m_settings->dropboxSyncDate().isValid());
        QCOMPARE(changed.count(), 2);
        QVERIFY(!PDDropboxSyncBackend::isDropboxConnected(m_keychain));
    }

    void aTokenTheKeychainRefusesConnectsNothing()
    {
        QSignalSpy changed(PdDropboxAuthNotifier::instance(), &PdDropboxAuthNotifier::pdDropboxAuthChanged);
        m_keychain.setFailing(true);
        PDDropboxSyncBackend backend(*m_settings, m_keychain);
        QVERIFY(
            !backend.connectDropboxAccountWithName(QString(), QStringLiteral("dbid:1"), QStringLiteral("t")));
        QCOMPARE(m_settings->dropboxAccountID(), QString());
        QCOMPARE(changed.count(), 0);
    }

    // Transfers through the service process against the fake server.
    void guardsTransfersWithRevisions()
    {
        FakeDropboxServer server;
        QVERIFY(server.start());
        server.exportEnvironment();
        server.addAccount(QStringLiteral("dbid:1"), QStringLiteral("Ada"));
        server.addToken(QStringLiteral("token-1"), QStringLiteral("dbid:1"));
        const QByteArray content = R"({"activities":[]})";
        const QString rev =
            server.putFile(QStringLiteral("dbid:1"), QStringLiteral("/sync/2016-03.json"), content);
        m_keychain.setItem(QStringLiteral("oauth2_token"), QStringLiteral("token-1"));
        m_settings->setDropboxHash(QStringLiteral("cursor-1"));

        PDDropboxSyncBackend backend(*m_settings, m_keychain);
        auto outcome = std::make_shared<Outcome>();
        backend.setErrorHandler(
            [outcome](const QString &message) { outcome->add(QStringLiteral("error: ") + message); });
        const auto step = [&](const std::function<void()> &operation) {
            const qsizetype before = outcome->count();
            operation();
            if (!QTest::qWaitFor([&] { return outcome->count() > before; }, 20000))
                return QStringLiteral("no answer");
            return outcome->last();
        };
        const auto result = [outcome](const QString &text) {
            outcome->add(QStringLiteral("result: ") + text);
        };
        const QString cache = m_folder.filePath(QStringLiteral("2016-03.json"));

        QCOMPARE(step([&] { backend.initializeBackend([=] { result("ready"); }); }),
                 QStringLiteral("result: ready"));
        const auto download = [&](const QString &name, const std::optional<PDTmpSyncFile> &expected) {
            return step([&] {
                backend.downloadFileWithName(name, expected, cache,
                                             [=](bool exists) { result(exists ? "exists" : "missing"); });
            });
        };
        QCOMPARE(
            download("2016-03.json", PDTmpSyncFile(2016, 3, 1, "0000stale")),
            QStringLiteral("error: Invalid revision for 2016-03.json file. Expected revision: 0000stale, "
                           "received revision: %1. File has been changed on Dropbox.")
                .arg(rev));
        QVERIFY(!QFile::exists(cache));
        QCOMPARE(download("2016-03.json", PDTmpSyncFile(2016, 3, 1, rev)), QStringLiteral("result: exists"));
        QFile cached(cache);
        QVERIFY(cached.open(QIODevice::ReadOnly));
        QCOMPARE(cached.readAll(), content);
        QCOMPARE(download("2016-04.json", std::nullopt), QStringLiteral("result: missing"));

        cached.close();
        QVERIFY(cached.open(QIODevice::WriteOnly | QIODevice::Truncate));
        cached.write(R"({"activities":[{"uid":"1"}]})");
        cached.close();

        // An upload over a version that is no longer there forgets the cursor.
        const QString failed =
            step([&] { backend.uploadFile(cache, PDTmpSyncFile(2016, 3, 1, "0000stale"), result); });
        QVERIFY2(failed.startsWith("error: ") && failed.endsWith("\n\nPlease retry sync"),
                 qPrintable(failed));
        QTRY_COMPARE(m_settings->dropboxHash(), QString());
        QCOMPARE(backend.cursor(), std::nullopt);

        const QString uploaded =
            step([&] { backend.uploadFile(cache, PDTmpSyncFile(2016, 3, 1, rev), result); });
        QCOMPARE(uploaded, "result: " + server.fileRevision(QStringLiteral("dbid:1"),
                                                            QStringLiteral("/sync/2016-03.json")));
        QVERIFY(uploaded != "result: " + rev);

        QCOMPARE(step([&] { backend.deleteFile(PDTmpSyncFile(2016, 3), [=] { result("deleted"); }); }),
                 QStringLiteral("result: deleted"));
        QVERIFY(!server.fileContent(QStringLiteral("dbid:1"), QStringLiteral("/sync/2016-03.json")));

        server.expireToken(QStringLiteral("token-1"));
        const QString refused =
            step([&] { backend.deleteFile(PDTmpSyncFile(2016, 4), [=] { result("deleted"); }); });
        QVERIFY2(refused.startsWith(QStringLiteral("error: ")), qPrintable(refused));
    }
};

QTEST_GUILESS_MAIN(TestDropboxBackend)
#include "tst_DropboxBackend.moc"
