#pragma once
// The local-link endpoint (docs/local-link.md): listens on the service's socket
// before the corpus is loaded, so a client that started the server on demand can
// connect at once; its requests wait until the corpus is ready. Then the server
// writes the start signal and pushes "Server is Ready" to every advised client (and
// to each one that advises later). A plain "RegisterMe" is answered with an "INFO"
// reply; every encoded request with its reply, pushed encoded, in request order. A
// streamed reply (an export) is encoded and sent piece by piece as the client
// takes it.
//
// "CLOSE" from a client ends its conversation. When the server serves only the
// local link (exitWhenIdle), it ends once no client has been connected for the idle
// period, and at once when the last client says "CLOSE".
#include "service/Dispatcher.h"
#include "service/LocalLinkServer.h"

#include <QHash>
#include <QObject>
#include <QTimer>

class LocalEndpoint : public QObject {
    Q_OBJECT
public:
    // idleExitSeconds < 0: never end for idleness or "CLOSE".
    LocalEndpoint(Dispatcher *dispatcher, int idleExitSeconds, QObject *parent = nullptr);

    bool listen(const QString &service);
    QString errorString() const { return m_server.errorString(); }
    QString socketPath() const { return m_server.socketPath(); }

    // The corpus is loaded: start signal, "Server is Ready", waiting requests run.
    void setReady();
    // Loading failed: every client gets "ZERO" with the reason (1251).
    void failAll(const QByteArray &reason1251);
    int clientCount() const { return int(m_clients.size()); }

signals:
    // The server should end (idle, or the last client closed).
    void quitRequested();

private:
    struct Client {
        ReplyOrder order;
        SessionInfo session;
        std::shared_ptr<cancel::Flag> cancel;   // set when the client goes
    };

    void onConnected(int id);
    void onAdvised(int id, const QByteArray &item);
    void onPoked(int id, const QByteArray &item, const QByteArray &data);
    void onClosed(int id);
    void submit(int id, const wirerequest::Request &request);
    void answer(int id, quint64 seq, Outgoing reply);
    void push(int id, const QByteArray &plain);
    void push(int id, Outgoing reply);
    void updateIdle();

    Dispatcher *m_dispatcher;
    LocalLinkServer m_server;
    QHash<int, Client> m_clients;
    QTimer m_idle;
    int m_idleExitSeconds;
    bool m_ready = false;
};
