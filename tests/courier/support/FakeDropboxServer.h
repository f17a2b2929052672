#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <memory>
#include <optional>

// A local stand-in for Dropbox's HTTP API version 2, for tests: accounts with bearer tokens, a file tree
// per account with revisions, listing with cursors, pagination and deletions, upload, download, delete,
// folder creation, the old token upgrade, and switches that make the next requests fail.
//
// It listens on 127.0.0.1 on a port chosen at start and serves both endpoints:
//   API:     http://127.0.0.1:<port>/api/2/
//   content: http://127.0.0.1:<port>/content/2/
// Requests run on the server's own threads; every public function is thread-safe.
class FakeDropboxServer
{
public:
    FakeDropboxServer();
    ~FakeDropboxServer();
    FakeDropboxServer(const FakeDropboxServer &) = delete;
    FakeDropboxServer &operator=(const FakeDropboxServer &) = delete;

    bool start();
    void stop();

    int port() const;
    QString apiBaseUrl() const;
    QString contentBaseUrl() const;
    // Points PENDULO_DROPBOX_API_URL and PENDULO_DROPBOX_CONTENT_URL of this process (and so of the
    // courier processes it starts) at this server.
    void exportEnvironment() const;

    // Accounts and credentials.
    void addAccount(const QString &accountId, const QString &displayName);
    void addToken(const QString &token, const QString &accountId);
    void expireToken(const QString &token);
    void revokeToken(const QString &token);
    void setAppCredentials(const QString &appKey, const QString &appSecret);
    void addOAuth1Token(const QString &token, const QString &tokenSecret, const QString &accountId);
    // Whether a token is currently accepted (it exists and has not expired).
    bool isTokenValid(const QString &token) const;

    // The file tree of one account. Paths as Dropbox writes them ("/sync/2016-03.json"); writes make
    // missing parent folders.
    QString putFile(const QString &accountId, const QString &path, const QByteArray &content);
    void createFolder(const QString &accountId, const QString &path);
    void deletePath(const QString &accountId, const QString &path);
    std::optional<QByteArray> fileContent(const QString &accountId, const QString &path) const;
    QString fileRevision(const QString &accountId, const QString &path) const;
    bool folderExists(const QString &accountId, const QString &path) const;

    // Listing: entries per page (default 500); cursors already given become unknown (continue then
    // answers 400 "... Invalid cursor"); the next continue answers 409 "reset".
    void setPageSize(int entriesPerPage);
    void forgetCursors();
    void resetNextContinue();
    // While set, every continue answers 400 "... Invalid cursor", even for cursors just given out.
    void setCursorsRejected(bool rejected);

    enum class Failure
    {
        ServiceUnavailable, // 503
        RateLimited,        // 429 with Retry-After
        DropConnection,     // the connection closes before a complete answer
        Slow,               // the answer comes after `delayMs`
    };
    // The next `count` requests (only those for `route`, such as "files/upload", when given) fail.
    void failNextRequests(Failure failure, int count = 1, const QString &route = {}, int delayMs = 0);
    void clearFailures();

    // The next request for `route` gets exactly this answer instead of the real one, for answers the
    // service never gives on its own but a client must survive.
    void answerNextRequest(const QString &route, int status, const QByteArray &body,
                           const QByteArray &contentType = "application/json");

    struct Request
    {
        QString endpoint;                     // "api" or "content"
        QString route;                        // "files/list_folder"
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };
    QList<Request> requests() const;
    QList<Request> requestsFor(const QString &route) const;
    void clearRequests();

private:
    struct State;
    std::unique_ptr<State> d;
};
