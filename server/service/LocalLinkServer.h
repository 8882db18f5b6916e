#pragma once
// The server side of the local link: listens on a service's socket, accepts
// conversations on one topic, reports pokes and pushes item changes to advised
// clients. Holds no state of its own beyond the connections; Corvus and the test
// peer both use it. Every connection is identified by a number that is never reused.
#include "wire/LocalLinkWire.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QLocalServer>
#include <QObject>
#include <QSet>
#include <QString>

#include <deque>
#include <functional>

class QLocalSocket;

class LocalLinkServer : public QObject {
    Q_OBJECT
public:
    explicit LocalLinkServer(QObject *parent = nullptr);
    ~LocalLinkServer() override;

    // Listens on platform::localLinkSocketPath(service). A stale socket (no listener
    // behind it) is removed first; a live one makes this fail, and so does anything
    // else at the path (a file, a folder, a link), which is left as it is.
    bool listen(const QString &service, const QByteArray &topic = QByteArray(LocalLinkWire::Topic));
    bool listenAt(const QString &socketPath, const QByteArray &topic);
    // Stops listening, closes every connection and removes the socket file.
    void close();
    bool isListening() const { return m_server.isListening(); }
    QString socketPath() const { return m_path; }
    QString errorString() const { return m_error; }

    // Sends a 'D' frame of item "DDESI" holding `data` to one connection, when it
    // has advised that item. False when it has not, or the connection is gone.
    bool push(int connectionId, const QByteArray &data);
    // push() of data made piece by piece, `dataSize` bytes in all: `next` gives the
    // next piece (empty at the end) whenever the connection's socket holds fewer
    // than PieceRoom bytes, so a client that reads slowly makes little be made.
    // Later pushes to the connection go after it.
    using Pieces = std::function<QByteArray()>;
    bool pushPieces(int connectionId, qint64 dataSize, Pieces next);
    static constexpr qint64 PieceRoom = qint64(512) << 10;
    // Bytes the connection's socket holds, not yet taken by the system.
    qint64 queuedBytes(int connectionId) const;
    // push() to every connection; returns how many got it.
    int pushAll(const QByteArray &data);
    // Sends 'X' and closes the connection.
    void closeConnection(int connectionId);
    QList<int> connectionIds() const { return m_connections.keys(); }
    bool isAdvised(int connectionId) const;

signals:
    // A client's 'C' for the topic was accepted.
    void clientConnected(int connectionId);
    void advised(int connectionId, const QByteArray &item);
    // A poke: item and data exactly as sent (data may be encoded or plain).
    void poked(int connectionId, const QByteArray &item, const QByteArray &data);
    // The connection ended ('X', the client went away, or a protocol error).
    void clientClosed(int connectionId);
    // A malformed or unexpected frame; the connection is closed right after.
    void protocolError(int connectionId, const QString &reason);

private:
    // A frame waiting for an earlier one made piece by piece; `next` set: its
    // data comes from it.
    struct Pending {
        QByteArray bytes;
        Pieces next;
    };
    struct Connection {
        QLocalSocket *socket = nullptr;
        std::deque<Pending> pending;
        LocalLinkWire::Decoder decoder;
        bool accepted = false;
        QSet<QByteArray> advisedItems;
    };

    void onNewConnection();
    void onReadyRead(int id);
    void onSocketGone(int id);
    void pump(int id);
    bool handleFrame(int id, const LocalLinkWire::Frame &frame);
    void fail(int id, const QString &reason);
    void drop(int id, bool graceful = false);

    QLocalServer m_server;
    QByteArray m_topic;
    QString m_path;
    QString m_error;
    QHash<int, Connection *> m_connections;
    int m_nextId = 1;
};
