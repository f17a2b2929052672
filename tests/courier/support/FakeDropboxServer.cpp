#include "FakeDropboxServer.h"

#include <httplib.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QStringList>
#include <QUuid>

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace {

struct Node
{
    bool folder = false;
    bool deleted = false;
    QString displayPath;
    QString id;
    QString rev;
    QByteArray content;
    qint64 sequence = 0;
    QDateTime modified;
};

struct Account
{
    QString id;
    QString displayName;
    std::map<QString, Node> nodes; // by lower-case path
};

struct Cursor
{
    QString accountId;
    QString folder; // lower case, "" for the root
    bool recursive = false;
    bool includeDeleted = false;
    qint64 since = 0;
    QJsonArray pending; // entries of the listing still to page out
};

struct PlannedFailure
{
    FakeDropboxServer::Failure failure;
    int remaining;
    QString route;
    int delayMs;
};

struct Reply
{
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    std::vector<std::pair<std::string, std::string>> headers;
    bool dropConnection = false;
};

QString lower(const QString &path)
{
    return path.toLower();
}

QString parentOf(const QString &path)
{
    return path.section(QLatin1Char('/'), 0, -2);
}

QString nameOf(const QString &path)
{
    return path.section(QLatin1Char('/'), -1);
}

QByteArray json(const QJsonObject &object)
{
    // Dropbox answers with spaces; clients must not depend on any formatting.
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QByteArray headerSafeJson(const QJsonObject &object)
{
    QByteArray safe;
    for (const QChar c : QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact))) {
        if (c.unicode() < 0x7F)
            safe.append(char(c.unicode()));
        else
            safe.append(QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toLatin1());
    }
    return safe;
}

Reply textError(int status, const QString &route, const QString &detail)
{
    Reply reply;
    reply.status = status;
    reply.contentType = "text/plain; charset=utf-8";
    reply.body = QStringLiteral("Error in call to API function \"%1\": %2").arg(route, detail).toUtf8();
    return reply;
}

Reply jsonError(int status, const QString &summary, const QJsonObject &error)
{
    Reply reply;
    reply.status = status;
    reply.body = json({{QStringLiteral("error_summary"), summary}, {QStringLiteral("error"), error}});
    return reply;
}

QJsonObject tagged(const QString &tag)
{
    return {{QStringLiteral(".tag"), tag}};
}

QJsonObject nested(const QString &outer, const QString &inner)
{
    return {{QStringLiteral(".tag"), outer}, {outer, tagged(inner)}};
}

QString percentDecoded(const QString &text)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(text.toUtf8()));
}

QString percentEncoded(const QString &text)
{
    return QString::fromLatin1(text.toUtf8().toPercentEncoding());
}

} // namespace

struct FakeDropboxServer::State
{
    mutable std::mutex mutex;
    httplib::Server server;
    std::thread thread;
    int port = 0;

    std::map<QString, Account> accounts;
    std::map<QString, QString> tokens; // token -> account id
    std::map<QString, bool> expired;
    std::map<QString, std::pair<QString, QString>> oauth1Tokens; // token -> (secret, account id)
    QString appKey;
    QString appSecret;
    std::map<QString, Cursor> cursors;
    qint64 sequence = 0;
    qint64 revisionCounter = 0x3b9aca00;
    int pageSize = 500;
    bool resetNextContinue = false;
    bool cursorsRejected = false;
    std::deque<PlannedFailure> failures;
    std::deque<std::pair<QString, Reply>> cannedAnswers;
    QList<Request> requests;

    Reply handle(const QString &endpoint, const QString &route, const httplib::Request &request);
    std::optional<PlannedFailure> takeFailure(const QString &route);

    // Each handler runs with the mutex held.
    Reply getCurrentAccount(Account &account);
    Reply tokenFromOAuth1(const QString &route, const httplib::Request &request);
    Reply listFolder(Account &account, const QString &route, const QJsonObject &arguments);
    Reply listFolderContinue(Account &account, const QString &route, const QJsonObject &arguments);
    Reply createFolder(Account &account, const QString &route, const QJsonObject &arguments);
    Reply deletePath(Account &account, const QString &route, const QJsonObject &arguments);
    Reply upload(Account &account, const QString &route, const QJsonObject &arguments,
                 const QByteArray &data);
    Reply download(Account &account, const QString &route, const QJsonObject &arguments);

