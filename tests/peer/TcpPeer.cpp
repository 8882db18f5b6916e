#include "TcpPeer.h"

#include <QHostAddress>
#include <QtTest/QTest>

TcpPeer::TcpPeer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TcpPeer::onNewConnection);
}

bool TcpPeer::start(bool greet)
{
    m_greet = greet;
    return m_server.listen(QHostAddress::LocalHost, 0);
}

bool TcpPeer::hasClient() const
{
    return m_client && m_client->state() == QAbstractSocket::ConnectedState;
}

bool TcpPeer::waitForClient(int timeoutMs)
{
    return QTest::qWaitFor([this] { return hasClient(); }, timeoutMs);
}

bool TcpPeer::waitForRequest(int timeoutMs, int taken)
{
    const int seen = taken < 0 ? int(m_requests.size()) : taken;
    return QTest::qWaitFor([this, seen] { return m_requests.size() > seen; }, timeoutMs);
}

void TcpPeer::clearRequests()
{
    m_requests.clear();
    m_stream.clear();
}

void TcpPeer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        if (m_client) {
            m_client->abort();
            m_client->deleteLater();
        }
        m_client = socket;
        connect(socket, &QTcpSocket::readyRead, this, &TcpPeer::onReadyRead);
        if (m_greet)
            send(QByteArrayLiteral("$RG="));
    }
}

void TcpPeer::onReadyRead()
{
    if (!m_client)
        return;
    const QByteArray chunk = m_client->readAll();
    if (chunk.isEmpty())
        return;
    m_stream += chunk;
    // Requests carry no terminator: a request begins at "$" + tag + "=", so one chunk
    // may hold several, and a chunk that does not begin with one continues the last.
    qsizetype from = 0;
    while (from < chunk.size()) {
        qsizetype next = from + 1;
        while (next < chunk.size() && !startsRequest(chunk, next))
            ++next;
        const QByteArray piece = chunk.mid(from, next - from);
        if (from == 0 && !startsRequest(chunk, 0) && !m_requests.isEmpty()) {
            m_requests.last() += piece;
        } else {
            m_requests.append(piece);
            emit requestArrived(piece);
        }
        from = next;
    }
}

bool TcpPeer::startsRequest(const QByteArray &bytes, qsizetype at)
{
    if (bytes.at(at) != '$')
        return false;
    qsizetype i = at + 1;
    while (i < bytes.size() && i - at <= 8
           && ((bytes[i] >= 'A' && bytes[i] <= 'Z') || bytes[i] == '_' || bytes[i] == 'x'))
        ++i;
    return i > at + 1 && i < bytes.size() && bytes[i] == '=';
}

void TcpPeer::send(const QByteArray &bytes)
{
    if (!m_client)
        return;
    m_client->write(bytes);
    m_client->flush();
}

void TcpPeer::reply(const QByteArray &bytes)
{
    send(bytes);
}

QByteArray TcpPeer::framed(const QByteArray &tag, const QByteArray &body, bool withHeader)
{
    const QByteArray reply = '$' + tag + '=' + body;
    if (!withHeader)
        return reply;
    return "##" + QByteArray::number(reply.size()) + "###" + reply;
}

void TcpPeer::replyFramed(const QByteArray &tag, const QByteArray &body, bool withHeader)
{
    send(framed(tag, body, withHeader));
}

void TcpPeer::stall(const QByteArray &bytes, int sentBytes)
{
    send(bytes.left(sentBytes));
}

void TcpPeer::dropClient()
{
    if (!m_client)
        return;
    m_client->disconnectFromHost();
}
