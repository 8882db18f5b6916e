#include "service/TcpEndpoint.h"

#include "model/Cp1251.h"

#include <QTcpSocket>

#include <cstdio>

namespace {

constexpr qint64 LogIntervalMs = 10000;

void toStderr(const QString &line)
{
    const QByteArray bytes = QStringLiteral("Corvus: %1\n").arg(line).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace

TcpEndpoint::TcpEndpoint(Dispatcher *dispatcher, const TcpLimits &limits, QObject *parent)
    : QObject(parent), m_dispatcher(dispatcher), m_limits(limits), m_log(&toStderr)
{
    m_server.setListenBacklogSize(m_limits.listenBacklog);
    connect(&m_server, &QTcpServer::newConnection, this, &TcpEndpoint::onNewConnection);
    connect(&m_server, &QTcpServer::acceptError, this, &TcpEndpoint::onAcceptError);
    m_acceptRetry.setSingleShot(true);
    m_acceptRetry.setInterval(m_limits.acceptRetryMs);
    connect(&m_acceptRetry, &QTimer::timeout, this, [this] {
        if (m_ready)
            m_server.resumeAccepting();
    });
}

bool TcpEndpoint::listen(const QHostAddress &address, quint16 port)
{
    if (!m_server.listen(address, port))
        return false;
    if (!m_dispatcher->isReady())
        m_server.pauseAccepting();
    return true;
}

void TcpEndpoint::setReady()
{
    m_ready = true;
    m_server.resumeAccepting();
}

QList<TcpConnection::State> TcpEndpoint::connectionStates() const
{
    QList<TcpConnection::State> out;
    for (const TcpConnection *c : m_connections)
        out.append(c->state());
    return out;
}

bool TcpEndpoint::logSometimes(QElapsedTimer &last, const QString &line)
{
    if (last.isValid() && last.elapsed() < LogIntervalMs)
        return false;
    last.start();
    if (m_log)
        m_log(line);
    return true;
}

void TcpEndpoint::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        if (m_connections.size() >= m_limits.maxConnections) {
            refuse(socket);
            continue;
        }
        auto *connection = new TcpConnection(socket, m_dispatcher, m_limits, m_totalUnsent, m_log, this);
        m_connections.append(connection);
        connect(connection, &TcpConnection::finished, this, [this, connection] {
            m_connections.removeOne(connection);
            connection->deleteLater();
        });
    }
}

void TcpEndpoint::refuse(QTcpSocket *socket)
{
    ++m_refused;
    ++m_refusedUnlogged;
    socket->write(CorvusService::badRequest(cp1251::encode(
        QStringLiteral("Сервер занят: открыто соединений — %1, больше он не принимает. Подключитесь позже.")
            .arg(m_limits.maxConnections))));
    socket->flush();
    socket->abort();
    socket->deleteLater();
    if (logSometimes(m_lastRefusalLog, QStringLiteral("открыто соединений — %1 (предел); отказано новым: %2.")
                                           .arg(m_connections.size())
                                           .arg(m_refusedUnlogged)))
        m_refusedUnlogged = 0;
}

void TcpEndpoint::onAcceptError(QAbstractSocket::SocketError error)
{
    Q_UNUSED(error);
    // Out of descriptors, most likely: retrying at once would only spin. Connections
    // that end meanwhile free descriptors for the next try.
    m_server.pauseAccepting();
    m_acceptRetry.start();
    logSometimes(m_lastAcceptErrorLog,
                 QStringLiteral("не удалось принять соединение (%1): приём приостановлен на %2 мс.")
                     .arg(m_server.errorString())
                     .arg(m_limits.acceptRetryMs));
}
