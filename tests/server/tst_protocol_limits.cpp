// The TCP endpoint in this process against hostile clients, with small limits and
// a service whose "CT_N" is scripted: "Wait=1" blocks on the long lane until
// released (or its client goes), "Big=N" answers N bytes. Checked on counts and
// states, never on time: a long request of a closed connection is cancelled and
// the next ones are never started; a cheap page is answered while both long
// threads are blocked; a client that does not read stops being served and is
// dropped; connections over the limit are refused; a request that never ends
// closes its connection. "CT_T" answers "Stream=N" with N bytes made as they are
// sent: a client that does not read has little of it made, one that reads gets it
// whole and the next reply after it.
#include "service/Dispatcher.h"
#include "wire/ReplyWriter.h"
#include "service/TcpEndpoint.h"

#include "model/Cp1251.h"
#include "wire/RequestWriter.h"

#include <QTcpSocket>
#include <QtTest>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

struct Probe {
    std::atomic<qint64> made{0};   // bytes of streamed replies made
    std::atomic<int> streams{0};   // streamed rests alive
    std::atomic<int> started{0};
    std::atomic<int> cancelled{0};
    std::atomic<int> blocked{0};
    std::atomic<bool> release{false};
};

QByteArray lines(const QByteArray &options)
{
    tCConcPos conc;
    return requests::wire("CT_N", requests::concDictParams(conc, tCDictPos(0), OptionList::fromCommaText(options)));
}

QByteArray streamed(qint64 bytes)
{
    tCConcPos conc;
    const OptionList o = OptionList::fromCommaText("Stream=" + QByteArray::number(bytes));
    return requests::wire("CT_T", requests::concDictParams(conc, tCDictPos(0), o));
}

// The byte at offset i of a streamed reply's body.
char patternAt(qint64 i)
{
    return char('a' + i % 26);
}

// A body of N pattern bytes, made as it is asked for.
class PatternRest : public ReplyRest {
public:
    PatternRest(qint64 size, std::shared_ptr<Probe> probe) : m_size(size), m_probe(std::move(probe))
    {
        ++m_probe->streams;
    }
    ~PatternRest() override { --m_probe->streams; }
    QByteArray next(qsizetype size) override
    {
        QByteArray out(qsizetype(std::min<qint64>(size, remaining())), Qt::Uninitialized);
        for (qsizetype i = 0; i < out.size(); ++i)
            out[i] = patternAt(m_given + i);
        m_given += out.size();
        m_probe->made += out.size();
        return out;
    }
    qint64 remaining() const override { return m_size - m_given; }
    qint64 heldBytes() const override { return 0; }

private:
    qint64 m_size;
    qint64 m_given = 0;
    std::shared_ptr<Probe> m_probe;
};

// A client in this process, reading replies as the event loop delivers them.
struct Client {
    QTcpSocket socket;
    QByteArray buffer;
    QList<QByteArray> replies;

    bool connectTo(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        return socket.waitForConnected(5000);
    }
    // Replies (without their header) that have arrived whole.
    int count()
    {
        buffer += socket.readAll();
        for (;;) {
            const qsizetype h = buffer.indexOf("###");
            if (!buffer.startsWith("##") || h < 0)
                break;
            const qsizetype n = buffer.mid(2, h - 2).toLongLong();
            if (buffer.size() - h - 3 < n)
                break;
            replies.append(buffer.mid(h + 3, n));
            buffer.remove(0, h + 3 + n);
        }
        return int(replies.size());
    }
};

// A client that sends and never reads, with a small receive buffer so that the
// server's replies pile up on the server's side.
class Deaf {
public:
    ~Deaf() { close(); }
    bool connectTo(quint16 port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 4096;
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return ::connect(m_fd, reinterpret_cast<const sockaddr *>(&a), sizeof a) == 0;
    }
    bool send(const QByteArray &bytes)
    {
        return ::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
    }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

struct Server {
    std::shared_ptr<Probe> probe = std::make_shared<Probe>();
    Dispatcher dispatcher;
    std::unique_ptr<TcpEndpoint> endpoint;
    QStringList log;

