#pragma once
// The frames of the local link (see docs/local-link.md): one operation letter, a
// 4-byte big-endian payload length (at most MaxPayload), the payload. Pure: the
// client (LocalLink) and the server side (LocalLinkServer) both use it.
#include <QByteArray>
#include <QString>

namespace LocalLinkWire {

// The byte-pair encoding doubles a reply: room for the largest reply the client
// accepts (ReplyAssembler::MaxReplyLength), encoded.
inline constexpr quint32 MaxPayload = 512u * 1024u * 1024u;
inline constexpr int HeaderSize = 5;

inline constexpr char Topic[] = "DDES";
inline constexpr char Item[] = "DDESI";

// Operation letters.
inline constexpr char OpConnect = 'C';   // client: payload topic
inline constexpr char OpAccepted = 'A';  // server: empty
inline constexpr char OpRefused = 'N';   // server: empty
inline constexpr char OpAdvise = 'V';    // client: payload item
inline constexpr char OpPoke = 'P';      // client: item, byte 0, data
inline constexpr char OpData = 'D';      // server: item, byte 0, data
inline constexpr char OpClose = 'X';     // either: empty

bool isKnownOp(char op);

// One frame. A payload above MaxPayload is refused (empty result).
QByteArray encodeFrame(char op, const QByteArray &payload);
// The header of a frame whose payload of `payloadSize` bytes follows it; empty
// above MaxPayload.
QByteArray encodeFrameHeader(char op, quint64 payloadSize);
// The payload of a poke or data frame: item, byte 0, data.
QByteArray itemPayload(const QByteArray &item, const QByteArray &data);
// Splits such a payload at its first byte 0; false when there is none.
bool splitItemPayload(const QByteArray &payload, QByteArray *item, QByteArray *data);

struct Frame {
    char op = 0;
    QByteArray payload;
};

// Cuts frames off the front of a byte stream. After a protocol error (unknown
// operation, oversized length) it stays failed; the connection must be closed.
class Decoder {
public:
    enum class Status { FrameReady, NeedMore, Error };

    void feed(const QByteArray &bytes);
    // Takes the next complete frame into `frame` when the status is FrameReady.
    Status next(Frame *frame);
    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }   // Russian
    qsizetype buffered() const { return m_buffer.size() - m_pos; }
    void reset();

private:
    QByteArray m_buffer;
    qsizetype m_pos = 0;   // start of the unread part of m_buffer
    QString m_error;
};

} // namespace LocalLinkWire
