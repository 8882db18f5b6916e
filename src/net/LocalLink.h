#pragma once
// The client side of the local link (see docs/local-link.md): a conversation with
// a local server's service and topic over a QLocalSocket, advised on the item
// "DDESI". Requests are poked encoded with the byte-pair encoding; the server's
// messages arrive as changes of the item and are handed out by itemChanged(), for
// the session's dispatcher to tell "Server is Ready", "CLOSE" and replies apart.
//
// Writes are asynchronous and the server never echoes a poke, so a change of the
// item can never arrive in the middle of a poke: no poke-in-progress guard is needed.
#include "Channel.h"
#include "wire/LocalLinkWire.h"

#include <QLocalSocket>

class LocalLink : public Channel {
    Q_OBJECT
public:
    static constexpr int DefaultStartWaitMs = 3000;
    static constexpr int RetryIntervalMs = 50;

    explicit LocalLink(QObject *parent = nullptr);
    ~LocalLink() override;

    // Names the conversation. False when the service is empty.
    bool setLink(const QString &service, const QByteArray &topic = QByteArray(LocalLinkWire::Topic));
    // Connects to the service's socket. When nobody listens there and `serverFile`
    // is not empty, starts it detached (a relative name is taken in the current
    // directory, which is also its working directory; no arguments) and
    // retries every RetryIntervalMs for up to the start wait. Blocks the calling
    // thread for at most that long. On success sends the topic ('C') and the advise
    // of "DDESI" ('V'); the server's refusal arrives later as linkError().
    bool openLink(const QString &serverFile);
    void closeLink();   // sends 'X' and closes; emits nothing
    bool isOpen() const;

    // Pokes "$" + tag + "=" + params, encoded. True whenever the link is open (the
    // poke's outcome is not known); false when there is no open link at all.
    bool send(const QByteArray &tag, const QByteArray &params) override;
    // Pokes text as it is ("RegisterMe") or encoded ("CLOSE"); false when not open.
    bool pokeRaw(const QByteArray &text);
    bool pokeEncoded(const QByteArray &text);

    // For a message the dispatcher has found to be a reply: removes a length header
    // and emits replyArrived, or replyFailed when the header is malformed.
    void deliverReply(const QByteArray &text);

    void setStartWait(int ms) { m_startWaitMs = ms; }
    QString service() const { return m_service; }
    QString socketPath() const;

signals:
    // The item changed: its text decoded, with trailing spaces removed (possibly
    // empty, which the dispatcher ignores).
    void itemChanged(const QByteArray &text);
    // The server ended the conversation ('X' or the socket closed).
    void linkClosed();
    // The topic was refused or the server broke the protocol; the link is closed.
    void linkError(const QString &reason);

private:
    bool tryConnect();
    bool poke(const QByteArray &data);
    void onReadyRead();
    void onDisconnected();
    void failLink(const QString &reason);
    void drop();

    QLocalSocket m_socket;
    LocalLinkWire::Decoder m_decoder;
    QString m_service;
    QByteArray m_topic = QByteArray(LocalLinkWire::Topic);
    int m_startWaitMs = DefaultStartWaitMs;
    bool m_closing = false;
    quint64 m_generation = 0;   // advanced whenever the connection is dropped
};
