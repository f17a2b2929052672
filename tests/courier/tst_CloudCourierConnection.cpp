// The Dropbox service through its real process boundary: CloudCourierConnection starts pendulo-courier,
// which talks to the fake Dropbox server.

#include "CloudCourierConnection.h"
#include "CourierMessage.h"
#include "FakeDropboxServer.h"
#include "FrameCodec.h"

#include <QCborArray>
#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString AccountA = QStringLiteral("dbid:AAH4f99T0taONIb-OurWxbNQ6ywGRopQngc");
const QString AccountB = QStringLiteral("dbid:BBBB");
const QString TokenA = QStringLiteral("token-a");
const QString TokenB = QStringLiteral("token-b");
constexpr int ReplyTimeoutMs = 15000;

// Collects the replies of one call; shared so that a late reply after a failed wait cannot write into a
// finished test.
template <typename Reply> struct Replies
{
    QList<Reply> received;
};

template <typename Reply, typename Start> Reply await(Start start)
{
    auto replies = std::make_shared<Replies<Reply>>();
    start([replies](const Reply &reply) { replies->received.append(reply); });
    if (!QTest::qWaitFor([&] { return !replies->received.isEmpty(); }, ReplyTimeoutMs))
        qFatal("No reply within %d ms", ReplyTimeoutMs);
    return replies->received.first();
}

QJsonObject argumentHeader(const FakeDropboxServer::Request &request)
{
    return QJsonDocument::fromJson(request.headers.value("dropbox-api-arg")).object();
}

QJsonObject jsonBody(const FakeDropboxServer::Request &request)
{
    return QJsonDocument::fromJson(request.body).object();
}

QStringList pathsOf(const QJsonArray &entries)
{
    QStringList paths;
    for (const QJsonValue &entry : entries)
        paths.append(entry.toObject().value(QLatin1String(".tag")).toString() + QLatin1Char(':') +
                     entry.toObject().value(QLatin1String("path_lower")).toString());
    return paths;
}

// Runs the test program itself as a stand-in service that answers the first request with the bytes in
// TST_COURIER_REPLY_HEX and ends.
int runAsFakeCourier()
{
    const QByteArray reply = QByteArray::fromHex(qgetenv("TST_COURIER_REPLY_HEX"));
    char buffer[4096];
    if (::read(3, buffer, sizeof(buffer)) <= 0)
        return 0;
    return ::write(3, reply.constData(), reply.size()) == reply.size() ? 0 : 1;
}

} // namespace

class TestCloudCourierConnection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void accountInfo_data();
    void accountInfo();
    void syncRootGetsLeadingSlash_data();
    void syncRootGetsLeadingSlash();
    void tokenUpgradeIsUsedForLaterRequests();
    void tokenUpgradeFailures_data();
    void tokenUpgradeFailures();
    void listingOfThreePagesThenChanges();
    void invalidCursorRestartsOnceThenFails();
    void resetCursorRestartsFullListing();
    void missingFolderIsCreated();
    void uploadAddThenUpdate();
    void uploadConflicts_data();
    void uploadConflicts();
    void uploadAndDownloadNonAsciiName();
    void download();
    void downloadOfMissingFile();
    void deletion_data();
    void deletion();
    void serverFailures_data();
    void serverFailures();
    void plainHttpToAnotherHostIsRefused();
    void unusualAnswers_data();
    void unusualAnswers();
    void connectionsDoNotShareTokenOrFolder();
    void killedServiceGivesOneErrorThenRestarts();
    void missingServiceProgram();
    void replySentJustBeforeTheServiceEndsIsDelivered();
    void malformedReplyClosesConnection_data();
    void malformedReplyClosesConnection();
    void malformedRequestEndsService_data();
    void malformedRequestEndsService();

private:
    CloudCourierConnection *connect(const QString &token = TokenA,
                                    const QString &root = QStringLiteral("sync"));
    QByteArray requestFrame(const QString &operation, const QCborMap &arguments);

    std::unique_ptr<FakeDropboxServer> m_server;
    QList<CloudCourierConnection *> m_connections;
};

void TestCloudCourierConnection::init()
{
    m_server = std::make_unique<FakeDropboxServer>();
    QVERIFY(m_server->start());
    m_server->exportEnvironment();
    m_server->addAccount(AccountA, QStringLiteral("Franz Ferdinand (Personal)"));
    m_server->addToken(TokenA, AccountA);
    m_server->addAccount(AccountB, QStringLiteral("Berta Beispiel"));
    m_server->addToken(TokenB, AccountB);
    qunsetenv("PENDULO_COURIER_PATH");
    qunsetenv("PENDULO_COURIER_TRANSFER_TIMEOUT_MS");
    qunsetenv("PENDULO_DROPBOX_APP_KEY");
    qunsetenv("PENDULO_DROPBOX_APP_SECRET");
}

void TestCloudCourierConnection::cleanup()
{
    qDeleteAll(m_connections);
    m_connections.clear();
    m_server.reset();
}

