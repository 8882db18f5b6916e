#pragma once
// The TCP endpoint: one session per connection. A new connection is greeted with
// "$RG="; the bytes that arrive are cut into requests (WireRequest), each request
// is handled on the dispatcher's pool and answered by exactly one reply, in the
// order of the requests. Bytes that are not a request get "ZERO" and the
// connection stays usable.
#include "Dispatcher.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

class QTcpSocket;

class TcpConnection : public QObject {
    Q_OBJECT
public:
    // Quiet time after which bytes that may be a whole request are taken as one.
    static constexpr int SettleMs = 200;
    // Requests of one connection handled at once; beyond it reading pauses.
    static constexpr int MaxInFlight = 32;
    // Reply bytes a client has not taken yet; beyond it reading pauses too, so a
    // client that sends without reading cannot make the server hoard its replies.
    static constexpr qint64 MaxUnsent = qint64(16) * 1024 * 1024;

    TcpConnection(QTcpSocket *socket, Dispatcher *dispatcher, QObject *parent = nullptr);

signals:
    void finished();

private:
    void end();
    bool paused() const;
    void resumeIfDue();
    void onReadyRead();
    void process(bool final);
    void submit(const wirerequest::Request &request);
    void answer(quint64 seq, const QByteArray &reply);
    void write(const QByteArray &bytes);

    QTcpSocket *m_socket;
    Dispatcher *m_dispatcher;
    QByteArray m_buffer;
    QTimer m_settle;
    ReplyOrder m_order;
    SessionInfo m_session;
    bool m_ended = false;
    bool m_paused = false;   // reading stopped at a limit
};

class TcpEndpoint : public QObject {
    Q_OBJECT
public:
    explicit TcpEndpoint(Dispatcher *dispatcher, QObject *parent = nullptr);

    // Binds at once, so a busy port is reported before the corpus loads; accepting
    // waits for setReady().
    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const { return m_server.errorString(); }
    quint16 port() const { return m_server.serverPort(); }
    QHostAddress address() const { return m_server.serverAddress(); }
    void setReady();
    int connectionCount() const { return m_connections; }

private:
    void onNewConnection();

    Dispatcher *m_dispatcher;
    QTcpServer m_server;
    int m_connections = 0;
};
