#pragma once

#include "CourierChannel.h"
#include "DropboxClient.h"

#include <QObject>

// The service's end of one connection: reads requests from the socket, runs them on this connection's
// own DropboxClient and sends each reply back with the request's id. A malformed or unknown request
// closes the connection; so does the other side going away. Either way `finished` is emitted.
class CourierService : public QObject
{
    Q_OBJECT

public:
    CourierService(UniqueFd socket, const DropboxClient::Configuration &configuration,
                   QObject *parent = nullptr);

    DropboxClient &client() { return *m_client; }

Q_SIGNALS:
    // `clean` is false when the connection ended because of a protocol or socket error.
    void finished(bool clean);

private:
    void handleRequest(CourierMessage &&request);
    bool dispatch(CourierMessage &request);
    void sendReply(quint64 requestId, const QCborMap &reply, std::vector<UniqueFd> files = {});
    void reject(const QString &reason);

    CourierChannel *m_channel;
    DropboxClient *m_client;
};
