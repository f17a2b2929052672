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

    // Becomes the running instance, or, when another one runs, hands it `arguments` and returns false.
    // Also true when no channel could be set up at all, so the program still starts.
    bool claim(const QStringList &arguments);

    // True when another program holds the socket and answers; sends nothing.
    bool isOtherInstanceRunning() const;

    bool isListening() const;

Q_SIGNALS:
    // Another start handed over its arguments (program name excluded).
    void argumentsReceived(const QStringList &arguments);

private:
    bool handOver(const QStringList &arguments) const;
    void acceptConnections();
    void readMessage(QLocalSocket *socket);

    QString m_socketPath;
    QLocalServer *m_server = nullptr;
};
