#include "FrameCodec.h"

#include <QtEndian>

QByteArray FrameCodec::encode(const QByteArray &payload)
{
    QByteArray frame(HeaderSize, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(payload.size()), frame.data());
    frame.append(payload);
    return frame;
}

FrameDecoder::Status FrameDecoder::next(QByteArray *payload)
{
    if (!m_error.isEmpty())
        return Status::Malformed;
    if (m_buffer.size() < FrameCodec::HeaderSize)
        return Status::NeedMoreData;
    const quint32 length = qFromBigEndian<quint32>(m_buffer.constData());
    if (length == 0 || length > quint32(FrameCodec::MaxPayloadSize)) {
        m_error = QStringLiteral("Invalid frame length %1").arg(length);
        m_buffer.clear();
        return Status::Malformed;
    }
    if (m_buffer.size() < FrameCodec::HeaderSize + qsizetype(length))
        return Status::NeedMoreData;
    *payload = m_buffer.mid(FrameCodec::HeaderSize, length);
    m_buffer.remove(0, FrameCodec::HeaderSize + length);
    return Status::FrameReady;
}