    Reply page(const QString &cursorKey, Cursor cursor);
    QString newRevision()
    {
        return QString::number(++revisionCounter, 16).rightJustified(12, QLatin1Char('0'));
    }
    Node &writeFile(Account &account, const QString &path, const QByteArray &content);
    void makeFolders(Account &account, const QString &path);
    void markDeleted(Account &account, const QString &pathLower);
    QJsonObject metadata(const Node &node, bool withTag) const;
    Account *accountFor(const QString &accountId);
};

namespace {

// Members each route accepts; Dropbox rejects anything else with a 400.
const std::map<QString, QStringList> &knownFields()
{
    static const std::map<QString, QStringList> fields{
        {QStringLiteral("files/list_folder"),
         {"path", "recursive", "include_media_info", "include_deleted", "include_has_explicit_shared_members",
          "include_mounted_folders", "include_non_downloadable_files", "limit"}},
        {QStringLiteral("files/list_folder/continue"), {"cursor"}},
        {QStringLiteral("files/create_folder"), {"path", "autorename"}},
        {QStringLiteral("files/delete"), {"path", "parent_rev"}},
        {QStringLiteral("files/upload"),
         {"path", "mode", "autorename", "client_modified", "mute", "property_groups", "strict_conflict"}},
        {QStringLiteral("files/download"), {"path", "rev"}},
    };
    return fields;
}

bool isNoArgumentRoute(const QString &route)
{
    return route == QLatin1String("users/get_current_account") ||
           route == QLatin1String("auth/token/from_oauth1");
}

bool isApiRoute(const QString &route)
{
    return isNoArgumentRoute(route) || route.startsWith(QLatin1String("files/list_folder")) ||
           route == QLatin1String("files/create_folder") || route == QLatin1String("files/delete");
}

bool isContentRoute(const QString &route)
{
    return route == QLatin1String("files/upload") || route == QLatin1String("files/download");
}

} // namespace

FakeDropboxServer::FakeDropboxServer()
    : d(std::make_unique<State>())
{
    d->server.set_keep_alive_timeout(1);
    d->server.set_tcp_nodelay(
        true); // answers are written in pieces; do not let them wait for acknowledgements
    d->server.Post(R"(/(api|content)/2/(.+))",
                   [this](const httplib::Request &request, httplib::Response &response) {
                       const QString endpoint = QString::fromStdString(request.matches[1].str());
                       const QString route = QString::fromStdString(request.matches[2].str());
                       Reply reply = d->handle(endpoint, route, request);
                       response.status = reply.status;
                       for (const auto &[name, value] : reply.headers)
                           response.set_header(name, value);
                       if (reply.dropConnection) {
                           // Announce more than is sent, then give up: the client sees the connection close
                           // mid-answer.
                           response.set_content_provider(1024, "application/json",
                                                         [](size_t offset, size_t, httplib::DataSink &sink) {
                                                             if (offset == 0)
                                                                 sink.write("{\"entr", 6);
                                                             return false;
                                                         });
                           return;
                       }
                       response.set_content(reply.body.toStdString(), reply.contentType.toStdString());
                   });
}

FakeDropboxServer::~FakeDropboxServer()
{
    stop();
}

