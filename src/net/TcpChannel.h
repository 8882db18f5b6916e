#pragma once
// The socket channel: a QTcpSocket driven by its signals. Requests go out as
// "$" + tag + "=" + params with no terminator; incoming bytes are assembled into
// replies by ReplyAssembler. Nothing here blocks.
#include "Channel.h"
#include "wire/ReplyAssembler.h"

#include <QAbstractSocket>
#include <QTcpSocket>
#include <QTimer>

class TcpChannel : public Channel {
    Q_OBJECT
public:
    static constexpr int DefaultStallTimeoutMs = 20000;
    // A connect that has not succeeded in this time is given up as "not answering".
    static constexpr int DefaultConnectTimeoutMs = 15000;

    explicit TcpChannel(QObject *parent = nullptr);
    ~TcpChannel() override;

    // Starts an asynchronous connect. False (and nothing started) when either text
    // is empty or the port is not an integer in 1..65535. An open socket is closed
    // first. The outcome arrives as connected() or errorOccurred().
    bool open(const QString &hostText, const QString &portText);
    // Closes the socket at once and drops any partial reply. Emits nothing.
    void close();
    bool isConnected() const;

    // False when the socket is not connected or the write fails.
    bool send(const QByteArray &tag, const QByteArray &params) override;

    // How long a started reply may stay silent before it is abandoned with
    // replyFailed (the assembler is reset, so the next reply starts afresh).
    void setStallTimeout(int ms);
    void setConnectTimeout(int ms) { m_connectTimer.setInterval(qMax(1, ms)); }
    int stallTimeout() const { return m_stallTimer.interval(); }
    // The longest reply taken (ReplyAssembler::MaxReplyLength unless told); a longer
    // one is refused and its bytes are skipped. Drops any partial reply.
    void setMaxReplyLength(qint64 bytes) { m_assembler = ReplyAssembler(bytes); }

signals:
    void connected();
    // The server closed the connection (not emitted for close()).
    void disconnected();
    // Any socket error while connecting or connected, except the server's orderly
    // close; `reason` is Russian, a lower-case phrase ("соединение отвергнуто ...").
    // Also emitted, after close(), when the replies can no longer be told apart (a
    // header that is no length, a refused reply whose bytes stopped coming).
    void errorOccurred(const QString &reason);

private:
    void onReadyRead();
    void onDisconnected();
    void onError(QAbstractSocket::SocketError error);
    void onStalled();
    void abandonPartialReply(const QString &why);
    void loseStream(const QString &why);

    QTcpSocket m_socket;
    ReplyAssembler m_assembler;
    QTimer m_stallTimer;
    QTimer m_connectTimer;
    bool m_closing = false;
    quint64 m_generation = 0;   // advanced by close(): stops emitting stale replies
};