CloudCourierConnection *TestCloudCourierConnection::connect(const QString &token, const QString &root)
{
    auto *connection = new CloudCourierConnection;
    m_connections.append(connection);
    connection->syncInitWithSyncRoot(root, token);
    return connection;
}

void TestCloudCourierConnection::accountInfo_data()
{
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("error"); // expected start of the error; empty: success
    QTest::newRow("valid token") << TokenA << "";
    QTest::newRow("unknown token") << "nope"
                                   << "Dropbox access revoked or access token expired (401)\n"
                                      "Error summary: invalid_access_token/..\nError details: {";
    QTest::newRow("expired token") << "expired"
                                   << "Dropbox access revoked or access token expired (401)\n"
                                      "Error summary: expired_access_token/.";
    QTest::newRow("empty token") << ""
                                 << "(400): ";
}

void TestCloudCourierConnection::accountInfo()
{
    QFETCH(QString, token);
    QFETCH(QString, error);
    m_server->addToken(QStringLiteral("expired"), AccountA);
    m_server->expireToken(QStringLiteral("expired"));
    CloudCourierConnection *courier = connect(token);

    const auto reply = await<AccountInfoReply>([&](auto done) { courier->getAccountInfoWithReply(done); });
    QVERIFY(!reply.connectionError);
    if (error.isEmpty()) {
        QCOMPARE(reply.displayName, QStringLiteral("Franz Ferdinand (Personal)"));
        QCOMPARE(reply.accountId, AccountA);
        QVERIFY(!reply.error);
    } else {
        QVERIFY(!reply.displayName && !reply.accountId);
        QVERIFY2(reply.error && reply.error->startsWith(error), qPrintable(reply.error.value_or("(none)")));
    }
}

void TestCloudCourierConnection::syncRootGetsLeadingSlash_data()
{
    QTest::addColumn<QString>("root");
    QTest::newRow("plain name") << "sync";
    QTest::newRow("with slash") << "/sync";
}

void TestCloudCourierConnection::syncRootGetsLeadingSlash()
{
    QFETCH(QString, root);
    m_server->createFolder(AccountA, QStringLiteral("/sync"));
    CloudCourierConnection *courier = connect(TokenA, root);
    await<ChangesReply>([&](auto done) { courier->syncGetChangesForCursor(std::nullopt, done); });
    const auto requests = m_server->requestsFor(QStringLiteral("files/list_folder"));
    QCOMPARE(requests.size(), 1);
    const QJsonObject body = jsonBody(requests.first());
    QCOMPARE(body.value(QLatin1String("path")).toString(), QStringLiteral("/sync"));
    QCOMPARE(body.value(QLatin1String("include_deleted")).toBool(), true);
    QCOMPARE(body.value(QLatin1String("recursive")).toBool(true), false);
}

void TestCloudCourierConnection::tokenUpgradeIsUsedForLaterRequests()
{
    qputenv("PENDULO_DROPBOX_APP_KEY", "abcdefghij12345");
    qputenv("PENDULO_DROPBOX_APP_SECRET", "zyxwvutsrq98765");
    m_server->setAppCredentials(QStringLiteral("abcdefghij12345"), QStringLiteral("zyxwvutsrq98765"));
    m_server->addOAuth1Token(QStringLiteral("old-token"), QString::fromUtf8("old secret Ä"), AccountA);
    m_server->createFolder(AccountA, QStringLiteral("/sync"));
    CloudCourierConnection *courier = connect(QStringLiteral("old-token"));

    const auto upgrade = await<UpgradeTokenReply>(
        [&](auto done) { courier->upgradeTokenWithTokenSecret(QString::fromUtf8("old secret Ä"), done); });
    QVERIFY2(!upgrade.error, qPrintable(upgrade.error.value_or(QString())));
    QVERIFY(upgrade.token && upgrade.token->startsWith(QLatin1String("upgraded-")));
    const auto upgradeRequest = m_server->requestsFor(QStringLiteral("auth/token/from_oauth1")).first();
    QVERIFY(upgradeRequest.headers.value("authorization").startsWith("OAuth "));

    const auto listing =
        await<ChangesReply>([&](auto done) { courier->syncGetChangesForCursor(std::nullopt, done); });
    QVERIFY(!listing.error);
    const auto listRequest = m_server->requestsFor(QStringLiteral("files/list_folder")).first();
    QCOMPARE(listRequest.headers.value("authorization"), "Bearer " + upgrade.token->toUtf8());
}

void TestCloudCourierConnection::tokenUpgradeFailures_data()
{
    QTest::addColumn<QByteArray>("appKey");
    QTest::addColumn<QString>("secret");
    QTest::addColumn<QString>("error");
    QTest::newRow("wrong token secret") << QByteArray("abcdefghij12345") << "wrong"
                                        << "Dropbox access revoked or access token expired (401)";
    QTest::newRow("build without key") << QByteArray() << "old secret"
                                       << "This build of Pendulo has no Dropbox application key";
}

