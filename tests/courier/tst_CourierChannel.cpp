// Frames and messages on the courier socket: partial reads and writes, the size limit, descriptors
// passed beside frames, and malformed input.

#include "CourierChannel.h"
#include "FrameCodec.h"

#include <QCborArray>
#include <QTemporaryFile>
#include <QTest>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct SocketPair
{
    UniqueFd first;
    UniqueFd second;

    SocketPair()
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0) {
            first.reset(fds[0]);
            second.reset(fds[1]);
        }
    }
};

// Receives on one channel and remembers everything.
struct Receiver
{
    explicit Receiver(CourierChannel &channel)
    {
        channel.setMessageHandler(
            [this](CourierMessage &&message) { messages.push_back(std::move(message)); });
        channel.setCloseHandler(
            [this](CourierChannel::CloseReason reason, const QString &) { closedBecause = reason; });
    }

    std::vector<CourierMessage> messages;
    std::optional<CourierChannel::CloseReason> closedBecause;
};

CourierMessage request(const QString &operation, const QCborMap &arguments = {})
{
    CourierMessage message;
    message.operation = operation;
    message.requestId = 7;
    message.arguments = arguments;
    return message;
}

bool sendWithDescriptor(int socket, const QByteArray &bytes, int fd)
{
    iovec data{const_cast<char *>(bytes.constData()), size_t(bytes.size())};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    msghdr header{};
    header.msg_iov = &data;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof(control);
    cmsghdr *rights = CMSG_FIRSTHDR(&header);
    rights->cmsg_level = SOL_SOCKET;
    rights->cmsg_type = SCM_RIGHTS;
    rights->cmsg_len = CMSG_LEN(sizeof(int));
    memcpy(CMSG_DATA(rights), &fd, sizeof(int));
    return ::sendmsg(socket, &header, 0) == bytes.size();
}

} // namespace

class TestCourierChannel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decoderAcceptsAnyChunking_data();
    void decoderAcceptsAnyChunking();
    void decoderRejectsBadLengths_data();
    void decoderRejectsBadLengths();
    void messageWithDescriptorCrosses();
    void largeMessageCrossesInPieces();
    void frameArrivingByteByByte();
    void oversizedMessageIsNotSent();
    void malformedInputClosesChannel_data();
    void malformedInputClosesChannel();
    void peerClosing();
};

void TestCourierChannel::decoderAcceptsAnyChunking_data()
{
    QTest::addColumn<int>("chunkSize");
    QTest::newRow("one byte") << 1;
    QTest::newRow("three bytes") << 3;
    QTest::newRow("header split from body") << 4;
    QTest::newRow("everything at once") << 4096;
}

void TestCourierChannel::decoderAcceptsAnyChunking()
{
    QFETCH(int, chunkSize);
    const QByteArray stream =
        FrameCodec::encode("first") + FrameCodec::encode(QByteArray(300, 'x')) + FrameCodec::encode("third");
    FrameDecoder decoder;
    QList<QByteArray> frames;
    for (qsizetype offset = 0; offset < stream.size(); offset += chunkSize) {
        decoder.append(stream.mid(offset, chunkSize));
        QByteArray payload;
        FrameDecoder::Status status;
        while ((status = decoder.next(&payload)) == FrameDecoder::Status::FrameReady)
            frames.append(payload);
        QCOMPARE(status, FrameDecoder::Status::NeedMoreData);
    }
    QCOMPARE(frames, QList<QByteArray>({"first", QByteArray(300, 'x'), "third"}));
    QCOMPARE(decoder.bufferedBytes(), 0);
}

void TestCourierChannel::decoderRejectsBadLengths_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<bool>("malformed");
    QTest::newRow("zero") << QByteArray::fromHex("00000000") << true;
    QTest::newRow("one over the limit") << QByteArray::fromHex("01000001") << true;
    QTest::newRow("largest possible") << QByteArray::fromHex("ffffffff") << true;
    QTest::newRow("exactly the limit waits for data") << QByteArray::fromHex("01000000") << false;
}

void TestCourierChannel::decoderRejectsBadLengths()
{
    QFETCH(QByteArray, header);
    QFETCH(bool, malformed);
    QCOMPARE(FrameCodec::MaxPayloadSize, 0x01000000);
    FrameDecoder decoder;
    decoder.append(header);
    QByteArray payload;
    QCOMPARE(decoder.next(&payload),
             malformed ? FrameDecoder::Status::Malformed : FrameDecoder::Status::NeedMoreData);
}

