#pragma once

#include "CourierMessage.h"
#include "FrameCodec.h"
#include "UniqueFd.h"

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>

#include <deque>
#include <functional>

// Sends and receives courier messages over one connected Unix stream socket, without blocking: frames
// are written and read in pieces as the socket allows, and the descriptors of a message are attached to
// the first byte of its frame (SCM_RIGHTS). Anything malformed closes the channel.
class CourierChannel : public QObject
{
    Q_OBJECT

public:
    enum class CloseReason
    {
        ClosedLocally,
        PeerClosed,
        SocketError,
        ProtocolError
    };

    using MessageHandler = std::function<void(CourierMessage &&)>;
    using CloseHandler = std::function<void(CloseReason, const QString &detail)>;

    explicit CourierChannel(UniqueFd socket, QObject *parent = nullptr);
    ~CourierChannel() override;

    void setMessageHandler(MessageHandler handler) { m_onMessage = std::move(handler); }
    void setCloseHandler(CloseHandler handler) { m_onClose = std::move(handler); }

    bool isOpen() const { return m_socket.isValid(); }

    // Queues the message for sending; its files are duplicated into the queue, the message keeps its
    // own. False when the channel is closed or the message is too large for one frame.
    bool send(const CourierMessage &message);

    // Closes the socket without calling the close handler.
    void close();

    // Reads and delivers whatever the socket holds now, without waiting for the event loop.
    void readPending() { readAvailable(); }

private:
    struct Outgoing
    {
        QByteArray bytes;
        qsizetype written = 0;
        std::vector<UniqueFd> files;
    };

    void readAvailable();
    void writePending();
    bool deliverFrames();
    void fail(CloseReason reason, const QString &detail);

    UniqueFd m_socket;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    FrameDecoder m_decoder;
    std::deque<UniqueFd> m_receivedFiles;
    std::deque<Outgoing> m_outgoing;
    MessageHandler m_onMessage;
    CloseHandler m_onClose;
};
