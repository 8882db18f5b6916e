#pragma once
// Assembles server replies from the bytes of a stream socket. Pure: no sockets,
// no timers; the channel feeds what arrives and emits what comes out.
//
// A reply may start with a length header: "##" + decimal count + "###", where the
// count is the number of bytes that follow the header. The header is recognised
// when a reply begins with two '#' and the first run of "###" starts after the
// third byte. A reply with a header is complete when its count of bytes has
// arrived; bytes beyond it begin the next reply. A reply without a header is the
// whole chunk that arrived (the server sends a header with every reply that may
// need more than one read).
//
// A header that announces more than the limit is reported as an error, and then
// exactly the bytes it announced are read and thrown away as they come (never held,
// never read as replies): the reply after them is read as usual. A header whose
// digits are not a number, or are too many to be a length at all, leaves no way to
// tell where the next reply begins: it is reported as an error that ends the stream
// (`lost`), and the assembler gives nothing more until reset().
#include <QByteArray>
#include <QList>
#include <QString>

class ReplyAssembler {
public:
    // Room for the whole concordance of the corpus's most frequent word (tens of
    // megabytes), with a bound on what a hostile peer can make the client hold.
    static constexpr qint64 MaxReplyLength = qint64(256) * 1024 * 1024;

    explicit ReplyAssembler(qint64 maxReplyLength = MaxReplyLength) : m_max(maxReplyLength) {}

    // One outcome of a feed: a complete reply (header removed) or an error.
    struct Item {
        bool ok = true;
        QByteArray reply;
        QString error;   // Russian, for the status bar; set when !ok
        // The reply carried a length header and every announced byte arrived.
        bool counted = false;
        // The error leaves the stream unreadable: the connection must be closed.
        bool lost = false;
    };

    // Appends one chunk and returns the replies (and errors) it completed, in order.
    QList<Item> feed(const QByteArray &chunk);

    // A reply has begun but is not complete (a partial header or a partial body),
    // or the bytes of a refused reply are still being thrown away.
    bool isIncomplete() const { return !m_head.isEmpty() || m_expected >= 0 || m_skip > 0; }
    // Bytes of a refused reply still to be thrown away.
    qint64 skipping() const { return m_skip; }
    // The stream was given up (a `lost` error); nothing more until reset().
    bool isLost() const { return m_lost; }
    // Bytes of the current reply's body received so far, and the announced count
    // (-1 while no header has been read).
    qint64 received() const { return m_expected >= 0 ? m_body.size() : 0; }
    qint64 expected() const { return m_expected; }
    qint64 maxReplyLength() const { return m_max; }
    // received * 100 / expected of the current reply; 0 when no header was read.
    int progressPercent() const;
    // Drops everything buffered (a stalled reply is abandoned, the channel closed).
    void reset();

    // For texts that arrive whole (the local link): removes a length header at the
    // front and keeps at most the announced count of bytes after it. A text with no
    // header is returned unchanged. A malformed or oversized header is an error.
    struct Stripped {
        bool ok = true;
        QByteArray text;
        QString error;
        // A header was present and the text held every byte it announced.
        bool counted = false;
    };
    static Stripped stripLengthHeader(const QByteArray &text,
                                      qint64 maxReplyLength = MaxReplyLength);

private:
    void takeBody(QByteArrayView &rest, QList<Item> &out);

    qint64 m_max;
    QByteArray m_head;      // the start of a reply whose header is not complete yet
    QByteArray m_body;      // the current counted reply's body, sized for its count
    qint64 m_expected = -1; // announced count of the current reply, -1 before a header
    qint64 m_skip = 0;      // bytes of a refused reply still to be thrown away
    bool m_lost = false;
};
