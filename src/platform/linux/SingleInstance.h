#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// Keeps one Pendulo per user. The first program to start listens on a user-only local socket in the
// user's runtime folder; a later start hands its arguments to it (for example a "penduloapp://" address
// from the browser) and quits.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // The socket's path in the user's runtime folder (XDG_RUNTIME_DIR).
    static QString defaultSocketPath();

    explicit SingleInstance(const QString &socketPath = defaultSocketPath(), QObject *parent = nullptr);
    ~SingleInstance() override;

    enum class Claim
    {
        Primary,           // this program is the running one (also when no channel could be set up)
        HandedOver,        // another one runs and has the arguments
        OtherNotAnswering, // another one holds the socket but did not take the arguments
    };

    // Becomes the running instance, or, when another one runs, hands it `arguments`. A running program
    // that does not answer in time keeps its socket: a second one must not start beside it.
    Claim claim(const QStringList &arguments);

    // How long a hand-over waits for the running program's answer.
    void setReplyTimeout(int milliseconds) { m_replyTimeoutMs = milliseconds; }

    // True when another program holds the socket and answers; sends nothing.
    bool isOtherInstanceRunning() const;

    bool isListening() const;

Q_SIGNALS:
    // Another start handed over its arguments (program name excluded).
    void argumentsReceived(const QStringList &arguments);

private:
    enum class HandOver
    {
        NoServer,
        Delivered,
        NotAnswered
    };
    HandOver handOver(const QStringList &arguments) const;
    void acceptConnections();
    void readMessage(QLocalSocket *socket);

    QString m_socketPath;
    QLocalServer *m_server = nullptr;
    int m_replyTimeoutMs = 5000;
};
