#include "DropboxClient.h"

#include "DropboxConfig.h"
#include "DropboxJson.h"
#include "OAuth1Signature.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QTemporaryFile>
#include <QUuid>

Q_LOGGING_CATEGORY(lcDropbox, "pendulo.courier.dropbox")

namespace {

const QString GetCurrentAccountPath = QStringLiteral("users/get_current_account");
const QString TokenFromOAuth1Path = QStringLiteral("auth/token/from_oauth1");
const QString ListFolderPath = QStringLiteral("files/list_folder");
const QString ListFolderContinuePath = QStringLiteral("files/list_folder/continue");
const QString CreateFolderPath = QStringLiteral("files/create_folder");
const QString DeletePath = QStringLiteral("files/delete");
const QString UploadPath = QStringLiteral("files/upload");
const QString DownloadPath = QStringLiteral("files/download");

QJsonObject jsonObjectMember(const QJsonObject &object, const QString &key)
{
    return object.value(key).toObject();
}

QString tagOf(const QJsonObject &object)
{
    return object.value(QLatin1String(".tag")).toString();
}

// {"error": {".tag": outer, outer: {".tag": inner}}}
bool hasNestedErrorTag(const QByteArray &body, const QString &outer, const QString &inner)
{
    const QJsonObject error = jsonObjectMember(DropboxJson::objectFromBody(body), QStringLiteral("error"));
    return tagOf(error) == outer && tagOf(jsonObjectMember(error, outer)) == inner;
}

} // namespace

DropboxClient::Configuration DropboxClient::Configuration::fromBuildAndEnvironment()
{
    Configuration configuration;
    configuration.apiBaseUrl = DropboxConfig::apiBaseUrl(&configuration.apiUrlError);
    configuration.contentBaseUrl = DropboxConfig::contentBaseUrl(&configuration.contentUrlError);
    configuration.appKey = DropboxConfig::appKey();
    const QString secret = qEnvironmentVariable(DropboxConfig::AppSecretVariable);
    configuration.appSecret =
        secret.isEmpty() ? QString::fromUtf8(PENDULO_DROPBOX_APP_SECRET_DEFAULT) : secret;
    return configuration;
}

DropboxClient::DropboxClient(const Configuration &configuration, QObject *parent)
    : QObject(parent)
    , m_configuration(configuration)
    , m_api(new HttpEndpoint(configuration.apiBaseUrl, configuration.apiUrlError, this))
    , m_content(new HttpEndpoint(configuration.contentBaseUrl, configuration.contentUrlError, this))
    , m_temporaryFolder(QDir::tempPath())
{}

QString DropboxClient::clientApiUrlWithPath(const QString &path) const
{
    return m_api->urlForPath(path).toString();
}

QString DropboxClient::contentApiUrlWithPath(const QString &path) const
{
    return m_content->urlForPath(path).toString();
}

QString DropboxClient::remotePath(const QString &name) const
{
    return m_syncRoot + QLatin1Char('/') + name;
}

HttpHeaders DropboxClient::bearerHeaders() const
{
    HttpHeaders headers;
    if (m_token)
        headers.emplaceBack(QByteArray("Authorization"), QStringLiteral("Bearer %1").arg(*m_token).toUtf8());
    return headers;
}

void DropboxClient::postJson(HttpEndpoint &endpoint, const QString &path,
                             const std::optional<QJsonObject> &arguments, HttpEndpoint::Completion done)
{
    HttpHeaders headers = bearerHeaders();
    QByteArray body;
    if (arguments) {
        headers.emplaceBack(QByteArray("Content-Type"), "application/json");
        body = DropboxJson::compact(*arguments);
    }
    endpoint.post(path, headers, body, std::move(done));
}

void DropboxClient::syncInitWithSyncRoot(const QString &syncRoot, const std::optional<QString> &token)
{
    m_syncRoot = syncRoot.startsWith(QLatin1Char('/')) ? syncRoot : QLatin1Char('/') + syncRoot;
    m_token = token;
}

