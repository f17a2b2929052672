#include "PDDropboxSyncBackend.h"

#include "SyncLog.h"

#include "CloudCourierConnection.h"
#include "Keychain.h"
#include "PdSettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>
#include <QThread>

const QString PDDropboxSyncBackend::syncFolder = QStringLiteral("sync");
const QString PDDropboxSyncBackend::notConnectedMessage =
    QStringLiteral("Dropbox is not connected. Please configure Dropbox sync in preferences");
const QString PDDropboxSyncBackend::tokenAccount = QStringLiteral("oauth2_token");
const QString PDDropboxSyncBackend::oldTokenAccount = QStringLiteral("oauth_token");
const QString PDDropboxSyncBackend::oldSecretAccount = QStringLiteral("oauth_token_secret");

namespace {

bool hasText(const std::optional<QString> &value)
{
    return value && !value->isEmpty();
}

// A member that must be a text, or nothing when it is missing or of another type.
std::optional<QString> textMember(const QJsonObject &object, const QString &name)
{
    const QJsonValue value = object.value(name);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

} // namespace

PdDropboxAuthNotifier *PdDropboxAuthNotifier::instance()
{
    static PdDropboxAuthNotifier *notifier = [] {
        auto *made = new PdDropboxAuthNotifier;
        if (QCoreApplication *application = QCoreApplication::instance())
            made->moveToThread(application->thread());
        return made;
    }();
    return notifier;
}

PDDropboxSyncBackend::PDDropboxSyncBackend(PdSettings &settings, Keychain &keychain)
    : m_settings(&settings)
    , m_keychain(keychain)
{
    const QString hash = settings.dropboxHash();
    if (!hash.isEmpty())
        m_dropboxHash = hash;
}

PDDropboxSyncBackend::~PDDropboxSyncBackend()
{
    if (!m_thread)
        return;
    CloudCourierConnection *connection = m_connection;
    const auto close = [connection] {
        connection->invalidate();
        delete connection;
    };
    if (QThread::currentThread() == m_thread) {
        // The last owner let go inside a reply: the thread cannot wait for itself, so it ends on its own.
        close();
        QObject::connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
        m_thread->quit();
        return;
    }
    QMetaObject::invokeMethod(connection, close, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

// ---- The service connection ----

CloudCourierConnection &PDDropboxSyncBackend::xpcGetConnection()
{
    QMutexLocker lock(&m_mutex);
    if (m_connection)
        return *m_connection;

    std::optional<QString> token = m_keychain.getGenericAccountPassword(tokenAccount);
    if (!hasText(token)) {
        token = m_keychain.getGenericAccountPassword(oldTokenAccount);
        m_requireTokenUpgrade = hasText(token);
    }

    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("DropboxCourier"));
    m_connection = new CloudCourierConnection;
    m_connection->moveToThread(m_thread);
    m_thread->start();
    QMetaObject::invokeMethod(
        m_connection,
        [connection = m_connection, token] { connection->syncInitWithSyncRoot(syncFolder, token); },
        Qt::QueuedConnection);
    return *m_connection;
}

void PDDropboxSyncBackend::send(std::function<void(CloudCourierConnection &)> call)
{
    CloudCourierConnection &connection = xpcGetConnection();
    QMetaObject::invokeMethod(
        &connection, [&connection, call = std::move(call)] { call(connection); }, Qt::QueuedConnection);
}

void PDDropboxSyncBackend::onSettingsThread(std::function<void(PdSettings &)> change) const
{
    QPointer<PdSettings> settings = m_settings;
    if (!settings)
        return;
    if (QThread::currentThread() == settings->thread()) {
        change(*settings);
        return;
    }
    QMetaObject::invokeMethod(
        settings.data(),
        [settings, change = std::move(change)] {
            if (settings)
                change(*settings);
        },
        Qt::QueuedConnection);
}

// ---- Cursor ----

std::optional<QString> PDDropboxSyncBackend::cursor() const
{
    QMutexLocker lock(&m_mutex);
    return m_dropboxHash;
}

bool PDDropboxSyncBackend::requiresTokenUpgrade() const
{
    QMutexLocker lock(&m_mutex);
    return m_requireTokenUpgrade;
}

void PDDropboxSyncBackend::storeCursor(const std::optional<QString> &cursor)
{
    onSettingsThread([cursor](PdSettings &settings) { settings.setDropboxHash(cursor.value_or(QString())); });
}

void PDDropboxSyncBackend::saveSavepoint()
{
    storeCursor(cursor());
}

void PDDropboxSyncBackend::deleteSavepoint()
{
    {
        QMutexLocker lock(&m_mutex);
        m_dropboxHash.reset();
    }
    storeCursor(std::nullopt);
}

// ---- Initialisation ----

void PDDropboxSyncBackend::initializeBackend(Completion completion)
{
    if (!isDropboxConnected(m_keychain)) {
        reportError(notConnectedMessage);
        return;
    }
    xpcGetConnection();
    if (!requiresTokenUpgrade()) {
        completion();
        return;
    }
    upgradeToken(std::move(completion));
}

void PDDropboxSyncBackend::upgradeToken(Completion completion)
{
    reportProgress(QStringLiteral("Updating oauth token..."));
    const QString secret = m_keychain.getGenericAccountPassword(oldSecretAccount).value_or(QString());
    send([this, secret, completion = std::move(completion)](CloudCourierConnection &connection) {
        connection.upgradeTokenWithTokenSecret(secret, [this, completion](const UpgradeTokenReply &reply) {
            if (reply.connectionError) {
                reportError(reply.connectionError->message());
                return;
            }
            if (reply.error) {
                reportError(*reply.error);
                return;
            }
            if (!hasText(reply.token) || !m_keychain.saveGenericPassword(*reply.token, tokenAccount)) {
                reportError(QStringLiteral("Failed to store new oauth token"));
                return;
            }
            {
                QMutexLocker lock(&m_mutex);
                m_requireTokenUpgrade = false;
            }
            completion();
        });
    });
}

// ---- Fetch ----

void PDDropboxSyncBackend::fetchChangesWithLocalCache(const QList<PDTmpSyncFile> &, FetchHandler handler)
{
    reportProgress(QStringLiteral("Retrieving account info ..."));
    send([this, handler = std::move(handler)](CloudCourierConnection &connection) {
        connection.getAccountInfoWithReply([this, handler](const AccountInfoReply &reply) {
            if (reply.connectionError) {
                reportError(reply.connectionError->message());
                return;
            }
            if (reply.error) {
                reportError(QStringLiteral("Failed to retrieve Dropbox account info: %1").arg(*reply.error));
                return;
            }
            saveAccountID(reply.accountId.value_or(QString()), reply.displayName.value_or(QString()));
            fetchChanges(handler);
        });
    });
}

void PDDropboxSyncBackend::fetchChanges(FetchHandler handler)
{
    reportProgress(QStringLiteral("Retrieving list of changes..."));
    const std::optional<QString> cursor = this->cursor();
    qCInfo(lcSync).noquote()
        << QStringLiteral("Fetch Dropbox changes with cursor: %1").arg(cursor.value_or(QString()));
    send([this, cursor, handler = std::move(handler)](CloudCourierConnection &connection) {
        connection.syncGetChangesForCursor(cursor, [this, handler](const ChangesReply &reply) {
            if (reply.connectionError) {
                reportError(reply.connectionError->message());
                return;
            }
            if (reply.error) {
                deleteSavepoint();
                reportError(*reply.error);
                return;
            }
            handler(getFilesToMerge(reply.entries, reply.cursor), reply.fullFetch);
        });
    });
}

std::optional<QList<PDTmpSyncFile>>
PDDropboxSyncBackend::getFilesToMerge(const std::optional<QJsonArray> &entries,
                                      const std::optional<QString> &newCursor)
{
    if (!entries)
        return std::nullopt;
    {
        QMutexLocker lock(&m_mutex);
        m_dropboxHash = newCursor;
    }
    reportProgress(QStringLiteral("Merging changes"));

    QList<PDTmpSyncFile> files;
    for (const QJsonValue &value : *entries) {
        const QJsonObject entry = value.toObject();
        const std::optional<QString> tag = textMember(entry, QStringLiteral(".tag"));
        const std::optional<QString> path = textMember(entry, QStringLiteral("path_lower"));
        std::optional<PDTmpSyncFile> file;
        if (tag == u"file") {
            const std::optional<QString> rev = textMember(entry, QStringLiteral("rev"));
            if (!path || !hasText(rev)) {
                qCWarning(lcSync) << "Skipping a Dropbox file entry without a path or revision:" << entry;
                continue;
            }
            qCDebug(lcSync).noquote() << QStringLiteral("Dropbox file: %1; rev: %2").arg(*path, *rev);
            file = PDTmpSyncFile::fromFileName(*path, syncFolder, PDTmpSyncFile::syncMethodDropbox, *rev);
        } else if (tag == u"deleted") {
            if (!path) {
                qCWarning(lcSync) << "Skipping a Dropbox deletion entry without a path:" << entry;
                continue;
            }
            qCDebug(lcSync).noquote() << QStringLiteral("Dropbox deleted file: %1").arg(*path);
            file = PDTmpSyncFile::deletedFileFromFileName(*path, syncFolder);
        }
        if (file)
            files.append(*file);
    }
    return files;
}

// ---- Download ----

std::optional<QString>
PDDropboxSyncBackend::getRevisionFromMetadata(const std::optional<QByteArray> &metadata, QString *error)
{
    std::optional<QString> rev;
    if (metadata) {
        const QJsonDocument document = QJsonDocument::fromJson(*metadata);
        if (document.isObject())
            rev = textMember(document.object(), QStringLiteral("rev"));
    }
    if (hasText(rev))
        return rev;
    if (error)
        *error = QStringLiteral("No revision found in metadata");
    return std::nullopt;
}

bool PDDropboxSyncBackend::copyFile(QFile &file, const QString &cachePath, QString *error)
{
    const auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    if (!file.seek(0))
        return fail(file.errorString());
    QTemporaryFile copy(cachePath + QStringLiteral(".XXXXXX"));
    if (!copy.open())
        return fail(copy.errorString());
    char block[1024];
    for (;;) {
        const qint64 read = file.read(block, sizeof block);
        if (read < 0)
            return fail(file.errorString());
        if (read == 0)
            break;
        if (copy.write(block, read) != read)
            return fail(copy.errorString());
    }
    if (!copy.flush())
        return fail(copy.errorString());
    copy.close();
    file.close();
    if (QFileInfo::exists(cachePath) && !QFile::remove(cachePath))
        return fail(QStringLiteral("Cannot replace %1").arg(cachePath));
    if (!copy.rename(cachePath))
        return fail(copy.errorString());
    copy.setAutoRemove(false);
    return true;
}

void PDDropboxSyncBackend::downloadFileWithName(const QString &fileName,
                                                const std::optional<PDTmpSyncFile> &expected,
                                                const QString &localPath, DownloadCallback callback)
{
    send([this, fileName, expected, localPath,
          callback = std::move(callback)](CloudCourierConnection &connection) {
        connection.syncGetFile(fileName, [this, fileName, expected, localPath,
                                          callback](const GetFileReply &reply) {
            if (reply.connectionError) {
                reportError(reply.connectionError->message());
                return;
            }
            // A missing file is no failure when none was expected: the service names it by its status
            // (Dropbox answers 409 with "not_found" for a missing path), with or without a message.
            const bool missing =
                reply.status == 404 ||
                (reply.status == 409 && reply.error && reply.error->contains(QStringLiteral("not_found")));
            if (missing && !expected) {
                callback(false);
                return;
            }
            if (reply.error) {
                reportError(*reply.error);
                return;
            }
            if (reply.status != 0 || !reply.file) {
                reportError(QStringLiteral("Failed to retrieve %1 file. Status code: %2")
                                .arg(fileName)
                                .arg(reply.status));
                return;
            }
            QString error;
            const std::optional<QString> rev = getRevisionFromMetadata(reply.metadata, &error);
            if (!rev) {
                reportError(
                    QStringLiteral("Failed to get revision data for file %1. %2").arg(fileName, error));
                return;
            }
            if (expected && expected->revisionValue() != *rev) {
                reportError(QStringLiteral("Invalid revision for %1 file. Expected revision: %2, received "
                                           "revision: %3. File has been changed on Dropbox.")
                                .arg(fileName, expected->revisionValue(), *rev));
                return;
            }
            if (!copyFile(*reply.file, localPath, &error)) {
                reportError(QStringLiteral("Failed to move file %1 to cache. %2").arg(fileName, error));
                return;
            }
            callback(true);
        });
    });
}

// ---- Upload and delete ----

void PDDropboxSyncBackend::uploadFile(const QString &localPath, const std::optional<PDTmpSyncFile> &revision,
                                      UploadBlock block)
{
    auto file = std::make_shared<QFile>(localPath);
    if (!file->open(QIODevice::ReadOnly)) {
        reportError(QStringLiteral("Failed to read file %1. %2").arg(localPath, file->errorString()));
        return;
    }
    const QString name = QFileInfo(localPath).fileName();
    std::optional<QString> revisionValue;
    if (revision && !revision->revisionValue().isNull())
        revisionValue = revision->revisionValue();

    send([this, file, name, revisionValue, block = std::move(block)](CloudCourierConnection &connection) {
        connection.syncPutFile(
            file->handle(), name, revisionValue,
            [this, file, name, revisionValue, block](const PutFileReply &reply) {
                file->close();
                if (reply.connectionError) {
                    reportError(reply.connectionError->message());
                    return;
                }
                if (reply.error) {
                    qCCritical(lcSync).noquote() << QStringLiteral("Failed to upload Dropbox file (file: %1; "
                                                                   "revision: %2), clear cursor")
                                                        .arg(name, revisionValue.value_or(QString()));
                    deleteSavepoint();
                    reportError(QStringLiteral("%1\n\nPlease retry sync").arg(*reply.error));
                    return;
                }
                QString error;
                const std::optional<QString> rev = getRevisionFromMetadata(reply.metadata, &error);
                if (!rev) {
                    reportError(QStringLiteral("Failed to parse revision from uploaded file "
                                               "%1. %2")
                                    .arg(name, error));
                    return;
                }
                block(*rev);
            });
    });
}

void PDDropboxSyncBackend::deleteFile(const PDTmpSyncFile &file, Completion block)
{
    const QString name = file.fileName();
    send([this, name, block = std::move(block)](CloudCourierConnection &connection) {
        connection.syncDeleteFile(name, [this, block](const DeleteFileReply &reply) {
            if (reply.connectionError) {
                reportError(reply.connectionError->message());
                return;
            }
            if (reply.error) {
                reportError(*reply.error);
                return;
            }
            block();
        });
    });
}

// ---- The account ----

bool PDDropboxSyncBackend::isDropboxConnected(Keychain &keychain)
{
    if (hasText(keychain.getGenericAccountPassword(tokenAccount)))
        return true;
    return hasText(keychain.getGenericAccountPassword(oldTokenAccount)) &&
           hasText(keychain.getGenericAccountPassword(oldSecretAccount));
}

bool PDDropboxSyncBackend::connectDropboxAccountWithName(const QString &name, const QString &accountID,
                                                         const QString &token)
{
    if (!m_keychain.saveGenericPassword(token, tokenAccount)) {
        qCWarning(lcSync)
            << "The Dropbox token could not be stored in the keychain; the account stays unconnected";
        return false;
    }
    updateAccountName(name, accountID);
    return true;
}

void PDDropboxSyncBackend::disconnectDropbox()
{
    onSettingsThread([](PdSettings &settings) {
        settings.setDropboxConnectedAccountName(QString(), QString());
        settings.setDropboxHash(QString());
        settings.setDropboxSyncDate(QDateTime());
    });
    {
        QMutexLocker lock(&m_mutex);
        m_dropboxHash.reset();
    }
    for (const QString &account : {tokenAccount, oldTokenAccount, oldSecretAccount})
        m_keychain.deleteGenericPasswordForAccount(account);
    onSettingsThread([](PdSettings &) { Q_EMIT PdDropboxAuthNotifier::instance()->pdDropboxAuthChanged(); });
}

void PDDropboxSyncBackend::updateAccountName(const QString &name, const QString &accountID)
{
    onSettingsThread([name, accountID](PdSettings &settings) {
        settings.setDropboxConnectedAccountName(name, accountID);
        Q_EMIT PdDropboxAuthNotifier::instance()->pdDropboxAuthChanged();
    });
}

void PDDropboxSyncBackend::saveAccountID(const QString &accountID, const QString &name)
{
    updateAccountName(name, accountID);
}

void PDDropboxSyncBackend::retrieveAccountInfoWithReply(AccountReply reply)
{
    send([this, reply = std::move(reply)](CloudCourierConnection &connection) {
        connection.getAccountInfoWithReply([this, reply](const AccountInfoReply &answer) {
            std::optional<QString> error = answer.error;
            if (answer.connectionError)
                error = answer.connectionError->message();
            if (!error)
                saveAccountID(answer.accountId.value_or(QString()), answer.displayName.value_or(QString()));
            // Queued after the account's settings, so the reply sees them stored.
            onSettingsThread([reply, error](PdSettings &) { reply(error); });
        });
    });
}

void PDDropboxSyncBackend::syncDropboxAccountInfo(PdSettings &settings, Keychain &keychain)
{
    if (!isDropboxConnected(keychain))
        return;
    // The backend goes once its reply has run (on the settings thread), after the reply's call returned.
    auto *backend = new PDDropboxSyncBackend(settings, keychain);
    backend->retrieveAccountInfoWithReply([backend](const std::optional<QString> &error) {
        if (error)
            qCWarning(lcSync).noquote() << "Could not fetch the Dropbox account name:" << *error;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [backend] { delete backend; }, Qt::QueuedConnection);
    });
}
