#pragma once
// Plays the server side of the local link for a test: listens on the service's
// socket (under the test's XDG_DATA_HOME), records every poke and pushes texts.
#include "service/LocalLinkServer.h"

#include <QByteArray>
#include <QList>
#include <QObject>

class LocalPeer : public QObject {
    Q_OBJECT
public:
    struct Poke {
        QByteArray raw;    // the data exactly as poked
        QByteArray text;   // decoded when the data is byte-pair encoded, else raw
        bool encoded = false;
    };

    explicit LocalPeer(QObject *parent = nullptr);

    bool start(const QString &service = QStringLiteral("Corvus"));
    LocalLinkServer &server() { return m_server; }

    const QList<Poke> &pokes() const { return m_pokes; }
    bool waitForPoke(int timeoutMs = 5000, int taken = -1);
    bool waitForClient(int timeoutMs = 5000);   // connected and advised
    int clientCount() const { return int(m_advised.size()); }

    // Encodes `text` and pushes it to every advised client.
    int push(const QByteArray &text);
    // Pushes `data` as it is.
    int pushRaw(const QByteArray &data);

    // Whether data looks like the byte-pair encoding (even length, every pair either
    // two equal bytes or 255 followed by a byte of 40..79).
    static bool looksEncoded(const QByteArray &data);

private:
    LocalLinkServer m_server;
    QList<Poke> m_pokes;
    QList<int> m_advised;
};