void DropboxClient::getAccountInfoWithReply(std::function<void(const AccountInfoReply &)> reply)
{
    postJson(*m_api, GetCurrentAccountPath, std::nullopt, [reply](const HttpResult &result) {
        AccountInfoReply answer;
        if (result.success) {
            const QJsonObject account = DropboxJson::objectFromBody(result.body);
            const QJsonValue displayName =
                jsonObjectMember(account, QStringLiteral("name")).value(QLatin1String("display_name"));
            const QJsonValue accountId = account.value(QLatin1String("account_id"));
            if (displayName.isString() && accountId.isString()) {
                answer.displayName = displayName.toString();
                answer.accountId = accountId.toString();
                reply(answer);
                return;
            }
        }
        answer.error = DropboxJson::errorMessage(result);
        reply(answer);
    });
}

void DropboxClient::upgradeTokenWithTokenSecret(const QString &tokenSecret,
                                                std::function<void(const UpgradeTokenReply &)> reply)
{
    if (m_configuration.appKey.isEmpty()) {
        UpgradeTokenReply answer;
        answer.error = DropboxConfig::missingAppKeyMessage();
        QMetaObject::invokeMethod(
            this, [reply, answer] { reply(answer); }, Qt::QueuedConnection);
        return;
    }
    OAuth1Signature::Input input;
    input.url = clientApiUrlWithPath(TokenFromOAuth1Path);
    input.httpMethod = QStringLiteral("POST");
    input.consumerKey = m_configuration.appKey;
    input.consumerSecret = m_configuration.appSecret;
    input.token = m_token.value_or(QString());
    input.tokenSecret = tokenSecret;
    input.timestamp = QString::number(QDateTime::currentSecsSinceEpoch());
    input.nonce = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const HttpHeaders headers{
        {"Authorization", OAuth1Signature::authorizationHeader(OAuth1Signature::signedParameters(input))}};

    m_api->post(TokenFromOAuth1Path, headers, {}, [this, reply](const HttpResult &result) {
        UpgradeTokenReply answer;
        if (!result.success) {
            answer.error = DropboxJson::errorMessage(result);
        } else if (result.body.isEmpty()) {
            answer.error = QStringLiteral("Failed to update oauth token");
        } else {
            bool isObject = false;
            const QJsonObject object = DropboxJson::objectFromBody(result.body, &isObject);
            const QJsonValue tokenType = object.value(QLatin1String("token_type"));
            const QJsonValue accessToken = object.value(QLatin1String("access_token"));
            if (!isObject)
                answer.error = QStringLiteral("Invalid upgrade token response");
            else if (tokenType.toString() != QLatin1String("bearer"))
                answer.error = QStringLiteral("Invalid upgrade token type");
            else if (!accessToken.isString() || accessToken.toString().isEmpty())
                answer.error = QStringLiteral("Invalid upgrade token");
            else
                answer.token = m_token = accessToken.toString();
        }
        reply(answer);
    });
}

void DropboxClient::syncGetChangesForCursor(const std::optional<QString> &cursor,
                                            std::function<void(const ChangesReply &)> reply)
{
    loadEntriesForCursor(cursor, Listing{}, std::move(reply));
}

void DropboxClient::loadEntriesForCursor(const std::optional<QString> &cursor, Listing listing,
                                         std::function<void(const ChangesReply &)> reply)
{
    QJsonObject arguments;
    QString path;
    if (cursor) {
        path = ListFolderContinuePath;
        arguments.insert(QStringLiteral("cursor"), *cursor);
    } else {
        path = ListFolderPath;
        arguments.insert(QStringLiteral("path"), m_syncRoot);
        arguments.insert(QStringLiteral("recursive"), false);
        arguments.insert(QStringLiteral("include_media_info"), false);
        arguments.insert(QStringLiteral("include_deleted"), true);
        arguments.insert(QStringLiteral("include_has_explicit_shared_members"), false);
        listing.fullFetch = true;
    }
    postJson(*m_api, path, arguments, [this, cursor, listing, reply](const HttpResult &result) mutable {
        if (!result.success) {
            handleListingFailure(result, cursor, listing, reply);
            return;
        }
        bool isObject = false;
        const QJsonObject page = DropboxJson::objectFromBody(result.body, &isObject);
        ChangesReply answer;
        answer.fullFetch = listing.fullFetch;
        if (!isObject) {
            answer.error = QStringLiteral("Invalid folder content");
            reply(answer);
            return;
        }
        const QJsonValue entries = page.value(QLatin1String("entries"));
        if (entries.isArray()) {
            for (const QJsonValue &entry : entries.toArray())
                listing.entries.append(entry);
        }
        const QJsonValue nextCursor = page.value(QLatin1String("cursor"));
        const std::optional<QString> returnedCursor =
            nextCursor.isString() ? std::optional<QString>(nextCursor.toString()) : std::nullopt;
        if (page.value(QLatin1String("has_more")).toBool()) {
            if (!returnedCursor) {
                answer.error = QStringLiteral("Invalid folder content");
                reply(answer);
                return;
            }
            loadEntriesForCursor(returnedCursor, listing, reply);
            return;
        }
        answer.entries = listing.entries;
        answer.cursor = returnedCursor;
        reply(answer);
    });
}

