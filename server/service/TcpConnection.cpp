#include "service/TcpConnection.h"

#include "model/Cp1251.h"

#include <QTcpSocket>

#include <algorithm>
#include <utility>
#include <sys/ioctl.h>

namespace {

QString seconds(int ms)
{
    return QString::number(double(ms) / 1000.0, 'g', 3);
}

} // namespace

TcpConnection::TcpConnection(QTcpSocket *socket, Dispatcher *dispatcher, const TcpLimits &limits,
                             std::shared_ptr<qint64> totalUnsent, TcpLog log, QObject *parent)
    : QObject(parent), m_socket(socket), m_dispatcher(dispatcher), m_limits(limits),
      m_totalUnsent(std::move(totalUnsent)), m_log(std::move(log)),
      m_cancel(std::make_shared<cancel::Flag>())
{
    m_socket->setParent(this);
    m_peer = QStringLiteral("%1:%2").arg(m_socket->peerAddress().toString()).arg(m_socket->peerPort());
    m_session.cancel = m_cancel;
    // Bytes not taken stay in the kernel: what a client sends while its connection
    // is paused costs the server nothing.
    m_socket->setReadBufferSize(ReadChunk);

    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, &TcpConnection::onSettled);
    m_requestTimer.setSingleShot(true);
    m_requestTimer.setInterval(m_limits.requestTimeoutMs);
    connect(&m_requestTimer, &QTimer::timeout, this, [this] {
        close(QStringLiteral("клиент %1 не прислал запрос целиком за %2 с: соединение закрыто.")
                  .arg(m_peer, seconds(m_limits.requestTimeoutMs)),
              cp1251::encode(QStringLiteral("Запрос не получен целиком за %1 с; соединение закрыто.")
                                 .arg(seconds(m_limits.requestTimeoutMs))));
    });
    m_stallTimer.setSingleShot(true);
    m_stallTimer.setInterval(m_limits.stallTimeoutMs);
    connect(&m_stallTimer, &QTimer::timeout, this, [this] {
        close(QStringLiteral("клиент %1 не принимает ответы %2 с (не принято байт: %3): соединение закрыто.")
                  .arg(m_peer, seconds(m_limits.stallTimeoutMs))
                  .arg(unsent()),
              {});
    });

    connect(m_socket, &QTcpSocket::readyRead, this, &TcpConnection::onReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &TcpConnection::onBytesWritten);
    connect(m_socket, &QTcpSocket::disconnected, this, &TcpConnection::end);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (e != QAbstractSocket::RemoteHostClosedError)
            end();
    });

    write(m_dispatcher->service()->greeting());
    updateRequestTimer();   // the first request, too, must come in time
}

TcpConnection::~TcpConnection()
{
    if (!m_ended) {
        m_cancel->set();
        *m_totalUnsent -= m_counted;
    }
}

TcpConnection::State TcpConnection::state() const
{
    State s;
    s.inFlight = m_order.inFlight();
    s.longInFlight = m_longInFlight;
    s.unsent = unsent();
    s.held = held();
    s.queued = m_socket->bytesToWrite();
    s.pendingBytes = m_pendingBytes;
    s.paused = m_paused;
    s.holding = m_held.has_value();
    s.taken = m_taken;
    return s;
}

void TcpConnection::end()
{
    if (m_ended)
        return;
    m_ended = true;
    // Its requests stop; what they would have answered has nowhere to go.
    m_cancel->set();
    m_settle.stop();
    m_requestTimer.stop();
    m_stallTimer.stop();
    m_held.reset();
    m_queue.clear();   // a streamed reply stops being made
    m_buffer.clear();
    m_front = 0;
    syncUnsent();
    emit finished();
}

void TcpConnection::close(const QString &logLine, const QByteArray &reason1251)
{
    if (m_ended)
        return;
    if (m_log)
        m_log(logLine);
    if (!reason1251.isEmpty() && m_socket->state() == QAbstractSocket::ConnectedState) {
        m_socket->write(CorvusService::badRequest(reason1251));
        m_socket->flush();
    }
    m_socket->abort();
    end();
}

qint64 TcpConnection::unsent() const
{
    qint64 n = m_socket->bytesToWrite() + m_order.unsentBytes();
    for (const Outgoing &o : m_queue)
        n += o.unsentBytes();
    return n;
}

qint64 TcpConnection::held() const
{
    qint64 n = m_socket->bytesToWrite() + m_order.heldBytes();
    for (const Outgoing &o : m_queue)
        n += o.heldBytes();
    return n;
}

void TcpConnection::syncUnsent()
{
    // The endpoints' total bounds memory: what a streamed rest has not made yet
    // is not in it.
    const qint64 now = m_ended ? 0 : held();
    *m_totalUnsent += now - m_counted;
    m_counted = now;
}

bool TcpConnection::blocked() const
{
    if (m_order.inFlight() >= m_limits.maxInFlight || m_pendingBytes > m_limits.maxPendingBytes)
        return true;
    const qint64 mine = unsent();
    return mine > m_limits.maxUnsent || (mine > 0 && *m_totalUnsent > m_limits.maxTotalUnsent);
}

void TcpConnection::resumeIfDue()
{
    if (!m_paused || m_ended)
        return;
    m_paused = false;
    process(false);
    if (!m_paused)
        onReadyRead();
}

void TcpConnection::onReadyRead()
{
    while (!m_ended) {
        if (m_paused || m_held || blocked()) {
            m_paused = true;   // resumed when replies are done or taken
            updateRequestTimer();
            return;
        }
        const qint64 available = std::min(m_socket->bytesAvailable(), ReadChunk);
        if (available <= 0)
            return;
        const QByteArray chunk = m_socket->read(available);
        if (chunk.isEmpty())
            return;
        m_settle.stop();
        m_buffer += chunk;
        process(false);
    }
}

