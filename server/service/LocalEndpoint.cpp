#include "service/LocalEndpoint.h"

#include "wire/DdeWire.h"
#include "platform/Folders.h"
#include "platform/StartSignal.h"

#include <utility>

namespace {

const QByteArray ServerIsReady = QByteArrayLiteral("Server is Ready");
const QByteArray RegisterMe = QByteArrayLiteral("RegisterMe");
const QByteArray Close = QByteArrayLiteral("CLOSE");
// Plain bytes of a streamed reply encoded at a time.
constexpr qsizetype PieceSize = qsizetype(64) << 10;

QByteArray withoutTrailing(QByteArray text, char c1, char c2)
{
    while (!text.isEmpty() && (text.back() == c1 || text.back() == c2))
        text.chop(1);
    return text;
}

} // namespace

LocalEndpoint::LocalEndpoint(Dispatcher *dispatcher, int idleExitSeconds, QObject *parent)
    : QObject(parent), m_dispatcher(dispatcher), m_idleExitSeconds(idleExitSeconds)
{
    m_idle.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        if (m_clients.isEmpty())
            emit quitRequested();
    });
    connect(&m_server, &LocalLinkServer::clientConnected, this, &LocalEndpoint::onConnected);
    connect(&m_server, &LocalLinkServer::advised, this, &LocalEndpoint::onAdvised);
    connect(&m_server, &LocalLinkServer::poked, this, &LocalEndpoint::onPoked);
    connect(&m_server, &LocalLinkServer::clientClosed, this, &LocalEndpoint::onClosed);
}

bool LocalEndpoint::listen(const QString &service)
{
    return m_server.listen(service);
}

void LocalEndpoint::setReady()
{
    m_ready = true;
    platform::StartSignal::signalStarted(platform::userDataFolder());
    for (auto it = m_clients.cbegin(); it != m_clients.cend(); ++it)
        push(it.key(), ServerIsReady);
    updateIdle();
}

void LocalEndpoint::failAll(const QByteArray &reason1251)
{
    for (auto it = m_clients.cbegin(); it != m_clients.cend(); ++it)
        push(it.key(), CorvusService::badRequest(reason1251));
}

void LocalEndpoint::onConnected(int id)
{
    Client c;
    c.session.local = true;
    c.cancel = std::make_shared<cancel::Flag>();
    c.session.cancel = c.cancel;
    m_clients.insert(id, c);
    updateIdle();
}

void LocalEndpoint::onAdvised(int id, const QByteArray &item)
{
    if (m_ready && item == LocalLinkWire::Item)
        push(id, ServerIsReady);
}

void LocalEndpoint::onPoked(int id, const QByteArray &item, const QByteArray &data)
{
    if (item != LocalLinkWire::Item || !m_clients.contains(id))
        return;
    const QByteArray raw = withoutTrailing(data, '\0', '\0');
    if (raw == RegisterMe) {
        wirerequest::Request info;
        info.tag = QByteArrayLiteral("INFO");
        info.known = true;
        submit(id, info);
        return;
    }
    const QByteArray text = withoutTrailing(ddewire::decode(raw), ' ', '\0');
    if (text.isEmpty())
        return;
    if (text == Close) {
        const bool last = m_clients.size() == 1;
        m_server.closeConnection(id);
        if (last && m_idleExitSeconds >= 0)
            emit quitRequested();
        return;
    }
    if (text == RegisterMe) {
        onPoked(id, item, RegisterMe);
        return;
    }
    // One poke holds one whole message: nothing more is coming for it.
    QByteArrayView rest(text);
    while (!rest.isEmpty()) {
        const wirerequest::Result r = wirerequest::parse(rest, true);
        if (r.status == wirerequest::Status::Complete)
            submit(id, r.request);
        else if (r.status == wirerequest::Status::Bad)
            answer(id, m_clients[id].order.reserve(), {CorvusService::badRequest(r.reason), nullptr});
        else if (r.status == wirerequest::Status::NeedMore || r.size <= 0)
            break;
        rest = rest.sliced(r.size);
    }
}

void LocalEndpoint::onClosed(int id)
{
    // Its requests stop: nobody is left to answer.
    if (const auto it = m_clients.constFind(id); it != m_clients.constEnd())
        it->cancel->set();
    m_clients.remove(id);
    updateIdle();
}

void LocalEndpoint::submit(int id, const wirerequest::Request &request)
{
    const quint64 seq = m_clients[id].order.reserve();
    m_dispatcher->run(this, request, m_clients[id].session,
                      [this, id, seq](const ServiceOutcome &outcome) {
                          if (!m_clients.contains(id))
                              return;
                          if (outcome.registeredAs) {
                              m_clients[id].session.userName = *outcome.registeredAs;
                              m_clients[id].session.clientVersion = outcome.clientVersion;
                          }
                          answer(id, seq, {outcome.reply, outcome.rest});
                      });
}

void LocalEndpoint::answer(int id, quint64 seq, Outgoing reply)
{
    auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    for (Outgoing &r : it->order.complete(seq, std::move(reply)))
        push(id, std::move(r));
}

void LocalEndpoint::push(int id, Outgoing reply)
{
    if (!reply.rest) {
        push(id, reply.bytes);
        return;
    }
    // Each byte is encoded as two, so the frame's length is known before the rest
    // is made.
    const qint64 plain = reply.bytes.size() + reply.rest->remaining();
    m_server.pushPieces(id, 2 * plain,
                        [front = std::move(reply.bytes), rest = std::move(reply.rest)]() mutable -> QByteArray {
                            if (!front.isEmpty())
                                return ddewire::encode(std::exchange(front, QByteArray()));
                            return ddewire::encode(rest->next(PieceSize));
                        });
}

void LocalEndpoint::push(int id, const QByteArray &plain)
{
    m_server.push(id, ddewire::encode(plain));
}

void LocalEndpoint::updateIdle()
{
    if (m_idleExitSeconds < 0 || !m_ready || !m_clients.isEmpty()) {
        m_idle.stop();
        return;
    }
    if (!m_idle.isActive())
        m_idle.start(m_idleExitSeconds * 1000);
}