void DropboxClient::handleListingFailure(const HttpResult &result, const std::optional<QString> &cursor,
                                         const Listing &listing,
                                         std::function<void(const ChangesReply &)> reply)
{
    const bool continuation = cursor.has_value();
    ChangesReply answer;
    answer.fullFetch = listing.fullFetch;

    if (continuation && result.status == 400 &&
        result.bodyText().trimmed().endsWith(QLatin1String("Invalid cursor"))) {
        if (listing.retried) {
            answer.error = QStringLiteral("Failed to load sync content");
            reply(answer);
            return;
        }
        Listing restart = listing;
        restart.retried = true;
        loadEntriesForCursor(std::nullopt, restart, reply);
        return;
    }
    if (result.status == 304) {
        answer.cursor = cursor;
        reply(answer);
        return;
    }
    if (result.status == 409 &&
        hasNestedErrorTag(result.body, QStringLiteral("path"), QStringLiteral("not_found"))) {
        qCInfo(lcDropbox) << "The sync folder" << m_syncRoot << "does not exist; creating it";
        syncMkDir(m_syncRoot, [reply, answer](const std::optional<QString> &) { reply(answer); });
        return;
    }
    if (continuation && tagOf(jsonObjectMember(DropboxJson::objectFromBody(result.body),
                                               QStringLiteral("error"))) == QLatin1String("reset")) {
        loadEntriesForCursor(std::nullopt, listing, reply);
        return;
    }
    answer.error = DropboxJson::errorMessage(result);
    reply(answer);
}

void DropboxClient::syncMkDir(const QString &folder,
                              std::function<void(const std::optional<QString> &error)> reply)
{
    const QJsonObject arguments{{QStringLiteral("path"), folder}, {QStringLiteral("autorename"), false}};
    postJson(*m_api, CreateFolderPath, arguments, [reply](const HttpResult &result) {
        reply(result.success ? std::nullopt : std::optional<QString>(DropboxJson::errorMessage(result)));
    });
}

void DropboxClient::syncPutFile(QFile &file, const QString &name, const std::optional<QString> &revision,
                                std::function<void(const PutFileReply &)> reply)
{
    const QByteArray content = file.readAll();
    const QString path = remotePath(name);
    QJsonObject arguments{{QStringLiteral("path"), path},
                          {QStringLiteral("autorename"), false},
                          {QStringLiteral("mute"), false}};
    if (revision)
        arguments.insert(QStringLiteral("mode"),
                         QJsonObject{{QStringLiteral(".tag"), QStringLiteral("update")},
                                     {QStringLiteral("update"), *revision}});
    else
        arguments.insert(QStringLiteral("mode"), QStringLiteral("add"));

    HttpHeaders headers = bearerHeaders();
    headers.emplaceBack(QByteArray("Content-Type"), "application/octet-stream");
    headers.emplaceBack(QByteArray("Dropbox-API-Arg"), DropboxJson::headerSafe(arguments));
    headers.emplaceBack(QByteArray("Content-Length"), QByteArray::number(content.size()));
    m_content->post(UploadPath, headers, content, [reply, path, name](const HttpResult &result) {
        PutFileReply answer;
        if (!result.success) {
            answer.error = DropboxJson::errorMessage(result);
            reply(answer);
            return;
        }
        bool isObject = false;
        const QJsonObject metadata = DropboxJson::objectFromBody(result.body, &isObject);
        const QJsonValue pathLower = metadata.value(QLatin1String("path_lower"));
        if (result.body.isEmpty())
            answer.error = QStringLiteral("Invalid return data for PUT file command. Metadata not found!");
        else if (!isObject)
            answer.error = QStringLiteral("Invalid metadata for PUT file command. Invalid JSON!");
        else if (!pathLower.isString())
            answer.error =
                QStringLiteral("Invalid metadata for PUT file command. 'path_lower' property not found!");
        // Dropbox gives the stored path in lower case; any other path means it stored another file.
        else if (pathLower.toString() != path.toLower())
            answer.error = QStringLiteral("Failed to update file: %1. Revision mismatch.").arg(name);
        else
            answer.metadata = result.body;
        reply(answer);
    });
}