bool FakeDropboxServer::start()
{
    d->port = d->server.bind_to_any_port("127.0.0.1");
    if (d->port <= 0)
        return false;
    d->thread = std::thread([this] { d->server.listen_after_bind(); });
    // A stop before the listening thread runs would be lost and leave that thread waiting forever.
    for (int waited = 0; !d->server.is_running(); ++waited) {
        if (waited == 5000) {
            d->server.stop();
            d->thread.join();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void FakeDropboxServer::stop()
{
    if (!d->thread.joinable())
        return;
    d->server.stop();
    d->thread.join();
}

int FakeDropboxServer::port() const
{
    return d->port;
}

QString FakeDropboxServer::apiBaseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/api/2/").arg(d->port);
}

QString FakeDropboxServer::contentBaseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/content/2/").arg(d->port);
}

void FakeDropboxServer::exportEnvironment() const
{
    qputenv("PENDULO_DROPBOX_API_URL", apiBaseUrl().toUtf8());
    qputenv("PENDULO_DROPBOX_CONTENT_URL", contentBaseUrl().toUtf8());
}

void FakeDropboxServer::addAccount(const QString &accountId, const QString &displayName)
{
    std::lock_guard lock(d->mutex);
    Account &account = d->accounts[accountId];
    account.id = accountId;
    account.displayName = displayName;
}

void FakeDropboxServer::addToken(const QString &token, const QString &accountId)
{
    std::lock_guard lock(d->mutex);
    d->tokens[token] = accountId;
    d->expired.erase(token);
}

void FakeDropboxServer::expireToken(const QString &token)
{
    std::lock_guard lock(d->mutex);
    d->expired[token] = true;
}

void FakeDropboxServer::revokeToken(const QString &token)
{
    std::lock_guard lock(d->mutex);
    d->tokens.erase(token);
}

bool FakeDropboxServer::isTokenValid(const QString &token) const
{
    std::lock_guard lock(d->mutex);
    return d->tokens.count(token) && !d->expired.count(token);
}

void FakeDropboxServer::setAppCredentials(const QString &appKey, const QString &appSecret)
{
    std::lock_guard lock(d->mutex);
    d->appKey = appKey;
    d->appSecret = appSecret;
}

void FakeDropboxServer::addOAuth1Token(const QString &token, const QString &tokenSecret,
                                       const QString &accountId)
{
    std::lock_guard lock(d->mutex);
    d->oauth1Tokens[token] = {tokenSecret, accountId};
}

QString FakeDropboxServer::putFile(const QString &accountId, const QString &path, const QByteArray &content)
{
    std::lock_guard lock(d->mutex);
    Account *account = d->accountFor(accountId);
    return account ? d->writeFile(*account, path, content).rev : QString();
}

void FakeDropboxServer::createFolder(const QString &accountId, const QString &path)
{
    std::lock_guard lock(d->mutex);
    if (Account *account = d->accountFor(accountId))
        d->makeFolders(*account, path);
}

void FakeDropboxServer::deletePath(const QString &accountId, const QString &path)
{
    std::lock_guard lock(d->mutex);
    if (Account *account = d->accountFor(accountId))
        d->markDeleted(*account, lower(path));
}

std::optional<QByteArray> FakeDropboxServer::fileContent(const QString &accountId, const QString &path) const
{
    std::lock_guard lock(d->mutex);
    const auto account = d->accounts.find(accountId);
    if (account == d->accounts.end())
        return std::nullopt;
    const auto node = account->second.nodes.find(lower(path));
    if (node == account->second.nodes.end() || node->second.deleted || node->second.folder)
        return std::nullopt;
    return node->second.content;
}

QString FakeDropboxServer::fileRevision(const QString &accountId, const QString &path) const
{
    std::lock_guard lock(d->mutex);
    const auto account = d->accounts.find(accountId);
    if (account == d->accounts.end())
        return {};
    const auto node = account->second.nodes.find(lower(path));
    if (node == account->second.nodes.end() || node->second.deleted)
        return {};
    return node->second.rev;
}

bool FakeDropboxServer::folderExists(const QString &accountId, const QString &path) const
{
    std::lock_guard lock(d->mutex);
    const auto account = d->accounts.find(accountId);
    if (account == d->accounts.end())
        return false;
    const auto node = account->second.nodes.find(lower(path));
    return node != account->second.nodes.end() && node->second.folder && !node->second.deleted;
}

void FakeDropboxServer::setPageSize(int entriesPerPage)
{
    std::lock_guard lock(d->mutex);
    d->pageSize = qMax(1, entriesPerPage);
}

void FakeDropboxServer::forgetCursors()
{
    std::lock_guard lock(d->mutex);
    d->cursors.clear();
}

void FakeDropboxServer::resetNextContinue()
{
    std::lock_guard lock(d->mutex);
    d->resetNextContinue = true;
}

void FakeDropboxServer::setCursorsRejected(bool rejected)
{
    std::lock_guard lock(d->mutex);
    d->cursorsRejected = rejected;
}

void FakeDropboxServer::failNextRequests(Failure failure, int count, const QString &route, int delayMs)
{
    std::lock_guard lock(d->mutex);
    d->failures.push_back({failure, count, route, delayMs});
}

void FakeDropboxServer::answerNextRequest(const QString &route, int status, const QByteArray &body,
                                          const QByteArray &contentType)
{
    std::lock_guard lock(d->mutex);
    Reply reply;
    reply.status = status;
    reply.body = body;
    reply.contentType = contentType;
    d->cannedAnswers.emplace_back(route, reply);
}

void FakeDropboxServer::clearFailures()
{
    std::lock_guard lock(d->mutex);
    d->failures.clear();
}

QList<FakeDropboxServer::Request> FakeDropboxServer::requests() const
{
    std::lock_guard lock(d->mutex);
    return d->requests;
}

QList<FakeDropboxServer::Request> FakeDropboxServer::requestsFor(const QString &route) const
{
    QList<Request> matching;
    for (const Request &request : requests()) {
        if (request.route == route)
            matching.append(request);
    }
    return matching;
}

void FakeDropboxServer::clearRequests()
{
    std::lock_guard lock(d->mutex);
    d->requests.clear();
}

// ---- request handling ----

std::optional<PlannedFailure> FakeDropboxServer::State::takeFailure(const QString &route)
{
    for (auto it = failures.begin(); it != failures.end(); ++it) {
        if (!it->route.isEmpty() && it->route != route)
            continue;
        PlannedFailure taken = *it;
        if (--it->remaining <= 0)
            failures.erase(it);
        return taken;
    }
    return std::nullopt;
}

Account *FakeDropboxServer::State::accountFor(const QString &accountId)
{
    const auto found = accounts.find(accountId);
    return found == accounts.end() ? nullptr : &found->second;
}

Reply FakeDropboxServer::State::handle(const QString &endpoint, const QString &route,
                                       const httplib::Request &request)
{
    std::optional<PlannedFailure> failure;
    {
        std::lock_guard lock(mutex);
        Request recorded;
        recorded.endpoint = endpoint;
        recorded.route = route;
        for (const auto &[name, value] : request.headers)
            recorded.headers.insert(QByteArray::fromStdString(name).toLower(),
                                    QByteArray::fromStdString(value));
        recorded.body = QByteArray::fromStdString(request.body);
        requests.append(recorded);
        for (auto it = cannedAnswers.begin(); it != cannedAnswers.end(); ++it) {
            if (it->first == route) {
                const Reply canned = it->second;
                cannedAnswers.erase(it);
                return canned;
            }
        }
        failure = takeFailure(route);
    }
    if (failure) {
        switch (failure->failure) {
        case Failure::ServiceUnavailable: {
            Reply reply;
            reply.status = 503;
            reply.contentType = "text/plain; charset=utf-8";
            reply.body = "Service Unavailable";
            return reply;
        }
        case Failure::RateLimited: {
            Reply reply = jsonError(429, QStringLiteral("too_many_requests/.."),
                                    {{QStringLiteral("reason"), tagged(QStringLiteral("too_many_requests"))},
                                     {QStringLiteral("retry_after"), 300}});
            reply.headers.emplace_back("Retry-After", "300");
            return reply;
        }
        case Failure::DropConnection: {
            Reply reply;
            reply.dropConnection = true;
            return reply;
        }
        case Failure::Slow:
            std::this_thread::sleep_for(std::chrono::milliseconds(failure->delayMs));
            break;
        }
    }

    if ((endpoint == QLatin1String("api") && !isApiRoute(route)) ||
        (endpoint == QLatin1String("content") && !isContentRoute(route))) {
        Reply reply = textError(404, route, QStringLiteral("Unknown API function"));
        return reply;
    }

    std::lock_guard lock(mutex);
    if (route == QLatin1String("auth/token/from_oauth1"))
        return tokenFromOAuth1(route, request);

    // Bearer token.
    const QString authorization = QString::fromStdString(request.get_header_value("Authorization"));
    if (!authorization.startsWith(QLatin1String("Bearer ")) || authorization.size() <= 7)
        return textError(400, route, QStringLiteral("The given OAuth 2 access token is malformed."));
    const QString token = authorization.mid(7);
    const auto owner = tokens.find(token);
    if (owner == tokens.end())
        return jsonError(401, QStringLiteral("invalid_access_token/.."),
                         tagged(QStringLiteral("invalid_access_token")));
    if (expired.count(token))
        return jsonError(401, QStringLiteral("expired_access_token/."),
                         tagged(QStringLiteral("expired_access_token")));
    Account *account = accountFor(owner->second);
    if (!account)
        return jsonError(401, QStringLiteral("invalid_access_token/.."),
                         tagged(QStringLiteral("invalid_access_token")));

    // Arguments: a JSON body on the API endpoint, the Dropbox-API-Arg header on the content endpoint.
    QByteArray argumentText;
    if (endpoint == QLatin1String("api")) {
        const QString contentType = QString::fromStdString(request.get_header_value("Content-Type"));
        if (!request.body.empty() && !contentType.startsWith(QLatin1String("application/json")))
            return textError(400, route,
                             QStringLiteral("Bad HTTP \"Content-Type\" header: \"%1\". Expecting one of "
                                            "\"application/json\", \"application/json; charset=utf-8\", "
                                            "\"text/plain; charset=dropbox-cors-hack\".")
                                 .arg(contentType));
        argumentText = QByteArray::fromStdString(request.body);
    } else {
        argumentText = QByteArray::fromStdString(request.get_header_value("Dropbox-API-Arg"));
        for (const char c : argumentText) {
            if (uchar(c) >= 0x7F)
                return textError(
                    400, route,
                    QStringLiteral("HTTP header \"Dropbox-API-Arg\": could not decode input as JSON"));
        }
    }

    if (isNoArgumentRoute(route)) {
        if (!argumentText.isEmpty() && argumentText.trimmed() != "null")
            return textError(400, route, QStringLiteral("request body: expected null, got value"));
        return getCurrentAccount(*account);
    }

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(argumentText, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return textError(400, route, QStringLiteral("request body: could not decode input as JSON"));
    const QJsonObject arguments = document.object();
    const QStringList &allowed = knownFields().at(route);
    for (auto it = arguments.begin(); it != arguments.end(); ++it) {
        if (!allowed.contains(it.key()))
            return textError(400, route, QStringLiteral("request body: unknown field '%1'").arg(it.key()));
    }
    if (arguments.contains(QLatin1String("path"))) {
        const QString path = arguments.value(QLatin1String("path")).toString();
        if (path == QLatin1String("/") || (!path.isEmpty() && !path.startsWith(QLatin1Char('/'))))
            return textError(400, route,
                             QStringLiteral("request body: path: '%1' did not match pattern "
                                            "'(/(.|[\\r\\n])*)?|id:.*|(ns:[0-9]+(/.*)?)'")
                                 .arg(path));
    }

    if (route == QLatin1String("files/list_folder"))
        return listFolder(*account, route, arguments);
    if (route == QLatin1String("files/list_folder/continue"))
        return listFolderContinue(*account, route, arguments);
    if (route == QLatin1String("files/create_folder"))
        return createFolder(*account, route, arguments);
    if (route == QLatin1String("files/delete"))
        return deletePath(*account, route, arguments);
    if (route == QLatin1String("files/upload"))
        return upload(*account, route, arguments, QByteArray::fromStdString(request.body));
    return download(*account, route, arguments);
}

Reply FakeDropboxServer::State::getCurrentAccount(Account &account)
{
    const QStringList names = account.displayName.split(QLatin1Char(' '));
    Reply reply;
    reply.body = json({
        {QStringLiteral("account_id"), account.id},
        {QStringLiteral("name"),
         QJsonObject{{QStringLiteral("given_name"), names.first()},
                     {QStringLiteral("surname"), names.size() > 1 ? names.at(1) : QString()},
                     {QStringLiteral("familiar_name"), names.first()},
                     {QStringLiteral("display_name"), account.displayName}}},
        {QStringLiteral("email"), QStringLiteral("user@example.com")},
        {QStringLiteral("email_verified"), false},
        {QStringLiteral("disabled"), false},
        {QStringLiteral("country"), QStringLiteral("DE")},
        {QStringLiteral("locale"), QStringLiteral("en")},
        {QStringLiteral("is_paired"), false},
        {QStringLiteral("account_type"), tagged(QStringLiteral("basic"))},
    });
    return reply;
}

// The older form of the call: signed with OAuth 1.0, answering {"access_token", "token_type"}.
Reply FakeDropboxServer::State::tokenFromOAuth1(const QString &route, const httplib::Request &request)
{
    const QString header = QString::fromStdString(request.get_header_value("Authorization"));
    const Reply invalid = jsonError(401, QStringLiteral("invalid_access_token/.."),
                                    tagged(QStringLiteral("invalid_access_token")));
    if (!header.startsWith(QLatin1String("OAuth ")))
        return textError(400, route, QStringLiteral("Missing OAuth 1.0 authorization"));
    std::map<QString, QString> parameters; // sorted by name
    for (const QString &field : header.mid(6).split(QLatin1Char(','))) {
        const QString name = field.section(QLatin1Char('='), 0, 0).trimmed();
        QString value = field.section(QLatin1Char('='), 1);
        if (value.size() < 2 || !value.startsWith(QLatin1Char('"')) || !value.endsWith(QLatin1Char('"')))
            return textError(400, route, QStringLiteral("Malformed OAuth 1.0 authorization"));
        parameters[name] = percentDecoded(value.mid(1, value.size() - 2));
    }
    const QString signature = parameters[QStringLiteral("oauth_signature")];
    parameters.erase(QStringLiteral("oauth_signature"));
    const auto oauth1 = oauth1Tokens.find(parameters[QStringLiteral("oauth_token")]);
    if (parameters[QStringLiteral("oauth_consumer_key")] != appKey || oauth1 == oauth1Tokens.end() ||
        parameters[QStringLiteral("oauth_signature_method")] != QLatin1String("HMAC-SHA1") ||
        parameters[QStringLiteral("oauth_version")] != QLatin1String("1.0") ||
        parameters[QStringLiteral("oauth_nonce")].isEmpty() ||
        parameters[QStringLiteral("oauth_timestamp")].isEmpty())
        return invalid;

    QStringList pairs;
    for (const auto &[name, value] : parameters)
        pairs.append(name + QLatin1Char('=') + percentEncoded(value));
    const QString url = QStringLiteral("http://127.0.0.1:%1/api/2/%2").arg(port).arg(route);
    const QString base =
        QStringLiteral("POST&%1&%2").arg(percentEncoded(url), percentEncoded(pairs.join(QLatin1Char('&'))));
    const QByteArray key = (appSecret + QLatin1Char('&') + oauth1->second.first).toUtf8();
    const QByteArray expected =
        QMessageAuthenticationCode::hash(base.toUtf8(), key, QCryptographicHash::Sha1).toBase64();
    if (expected != signature.toLatin1())
        return invalid;

    const QString newToken = QStringLiteral("upgraded-") + QUuid::createUuid().toString(QUuid::Id128);
    tokens[newToken] = oauth1->second.second;
    Reply reply;
    reply.body = json({{QStringLiteral("access_token"), newToken},
                       {QStringLiteral("token_type"), QStringLiteral("bearer")},
                       {QStringLiteral("uid"), QStringLiteral("12345")}});
    return reply;
}

QJsonObject FakeDropboxServer::State::metadata(const Node &node, bool withTag) const
{
    QJsonObject object{{QStringLiteral("name"), nameOf(node.displayPath)},
                       {QStringLiteral("path_lower"), lower(node.displayPath)},
                       {QStringLiteral("path_display"), node.displayPath}};
    if (node.deleted) {
        object.insert(QStringLiteral(".tag"), QStringLiteral("deleted"));
        return object;
    }
    object.insert(QStringLiteral("id"), node.id);
    if (!node.folder) {
        const QString time = node.modified.toString(Qt::ISODate);
        object.insert(QStringLiteral("client_modified"), time);
        object.insert(QStringLiteral("server_modified"), time);
        object.insert(QStringLiteral("rev"), node.rev);
        object.insert(QStringLiteral("size"), node.content.size());
        object.insert(QStringLiteral("is_downloadable"), true);
        object.insert(
            QStringLiteral("content_hash"),
            QString::fromLatin1(QCryptographicHash::hash(node.content, QCryptographicHash::Sha256).toHex()));
    }
    if (withTag)
        object.insert(QStringLiteral(".tag"),
                      node.folder ? QStringLiteral("folder") : QStringLiteral("file"));
    return object;
}

void FakeDropboxServer::State::makeFolders(Account &account, const QString &path)
{
    if (path.isEmpty())
        return;
    makeFolders(account, parentOf(path));
    Node &node = account.nodes[lower(path)];
    if (node.folder && !node.deleted && !node.id.isEmpty())
        return;
    node = Node{};
    node.folder = true;
    node.displayPath = path;
    node.id = QStringLiteral("id:") + QUuid::createUuid().toString(QUuid::Id128).left(22);
    node.sequence = ++sequence;
}

Node &FakeDropboxServer::State::writeFile(Account &account, const QString &path, const QByteArray &content)
{
    makeFolders(account, parentOf(path));
    Node &node = account.nodes[lower(path)];
    const bool existed = !node.deleted && !node.id.isEmpty() && !node.folder;
    if (existed && node.content == content)
        return node; // identical content: nothing is written, the revision stays
    if (!existed) {
        node = Node{};
        node.id = QStringLiteral("id:") + QUuid::createUuid().toString(QUuid::Id128).left(22);
    }
    node.displayPath = path;
    node.content = content;
    node.rev = newRevision();
    node.modified = QDateTime::currentDateTimeUtc();
    node.sequence = ++sequence;
    return node;
}

void FakeDropboxServer::State::markDeleted(Account &account, const QString &pathLower)
{
    for (auto &[path, node] : account.nodes) {
        if ((path == pathLower || path.startsWith(pathLower + QLatin1Char('/'))) && !node.deleted) {
            node.deleted = true;
            node.sequence = ++sequence;
        }
    }
}

Reply FakeDropboxServer::State::page(const QString &cursorKey, Cursor cursor)
{
    QJsonArray entries;
    while (!cursor.pending.isEmpty() && entries.size() < pageSize) {
        entries.append(cursor.pending.first());
        cursor.pending.removeFirst();
    }
    const bool hasMore = !cursor.pending.isEmpty();
    const QString key =
        cursorKey.isEmpty() ? QStringLiteral("AAF") + QUuid::createUuid().toString(QUuid::Id128) : cursorKey;
    cursors[key] = cursor;
    Reply reply;
    reply.body = json({{QStringLiteral("entries"), entries},
                       {QStringLiteral("cursor"), key},
                       {QStringLiteral("has_more"), hasMore}});
    return reply;
}

Reply FakeDropboxServer::State::listFolder(Account &account, const QString &route,
                                           const QJsonObject &arguments)
{
    const QString folder = lower(arguments.value(QLatin1String("path")).toString());
    if (!folder.isEmpty()) {
        const auto node = account.nodes.find(folder);
        if (node == account.nodes.end() || node->second.deleted)
            return jsonError(409, QStringLiteral("path/not_found/.."),
                             nested(QStringLiteral("path"), QStringLiteral("not_found")));
        if (!node->second.folder)
            return jsonError(409, QStringLiteral("path/not_folder/.."),
                             nested(QStringLiteral("path"), QStringLiteral("not_folder")));
    }
    Cursor cursor;
    cursor.accountId = account.id;
    cursor.folder = folder;
    cursor.recursive = arguments.value(QLatin1String("recursive")).toBool();
    cursor.includeDeleted = arguments.value(QLatin1String("include_deleted")).toBool();
    cursor.since = sequence;
    for (const auto &[path, node] : account.nodes) {
        const bool inside =
            cursor.recursive ? path.startsWith(folder + QLatin1Char('/')) : parentOf(path) == folder;
        if (inside && (!node.deleted || cursor.includeDeleted))
            cursor.pending.append(metadata(node, true));
    }
    Q_UNUSED(route);
    return page({}, cursor);
}

Reply FakeDropboxServer::State::listFolderContinue(Account &account, const QString &route,
                                                   const QJsonObject &arguments)
{
    const QString key = arguments.value(QLatin1String("cursor")).toString();
    const auto found = cursors.find(key);
    if (cursorsRejected || found == cursors.end() || found->second.accountId != account.id)
        return textError(400, route, QStringLiteral("Invalid \"cursor\" parameter: Invalid cursor"));
    if (resetNextContinue) {
        resetNextContinue = false;
        return jsonError(409, QStringLiteral("reset/..."), tagged(QStringLiteral("reset")));
    }
    Cursor cursor = found->second;
    if (cursor.pending.isEmpty()) {
        // Changes since the cursor, oldest first; deletions as "deleted" entries.
        std::vector<const Node *> changed;
        for (const auto &[path, node] : account.nodes) {
            const bool inside = cursor.recursive ? path.startsWith(cursor.folder + QLatin1Char('/'))
                                                 : parentOf(path) == cursor.folder;
            if (inside && node.sequence > cursor.since)
                changed.push_back(&node);
        }
        std::sort(changed.begin(), changed.end(),
                  [](const Node *a, const Node *b) { return a->sequence < b->sequence; });
        for (const Node *node : changed)
            cursor.pending.append(metadata(*node, true));
        cursor.since = sequence;
    }
    return page({}, cursor);
}

Reply FakeDropboxServer::State::createFolder(Account &account, const QString &route,
                                             const QJsonObject &arguments)
{
    Q_UNUSED(route);
    const QString path = arguments.value(QLatin1String("path")).toString();
    const auto existing = account.nodes.find(lower(path));
    if (existing != account.nodes.end() && !existing->second.deleted) {
        const QString kind = existing->second.folder ? QStringLiteral("folder") : QStringLiteral("file");
        return jsonError(
            409, QStringLiteral("path/conflict/%1/..").arg(kind),
            {{QStringLiteral(".tag"), QStringLiteral("path")},
             {QStringLiteral("path"), QJsonObject{{QStringLiteral(".tag"), QStringLiteral("conflict")},
                                                  {QStringLiteral("conflict"), tagged(kind)}}}});
    }
    makeFolders(account, path);
    Reply reply;
    reply.body = json(metadata(account.nodes[lower(path)], false));
    return reply;
}

Reply FakeDropboxServer::State::deletePath(Account &account, const QString &route,
                                           const QJsonObject &arguments)
{
    Q_UNUSED(route);
    const QString path = lower(arguments.value(QLatin1String("path")).toString());
    const auto existing = account.nodes.find(path);
    if (existing == account.nodes.end() || existing->second.deleted)
        return jsonError(409, QStringLiteral("path_lookup/not_found/."),
                         nested(QStringLiteral("path_lookup"), QStringLiteral("not_found")));
    const QJsonObject before = metadata(existing->second, true);
    markDeleted(account, path);
    Reply reply;
    reply.body = json(before);
    return reply;
}

Reply FakeDropboxServer::State::upload(Account &account, const QString &route, const QJsonObject &arguments,
                                       const QByteArray &data)
{
    Q_UNUSED(route);
    const QString path = arguments.value(QLatin1String("path")).toString();
    const QJsonValue mode = arguments.value(QLatin1String("mode"));
    const auto existing = account.nodes.find(lower(path));
    const Node *current =
        existing != account.nodes.end() && !existing->second.deleted ? &existing->second : nullptr;

    auto conflict = [](const QString &kind) {
        Reply reply = jsonError(
            409, QStringLiteral("path/conflict/%1/.").arg(kind),
            {{QStringLiteral(".tag"), QStringLiteral("path")},
             {QStringLiteral("reason"), QJsonObject{{QStringLiteral(".tag"), QStringLiteral("conflict")},
                                                    {QStringLiteral("conflict"), tagged(kind)}}},
             {QStringLiteral("upload_session_id"), QStringLiteral("pid_upload_session:ABCD")}});
        return reply;
    };
    if (current && current->folder)
        return conflict(QStringLiteral("folder"));

    const QString modeTag =
        mode.isString() ? mode.toString() : mode.toObject().value(QLatin1String(".tag")).toString();
    if (modeTag.isEmpty() || modeTag == QLatin1String("add")) {
        if (current && current->content != data)
            return conflict(QStringLiteral("file"));
    } else if (modeTag == QLatin1String("update")) {
        const QString rev = mode.toObject().value(QLatin1String("update")).toString();
        if (!current || current->rev != rev)
            return conflict(QStringLiteral("file"));
    } else if (modeTag != QLatin1String("overwrite")) {
        return textError(
            400, route,
            QStringLiteral("HTTP header \"Dropbox-API-Arg\": mode: unknown tag '%1'").arg(modeTag));
    }
    Reply reply;
    reply.body = json(metadata(writeFile(account, path, data), false));
    return reply;
}

Reply FakeDropboxServer::State::download(Account &account, const QString &route, const QJsonObject &arguments)
{
    Q_UNUSED(route);
    const QString path = lower(arguments.value(QLatin1String("path")).toString());
    const auto existing = account.nodes.find(path);
    if (existing == account.nodes.end() || existing->second.deleted)
        return jsonError(409, QStringLiteral("path/not_found/..."),
                         nested(QStringLiteral("path"), QStringLiteral("not_found")));
    if (existing->second.folder)
        return jsonError(409, QStringLiteral("path/not_file/..."),
                         nested(QStringLiteral("path"), QStringLiteral("not_file")));
    Reply reply;
    reply.contentType = "application/octet-stream";
    reply.body = existing->second.content;
    reply.headers.emplace_back("Dropbox-API-Result",
                               headerSafeJson(metadata(existing->second, false)).toStdString());
    return reply;
}
