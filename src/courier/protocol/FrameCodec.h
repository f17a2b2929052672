#pragma once

#include <QByteArray>
#include <QString>

// Frames on the courier socket: a 4-byte big-endian payload length followed by that many bytes of CBOR.
// The decoder takes bytes as they arrive, in pieces of any size, and hands out whole frames.
namespace FrameCodec {

// Largest payload accepted in either direction. Files never travel inside frames (they cross as
// descriptors), so only listings come near this.
inline constexpr qsizetype MaxPayloadSize = 16 * 1024 * 1024;
inline constexpr qsizetype HeaderSize = 4;

QByteArray encode(const QByteArray &payload);

} // namespace FrameCodec

class FrameDecoder
{
public:
    enum class Status
    {
        NeedMoreData,
        FrameReady,
        Malformed
    };

    void append(const QByteArray &bytes) { m_buffer.append(bytes); }

    // Takes the next whole frame out of the buffer. Once Malformed, the stream cannot be resynchronised.
    Status next(QByteArray *payload);

    QString error() const { return m_error; }
    qsizetype bufferedBytes() const { return m_buffer.size(); }

private:
    QByteArray m_buffer;
    QString m_error;
};
