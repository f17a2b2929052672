#pragma once

#include "CloudCourierProtocol.h"
#include "CourierMessage.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <optional>

class CourierChannel;
class QProcess;

// Pendulo's side of the Dropbox service: starts `pendulo-courier` on first use as a child process joined
// by a Unix socketpair, sends it the seven operations and calls each reply callback exactly once, on this
// object's thread. When the service ends or sends something malformed, every pending call gets one reply
// with `connectionError` set; the next call starts a new process and first repeats the last
// syncInitWithSyncRoot (with the token of a successful upgrade), so the connection keeps working. After
// invalidate() every call replies with an error. Destroying the connection drops pending callbacks.
class CloudCourierConnection : public QObject
{
    Q_OBJECT

public:
    explicit CloudCourierConnection(QObject *parent = nullptr);
    ~CloudCourierConnection() override;

    void getAccountInfoWithReply(std::function<void(const AccountInfoReply &)> reply);
    void upgradeTokenWithTokenSecret(const QString &tokenSecret,
                                     std::function<void(const UpgradeTokenReply &)> reply);
    // No reply. Must come first; it is remembered and repeated for a restarted service.
    void syncInitWithSyncRoot(const QString &syncRoot, const std::optional<QString> &token);
    void syncGetChangesForCursor(const std::optional<QString> &cursor,
                                 std::function<void(const ChangesReply &)> reply);
    // The descriptor is duplicated; the caller keeps its own. The service reads from the current offset.
    void syncPutFile(int fileDescriptor, const QString &name, const std::optional<QString> &revision,
                     std::function<void(const PutFileReply &)> reply);
    void syncGetFile(const QString &name, std::function<void(const GetFileReply &)> reply);
    void syncDeleteFile(const QString &name, std::function<void(const DeleteFileReply &)> reply);

    // Ends the service; pending and later calls reply with ConnectionInvalidated.
    void invalidate();

    bool isRunning() const;
    // The service's process id while it runs, else 0.
    qint64 processId() const;

    // Where the service program is: $PENDULO_COURIER_PATH, next to the running program (the build's bin/
    // folder), ../libexec/pendulo/ from it, or the installed location. Empty when none exists.
    static QString courierProgramPath();

private:
    // Called once per request: with the reply message, or with the error that ended it. Returns false when
    // the reply is malformed (the caller then breaks the connection, which calls it again with an error).
    using PendingCall = std::function<bool(CourierMessage *reply, const CourierConnectionError *error)>;

    template <typename Reply>
    void call(const QString &operation, QCborMap arguments, std::vector<UniqueFd> files,
              std::function<std::optional<Reply>(CourierMessage &)> decode,
              std::function<void(const Reply &)> done);

    bool ensureStarted(CourierConnectionError *error);
    void sendSyncInit();
    quint64 send(const QString &operation, QCborMap arguments, std::vector<UniqueFd> files = {});
    void handleMessage(CourierMessage &&message);
    void breakConnection(const CourierConnectionError &error);
    void stopProcess();

    struct SyncInit
    {
        QString syncRoot;
        std::optional<QString> token;
    };

    QPointer<CourierChannel> m_channel;
    QPointer<QProcess> m_process;
    std::map<quint64, PendingCall> m_pending;
    std::optional<SyncInit> m_syncInit;
    quint64 m_nextRequestId = 1;
    bool m_invalidated = false;
};
