#include "LocalLinkWire.h"

namespace LocalLinkWire {

bool isKnownOp(char op)
{
    switch (op) {
    case OpConnect:
    case OpAccepted:
    case OpRefused:
    case OpAdvise:
    case OpPoke:
    case OpData:
    case OpClose:
        return true;
    default:
        return false;
    }
}

QByteArray encodeFrame(char op, const QByteArray &payload)
{
    QByteArray frame = encodeFrameHeader(op, quint64(payload.size()));
    if (frame.isEmpty())
        return {};
    frame.reserve(HeaderSize + payload.size());
    frame.append(payload);
    return frame;
}

QByteArray encodeFrameHeader(char op, quint64 payloadSize)
{
    if (payloadSize > MaxPayload)
        return {};
    const auto n = quint32(payloadSize);
    QByteArray header;
    header.reserve(HeaderSize);
    header.append(op);
    header.append(char((n >> 24) & 0xff));
    header.append(char((n >> 16) & 0xff));
    header.append(char((n >> 8) & 0xff));
    header.append(char(n & 0xff));
    return header;
}

QByteArray itemPayload(const QByteArray &item, const QByteArray &data)
{
    QByteArray payload = item;
    payload.append('\0');
    payload.append(data);
    return payload;
}

bool splitItemPayload(const QByteArray &payload, QByteArray *item, QByteArray *data)
{
    const qsizetype zero = payload.indexOf('\0');
    if (zero < 0)
        return false;
    *item = payload.left(zero);
    *data = payload.mid(zero + 1);
    return true;
}

void Decoder::feed(const QByteArray &bytes)
{
    if (failed())
        return;
    // Drop what was already taken before growing the buffer.
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    m_buffer.append(bytes);
}

Decoder::Status Decoder::next(Frame *frame)
{
    if (failed())
        return Status::Error;
    const qsizetype available = m_buffer.size() - m_pos;
    if (available < 1)
        return Status::NeedMore;
    const char op = m_buffer[m_pos];
    if (!isKnownOp(op)) {
        m_error = QStringLiteral("Локальная связь: неизвестная операция (код %1)")
                      .arg(int(static_cast<unsigned char>(op)));
        return Status::Error;
    }
    if (available < HeaderSize)
        return Status::NeedMore;
    const auto *p = reinterpret_cast<const unsigned char *>(m_buffer.constData() + m_pos + 1);
    const quint32 n = (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
    if (n > MaxPayload) {
        m_error = QStringLiteral("Локальная связь: длина сообщения %1 байт больше допустимой").arg(n);
        return Status::Error;
    }
    if (available - HeaderSize < qsizetype(n))
        return Status::NeedMore;
    frame->op = op;
    frame->payload = m_buffer.mid(m_pos + HeaderSize, n);
    m_pos += HeaderSize + qsizetype(n);
    if (m_pos == m_buffer.size()) {
        m_buffer.clear();
        m_pos = 0;
    }
    return Status::FrameReady;
}

void Decoder::reset()
{
    m_buffer.clear();
    m_pos = 0;
    m_error.clear();
}

} // namespace LocalLinkWire
