#include "TcpEndpoint.h"

#include <QTcpSocket>

TcpConnection::TcpConnection(QTcpSocket *socket, Dispatcher *dispatcher, QObject *parent)
    : QObject(parent), m_socket(socket), m_dispatcher(dispatcher)
{
    m_socket->setParent(this);
    // Unread bytes stay in the kernel while reading pauses.
    m_socket->setReadBufferSize(wirerequest::MaxRequestSize);
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] { process(true); });
    connect(m_socket, &QTcpSocket::readyRead, this, &TcpConnection::onReadyRead);
    // Reading may have paused on replies the client had not taken.
    connect(m_socket, &QTcpSocket::bytesWritten, this, &TcpConnection::resumeIfDue);
    connect(m_socket, &QTcpSocket::disconnected, this, &TcpConnection::end);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (e != QAbstractSocket::RemoteHostClosedError)
            end();
    });

    write(m_dispatcher->service()->greeting());
}

void TcpConnection::end()
{
    if (m_ended)
        return;
    m_ended = true;
    m_settle.stop();
    emit finished();
}

bool TcpConnection::paused() const
{
    return m_order.inFlight() >= MaxInFlight || m_socket->bytesToWrite() > MaxUnsent;
}

void TcpConnection::resumeIfDue()
{
    if (!m_paused || paused())
        return;
    m_paused = false;
    process(false);
    onReadyRead();
}

void TcpConnection::onReadyRead()
{
    if (paused()) {
        m_paused = true;   // resumed when replies are done or taken
        return;
    }
    const QByteArray chunk = m_socket->read(wirerequest::MaxRequestSize);
    if (chunk.isEmpty())
        return;
    m_settle.stop();
    m_buffer += chunk;
    process(false);
}

void TcpConnection::process(bool final)
{
    while (!m_buffer.isEmpty()) {
        if (paused()) {
            m_paused = true;
            return;
        }
        const wirerequest::Result r = wirerequest::parse(m_buffer, final);
        switch (r.status) {
        case wirerequest::Status::Complete:
            submit(r.request);
            break;
        case wirerequest::Status::Bad:
            answer(m_order.reserve(),
                   m_dispatcher->service()->markedFor(m_session, CorvusService::badRequest(r.reason)));
            break;
        case wirerequest::Status::Filler:
            break;
        case wirerequest::Status::NeedMore:
            if (r.settles)
                m_settle.start();
            return;
        }
        m_buffer.remove(0, r.size);
    }
}

void TcpConnection::submit(const wirerequest::Request &request)
{
    const quint64 seq = m_order.reserve();
    m_dispatcher->run(this, request, m_session, [this, seq](const ServiceOutcome &outcome) {
        if (outcome.registeredAs) {
            m_session.userName = *outcome.registeredAs;
            m_session.clientVersion = outcome.clientVersion;
        }
        answer(seq, outcome.reply);
    });
}

void TcpConnection::answer(quint64 seq, const QByteArray &reply)
{
    for (const QByteArray &r : m_order.complete(seq, reply))
        write(r);
    if (m_paused && !paused())
        QMetaObject::invokeMethod(this, &TcpConnection::resumeIfDue, Qt::QueuedConnection);
}

void TcpConnection::write(const QByteArray &bytes)
{
    if (!m_ended && m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->write(bytes);
}

TcpEndpoint::TcpEndpoint(Dispatcher *dispatcher, QObject *parent)
    : QObject(parent), m_dispatcher(dispatcher)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TcpEndpoint::onNewConnection);
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
    m_server.resumeAccepting();
}

void TcpEndpoint::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        auto *connection = new TcpConnection(socket, m_dispatcher, this);
        ++m_connections;
        connect(connection, &TcpConnection::finished, this, [this, connection] {
            --m_connections;
            connection->deleteLater();
        });
    }
}
