#pragma once

#include "PDSyncServiceBackend.h"

#include <QByteArray>
#include <QJsonArray>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class CloudCourierConnection;
class Keychain;
class PdSettings;
class QFile;
class QThread;

// Tells whoever shows the Dropbox connection that the connected account changed (connected,
// disconnected, or its name or id learnt). Emitted on the main thread.
class PdDropboxAuthNotifier : public QObject
{
    Q_OBJECT

public:
    static PdDropboxAuthNotifier *instance();

Q_SIGNALS:
    void pdDropboxAuthChanged();

private:
    using QObject::QObject;
};

// The storage of sync runs on Dropbox, reached through the Dropbox service process (`pendulo-courier`).
// The token lives in the keychain, the change cursor in the setting "dropbox_hash". Downloads and
// uploads are guarded by Dropbox revisions, so a version another computer wrote is never overwritten
// unseen.
//
// The service connection lives on a thread of the backend's own; replies and so the completions of the
// operations arrive there. Settings are only written on the settings object's thread (queued when
// called from elsewhere). Operations may be called from any thread, one at a time.
class PDDropboxSyncBackend : public PDSyncServiceBackend
{
public:
    // The folder of the sync files in the Dropbox application folder.
    static const QString syncFolder; // "sync"
    static const QString notConnectedMessage;

    // Keychain accounts of the tokens.
    static const QString tokenAccount;     // "oauth2_token"
    static const QString oldTokenAccount;  // "oauth_token"
    static const QString oldSecretAccount; // "oauth_token_secret"

    // `settings` and `keychain` must outlive the backend; the cursor is read from the settings now.
    PDDropboxSyncBackend(PdSettings &settings, Keychain &keychain);
    ~PDDropboxSyncBackend() override;
    PDDropboxSyncBackend(const PDDropboxSyncBackend &) = delete;
    PDDropboxSyncBackend &operator=(const PDDropboxSyncBackend &) = delete;

    void saveSavepoint() override;
    void deleteSavepoint() override;
    void initializeBackend(Completion completion) override;
    void fetchChangesWithLocalCache(const QList<PDTmpSyncFile> &localFiles, FetchHandler handler) override;
    void downloadFileWithName(const QString &fileName, const std::optional<PDTmpSyncFile> &expected,
                              const QString &localPath, DownloadCallback callback) override;
    void uploadFile(const QString &localPath, const std::optional<PDTmpSyncFile> &revision,
                    UploadBlock block) override;
    void deleteFile(const PDTmpSyncFile &file, Completion block) override;
    QString cachePrefix() const override { return QStringLiteral("dropbox"); }
    qint64 syncMethod() const override { return PDTmpSyncFile::syncMethodDropbox; }

    // ---- The account ----

    // Connected: a non-empty "oauth2_token", or a non-empty "oauth_token" with a non-empty secret.
    static bool isDropboxConnected(Keychain &keychain);
    // Stores the token as "oauth2_token" and then the account. False (and nothing stored) when the
    // keychain refuses the token.
    bool connectDropboxAccountWithName(const QString &name, const QString &accountID, const QString &token);
    // Forgets the account, the cursor and the last sync date, and deletes the three keychain items.
    void disconnectDropbox();
    void updateAccountName(const QString &name, const QString &accountID);
    void saveAccountID(const QString &accountID, const QString &name);
    // Asks Dropbox for the account and stores it. The reply (nothing, or the error message) comes on
    // the settings object's thread, after the account has been stored.
    using AccountReply = std::function<void(const std::optional<QString> &error)>;
    void retrieveAccountInfoWithReply(AccountReply reply);
    // When connected, a backend of its own fetches and stores the account's name; the outcome is ignored.
    static void syncDropboxAccountInfo(PdSettings &settings, Keychain &keychain);

    // ---- Parts, exposed for tests ----

    // The cursor in memory (the last listing's, or the stored one).
    std::optional<QString> cursor() const;
    bool requiresTokenUpgrade() const;
    // The month and deleted-index files of a listing, in listing order; replaces the cursor in memory.
    // Nothing without entries (the cursor then stays). Entries whose members are missing or of the
    // wrong type, other tags and other names are skipped.
    std::optional<QList<PDTmpSyncFile>> getFilesToMerge(const std::optional<QJsonArray> &entries,
                                                        const std::optional<QString> &newCursor);
    // The non-empty text "rev" of a file's JSON metadata; else nothing and "No revision found in metadata".
    static std::optional<QString> getRevisionFromMetadata(const std::optional<QByteArray> &metadata,
                                                          QString *error);
    // Copies the whole content of `file` (from its start) to `cachePath` through a temporary file beside
    // it, replacing an existing file only once the copy is complete.
    static bool copyFile(QFile &file, const QString &cachePath, QString *error);

private:
    CloudCourierConnection &xpcGetConnection();
    // Runs `call` with the connection on the connection's thread.
    void send(std::function<void(CloudCourierConnection &)> call);
    // Runs `change` on the settings object's thread (at once when already there).
    void onSettingsThread(std::function<void(PdSettings &)> change) const;
    void storeCursor(const std::optional<QString> &cursor);
    void upgradeToken(Completion completion);
    void fetchChanges(FetchHandler handler);

    QPointer<PdSettings> m_settings;
    Keychain &m_keychain;

    mutable QMutex m_mutex;
    std::optional<QString> m_dropboxHash;
    bool m_requireTokenUpgrade = false;

    QThread *m_thread = nullptr;
    CloudCourierConnection *m_connection = nullptr;
};
