#pragma once

#include "CloudCourierProtocol.h"
#include "HttpEndpoint.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QUrl>

#include <functional>
#include <optional>

// Carries out the Dropbox service's operations against version 2 of the Dropbox HTTP API, for one
// connection: its own token and sync folder, and one HTTP endpoint object each for the API and the
// content endpoint. Every operation calls its reply exactly once.
class DropboxClient : public QObject
{
    Q_OBJECT

public:
    struct Configuration
    {
        QUrl apiBaseUrl; // empty: unusable, requests fail with `apiUrlError`
        QString apiUrlError;
        QUrl contentBaseUrl;
        QString contentUrlError;
        QString appKey;
        QString appSecret;

        // The build's configuration with the environment's endpoint overrides.
        static Configuration fromBuildAndEnvironment();
    };

    explicit DropboxClient(const Configuration &configuration, QObject *parent = nullptr);

    void getAccountInfoWithReply(std::function<void(const AccountInfoReply &)> reply);
    void upgradeTokenWithTokenSecret(const QString &tokenSecret,
                                     std::function<void(const UpgradeTokenReply &)> reply);
    void syncInitWithSyncRoot(const QString &syncRoot, const std::optional<QString> &token);
    void syncGetChangesForCursor(const std::optional<QString> &cursor,
                                 std::function<void(const ChangesReply &)> reply);
    // Reads the whole content of `file` from its current position.
    void syncPutFile(QFile &file, const QString &name, const std::optional<QString> &revision,
                     std::function<void(const PutFileReply &)> reply);
    void syncGetFile(const QString &name, std::function<void(const GetFileReply &)> reply);
    void syncDeleteFile(const QString &name, std::function<void(const DeleteFileReply &)> reply);
    void syncMkDir(const QString &folder, std::function<void(const std::optional<QString> &error)> reply);

    std::optional<QString> token() const { return m_token; }
    QString syncRoot() const { return m_syncRoot; }

    QString clientApiUrlWithPath(const QString &path) const;
    QString contentApiUrlWithPath(const QString &path) const;

    // Where downloads are written before their handle is passed on (the system's temporary folder by
    // default).
    void setTemporaryFolder(const QString &folder) { m_temporaryFolder = folder; }

private:
    struct Listing
    {
        QJsonArray entries;
        bool retried = false;
        bool fullFetch = false;
    };

    void loadEntriesForCursor(const std::optional<QString> &cursor, Listing listing,
                              std::function<void(const ChangesReply &)> reply);
    void handleListingFailure(const HttpResult &result, const std::optional<QString> &cursor,
                              const Listing &listing, std::function<void(const ChangesReply &)> reply);

    HttpHeaders bearerHeaders() const;
    void postJson(HttpEndpoint &endpoint, const QString &path, const std::optional<QJsonObject> &arguments,
                  HttpEndpoint::Completion done);
    QString remotePath(const QString &name) const;

    Configuration m_configuration;
    HttpEndpoint *m_api;
    HttpEndpoint *m_content;
    std::optional<QString> m_token;
    QString m_syncRoot;
    QString m_temporaryFolder;
};
