#include "LocalLink.h"

#include "wire/ReplyAssembler.h"
#include "wire/DdeWire.h"
#include "wire/RequestWriter.h"
#include "platform/Folders.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QProcess>
#include <QThread>

LocalLink::LocalLink(QObject *parent) : Channel(parent)
{
    connect(&m_socket, &QLocalSocket::readyRead, this, &LocalLink::onReadyRead);
    connect(&m_socket, &QLocalSocket::disconnected, this, &LocalLink::onDisconnected);
}

LocalLink::~LocalLink()
{
    m_closing = true;
    m_socket.disconnect(this);
    m_socket.abort();
}

bool LocalLink::setLink(const QString &service, const QByteArray &topic)
{
    if (service.isEmpty())
        return false;
    m_service = service;
    m_topic = topic;
    return true;
}

QString LocalLink::socketPath() const
{
    return m_service.isEmpty() ? QString() : platform::localLinkSocketPath(m_service);
}

bool LocalLink::tryConnect()
{
    m_closing = true;   // the failed attempts' notifications are not news
    m_socket.abort();
    m_socket.connectToServer(socketPath());
    const bool ok = m_socket.waitForConnected(RetryIntervalMs);
    if (!ok)
        m_socket.abort();
    m_closing = false;
    return ok;
}

bool LocalLink::openLink(const QString &serverFile)
{
    if (m_service.isEmpty())
        return false;
    closeLink();
    bool ok = tryConnect();
    // A relative name means the file in the current directory, not a search of PATH.
    const QString program = serverFile.isEmpty() || QDir::isAbsolutePath(serverFile)
        ? serverFile
        : QDir::current().absoluteFilePath(serverFile);
    if (!ok && !program.isEmpty()
        && QProcess::startDetached(program, {}, QDir::currentPath())) {
        QElapsedTimer waited;
        waited.start();
        while (!ok && waited.elapsed() < m_startWaitMs) {
            QThread::msleep(RetryIntervalMs);
            ok = tryConnect();
        }
    }
    if (!ok)
        return false;
    m_socket.write(LocalLinkWire::encodeFrame(LocalLinkWire::OpConnect, m_topic));
    m_socket.write(LocalLinkWire::encodeFrame(LocalLinkWire::OpAdvise, QByteArray(LocalLinkWire::Item)));
    return true;
}

void LocalLink::closeLink()
{
    m_closing = true;
    if (m_socket.state() == QLocalSocket::ConnectedState) {
        // The 'X' (and any poke before it, such as "CLOSE") must reach the server.
        m_socket.write(LocalLinkWire::encodeFrame(LocalLinkWire::OpClose, {}));
        m_socket.flush();
        m_socket.disconnectFromServer();
        if (m_socket.state() != QLocalSocket::UnconnectedState)
            m_socket.waitForDisconnected(100);
    }
    drop();
}

bool LocalLink::isOpen() const
{
    return m_socket.state() == QLocalSocket::ConnectedState;
}

bool LocalLink::poke(const QByteArray &data)
{
    if (!isOpen())
        return false;
    const QByteArray frame = LocalLinkWire::encodeFrame(
        LocalLinkWire::OpPoke, LocalLinkWire::itemPayload(QByteArray(LocalLinkWire::Item), data));
    if (!frame.isEmpty())
        m_socket.write(frame);
    return true;
}

bool LocalLink::send(const QByteArray &tag, const QByteArray &params)
{
    return poke(ddewire::encode(requests::wire(tag, params)));
}

bool LocalLink::pokeRaw(const QByteArray &text)
{
    return poke(text);
}

bool LocalLink::pokeEncoded(const QByteArray &text)
{
    return poke(ddewire::encode(text));
}

void LocalLink::deliverReply(const QByteArray &text)
{
    const ReplyAssembler::Stripped stripped = ReplyAssembler::stripLengthHeader(text);
    if (stripped.ok)
        emit replyArrived(stripped.text, stripped.counted);
    else
        emit replyFailed(stripped.error);
}

void LocalLink::onReadyRead()
{
    m_decoder.feed(m_socket.readAll());
    const QPointer<LocalLink> self(this);
    const quint64 generation = m_generation;
    // Stops when a receiver closed, reopened or deleted the link.
    while (self && m_generation == generation) {
        LocalLinkWire::Frame frame;
        const auto status = m_decoder.next(&frame);
        if (status == LocalLinkWire::Decoder::Status::NeedMore)
            return;
        if (status == LocalLinkWire::Decoder::Status::Error) {
            failLink(m_decoder.error());
            return;
        }
        switch (frame.op) {
        case LocalLinkWire::OpAccepted:
            break;
        case LocalLinkWire::OpRefused:
            failLink(QStringLiteral("Локальный сервер отказал в соединении с темой %1")
                         .arg(QString::fromLatin1(m_topic)));
            return;
        case LocalLinkWire::OpData: {
            QByteArray item;
            QByteArray data;
            if (!LocalLinkWire::splitItemPayload(frame.payload, &item, &data)) {
                failLink(QStringLiteral("Локальная связь: в сообщении сервера нет имени элемента"));
                return;
            }
            if (item != LocalLinkWire::Item)
                break;   // not advised: nothing to do
            QByteArray text = ddewire::decode(data);
            qsizetype end = text.size();
            while (end > 0 && text[end - 1] == ' ')
                --end;
            text.truncate(end);
            emit itemChanged(text);
            break;
        }
        case LocalLinkWire::OpClose:
            drop();
            emit linkClosed();
            return;
        default:
            failLink(QStringLiteral("Локальная связь: операция «%1» не ожидается от сервера")
                         .arg(QLatin1Char(frame.op)));
            return;
        }
    }
}

void LocalLink::onDisconnected()
{
    if (m_closing)
        return;
    const QPointer<LocalLink> self(this);
    const quint64 generation = m_generation;
    if (m_socket.bytesAvailable() > 0)
        onReadyRead();   // frames that came with the close still count
    if (!self || m_generation != generation)
        return;
    drop();
    emit linkClosed();
}

void LocalLink::drop()
{
    ++m_generation;
    m_closing = true;
    m_socket.abort();
    m_decoder.reset();
    m_closing = false;
}

void LocalLink::failLink(const QString &reason)
{
    drop();
    emit linkError(reason);
}
