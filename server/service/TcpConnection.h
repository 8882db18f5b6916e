#pragma once
// One TCP session. A new connection is greeted with "$RG="; the bytes that arrive
// are cut into requests (wirerequest::parse), each request is handled on the dispatcher's
// pool and answered by exactly one reply, in the order of the requests. Bytes that
// are not a request get "ZERO" and the connection stays usable.
//
// What one connection may make the server hold is bounded (TcpLimits): it stops
// taking requests (and its bytes wait in the kernel) while too many of its requests
// are in hand, while a long one is running and another long one is next, while its
// replies are not being taken, or while its requests in hand hold too many bytes.
// A large export is made as it is sent (ReplyRest): a piece at a time, when the
// socket has room for it, so the bytes of a reply nobody reads are not made.
// A request that does not arrive whole in time, and a client that takes no reply
// bytes for a long time, end the connection with a line in the log. When the
// connection ends, its requests stop (Cancel.h).
#include "service/Dispatcher.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <deque>

#include <functional>
#include <memory>
#include <optional>

class QTcpSocket;

struct TcpLimits {
    // Connections served at once; beyond it a new one gets "ZERO" and is closed.
    int maxConnections = 256;
    // Requests of one connection in hand (taken, not yet answered).
    int maxInFlight = 32;
    // Long requests (Cost::Long) of one connection in hand.
    int maxLongInFlight = 1;
    // Reply bytes of one connection not yet taken by its client (including replies
    // done but waiting for an earlier one).
    qint64 maxUnsent = qint64(8) << 20;
    // The same over all connections: beyond it a connection that holds untaken
    // replies takes no request until they are taken.
    qint64 maxTotalUnsent = qint64(256) << 20;
    // Request bytes of one connection taken and not yet answered.
    qint64 maxPendingBytes = qint64(2) << 20;
    // A request (and the first one after connecting) must arrive whole within this.
    int requestTimeoutMs = 30000;
    // Untaken replies with no byte taken for this long end the connection.
    int stallTimeoutMs = 60000;
    // A streamed reply (an export) is made piece by piece, about this many bytes
    // a piece, while the socket holds fewer than streamRoom bytes not yet handed
    // to the kernel: a client that reads slowly makes the server hold little more.
    qint64 streamPiece = qint64(64) << 10;
    qint64 streamRoom = qint64(512) << 10;
    // After a failed accept (no descriptors left), accepting resumes after this.
    int acceptRetryMs = 500;
    int listenBacklog = 1024;
};

// A line for the server's log (Russian, without the "Corvus:" prefix).
using TcpLog = std::function<void(const QString &)>;

class TcpConnection : public QObject {
    Q_OBJECT
public:
    // Quiet time after which bytes that may be a whole request are taken as one:
    // a registration short enough for one TCP segment (see wire/RequestReader.h) came with
    // the write that sent it, so a moment suffices; anything else waits longer.
    static constexpr int SettleMs = 200;
    static constexpr int QuickSettleMs = 5;
    // Bytes read from the socket at a time.
    static constexpr qint64 ReadChunk = qint64(64) << 10;

    // `totalUnsent` is shared by the connections of one endpoint.
    TcpConnection(QTcpSocket *socket, Dispatcher *dispatcher, const TcpLimits &limits,
                  std::shared_ptr<qint64> totalUnsent, TcpLog log, QObject *parent = nullptr);
    ~TcpConnection() override;

    struct State {
        int inFlight = 0;
        int longInFlight = 0;
        qint64 unsent = 0;      // reply bytes the client has not taken (a streamed rest too)
        qint64 held = 0;        // of them, what the server holds in memory
        qint64 queued = 0;      // of them, what the socket holds
        qint64 pendingBytes = 0;
        bool paused = false;    // taking no requests at a limit
        bool holding = false;   // a long request waits for the running one
        quint64 taken = 0;      // requests taken since the start
    };
    State state() const;
    QString peer() const { return m_peer; }

signals:
    void finished();

private:
    void end();
    void close(const QString &logLine, const QByteArray &reason1251);
    qint64 unsent() const;
    qint64 held() const;
    void pump();
    void syncUnsent();
    bool blocked() const;
    void resumeIfDue();
    void onReadyRead();
    void onBytesWritten();
    void onSettled();
    // Nothing left to read: Qt's buffer and the socket's are empty.
    bool drained() const;
    void process(bool final);
    void take(const wirerequest::Request &request, qsizetype bytes);
    void submit(const wirerequest::Request &request, Cost cost, qsizetype bytes);
    void answer(quint64 seq, Outgoing reply);
    void write(const QByteArray &bytes);
    void updateRequestTimer();

    QTcpSocket *m_socket;
    Dispatcher *m_dispatcher;
    TcpLimits m_limits;
    std::shared_ptr<qint64> m_totalUnsent;
    qint64 m_counted = 0;   // this connection's share of *m_totalUnsent
    TcpLog m_log;
    QString m_peer;
    QByteArray m_buffer;
    qsizetype m_front = 0;  // bytes of m_buffer already taken
    wirerequest::Progress m_progress;
    QTimer m_settle;
    QTimer m_requestTimer;
    QTimer m_stallTimer;
    ReplyOrder m_order;
    std::deque<Outgoing> m_queue;   // due replies not yet written whole; the first is being written
    SessionInfo m_session;
    std::shared_ptr<cancel::Flag> m_cancel;
    struct Held {
        wirerequest::Request request;
        qsizetype bytes = 0;
    };
    std::optional<Held> m_held;   // a long request waiting for a long slot
    int m_longInFlight = 0;
    qint64 m_pendingBytes = 0;
    quint64 m_taken = 0;
    bool m_ended = false;
    bool m_skipping = false;   // dropping the rest of an overlong request
    bool m_paused = false;   // reading stopped at a limit
};
