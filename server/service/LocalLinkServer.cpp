#include "service/LocalLinkServer.h"

#include "platform/Folders.h"

#include <QFile>
#include <QLocalSocket>
#include <QPointer>

#include <cerrno>
#include <utility>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What lies at a path that is not a socket, for the refusal; empty for a socket or
// for nothing at all.
QString nonSocketKind(const QString &path, bool *exists)
{
    struct stat st {};
    *exists = ::lstat(QFile::encodeName(path).constData(), &st) == 0;
    if (!*exists || S_ISSOCK(st.st_mode))
        return {};
    if (S_ISREG(st.st_mode))
        return QStringLiteral("обычный файл");
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("папка");
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("символическая ссылка");
    return QStringLiteral("специальный файл");
}

} // namespace

LocalLinkServer::LocalLinkServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QLocalServer::newConnection, this, &LocalLinkServer::onNewConnection);
}

LocalLinkServer::~LocalLinkServer()
{
    // No signals while tearing down: the receivers may already be half gone.
    blockSignals(true);
    close();
}

bool LocalLinkServer::listen(const QString &service, const QByteArray &topic)
{
    if (service.isEmpty()) {
        m_error = QStringLiteral("Не задано имя локального сервера");
        return false;
    }
    return listenAt(platform::localLinkSocketPath(service), topic);
}

bool LocalLinkServer::listenAt(const QString &socketPath, const QByteArray &topic)
{
    close();
    m_topic = topic;
    m_path = socketPath;
    m_error.clear();
    bool exists = false;
    const QString kind = nonSocketKind(socketPath, &exists);
    if (!kind.isEmpty()) {
        // Not ours to remove: whatever it is, it was put there by someone else.
        m_error = QStringLiteral("На месте сокета локальной связи %1 находится %2, а не сокет; он оставлен как "
                                 "есть. Удалите или переименуйте его либо задайте другое имя службы.")
                      .arg(socketPath, kind);
        return false;
    }
    if (exists) {
        QLocalSocket probe;
        probe.connectToServer(socketPath);
        if (probe.waitForConnected(200)) {
            probe.abort();
            m_error = QStringLiteral("Локальный сервер уже работает: %1").arg(socketPath);
            return false;
        }
        // Nobody listens: a socket left by a server that did not end cleanly.
        if (::unlink(QFile::encodeName(socketPath).constData()) != 0) {
            m_error = QStringLiteral("Не удалось удалить старый сокет локальной связи %1: %2")
                          .arg(socketPath, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    // Only this user may talk to the server.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(socketPath)) {
        m_error = QStringLiteral("Не удалось открыть локальную связь %1: %2")
                      .arg(socketPath, m_server.errorString());
        return false;
    }
    return true;
}

void LocalLinkServer::close()
{
    const QList<int> ids = m_connections.keys();
    for (const int id : ids)
        closeConnection(id);
    if (m_server.isListening())
        m_server.close();   // removes the socket file
}

bool LocalLinkServer::isAdvised(int connectionId) const
{
    const Connection *c = m_connections.value(connectionId);
    return c && c->advisedItems.contains(QByteArray(LocalLinkWire::Item));
}

bool LocalLinkServer::push(int connectionId, const QByteArray &data)
{
    Connection *c = m_connections.value(connectionId);
    if (!c || !c->advisedItems.contains(QByteArray(LocalLinkWire::Item)))
        return false;
    const QByteArray frame = LocalLinkWire::encodeFrame(
        LocalLinkWire::OpData, LocalLinkWire::itemPayload(QByteArray(LocalLinkWire::Item), data));
    if (frame.isEmpty())
        return false;   // larger than a frame may carry
    if (!c->pending.empty()) {
        c->pending.push_back({frame, {}});
        return true;
    }
    return c->socket->write(frame) == frame.size();
}

bool LocalLinkServer::pushPieces(int connectionId, qint64 dataSize, Pieces next)
{
    Connection *c = m_connections.value(connectionId);
    if (!c || !c->advisedItems.contains(QByteArray(LocalLinkWire::Item)))
        return false;
    const QByteArray item(LocalLinkWire::Item);
    QByteArray front = LocalLinkWire::encodeFrameHeader(LocalLinkWire::OpData, quint64(item.size() + 1 + dataSize));
    if (front.isEmpty())
        return false;
    front += item;
    front += '\0';
    c->pending.push_back({front, std::move(next)});
    pump(connectionId);
    return true;
}

qint64 LocalLinkServer::queuedBytes(int connectionId) const
{
    const Connection *c = m_connections.value(connectionId);
    return c ? c->socket->bytesToWrite() : 0;
}

void LocalLinkServer::pump(int id)
{
    Connection *c = m_connections.value(id);
    if (!c)
        return;
    while (!c->pending.empty() && c->socket->state() == QLocalSocket::ConnectedState) {
        Pending &p = c->pending.front();
        if (!p.bytes.isEmpty())
            c->socket->write(std::exchange(p.bytes, QByteArray()));
        while (p.next && c->socket->bytesToWrite() < PieceRoom) {
            const QByteArray piece = p.next();
            if (piece.isEmpty())
                p.next = nullptr;
            else
                c->socket->write(piece);
        }
        if (p.next)
            return;   // more when the socket has taken some
        c->pending.pop_front();
    }
}

int LocalLinkServer::pushAll(const QByteArray &data)
{
    int sent = 0;
    const QList<int> ids = m_connections.keys();
    for (const int id : ids)
        sent += push(id, data) ? 1 : 0;
    return sent;
}

void LocalLinkServer::closeConnection(int connectionId)
{
    Connection *c = m_connections.value(connectionId);
    if (!c)
        return;
    if (c->socket->state() == QLocalSocket::ConnectedState)
        c->socket->write(LocalLinkWire::encodeFrame(LocalLinkWire::OpClose, {}));
    drop(connectionId, true);
}

void LocalLinkServer::onNewConnection()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        const int id = m_nextId++;
        auto *c = new Connection;
        c->socket = socket;
        m_connections.insert(id, c);
        connect(socket, &QLocalSocket::readyRead, this, [this, id] { onReadyRead(id); });
        connect(socket, &QLocalSocket::disconnected, this, [this, id] { onSocketGone(id); });
        connect(socket, &QLocalSocket::bytesWritten, this, [this, id] { pump(id); });
        if (socket->bytesAvailable() > 0)
            onReadyRead(id);
    }
}