void DropboxClient::syncGetFile(const QString &name, std::function<void(const GetFileReply &)> reply)
{
    // Only the last part of the name goes into the template, so that no name can place the file
    // outside the temporary folder.
    const QString localName = QFileInfo(name).fileName();
    auto download = QSharedPointer<QTemporaryFile>::create(
        m_temporaryFolder + QLatin1Char('/') +
        (localName.isEmpty() ? QStringLiteral("download") : localName) + QStringLiteral(".XXXXXX"));
    if (!download->open()) {
        GetFileReply answer;
        answer.error = QStringLiteral("GET file operation failed. Unable to create a temporary file: %1")
                           .arg(download->errorString());
        QMetaObject::invokeMethod(
            this, [reply, answer] { reply(answer); }, Qt::QueuedConnection);
        return;
    }
    HttpHeaders headers = bearerHeaders();
    headers.emplaceBack(QByteArray("Dropbox-API-Arg"),
                        DropboxJson::headerSafe({{QStringLiteral("path"), remotePath(name)}}));
    m_content->postToFile(DownloadPath, headers, {}, download, [reply, download](const HttpResult &result) {
        GetFileReply answer;
        if (!result.success) {
            answer.status = result.status;
            answer.error = DropboxJson::errorMessage(result);
            reply(answer);
            return;
        }
        // The reader gets its own handle at the start of the file. The temporary file itself is removed
        // when `download` goes; the open handle keeps its content readable.
        auto file = QSharedPointer<QFile>::create(download->fileName());
        if (!file->open(QIODevice::ReadOnly)) {
            answer.error =
                QStringLiteral("GET file operation failed. Unable to read data from downloaded file!");
            reply(answer);
            return;
        }
        answer.file = file;
        answer.metadata = result.header("Dropbox-API-Result");
        reply(answer);
    });
}

void DropboxClient::syncDeleteFile(const QString &name, std::function<void(const DeleteFileReply &)> reply)
{
    const QJsonObject arguments{{QStringLiteral("path"), remotePath(name)}};
    postJson(*m_api, DeletePath, arguments, [reply](const HttpResult &result) {
        DeleteFileReply answer;
        if (result.success || result.status == 404) {
            reply(answer);
            return;
        }
        if (result.status != 409) {
            answer.error = QStringLiteral("DELETE file operation failed.");
            reply(answer);
            return;
        }
        if (hasNestedErrorTag(result.body, QStringLiteral("path_lookup"), QStringLiteral("not_found"))) {
            reply(answer); // already gone
            return;
        }
        const QJsonValue userMessage =
            DropboxJson::objectFromBody(result.body).value(QLatin1String("user_message"));
        // Dropbox sends a user message as {"locale": ..., "text": ...}; older answers as plain text.
        const QString userText = userMessage.isString()
                                     ? userMessage.toString()
                                     : userMessage.toObject().value(QLatin1String("text")).toString();
        if (!userText.isEmpty())
            answer.error = userText;
        else
            answer.error = QStringLiteral("DELETE file operation failed: %1").arg(result.bodyText());
        reply(answer);
    });
}
