#pragma once
// The TCP endpoint: accepts connections and runs one TcpConnection each, within
// TcpLimits. Beyond the connection limit a new connection gets "ZERO" with the
// reason and is closed; when accepting fails (no file descriptors left), accepting
// pauses for a moment instead of retrying at once. Refusals and failures go to the
// log, at most once a few seconds.
#include "service/TcpConnection.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

class TcpEndpoint : public QObject {
    Q_OBJECT
public:
    explicit TcpEndpoint(Dispatcher *dispatcher, const TcpLimits &limits = TcpLimits(), QObject *parent = nullptr);

    // Lines for the server's log; by default they go to stderr after "Corvus: ".
    void setLog(TcpLog log) { m_log = std::move(log); }

    // Binds at once, so a busy port is reported before the corpus loads; accepting
    // waits for setReady().
    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const { return m_server.errorString(); }
    quint16 port() const { return m_server.serverPort(); }
    QHostAddress address() const { return m_server.serverAddress(); }
    void setReady();
    int connectionCount() const { return int(m_connections.size()); }

    // What the connections hold now, and how many were turned away.
    QList<TcpConnection::State> connectionStates() const;
    qint64 totalUnsent() const { return *m_totalUnsent; }
    int refusedCount() const { return m_refused; }

private:
    void onNewConnection();
    void onAcceptError(QAbstractSocket::SocketError error);
    void refuse(QTcpSocket *socket);
    // Logs unless a line of the same kind went out a moment ago; whether it did.
    bool logSometimes(QElapsedTimer &last, const QString &line);

    Dispatcher *m_dispatcher;
    TcpLimits m_limits;
    TcpLog m_log;
    QTcpServer m_server;
    QList<TcpConnection *> m_connections;
    std::shared_ptr<qint64> m_totalUnsent = std::make_shared<qint64>(0);
    bool m_ready = false;
    QTimer m_acceptRetry;
    int m_refused = 0;
    int m_refusedUnlogged = 0;
    QElapsedTimer m_lastRefusalLog;
    QElapsedTimer m_lastAcceptErrorLog;
};
