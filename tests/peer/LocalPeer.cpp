#include "LocalPeer.h"

#include "wire/DdeWire.h"

#include <QtTest/QTest>

LocalPeer::LocalPeer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &LocalLinkServer::poked, this,
            [this](int, const QByteArray &, const QByteArray &data) {
                Poke poke;
                poke.raw = data;
                poke.encoded = looksEncoded(data);
                poke.text = poke.encoded ? ddewire::decode(data) : data;
                m_pokes.append(poke);
            });
    connect(&m_server, &LocalLinkServer::advised, this, [this](int id, const QByteArray &) {
        if (!m_advised.contains(id))
            m_advised.append(id);
    });
    connect(&m_server, &LocalLinkServer::clientClosed, this,
            [this](int id) { m_advised.removeAll(id); });
}

bool LocalPeer::start(const QString &service)
{
    return m_server.listen(service);
}

bool LocalPeer::waitForPoke(int timeoutMs, int taken)
{
    const int seen = taken < 0 ? int(m_pokes.size()) : taken;
    return QTest::qWaitFor([this, seen] { return m_pokes.size() > seen; }, timeoutMs);
}

bool LocalPeer::waitForClient(int timeoutMs)
{
    return QTest::qWaitFor([this] { return !m_advised.isEmpty(); }, timeoutMs);
}

int LocalPeer::push(const QByteArray &text)
{
    return m_server.pushAll(ddewire::encode(text));
}

int LocalPeer::pushRaw(const QByteArray &data)
{
    return m_server.pushAll(data);
}

bool LocalPeer::looksEncoded(const QByteArray &data)
{
    if (data.isEmpty() || data.size() % 2 != 0)
        return false;
    for (qsizetype i = 0; i < data.size(); i += 2) {
        const auto a = static_cast<unsigned char>(data[i]);
        const auto b = static_cast<unsigned char>(data[i + 1]);
        if (a == b && a >= 40)
            continue;
        if (a == 255 && b >= 40 && b < 80)
            continue;
        return false;
    }
    return true;
}