void TcpConnection::onBytesWritten()
{
    pump();
    if (m_socket->bytesToWrite() > 0)
        m_stallTimer.start();   // the client takes bytes: it has the full time again
    else
        m_stallTimer.stop();
    resumeIfDue();
}

bool TcpConnection::drained() const
{
    int waiting = 0;
    return m_socket->bytesAvailable() == 0
        && !(::ioctl(int(m_socket->socketDescriptor()), FIONREAD, &waiting) == 0 && waiting > 0);
}

void TcpConnection::onSettled()
{
    if (m_paused || m_ended)
        return;   // taken up again when the connection resumes
    // Bytes that arrived but were not read yet go first: the event loop reads them
    // (which parses again), and the quiet period starts over.
    if (!drained()) {
        m_settle.start();
        return;
    }
    process(true);
}

void TcpConnection::process(bool final)
{
    while (!m_ended) {
        if (m_held) {
            if (m_longInFlight >= m_limits.maxLongInFlight || blocked()) {
                m_paused = true;
                break;
            }
            Held held = std::move(*m_held);
            m_held.reset();
            submit(held.request, Cost::Long, held.bytes);
            continue;
        }
        if (blocked()) {
            m_paused = true;
            break;
        }
        if (m_front >= m_buffer.size())
            break;
        if (m_skipping) {
            // The rest of a request already answered "too long": no second answer.
            const wirerequest::Skip skip = wirerequest::skipRest(QByteArrayView(m_buffer).sliced(m_front));
            m_front += skip.size;
            m_skipping = !skip.found;
            if (m_skipping)
                break;
            continue;
        }
        const wirerequest::Result r =
            wirerequest::parse(QByteArrayView(m_buffer).sliced(m_front), final, &m_progress);
        if (r.status == wirerequest::Status::NeedMore) {
            // A registration written at once reaches the socket whole: with every
            // byte that arrived read, it is answered now, without the quiet period.
            if (r.settlesSoon && !final && drained()) {
                final = true;
                continue;
            }
            if (r.settles)
                m_settle.start(r.settlesSoon ? QuickSettleMs : SettleMs);
            break;
        }
        m_front += r.size;
        m_progress = wirerequest::Progress();
        if (r.status == wirerequest::Status::Complete) {
            take(r.request, r.size);
        } else if (r.status == wirerequest::Status::Bad) {
            ++m_taken;
            m_skipping = r.overlong;
            answer(m_order.reserve(),
                   {m_dispatcher->service()->markedFor(m_session, CorvusService::badRequest(r.reason)), nullptr});
        }
    }
    if (m_ended)
        return;
    // Taken bytes go once per call, not once per request.
    if (m_front > 0) {
        m_buffer.remove(0, m_front);
        m_front = 0;
        m_requestTimer.stop();   // a request was taken: the next one has its own time
    }
    updateRequestTimer();
}

void TcpConnection::take(const wirerequest::Request &request, qsizetype bytes)
{
    ++m_taken;
    m_pendingBytes += bytes;
    const Cost cost = m_dispatcher->costOf(request);
    if (cost == Cost::Long && m_longInFlight >= m_limits.maxLongInFlight) {
        m_held = Held{request, bytes};   // taken once the running long one is answered
        return;
    }
    submit(request, cost, bytes);
}

void TcpConnection::submit(const wirerequest::Request &request, Cost cost, qsizetype bytes)
{
    const quint64 seq = m_order.reserve();
    if (cost == Cost::Long)
        ++m_longInFlight;
    m_dispatcher->run(this, request, m_session, cost, [this, seq, cost, bytes](const ServiceOutcome &outcome) {
        if (cost == Cost::Long)
            --m_longInFlight;
        m_pendingBytes -= bytes;
        if (outcome.registeredAs) {
            m_session.userName = *outcome.registeredAs;
            m_session.clientVersion = outcome.clientVersion;
        }
        answer(seq, {outcome.reply, outcome.rest});
    });
}

void TcpConnection::answer(quint64 seq, Outgoing reply)
{
    for (Outgoing &r : m_order.complete(seq, std::move(reply)))
        m_queue.push_back(std::move(r));
    pump();
    if (m_paused)
        QMetaObject::invokeMethod(this, &TcpConnection::resumeIfDue, Qt::QueuedConnection);
}

void TcpConnection::pump()
{
    while (!m_queue.empty() && !m_ended && m_socket->state() == QAbstractSocket::ConnectedState) {
        Outgoing &o = m_queue.front();
        if (!o.bytes.isEmpty())
            write(std::exchange(o.bytes, QByteArray()));
        while (o.rest && m_socket->bytesToWrite() < m_limits.streamRoom) {
            const QByteArray piece = o.rest->next(m_limits.streamPiece);
            if (piece.isEmpty())
                o.rest.reset();
            else
                write(piece);
        }
        if (o.rest)
            break;   // the next pieces when the socket has taken these (onBytesWritten)
        m_queue.pop_front();
    }
    syncUnsent();
}

void TcpConnection::write(const QByteArray &bytes)
{
    if (m_ended || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_socket->write(bytes);
    if (!m_stallTimer.isActive())
        m_stallTimer.start();
    syncUnsent();
}

void TcpConnection::updateRequestTimer()
{
    // Waiting for the rest of a request (or for the first one): the client's time
    // runs. Paused, the bytes wait on the server, and its time does not.
    const bool waiting = !m_ended && !m_paused && !m_held
        && (m_front < m_buffer.size() || m_taken == 0);
    if (!waiting)
        m_requestTimer.stop();
    else if (!m_requestTimer.isActive())
        m_requestTimer.start();
}
