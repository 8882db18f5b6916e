#include "TcpChannel.h"

#include "wire/RequestWriter.h"

#include <QPointer>

namespace {

QString describe(QAbstractSocket::SocketError error, const QString &qtText)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("соединение отвергнуто (сервер не запущен или порт не тот)");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("такой адрес не найден");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("сервер не отвечает");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("ошибка сети (нет маршрута к серверу)");
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("нет доступа к сети");
    default:
        return QStringLiteral("ошибка соединения: %1").arg(qtText);
    }
}

} // namespace

TcpChannel::TcpChannel(QObject *parent) : Channel(parent)
{
    m_stallTimer.setSingleShot(true);
    m_stallTimer.setInterval(DefaultStallTimeoutMs);
    connect(&m_stallTimer, &QTimer::timeout, this, &TcpChannel::onStalled);
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(DefaultConnectTimeoutMs);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        if (m_socket.state() == QAbstractSocket::ConnectedState)
            return;
        close();
        emit errorOccurred(describe(QAbstractSocket::SocketTimeoutError, QString()));
    });
    connect(&m_socket, &QTcpSocket::connected, &m_connectTimer, &QTimer::stop);
    connect(&m_socket, &QTcpSocket::connected, this, &TcpChannel::connected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &TcpChannel::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this, &TcpChannel::onDisconnected);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &TcpChannel::onError);
}

TcpChannel::~TcpChannel()
{
    m_closing = true;
    m_socket.disconnect(this);
    m_socket.abort();
}

bool TcpChannel::open(const QString &hostText, const QString &portText)
{
    const QString host = hostText.trimmed();
    if (host.isEmpty() || portText.trimmed().isEmpty())
        return false;
    bool ok = false;
    const int port = portText.trimmed().toInt(&ok, 10);
    if (!ok || port < 1 || port > 65535)
        return false;
    close();
    m_socket.connectToHost(host, quint16(port));
    m_connectTimer.start();
    return true;
}

void TcpChannel::close()
{
    ++m_generation;
    m_stallTimer.stop();
    m_connectTimer.stop();
    m_assembler.reset();
    m_closing = true;
    m_socket.abort();
    m_closing = false;
}

bool TcpChannel::isConnected() const
{
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

bool TcpChannel::send(const QByteArray &tag, const QByteArray &params)
{
    if (!isConnected())
        return false;
    const QByteArray bytes = requests::wire(tag, params);
    return m_socket.write(bytes) == bytes.size();
}

void TcpChannel::setStallTimeout(int ms)
{
    m_stallTimer.setInterval(qMax(1, ms));
}

void TcpChannel::onReadyRead()
{
    const QByteArray chunk = m_socket.readAll();
    if (chunk.isEmpty())
        return;
    const QList<ReplyAssembler::Item> items = m_assembler.feed(chunk);
    if (m_assembler.isIncomplete())
        m_stallTimer.start();   // restarted by every chunk: the bound is on silence
    else
        m_stallTimer.stop();

    // A receiver may close or delete the channel while handling a reply.
    const QPointer<TcpChannel> self(this);
    const quint64 generation = m_generation;
    for (const ReplyAssembler::Item &item : items) {
        if (item.lost) {
            // "Ответ ..." as a phrase of the connection's error.
            loseStream(item.error.left(1).toLower() + item.error.mid(1));
            return;
        }
        if (item.ok)
            emit replyArrived(item.reply, item.counted);
        else
            emit replyFailed(item.error);
        if (!self || m_generation != generation)
            return;
    }
    if (m_assembler.expected() > 0 && m_assembler.isIncomplete())
        emit replyProgress(m_assembler.progressPercent());
}

void TcpChannel::abandonPartialReply(const QString &why)
{
    m_stallTimer.stop();
    if (!m_assembler.isIncomplete())
        return;
    QString detail;
    if (m_assembler.skipping() > 0)
        detail = QStringLiteral("%1 (от отброшенного ответа не пришло ещё %2 байт)")
                     .arg(why)
                     .arg(m_assembler.skipping());
    else if (m_assembler.expected() >= 0)
        detail = QStringLiteral("%1 (получено %2 из %3 байт)")
                     .arg(why)
                     .arg(m_assembler.received())
                     .arg(m_assembler.expected());
    else
        detail = QStringLiteral("%1 (заголовок не завершён)").arg(why);
    m_assembler.reset();
    emit replyFailed(QStringLiteral("Ответ сервера не получен полностью: %1").arg(detail));
}

void TcpChannel::loseStream(const QString &why)
{
    // Whatever follows could only be read from a wrong place: the connection goes.
    close();
    emit errorOccurred(QStringLiteral("%1, соединение закрыто").arg(why));
}

void TcpChannel::onStalled()
{
    if (m_assembler.skipping() > 0) {
        // The rest of a refused reply may still come; it must never be read as replies.
        loseStream(QStringLiteral("отброшенный ответ сервера не пришёл до конца (сервер молчит %1 мс)")
                       .arg(m_stallTimer.interval()));
        return;
    }
    abandonPartialReply(QStringLiteral("сервер молчит %1 мс").arg(m_stallTimer.interval()));
}

void TcpChannel::onDisconnected()
{
    if (m_closing)
        return;
    const QPointer<TcpChannel> self(this);
    const quint64 generation = m_generation;
    if (m_socket.bytesAvailable() > 0)
        onReadyRead();   // whatever came with the close is still a reply
    if (!self || m_generation != generation)
        return;
    abandonPartialReply(QStringLiteral("соединение закрыто сервером"));
    if (self)
        emit disconnected();
}

void TcpChannel::onError(QAbstractSocket::SocketError error)
{
    if (m_closing || error == QAbstractSocket::RemoteHostClosedError)
        return;
    m_connectTimer.stop();
    emit errorOccurred(describe(error, m_socket.errorString()));
}