void TestCloudCourierConnection::tokenUpgradeFailures()
{
    QFETCH(QByteArray, appKey);
    QFETCH(QString, secret);
    QFETCH(QString, error);
    if (!appKey.isEmpty()) {
        qputenv("PENDULO_DROPBOX_APP_KEY", appKey);
        qputenv("PENDULO_DROPBOX_APP_SECRET", "zyxwvutsrq98765");
    }
    m_server->setAppCredentials(QStringLiteral("abcdefghij12345"), QStringLiteral("zyxwvutsrq98765"));
    m_server->addOAuth1Token(QStringLiteral("old-token"), QStringLiteral("old secret"), AccountA);
    CloudCourierConnection *courier = connect(QStringLiteral("old-token"));

    const auto reply =
        await<UpgradeTokenReply>([&](auto done) { courier->upgradeTokenWithTokenSecret(secret, done); });
    QVERIFY(!reply.token);
    QVERIFY2(reply.error && reply.error->startsWith(error), qPrintable(reply.error.value_or("(none)")));
}

void TestCloudCourierConnection::listingOfThreePagesThenChanges()
{
    for (const char *name : {"2016-01.json", "2016-02.json", "2016-03.json", "2016-04.json", "deleted.json"})
        m_server->putFile(AccountA, QStringLiteral("/sync/") + QLatin1String(name), name);
    m_server->putFile(AccountA, QStringLiteral("/other/2016-05.json"), "elsewhere");
    m_server->setPageSize(2);
    CloudCourierConnection *courier = connect();

    const auto full =
        await<ChangesReply>([&](auto done) { courier->syncGetChangesForCursor(std::nullopt, done); });
    QVERIFY(!full.error);
    QVERIFY(full.fullFetch);
    QCOMPARE(pathsOf(*full.entries),
             QStringList({"file:/sync/2016-01.json", "file:/sync/2016-02.json", "file:/sync/2016-03.json",
                          "file:/sync/2016-04.json", "file:/sync/deleted.json"}));
    const auto continues = m_server->requestsFor(QStringLiteral("files/list_folder/continue"));
    QCOMPARE(continues.size(), 2);
    QVERIFY(full.cursor &&
            *full.cursor != jsonBody(continues.last()).value(QLatin1String("cursor")).toString());
    const QJsonObject first = full.entries->first().toObject();
    QCOMPARE(first.value(QLatin1String("rev")).toString(),
             m_server->fileRevision(AccountA, QStringLiteral("/sync/2016-01.json")));

    m_server->putFile(AccountA, QStringLiteral("/sync/2016-02.json"), "changed");
    m_server->deletePath(AccountA, QStringLiteral("/sync/2016-03.json"));
    const auto changes =
        await<ChangesReply>([&](auto done) { courier->syncGetChangesForCursor(full.cursor, done); });
    QVERIFY(!changes.error);
    QVERIFY(!changes.fullFetch);
    QCOMPARE(pathsOf(*changes.entries),
             QStringList({"file:/sync/2016-02.json", "deleted:/sync/2016-03.json"}));
    QVERIFY(changes.cursor);

    const auto nothing =
        await<ChangesReply>([&](auto done) { courier->syncGetChangesForCursor(changes.cursor, done); });
    QVERIFY(!nothing.error);
    QCOMPARE(nothing.entries->size(), 0);
}

void TestCloudCourierConnection::invalidCursorRestartsOnceThenFails()
{
    m_server->putFile(AccountA, QStringLiteral("/sync/2016-01.json"), "a");
    m_server->putFile(AccountA, QStringLiteral("/sync/2016-02.json"), "b");
    CloudCourierConnection *courier = connect();

    // An unknown cursor: the listing starts again from scratch.
    const auto restarted = await<ChangesReply>(
        [&](auto done) { courier->syncGetChangesForCursor(QStringLiteral("stale"), done); });
    QVERIFY(!restarted.error);
    QVERIFY(restarted.fullFetch);
    QCOMPARE(restarted.entries->size(), 2);
    QCOMPARE(m_server->requestsFor(QStringLiteral("files/list_folder")).size(), 1);

    // The restarted listing's own continuation is refused as well: give up.
    m_server->clearRequests();
    m_server->setPageSize(1);
    m_server->setCursorsRejected(true);
    const auto failed = await<ChangesReply>(
        [&](auto done) { courier->syncGetChangesForCursor(QStringLiteral("stale"), done); });
    QCOMPARE(failed.error, QStringLiteral("Failed to load sync content"));
    QVERIFY(!failed.entries && !failed.cursor);
    QCOMPARE(m_server->requestsFor(QStringLiteral("files/list_folder")).size(), 1);
    QCOMPARE(m_server->requestsFor(QStringLiteral("files/list_folder/continue")).size(), 2);
}

void TestCloudCourierConnection::resetCursorRestartsFullListing()
{
    m_server->putFile(AccountA, QStringLiteral("/sync/2016-01.json"), "a");
    CloudCourierConnection *courier = connect();
    const auto first =
        await<ChangesReply>([&](auto done) { courier->syncGetChangesForCursor(std::nullopt, done); });
    m_server->resetNextContinue();
    const auto reset =
        await<ChangesReply>([&](auto done) { courier->syncGetChangesForCursor(first.cursor, done); });
    QVERIFY(!reset.error);
    QVERIFY(reset.fullFetch);
    QCOMPARE(pathsOf(*reset.entries), QStringList({"file:/sync/2016-01.json"}));
}