void LocalLinkServer::onReadyRead(int id)
{
    Connection *c = m_connections.value(id);
    if (!c)
        return;
    c->decoder.feed(c->socket->readAll());
    const QPointer<LocalLinkServer> self(this);
    for (;;) {
        c = m_connections.value(id);   // a receiver may have closed it
        if (!self || !c)
            return;
        LocalLinkWire::Frame frame;
        const auto status = c->decoder.next(&frame);
        if (status == LocalLinkWire::Decoder::Status::NeedMore)
            return;
        if (status == LocalLinkWire::Decoder::Status::Error) {
            fail(id, c->decoder.error());
            return;
        }
        if (!handleFrame(id, frame))
            return;
    }
}

bool LocalLinkServer::handleFrame(int id, const LocalLinkWire::Frame &frame)
{
    Connection *c = m_connections.value(id);
    switch (frame.op) {
    case LocalLinkWire::OpConnect:
        if (c->accepted) {
            fail(id, QStringLiteral("Локальная связь: повторное соединение с темой"));
            return false;
        }
        if (frame.payload != m_topic) {
            c->socket->write(LocalLinkWire::encodeFrame(LocalLinkWire::OpRefused, {}));
            drop(id, true);
            return false;
        }
        c->accepted = true;
        c->socket->write(LocalLinkWire::encodeFrame(LocalLinkWire::OpAccepted, {}));
        emit clientConnected(id);
        return true;
    case LocalLinkWire::OpAdvise:
        if (!c->accepted) {
            fail(id, QStringLiteral("Локальная связь: подписка до соединения с темой"));
            return false;
        }
        c->advisedItems.insert(frame.payload);
        emit advised(id, frame.payload);
        return true;
    case LocalLinkWire::OpPoke: {
        QByteArray item;
        QByteArray data;
        if (!c->accepted) {
            fail(id, QStringLiteral("Локальная связь: передача до соединения с темой"));
            return false;
        }
        if (!LocalLinkWire::splitItemPayload(frame.payload, &item, &data)) {
            fail(id, QStringLiteral("Локальная связь: в передаче нет имени элемента"));
            return false;
        }
        emit poked(id, item, data);
        return true;
    }
    case LocalLinkWire::OpClose:
        drop(id, true);
        return false;
    default:
        fail(id, QStringLiteral("Локальная связь: операция «%1» не ожидается от клиента")
                     .arg(QLatin1Char(frame.op)));
        return false;
    }
}

void LocalLinkServer::fail(int id, const QString &reason)
{
    emit protocolError(id, reason);
    drop(id);
}

void LocalLinkServer::onSocketGone(int id)
{
    drop(id);
}

void LocalLinkServer::drop(int id, bool graceful)
{
    Connection *c = m_connections.take(id);
    if (!c)
        return;
    QLocalSocket *socket = c->socket;
    socket->disconnect(this);
    if (graceful && socket->state() == QLocalSocket::ConnectedState) {
        // Let the last frame ('X' or 'N') go out before the socket goes.
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        socket->disconnectFromServer();
    } else {
        socket->abort();
        socket->deleteLater();
    }
    delete c;
    emit clientClosed(id);
}