void TestCourierChannel::messageWithDescriptorCrosses()
{
    SocketPair sockets;
    CourierChannel sender(std::move(sockets.first));
    CourierChannel receiving(std::move(sockets.second));
    Receiver receiver(receiving);

    QTemporaryFile file;
    QVERIFY(file.open());
    file.write("file content");
    file.flush();
    CourierMessage message = request(QStringLiteral("syncPutFile"), {{QStringLiteral("name"), "a.json"}});
    message.files.emplace_back(::dup(file.handle()));
    QVERIFY(sender.send(message));
    QVERIFY(sender.send(request(QStringLiteral("second"))));

    QTRY_COMPARE(receiver.messages.size(), size_t(2));
    const CourierMessage &received = receiver.messages.front();
    QCOMPARE(received.operation, QStringLiteral("syncPutFile"));
    QCOMPARE(received.requestId, quint64(7));
    QCOMPARE(received.arguments.value(QStringLiteral("name")).toString(), QStringLiteral("a.json"));
    QCOMPARE(received.files.size(), size_t(1));
    char buffer[32] = {};
    QCOMPARE(::pread(received.files.front().get(), buffer, sizeof(buffer), 0), ssize_t(12));
    QCOMPARE(QByteArray(buffer), QByteArray("file content"));
    QVERIFY(receiver.messages.back().files.empty());
    QVERIFY(::fcntl(message.files.front().get(), F_GETFD) != -1); // the sender keeps its own
    QVERIFY(!receiver.closedBecause);
}

void TestCourierChannel::largeMessageCrossesInPieces()
{
    SocketPair sockets;
    CourierChannel sender(std::move(sockets.first));
    CourierChannel receiving(std::move(sockets.second));
    Receiver receiver(receiving);

    QByteArray big(8 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = char(i % 251);
    QVERIFY(sender.send(request(QStringLiteral("big"), {{QStringLiteral("data"), big}})));
    QVERIFY(sender.send(request(QStringLiteral("after"))));
    QTRY_COMPARE(receiver.messages.size(), size_t(2));
    QCOMPARE(receiver.messages.front().arguments.value(QStringLiteral("data")).toByteArray(), big);
    QCOMPARE(receiver.messages.back().operation, QStringLiteral("after"));
}

void TestCourierChannel::frameArrivingByteByByte()
{
    SocketPair sockets;
    const int raw = sockets.first.get();
    CourierChannel receiving(std::move(sockets.second));
    Receiver receiver(receiving);

    const QByteArray frame = FrameCodec::encode(request(QStringLiteral("slow")).encode());
    for (const char byte : frame) {
        QVERIFY(receiver.messages.empty());
        QCOMPARE(::write(raw, &byte, 1), ssize_t(1));
        QTest::qWait(1);
    }
    QTRY_COMPARE(receiver.messages.size(), size_t(1));
    QCOMPARE(receiver.messages.front().operation, QStringLiteral("slow"));
}

void TestCourierChannel::oversizedMessageIsNotSent()
{
    SocketPair sockets;
    CourierChannel sender(std::move(sockets.first));
    const QByteArray tooBig(FrameCodec::MaxPayloadSize, 'x');
    QVERIFY(!sender.send(request(QStringLiteral("big"), {{QStringLiteral("data"), tooBig}})));
    QVERIFY(sender.isOpen());
}

void TestCourierChannel::malformedInputClosesChannel_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("withDescriptor");
    const QByteArray valid = FrameCodec::encode(request(QStringLiteral("x")).encode());
    QCborMap noId;
    noId.insert(QStringLiteral("kind"), QStringLiteral("request"));
    noId.insert(QStringLiteral("op"), QStringLiteral("x"));
    noId.insert(QStringLiteral("args"), QCborMap());
    QCborMap tooManyFiles = noId;
    tooManyFiles.insert(QStringLiteral("id"), 1);
    tooManyFiles.insert(QStringLiteral("files"), CourierMessage::MaxFiles + 1);

    QTest::newRow("length over the limit") << QByteArray::fromHex("7fffffff") << false;
    QTest::newRow("not CBOR") << FrameCodec::encode("\xff\xff") << false;
    QTest::newRow("CBOR array") << FrameCodec::encode(QCborValue(QCborArray{1, 2}).toCbor()) << false;
    QTest::newRow("no request id") << FrameCodec::encode(noId.toCborValue().toCbor()) << false;
    QTest::newRow("too many descriptors announced")
        << FrameCodec::encode(tooManyFiles.toCborValue().toCbor()) << false;
    QTest::newRow("descriptor without a message for it") << valid << true;
}

void TestCourierChannel::malformedInputClosesChannel()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, withDescriptor);
    SocketPair sockets;
    const int raw = sockets.first.get();
    CourierChannel receiving(std::move(sockets.second));
    Receiver receiver(receiving);

    if (withDescriptor)
        QVERIFY(sendWithDescriptor(raw, bytes, STDIN_FILENO));
    else
        QCOMPARE(::write(raw, bytes.constData(), bytes.size()), bytes.size());
    QTRY_VERIFY(receiver.closedBecause.has_value());
    QCOMPARE(*receiver.closedBecause, CourierChannel::CloseReason::ProtocolError);
    QVERIFY(!receiving.isOpen());
    QVERIFY(!receiving.send(request(QStringLiteral("late"))));
}

void TestCourierChannel::peerClosing()
{
    SocketPair sockets;
    CourierChannel receiving(std::move(sockets.second));
    Receiver receiver(receiving);
    sockets.first.reset();
    QTRY_VERIFY(receiver.closedBecause.has_value());
    QCOMPARE(*receiver.closedBecause, CourierChannel::CloseReason::PeerClosed);
}

QTEST_GUILESS_MAIN(TestCourierChannel)
#include "tst_CourierChannel.moc"