void TestCloudCourierConnection::missingFolderIsCreated()
{
    CloudCourierConnection *courier = connect();
    const auto reply =
        await<ChangesReply>([&](auto done) { courier->syncGetChangesForCursor(std::nullopt, done); });
    QVERIFY(!reply.error);
    QVERIFY(!reply.entries);
    QVERIFY(!reply.cursor);
    QVERIFY(reply.fullFetch);
    QVERIFY(m_server->folderExists(AccountA, QStringLiteral("/sync")));
    const auto create = m_server->requestsFor(QStringLiteral("files/create_folder"));
    QCOMPARE(create.size(), 1);
    QCOMPARE(jsonBody(create.first()), QJsonObject({{"path", "/sync"}, {"autorename", false}}));
}

namespace {

QSharedPointer<QTemporaryFile> fileWith(const QByteArray &content)
{
    auto file = QSharedPointer<QTemporaryFile>::create();
    file->open();
    file->write(content);
    file->seek(0);
    return file;
}

} // namespace

void TestCloudCourierConnection::uploadAddThenUpdate()
{
    CloudCourierConnection *courier = connect();
    const auto added = await<PutFileReply>([&](auto done) {
        courier->syncPutFile(fileWith("first")->handle(), QStringLiteral("2016-03.json"), std::nullopt, done);
    });
    QVERIFY2(!added.error, qPrintable(added.error.value_or(QString())));
    const QString firstRev = QJsonDocument::fromJson(*added.metadata).object().value("rev").toString();
    QCOMPARE(firstRev, m_server->fileRevision(AccountA, QStringLiteral("/sync/2016-03.json")));
    QCOMPARE(argumentHeader(m_server->requestsFor(QStringLiteral("files/upload")).last()),
             QJsonObject(
                 {{"path", "/sync/2016-03.json"}, {"mode", "add"}, {"autorename", false}, {"mute", false}}));

    const auto updated = await<PutFileReply>([&](auto done) {
        courier->syncPutFile(fileWith("second")->handle(), QStringLiteral("2016-03.json"), firstRev, done);
    });
    QVERIFY(!updated.error);
    const auto request = m_server->requestsFor(QStringLiteral("files/upload")).last();
    QCOMPARE(argumentHeader(request).value("mode").toObject(),
             QJsonObject({{".tag", "update"}, {"update", firstRev}}));
    QCOMPARE(request.headers.value("content-type"), "application/octet-stream");
    QCOMPARE(request.headers.value("content-length"), "6");
    QCOMPARE(m_server->fileContent(AccountA, QStringLiteral("/sync/2016-03.json")), QByteArray("second"));
    QVERIFY(QJsonDocument::fromJson(*updated.metadata).object().value("rev").toString() != firstRev);
}

void TestCloudCourierConnection::uploadConflicts_data()
{
    QTest::addColumn<bool>("withStaleRevision");
    QTest::newRow("add over another file") << false;
    QTest::newRow("update of a replaced version") << true;
}

void TestCloudCourierConnection::uploadConflicts()
{
    QFETCH(bool, withStaleRevision);
    const QString stale = m_server->putFile(AccountA, QStringLiteral("/sync/2016-03.json"), "mine");
    m_server->putFile(AccountA, QStringLiteral("/sync/2016-03.json"), "theirs");
    CloudCourierConnection *courier = connect();
    const auto reply = await<PutFileReply>([&](auto done) {
        courier->syncPutFile(fileWith("new")->handle(), QStringLiteral("2016-03.json"),
                             withStaleRevision ? std::optional(stale) : std::nullopt, done);
    });
    QVERIFY(!reply.metadata);
    QVERIFY2(reply.error && reply.error->startsWith("(409): ") &&
                 reply.error->contains("\nError summary: path/conflict/file/.\nError details: {"),
             qPrintable(reply.error.value_or("(none)")));
    QCOMPARE(m_server->fileContent(AccountA, QStringLiteral("/sync/2016-03.json")), QByteArray("theirs"));
}

void TestCloudCourierConnection::uploadAndDownloadNonAsciiName()
{
    const QString name = QString::fromUtf8("Ärger 😀.json");
    CloudCourierConnection *courier = connect();
    const auto put = await<PutFileReply>(
        [&](auto done) { courier->syncPutFile(fileWith("x")->handle(), name, std::nullopt, done); });
    QVERIFY2(!put.error, qPrintable(put.error.value_or(QString())));
    QVERIFY(!m_server->requestsFor(QStringLiteral("files/upload"))
                 .first()
                 .headers.value("dropbox-api-arg")
                 .contains("\xc3"));

    const auto get = await<GetFileReply>([&](auto done) { courier->syncGetFile(name, done); });
    QVERIFY2(!get.error, qPrintable(get.error.value_or(QString())));
    QCOMPARE(get.file->readAll(), QByteArray("x"));
    QCOMPARE(QJsonDocument::fromJson(*get.metadata).object().value("name").toString(), name);
}

