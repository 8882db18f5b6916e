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
// A header whose digits are not a number, or that announces more than
// MaxReplyLength, is reported as an error and everything buffered is dropped, so
// the next chunk starts afresh.
#include <QByteArray>
#include <QList>
#include <QString>

class ReplyAssembler {
public:
    // Room for the whole concordance of the corpus's most frequent word (tens of
    // megabytes), with a bound on what a hostile peer can make the client hold.
    static constexpr qint64 MaxReplyLength = qint64(256) * 1024 * 1024;

    // One outcome of a feed: a complete reply (header removed) or an error.
    struct Item {
        bool ok = true;
        QByteArray reply;
        QString error;   // Russian, for the status bar; set when !ok
        // The reply carried a length header and every announced byte arrived.
        bool counted = false;
    };

    // Appends one chunk and returns the replies (and errors) it completed, in order.
    QList<Item> feed(const QByteArray &chunk);

    // A reply has begun but is not complete (a partial header or a partial body).
    bool isIncomplete() const { return !m_buffer.isEmpty() || m_expected >= 0; }
    // Bytes of the current reply's body received so far, and the announced count
    // (-1 while no header has been read).
    qint64 received() const { return m_expected >= 0 ? m_buffer.size() : 0; }
    qint64 expected() const { return m_expected; }
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
    static Stripped stripLengthHeader(const QByteArray &text);

private:
    QByteArray m_buffer;    // the current reply's body, or bytes not yet classified
    qint64 m_expected = -1; // announced count of the current reply, -1 before a header
};
