#pragma once
// A scripted server on the loopback interface: accepts one client at a time,
// records the exact bytes of every request and sends the reply bytes a test
// gives it. Runs in the test's thread; the wait functions spin the event loop.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

class TcpPeer : public QObject {
    Q_OBJECT
public:
    explicit TcpPeer(QObject *parent = nullptr);

    // Listens on 127.0.0.1 at a free port. With `greet`, every accepted client
    // first gets "$RG=".
    bool start(bool greet = false);
    quint16 port() const { return m_server.serverPort(); }
    QString portText() const { return QString::number(port()); }

    bool waitForClient(int timeoutMs = 5000);
    bool hasClient() const;

    // The requests in arrival order, cut where "$" + tag + "=" begins a request (two
    // requests in one chunk count as two). `received()` is the whole stream.
    const QList<QByteArray> &requests() const { return m_requests; }
    QByteArray received() const { return m_stream; }
    // Waits until more requests than `taken` have arrived (taken: how many the test
    // has already seen; -1 means the count when called).
    bool waitForRequest(int timeoutMs = 5000, int taken = -1);
    QByteArray lastRequest() const { return m_requests.isEmpty() ? QByteArray() : m_requests.last(); }
    void clearRequests();

    void reply(const QByteArray &bytes);
    // "$" + tag + "=" + body, with "##" + length + "###" in front when asked.
    void replyFramed(const QByteArray &tag, const QByteArray &body, bool withHeader = true);
    static QByteArray framed(const QByteArray &tag, const QByteArray &body, bool withHeader = true);
    // Sends the first `sentBytes` of `bytes` and keeps silent about the rest.
    void stall(const QByteArray &bytes, int sentBytes);
    // Closes the client connection.
    void dropClient();

signals:
    void requestArrived(const QByteArray &bytes);

private:
    void onNewConnection();
    void onReadyRead();
    static bool startsRequest(const QByteArray &bytes, qsizetype at);
    void send(const QByteArray &bytes);

    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    QList<QByteArray> m_requests;
    QByteArray m_stream;
    bool m_greet = false;
};