void TestCloudCourierConnection::download()
{
    // The service's temporary download file is gone once the handle has been passed on.
    QTemporaryDir temporaryFolder;
    qputenv("TMPDIR", QFile::encodeName(temporaryFolder.path()));
    auto restoreTemporaryFolder = qScopeGuard([] { qunsetenv("TMPDIR"); });

    QByteArray content(200 * 1024, Qt::Uninitialized);
    for (int i = 0; i < content.size(); ++i)
        content[i] = char(i * 7);
    const QString rev = m_server->putFile(AccountA, QStringLiteral("/sync/2016-03.json"), content);
    CloudCourierConnection *courier = connect();

    const auto reply =
        await<GetFileReply>([&](auto done) { courier->syncGetFile(QStringLiteral("2016-03.json"), done); });
    QVERIFY2(!reply.error, qPrintable(reply.error.value_or(QString())));
    QCOMPARE(reply.status, 0);
    QVERIFY(reply.file);
    QCOMPARE(reply.file->readAll(), content);
    const QJsonObject metadata = QJsonDocument::fromJson(*reply.metadata).object();
    QCOMPARE(metadata.value("rev").toString(), rev);
    QCOMPARE(metadata.value("path_lower").toString(), QStringLiteral("/sync/2016-03.json"));
    QCOMPARE(argumentHeader(m_server->requestsFor(QStringLiteral("files/download")).first()),
             QJsonObject({{"path", "/sync/2016-03.json"}}));
    QCOMPARE(QDir(temporaryFolder.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestCloudCourierConnection::downloadOfMissingFile()
{
    CloudCourierConnection *courier = connect();
    const auto reply =
        await<GetFileReply>([&](auto done) { courier->syncGetFile(QStringLiteral("2016-03.json"), done); });
    QVERIFY(!reply.file);
    QVERIFY(!reply.metadata);
    QCOMPARE(reply.status, 409);
    QVERIFY2(reply.error && reply.error->contains("\nError summary: path/not_found/..."),
             qPrintable(reply.error.value_or("(none)")));
}

void TestCloudCourierConnection::deletion_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("serverFails");
    QTest::addColumn<QString>("error");
    QTest::newRow("existing file") << true << false << "";
    QTest::newRow("missing file") << false << false << "";
    QTest::newRow("server failure") << true << true << "DELETE file operation failed.";
}

void TestCloudCourierConnection::deletion()
{
    QFETCH(bool, exists);
    QFETCH(bool, serverFails);
    QFETCH(QString, error);
    if (exists)
        m_server->putFile(AccountA, QStringLiteral("/sync/2016-03.json"), "x");
    else
        m_server->createFolder(AccountA, QStringLiteral("/sync"));
    if (serverFails)
        m_server->failNextRequests(FakeDropboxServer::Failure::ServiceUnavailable);
    CloudCourierConnection *courier = connect();
    const auto reply = await<DeleteFileReply>(
        [&](auto done) { courier->syncDeleteFile(QStringLiteral("2016-03.json"), done); });
    QCOMPARE(reply.error.value_or(QString()), error);
    QCOMPARE(m_server->fileContent(AccountA, QStringLiteral("/sync/2016-03.json")).has_value(), serverFails);
}

void TestCloudCourierConnection::serverFailures_data()
{
    QTest::addColumn<int>("failure");
    QTest::addColumn<QByteArray>("transferTimeoutMs");
    QTest::addColumn<QString>("error");
    QTest::newRow("503")
        << int(FakeDropboxServer::Failure::ServiceUnavailable) << QByteArray()
        << "Access rate limited, too many requests (503)\nError details: Service Unavailable";
    QTest::newRow("429") << int(FakeDropboxServer::Failure::RateLimited) << QByteArray() << "(429): ";
    QTest::newRow("dropped connection")
        << int(FakeDropboxServer::Failure::DropConnection) << QByteArray() << "(0): ";
    QTest::newRow("slower than the transfer timeout")
        << int(FakeDropboxServer::Failure::Slow) << QByteArray("300") << "(0): ";
    QTest::newRow("slow but in time") << int(FakeDropboxServer::Failure::Slow) << QByteArray() << "";
}

void TestCloudCourierConnection::serverFailures()
{
    QFETCH(int, failure);
    QFETCH(QByteArray, transferTimeoutMs);
    QFETCH(QString, error);
    if (!transferTimeoutMs.isEmpty())
        qputenv("PENDULO_COURIER_TRANSFER_TIMEOUT_MS", transferTimeoutMs);
    m_server->failNextRequests(FakeDropboxServer::Failure(failure), 1,
                               QStringLiteral("users/get_current_account"), 1000);
    CloudCourierConnection *courier = connect();
    const auto reply = await<AccountInfoReply>([&](auto done) { courier->getAccountInfoWithReply(done); });
    if (error.isEmpty()) {
        QVERIFY(!reply.error);
        QCOMPARE(reply.accountId, AccountA);
        return;
    }
    QVERIFY2(reply.error && reply.error->startsWith(error), qPrintable(reply.error.value_or("(none)")));
    if (failure == int(FakeDropboxServer::Failure::RateLimited))
        QVERIFY(reply.error->contains("Error summary: too_many_requests/"));
}

void TestCloudCourierConnection::plainHttpToAnotherHostIsRefused()
{
    qputenv("PENDULO_DROPBOX_API_URL", "http://api.dropboxapi.com/2/");
    CloudCourierConnection *courier = connect();
    const auto reply = await<AccountInfoReply>([&](auto done) { courier->getAccountInfoWithReply(done); });
    QVERIFY2(reply.error && reply.error->startsWith("(0): Invalid Dropbox endpoint address"),
             qPrintable(reply.error.value_or("(none)")));
    QVERIFY(m_server->requests().isEmpty());
}

void TestCloudCourierConnection::unusualAnswers_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("outcome"); // "error: ..." or what the successful reply held

    const QString upgrade = QStringLiteral("auth/token/from_oauth1");
    QTest::newRow("upgrade without body")
        << upgrade << 200 << QByteArray() << "error: Failed to update oauth token";
    QTest::newRow("upgrade answer not an object")
        << upgrade << 200 << QByteArray("[1]") << "error: Invalid upgrade token response";
    QTest::newRow("upgrade to another token type")
        << upgrade << 200 << QByteArray(R"({"token_type": "mac", "access_token": "x"})")
        << "error: Invalid upgrade token type";
    QTest::newRow("upgrade to an empty token")
        << upgrade << 200 << QByteArray(R"({"token_type": "bearer", "access_token": ""})")
        << "error: Invalid upgrade token";
    QTest::newRow("upgrade answered as text is still read")
        << upgrade << 200 << QByteArray(R"({"token_type": "bearer", "access_token": "new"})") << "token: new";

    const QString account = QStringLiteral("users/get_current_account");
    QTest::newRow("account without a name")
        << account << 200 << QByteArray(R"({"account_id": "dbid:x"})")
        << QStringLiteral("error: (200): \nError details: ") + QLatin1String(R"({"account_id": "dbid:x"})");

    const QString continuation = QStringLiteral("files/list_folder/continue");
    QTest::newRow("listing not modified") << continuation << 304 << QByteArray() << "cursor: sent-cursor";
    QTest::newRow("listing not JSON")
        << continuation << 200 << QByteArray("<html>") << "error: Invalid folder content";

    const QString upload = QStringLiteral("files/upload");
    QTest::newRow("upload without metadata")
        << upload << 200 << QByteArray()
        << "error: Invalid return data for PUT file command. Metadata not found!";
    QTest::newRow("upload metadata not JSON")
        << upload << 200 << QByteArray("{") << "error: Invalid metadata for PUT file command. Invalid JSON!";
    QTest::newRow("upload metadata without path")
        << upload << 200 << QByteArray(R"({"rev": "a1b2c3d4e5"})")
        << "error: Invalid metadata for PUT file command. 'path_lower' property not found!";
    QTest::newRow("upload stored elsewhere")
        << upload << 200 << QByteArray(R"({"path_lower": "/sync/2016-03 (conflicted copy).json"})")
        << "error: Failed to update file: 2016-03.json. Revision mismatch.";

    const QString remove = QStringLiteral("files/delete");
    QTest::newRow("delete refused with a user message")
        << remove << 409
        << QByteArray(R"({"error": {".tag": "other"}, "user_message": {"locale": "en", "text": "Not now"}})")
        << "error: Not now";
    QTest::newRow("delete refused otherwise")
        << remove << 409 << QByteArray(R"({"error": {".tag": "other"}})")
        << R"(error: DELETE file operation failed: {"error": {".tag": "other"}})";
    QTest::newRow("delete answered 404") << remove << 404 << QByteArray() << "done";
}

void TestCloudCourierConnection::unusualAnswers()
{
    QFETCH(QString, route);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, outcome);
    qputenv("PENDULO_DROPBOX_APP_KEY", "abcdefghij12345");
    m_server->answerNextRequest(route, status, body,
                                route.contains(QLatin1String("oauth1")) ? "text/plain" : "application/json");
    CloudCourierConnection *courier = connect();

    auto describe = [](const std::optional<QString> &error, const QString &success) {
        return error ? QStringLiteral("error: ") + *error : success;
    };
    QString actual;
    if (route == QLatin1String("auth/token/from_oauth1")) {
        const auto r =
            await<UpgradeTokenReply>([&](auto done) { courier->upgradeTokenWithTokenSecret("s", done); });
        actual = describe(r.error, QStringLiteral("token: ") + r.token.value_or("(none)"));
    } else if (route == QLatin1String("users/get_current_account")) {
        const auto r = await<AccountInfoReply>([&](auto done) { courier->getAccountInfoWithReply(done); });
        actual = describe(r.error, QStringLiteral("account"));
    } else if (route == QLatin1String("files/list_folder/continue")) {
        const auto r = await<ChangesReply>(
            [&](auto done) { courier->syncGetChangesForCursor(QStringLiteral("sent-cursor"), done); });
        QVERIFY(!r.entries);
        actual = describe(r.error, QStringLiteral("cursor: ") + r.cursor.value_or("(none)"));
    } else if (route == QLatin1String("files/upload")) {
        const auto r = await<PutFileReply>([&](auto done) {
            courier->syncPutFile(fileWith("x")->handle(), QStringLiteral("2016-03.json"), std::nullopt, done);
        });
        QCOMPARE(r.metadata.has_value(), !r.error);
        actual = describe(r.error, QStringLiteral("stored"));
    } else {
        const auto r = await<DeleteFileReply>(
            [&](auto done) { courier->syncDeleteFile(QStringLiteral("a.json"), done); });
        actual = describe(r.error, QStringLiteral("done"));
    }
    QCOMPARE(actual, outcome);
}