    explicit Server(const TcpLimits &limits)
    {
        auto service = std::make_shared<CorvusService>(CorpusFacts{}, QList<std::shared_ptr<const ServedDictionary>>{});
        service->setHandler("CT_N", [p = probe](const wirerequest::Request &r, const SessionInfo &) {
            const OptionList o = r.options ? *r.options : OptionList();
            ++p->started;
            if (o.value("Wait") == "1") {
                ++p->blocked;
                while (!p->release) {
                    if (cancel::requested()) {
                        ++p->cancelled;
                        --p->blocked;
                        cancel::check();
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                --p->blocked;
            }
            return reply::wire("CT_N", QByteArray(o.value("Big").toInt(), 'x'));
        });
        service->setStreamHandler("CT_T", [p = probe](const wirerequest::Request &r, const SessionInfo &) {
            const qint64 n = r.options ? r.options->value("Stream").toLongLong() : 0;
            return StreamedReply{reply::wireFront("CT_T", QByteArray(), n), std::make_shared<PatternRest>(n, p)};
        });
        service->setCostEstimate("CT_N", [](const wirerequest::Request &r) {
            const OptionList o = r.options ? *r.options : OptionList();
            return o.has("Wait") || o.has("Big") ? Cost::Long : Cost::Short;
        });
        dispatcher.setService(service);
        endpoint = std::make_unique<TcpEndpoint>(&dispatcher, limits);
        endpoint->setLog([this](const QString &line) { log << line; });
        endpoint->listen(QHostAddress::LocalHost, 0);
        endpoint->setReady();
    }
    ~Server()
    {
        probe->release = true;   // the dispatcher waits for its threads
        endpoint.reset();
    }
    quint16 port() const { return endpoint->port(); }
    bool logged(const char *what) const { return log.join(u'\n').contains(QString::fromUtf8(what)); }
};

} // namespace

class TestProtocolLimits : public QObject {
    Q_OBJECT
private slots:
    void closedConnections_longWorkCancelled_cheapPageNotQueued()
    {
        Server server{TcpLimits()};
        // Two connections, three long requests each: one of each is started (one
        // long request in hand per connection), and they fill both long threads.
        Client a, b;
        QVERIFY(a.connectTo(server.port()) && b.connectTo(server.port()));
        for (Client *c : {&a, &b})
            c->socket.write(lines("Wait=1") + lines("Wait=1") + lines("Wait=1"));
        QTRY_COMPARE(server.probe->blocked.load(), 2);
        QTRY_VERIFY(server.endpoint->connectionStates().value(0).holding);
        QCOMPARE(server.probe->started.load(), 2);

        // A cheap page meanwhile, on another connection: answered.
        Client c;
        QVERIFY(c.connectTo(server.port()));
        c.socket.write(lines("1=2"));
        QTRY_COMPARE(c.count(), 2);   // the greeting and the page
        QVERIFY(c.replies[1].startsWith("$CT_N="));

        // Both go away: their running requests stop, the held ones never start.
        a.socket.abort();
        b.socket.abort();
        QTRY_COMPARE(server.probe->cancelled.load(), 2);
        QTRY_COMPARE(server.dispatcher.cancelledCount(), 2);
        QTRY_COMPARE(server.endpoint->connectionCount(), 1);
        QCOMPARE(server.probe->started.load(), 3);   // the two long ones and the page
    }

    void deafClient_isBoundedThenDropped()
    {
        TcpLimits limits;
        limits.maxUnsent = 64 << 10;
        limits.stallTimeoutMs = 300;
        Server server{limits};
        Deaf deaf;
        QVERIFY(deaf.connectTo(server.port()));
        QByteArray burst;
        for (int i = 0; i < 20; ++i)
            burst += lines("Big=4000000");
        QVERIFY(deaf.send(burst));

        // The first reply is not taken: the connection takes nothing more.
        const auto stuck = [&] {
            const TcpConnection::State s = server.endpoint->connectionStates().value(0);
            return s.paused && s.unsent > limits.maxUnsent && s.inFlight == 0;
        };
        QTRY_VERIFY(stuck());
        QVERIFY2(server.probe->started.load() <= 2, QByteArray::number(server.probe->started.load()));
        QVERIFY(server.endpoint->totalUnsent() <= limits.maxUnsent + 2 * 4000100);

        // Nothing is taken for the stall time: dropped, with a line in the log.
        QTRY_COMPARE(server.endpoint->connectionCount(), 0);
        QVERIFY(server.logged("не принимает ответы"));
        QCOMPARE(server.endpoint->totalUnsent(), 0);
        QVERIFY(server.probe->started.load() <= 2);
    }

