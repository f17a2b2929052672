#include "CourierChannel.h"

#include <QLoggingCategory>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>

Q_LOGGING_CATEGORY(lcChannel, "pendulo.courier.channel")

namespace {

constexpr size_t ReadChunkSize = 64 * 1024;

void setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

CourierChannel::CourierChannel(UniqueFd socket, QObject *parent)
    : QObject(parent)
    , m_socket(std::move(socket))
{
    if (!m_socket.isValid())
        return;
    setNonBlocking(m_socket.get());
    m_readNotifier = new QSocketNotifier(m_socket.get(), QSocketNotifier::Read, this);
    m_writeNotifier = new QSocketNotifier(m_socket.get(), QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &CourierChannel::readAvailable);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &CourierChannel::writePending);
}

CourierChannel::~CourierChannel()
{
    close();
}

bool CourierChannel::send(const CourierMessage &message)
{
    if (!isOpen())
        return false;
    const QByteArray payload = message.encode();
    if (payload.size() > FrameCodec::MaxPayloadSize) {
        qCWarning(lcChannel) << "Message of" << payload.size() << "bytes exceeds the frame limit";
        return false;
    }
    Outgoing outgoing;
    outgoing.bytes = FrameCodec::encode(payload);
    for (const UniqueFd &file : message.files) {
        UniqueFd copy(::fcntl(file.get(), F_DUPFD_CLOEXEC, 0));
        if (!copy.isValid()) {
            qCWarning(lcChannel) << "Cannot duplicate a descriptor:" << systemError(errno);
            return false;
        }
        outgoing.files.push_back(std::move(copy));
    }
    m_outgoing.push_back(std::move(outgoing));
    writePending();
    return true;
}

void CourierChannel::close()
{
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    m_socket.reset();
    m_outgoing.clear();
    m_receivedFiles.clear();
}

void CourierChannel::writePending()
{
    while (isOpen() && !m_outgoing.empty()) {
        Outgoing &head = m_outgoing.front();
        iovec data{head.bytes.data() + head.written, size_t(head.bytes.size() - head.written)};
        msghdr header{};
        header.msg_iov = &data;
        header.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * CourierMessage::MaxFiles)];
        if (!head.files.empty()) {
            const size_t fdBytes = sizeof(int) * head.files.size();
            header.msg_control = control;
            header.msg_controllen = CMSG_SPACE(fdBytes);
            cmsghdr *rights = CMSG_FIRSTHDR(&header);
            rights->cmsg_level = SOL_SOCKET;
            rights->cmsg_type = SCM_RIGHTS;
            rights->cmsg_len = CMSG_LEN(fdBytes);
            int *fds = reinterpret_cast<int *>(CMSG_DATA(rights));
            for (size_t i = 0; i < head.files.size(); ++i)
                fds[i] = head.files[i].get();
        }
        const ssize_t sent = ::sendmsg(m_socket.get(), &header, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                m_writeNotifier->setEnabled(true);
                return;
            }
            fail(errno == EPIPE ? CloseReason::PeerClosed : CloseReason::SocketError, systemError(errno));
            return;
        }
        head.files.clear(); // the descriptors went with the first byte
        head.written += sent;
        if (head.written == head.bytes.size())
            m_outgoing.pop_front();
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
}

void CourierChannel::readAvailable()
{
    QPointer<CourierChannel> self(this);
    while (self && isOpen()) {
        QByteArray chunk(ReadChunkSize, Qt::Uninitialized);
        iovec data{chunk.data(), size_t(chunk.size())};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * CourierMessage::MaxFiles)];
        msghdr header{};
        header.msg_iov = &data;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof(control);
        const ssize_t received = ::recvmsg(m_socket.get(), &header, MSG_CMSG_CLOEXEC);
        if (received < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            fail(CloseReason::SocketError, systemError(errno));
            return;
        }
        for (cmsghdr *c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
            if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
                continue;
            const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            const int *fds = reinterpret_cast<const int *>(CMSG_DATA(c));
            for (size_t i = 0; i < count; ++i)
                m_receivedFiles.emplace_back(fds[i]);
        }
        if (header.msg_flags & MSG_CTRUNC) {
            fail(CloseReason::ProtocolError, QStringLiteral("Too many descriptors in one message"));
            return;
        }
        if (received == 0) {
            fail(CloseReason::PeerClosed, QStringLiteral("The peer closed the connection"));
            return;
        }
        chunk.truncate(received);
        m_decoder.append(chunk);
        if (!deliverFrames())
            return;
    }
}

// Hands every complete frame to the message handler. False once the channel has been closed, possibly by
// the handler itself (or the channel destroyed).
bool CourierChannel::deliverFrames()
{
    QPointer<CourierChannel> self(this);
    QByteArray payload;
    for (;;) {
        const FrameDecoder::Status status = m_decoder.next(&payload);
        if (status == FrameDecoder::Status::NeedMoreData) {
            // Descriptors come with the first byte of their frame, so none may be left between frames.
            if (m_decoder.bufferedBytes() == 0 && !m_receivedFiles.empty()) {
                fail(CloseReason::ProtocolError, QStringLiteral("Descriptors without a message"));
                return false;
            }
            return true;
        }
        if (status == FrameDecoder::Status::Malformed) {
            fail(CloseReason::ProtocolError, m_decoder.error());
            return false;
        }
        int fileCount = 0;
        QString error;
        std::optional<CourierMessage> message = CourierMessage::decode(payload, &fileCount, &error);
        if (!message) {
            fail(CloseReason::ProtocolError, error);
            return false;
        }
        if (qsizetype(m_receivedFiles.size()) < fileCount) {
            fail(CloseReason::ProtocolError, QStringLiteral("A message lacks its descriptors"));
            return false;
        }
        for (int i = 0; i < fileCount; ++i) {
            message->files.push_back(std::move(m_receivedFiles.front()));
            m_receivedFiles.pop_front();
        }
        if (m_onMessage)
            m_onMessage(std::move(*message));
        if (!self || !isOpen())
            return false;
    }
}

void CourierChannel::fail(CloseReason reason, const QString &detail)
{
    if (reason == CloseReason::ProtocolError)
        qCWarning(lcChannel) << "Closing the courier connection:" << detail;
    close();
    if (m_onClose) {
        CloseHandler handler = m_onClose; // the handler may destroy this channel
        handler(reason, detail);
    }
}