void TestCloudCourierConnection::connectionsDoNotShareTokenOrFolder()
{
    m_server->putFile(AccountA, QStringLiteral("/sync/a.json"), "a");
    m_server->putFile(AccountB, QStringLiteral("/other/b.json"), "b");
    CloudCourierConnection *first = connect(TokenA, QStringLiteral("sync"));
    CloudCourierConnection *second = connect(TokenB, QStringLiteral("other"));

    const auto listingA =
        await<ChangesReply>([&](auto done) { first->syncGetChangesForCursor(std::nullopt, done); });
    const auto listingB =
        await<ChangesReply>([&](auto done) { second->syncGetChangesForCursor(std::nullopt, done); });
    QCOMPARE(pathsOf(*listingA.entries), QStringList({"file:/sync/a.json"}));
    QCOMPARE(pathsOf(*listingB.entries), QStringList({"file:/other/b.json"}));
    QVERIFY(first->processId() != second->processId());

    const auto requests = m_server->requestsFor(QStringLiteral("files/list_folder"));
    QCOMPARE(requests.at(0).headers.value("authorization"), "Bearer " + TokenA.toUtf8());
    QCOMPARE(requests.at(1).headers.value("authorization"), "Bearer " + TokenB.toUtf8());
}

void TestCloudCourierConnection::killedServiceGivesOneErrorThenRestarts()
{
    m_server->failNextRequests(FakeDropboxServer::Failure::Slow, 2, {}, 3000);
    CloudCourierConnection *courier = connect();
    auto accountReplies = std::make_shared<Replies<AccountInfoReply>>();
    auto listingReplies = std::make_shared<Replies<ChangesReply>>();
    courier->getAccountInfoWithReply(
        [accountReplies](const AccountInfoReply &r) { accountReplies->received.append(r); });
    courier->syncGetChangesForCursor(
        std::nullopt, [listingReplies](const ChangesReply &r) { listingReplies->received.append(r); });
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requests().size(), 2, ReplyTimeoutMs);
    const qint64 firstProcess = courier->processId();
    QVERIFY(firstProcess > 0);
    QCOMPARE(::kill(pid_t(firstProcess), SIGKILL), 0);

    QTRY_COMPARE_WITH_TIMEOUT(accountReplies->received.size(), 1, ReplyTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(listingReplies->received.size(), 1, ReplyTimeoutMs);
    const AccountInfoReply &broken = accountReplies->received.first();
    QVERIFY(broken.connectionError);
    QCOMPARE(broken.connectionError->code, qint64(CourierConnectionError::ConnectionInterrupted));
    QVERIFY(!broken.connectionError->description.isEmpty());
    QVERIFY(!broken.error && !broken.accountId);
    QCOMPARE(listingReplies->received.first().connectionError->code, broken.connectionError->code);
    QTest::qWait(200);
    QCOMPARE(accountReplies->received.size(), 1);
    QCOMPARE(listingReplies->received.size(), 1);

    // The next call starts a new service, which gets the connection's set-up again.
    const auto again = await<AccountInfoReply>([&](auto done) { courier->getAccountInfoWithReply(done); });
    QVERIFY(!again.connectionError);
    QCOMPARE(again.accountId, AccountA);
    QVERIFY(courier->processId() != firstProcess);
}