    void streamedReply_deafClientHasLittleMade_readerGetsItWholeInOrder()
    {
        TcpLimits limits;
        limits.stallTimeoutMs = 3000;   // room to see it stuck before it is dropped
        Server server{limits};
        // 64 MiB nobody reads: made only as far as the socket and the system take
        // it, then the connection is dropped for the stall and the rest goes.
        Deaf deaf;
        QVERIFY(deaf.connectTo(server.port()));
        QVERIFY(deaf.send(streamed(qint64(64) << 20)));
        QTRY_VERIFY_WITH_TIMEOUT(server.probe->made.load() > 0, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(server.endpoint->connectionStates().value(0).queued >= limits.streamRoom, 30000);
        const TcpConnection::State s = server.endpoint->connectionStates().value(0);
        QVERIFY2(s.held < limits.streamRoom + 2 * limits.streamPiece, QByteArray::number(s.held));
        QVERIFY(s.unsent > (qint64(32) << 20));   // what the client has not taken, made or not
        QTRY_COMPARE_WITH_TIMEOUT(server.endpoint->connectionCount(), 0, 30000);
        QVERIFY(server.logged("не принимает ответы"));
        QVERIFY2(server.probe->made.load() < (qint64(16) << 20), QByteArray::number(server.probe->made.load()));
        QTRY_COMPARE(server.probe->streams.load(), 0);
        QCOMPARE(server.endpoint->totalUnsent(), 0);

        // A client that reads: the whole body, then the page asked after it.
        Client c;
        QVERIFY(c.connectTo(server.port()));
        const qint64 n = 3 * limits.streamRoom + 12345;
        c.socket.write(streamed(n) + lines("1=2"));
        QTRY_COMPARE_WITH_TIMEOUT(c.count(), 3, 30000);
        QVERIFY(c.replies[1].startsWith("$CT_T="));
        const QByteArray body = c.replies[1].mid(6);
        QCOMPARE(body.size(), n);
        for (qint64 i = 0; i < n; ++i)
            QVERIFY2(body[i] == patternAt(i), QByteArray::number(i));
        QVERIFY(c.replies[2].startsWith("$CT_N="));
        QTRY_COMPARE(server.probe->streams.load(), 0);
    }

    void connectionsOverTheLimit_refusedWithReason()
    {
        TcpLimits limits;
        limits.maxConnections = 2;
        Server server{limits};
        Client a, b, c;
        QVERIFY(a.connectTo(server.port()) && b.connectTo(server.port()));
        QTRY_COMPARE(a.count(), 1);
        QTRY_COMPARE(b.count(), 1);
        QVERIFY(c.connectTo(server.port()));
        QTRY_COMPARE(c.count(), 1);
        QVERIFY(c.replies[0].startsWith("$ZERO="));
        QVERIFY(c.replies[0].contains(cp1251::ru("Сервер занят")));
        QTRY_VERIFY(c.socket.state() == QAbstractSocket::UnconnectedState);
        QCOMPARE(server.endpoint->refusedCount(), 1);
        QVERIFY(server.logged("предел"));

        // A place freed is a place taken.
        a.socket.abort();
        QTRY_COMPARE(server.endpoint->connectionCount(), 1);
        Client d;
        QVERIFY(d.connectTo(server.port()));
        QTRY_COMPARE(d.count(), 1);
        QVERIFY(d.replies[0].startsWith("$RG="));
    }

    void overlongRequest_oneZeroThenTheNextRequest_data()
    {
        QTest::addColumn<QByteArray>("overlong");
        const QByteArray body(3 << 20, 'x');
        QTest::newRow("text") << QByteArray("$NM=" + body);
        QTest::newRow("declared length") << QByteArray("$CN_C=New\x05/3145728/\x05" + body);
    }

    void overlongRequest_oneZeroThenTheNextRequest()
    {
        QFETCH(QByteArray, overlong);
        Server server{TcpLimits()};
        Client c;
        QVERIFY(c.connectTo(server.port()));
        c.socket.write(overlong + lines("1=2"));
        // Greeting, one refusal for the whole request, then the page.
        QTRY_COMPARE(c.count(), 3);
        QVERIFY(c.replies[1].startsWith("$ZERO="));
        QVERIFY(c.replies[1].contains(cp1251::ru("слишком длинный")));
        QVERIFY2(c.replies[2].startsWith("$CT_N="), c.replies[2].left(40).constData());
        QCOMPARE(server.probe->started.load(), 1);
    }

    void requestThatNeverEnds_closesItsConnection()
    {
        TcpLimits limits;
        limits.requestTimeoutMs = 200;
        Server server{limits};
        Client c;
        QVERIFY(c.connectTo(server.port()));
        c.socket.write(lines("1=2").chopped(2));   // the option list is cut
        QTRY_COMPARE(c.count(), 2);
        QVERIFY(c.replies[1].startsWith("$ZERO="));
        QVERIFY(c.replies[1].contains(cp1251::ru("не получен целиком")));
        QTRY_VERIFY(c.socket.state() == QAbstractSocket::UnconnectedState);
        QVERIFY(server.logged("не прислал запрос целиком"));
        QCOMPARE(server.probe->started.load(), 0);
    }
};

QTEST_GUILESS_MAIN(TestProtocolLimits)
#include "tst_protocol_limits.moc"