void TestCloudCourierConnection::missingServiceProgram()
{
    qputenv("PENDULO_COURIER_PATH", "/nonexistent/pendulo-courier");
    CloudCourierConnection *courier = connect();
    const auto reply = await<AccountInfoReply>([&](auto done) { courier->getAccountInfoWithReply(done); });
    QVERIFY(reply.connectionError);
    QCOMPARE(reply.connectionError->code, qint64(CourierConnectionError::ServiceUnavailable));
    QCOMPARE(reply.connectionError->message(),
             QStringLiteral("The Dropbox service program pendulo-courier was not found. (code: 1)"));
}

namespace {

QByteArray replyFrame(const QCborMap &arguments, quint64 id = 1, int files = 0)
{
    CourierMessage message;
    message.kind = CourierMessage::Kind::Reply;
    message.requestId = id;
    message.arguments = arguments;
    QByteArray payload = message.encode();
    if (files) {
        QCborMap map = QCborValue::fromCbor(payload).toMap();
        map.insert(QStringLiteral("files"), files);
        payload = map.toCborValue().toCbor();
    }
    return FrameCodec::encode(payload);
}

} // namespace

void TestCloudCourierConnection::replySentJustBeforeTheServiceEndsIsDelivered()
{
    qputenv("PENDULO_COURIER_PATH", QCoreApplication::applicationFilePath().toUtf8());
    qputenv("TST_COURIER_REPLY_HEX",
            replyFrame({{QStringLiteral("displayName"), "Ann"}, {QStringLiteral("accountId"), "dbid:1"}})
                .toHex());
    auto restore = qScopeGuard([] { qunsetenv("TST_COURIER_REPLY_HEX"); });
    auto *courier = new CloudCourierConnection;
    m_connections.append(courier);
    const auto reply = await<AccountInfoReply>([&](auto done) { courier->getAccountInfoWithReply(done); });
    QVERIFY(!reply.connectionError);
    QCOMPARE(reply.displayName, QStringLiteral("Ann"));
    QCOMPARE(reply.accountId, QStringLiteral("dbid:1"));
}

void TestCloudCourierConnection::malformedReplyClosesConnection_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("length over the limit") << QByteArray::fromHex("7fffffff00");
    QTest::newRow("zero length") << QByteArray::fromHex("00000000");
    QTest::newRow("not CBOR") << FrameCodec::encode(QByteArray::fromHex("ff00ff"));
    QTest::newRow("CBOR but not a map") << FrameCodec::encode(QCborValue(42).toCbor());
    QTest::newRow("reply to an unknown request") << replyFrame({}, 99);
    QTest::newRow("member of the wrong type") << replyFrame({{QStringLiteral("displayName"), 7}});
    QTest::newRow("announces a descriptor it does not send") << replyFrame({}, 1, 1);
    QTest::newRow("truncated frame, then end") << FrameCodec::encode(QByteArray(100, 'x')).left(50);
}

void TestCloudCourierConnection::malformedReplyClosesConnection()
{
    QFETCH(QByteArray, bytes);
    qputenv("PENDULO_COURIER_PATH", QCoreApplication::applicationFilePath().toUtf8());
    qputenv("TST_COURIER_REPLY_HEX", bytes.toHex());
    auto *courier = new CloudCourierConnection;
    m_connections.append(courier);
    auto replies = std::make_shared<Replies<AccountInfoReply>>();
    courier->getAccountInfoWithReply([replies](const AccountInfoReply &r) { replies->received.append(r); });
    QTRY_COMPARE_WITH_TIMEOUT(replies->received.size(), 1, ReplyTimeoutMs);
    QVERIFY(replies->received.first().connectionError);
    QVERIFY(!replies->received.first().displayName);
    QTest::qWait(100);
    QCOMPARE(replies->received.size(), 1);
    qunsetenv("TST_COURIER_REPLY_HEX");
}

QByteArray TestCloudCourierConnection::requestFrame(const QString &operation, const QCborMap &arguments)
{
    CourierMessage message;
    message.operation = operation;
    message.requestId = 1;
    message.arguments = arguments;
    return FrameCodec::encode(message.encode());
}

void TestCloudCourierConnection::malformedRequestEndsService_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("length over the limit") << QByteArray::fromHex("ffffffff");
    QTest::newRow("not CBOR") << FrameCodec::encode("garbage");
    QTest::newRow("unknown operation") << requestFrame(QStringLiteral("formatDisk"), {});
    QTest::newRow("download without a name") << requestFrame(CloudCourierProtocol::SyncGetFile, {});
    QTest::newRow("set-up with a number as folder")
        << requestFrame(CloudCourierProtocol::SyncInit, {{CloudCourierProtocol::SyncRootKey, 5}});
    QTest::newRow("upload without its file")
        << requestFrame(CloudCourierProtocol::SyncPutFile, {{CloudCourierProtocol::NameKey, "a.json"}});
    QTest::newRow("reply instead of request") << replyFrame({});
}

void TestCloudCourierConnection::malformedRequestEndsService()
{
    QFETCH(QByteArray, bytes);
    int sockets[2];
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
    const int childEnd = sockets[1];
    QProcess service;
    service.setProgram(CloudCourierConnection::courierProgramPath());
    service.setArguments({QStringLiteral("--socket-fd=3")});
    service.setProcessChannelMode(QProcess::ForwardedChannels);
    service.setChildProcessModifier([childEnd] { ::dup2(childEnd, 3); });
    service.start();
    ::close(childEnd);
    QVERIFY(service.waitForStarted(ReplyTimeoutMs));
    QCOMPARE(::write(sockets[0], bytes.constData(), bytes.size()), bytes.size());

    QVERIFY(service.waitForFinished(ReplyTimeoutMs));
    QCOMPARE(service.exitStatus(), QProcess::NormalExit);
    QCOMPARE(service.exitCode(), 1);
    char byte;
    QCOMPARE(::read(sockets[0], &byte, 1), 0); // closed without answering
    ::close(sockets[0]);
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet("TST_COURIER_REPLY_HEX"))
        return runAsFakeCourier();
    QCoreApplication app(argc, argv);
    TestCloudCourierConnection test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_CloudCourierConnection.moc"
