// The local link: the frame codec on hostile input, the client against the scripted
// local peer (exact poke bytes, decoding of pushed messages, start on demand), and
// both sides closing on protocol errors.
#include "LocalPeer.h"
#include "wire/DdeWire.h"
#include "net/LocalLink.h"
#include "service/LocalLinkServer.h"
#include "wire/LocalLinkWire.h"
#include "platform/Folders.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QtTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const char ServeEnv[] = "LEXAR_TEST_SERVE_LINK";

QByteArray frameHeader(char op, quint32 n)
{
    QByteArray h(1, op);
    h.append(char(n >> 24)).append(char(n >> 16)).append(char(n >> 8)).append(char(n));
    return h;
}

// Collects every frame a raw socket receives.
QList<LocalLinkWire::Frame> readFrames(QLocalSocket &socket, LocalLinkWire::Decoder &decoder)
{
    QList<LocalLinkWire::Frame> frames;
    decoder.feed(socket.readAll());
    LocalLinkWire::Frame f;
    while (decoder.next(&f) == LocalLinkWire::Decoder::Status::FrameReady)
        frames.append(f);
    return frames;
}

} // namespace

class TestNetLocalLink : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.path()));
        QVERIFY(platform::userDataFolder().startsWith(m_home.path()));
    }

    // --- frame codec -------------------------------------------------------------

    void wire_frameBytesAndRoundTripByteByByte()
    {
        const QByteArray f = LocalLinkWire::encodeFrame('P', LocalLinkWire::itemPayload("DDESI", "ab"));
        QCOMPARE(f, frameHeader('P', 8) + QByteArray("DDESI\0ab", 8));
        QCOMPARE(LocalLinkWire::encodeFrame('X', {}), frameHeader('X', 0));

        LocalLinkWire::Decoder d;
        QList<LocalLinkWire::Frame> got;
        const QByteArray stream = f + LocalLinkWire::encodeFrame('X', {});
        for (const char c : stream) {
            d.feed(QByteArray(1, c));
            LocalLinkWire::Frame frame;
            while (d.next(&frame) == LocalLinkWire::Decoder::Status::FrameReady)
                got.append(frame);
        }
        QCOMPARE(got.size(), 2);
        QCOMPARE(got[0].op, 'P');
        QByteArray item;
        QByteArray data;
        QVERIFY(LocalLinkWire::splitItemPayload(got[0].payload, &item, &data));
        QCOMPARE(item, QByteArray("DDESI"));
        QCOMPARE(data, QByteArray("ab"));
        QCOMPARE(got[1].op, 'X');
        QCOMPARE(d.buffered(), 0);
    }

    void wire_hostileFrames_errorAndStayFailed()
    {
        LocalLinkWire::Decoder unknown;
        unknown.feed(frameHeader('Z', 0));
        LocalLinkWire::Frame f;
        QCOMPARE(unknown.next(&f), LocalLinkWire::Decoder::Status::Error);
        QVERIFY(!unknown.error().isEmpty());
        unknown.feed(LocalLinkWire::encodeFrame('X', {}));
        QCOMPARE(unknown.next(&f), LocalLinkWire::Decoder::Status::Error);

        // An oversized length is refused from the header alone, before any payload.
        LocalLinkWire::Decoder huge;
        huge.feed(frameHeader('D', LocalLinkWire::MaxPayload + 1));
        QCOMPARE(huge.next(&f), LocalLinkWire::Decoder::Status::Error);
        LocalLinkWire::Decoder maxed;
        maxed.feed(frameHeader('D', 0xffffffffu));
        QCOMPARE(maxed.next(&f), LocalLinkWire::Decoder::Status::Error);

        // A truncated frame waits; it is not a frame and not an error.
        LocalLinkWire::Decoder partial;
        partial.feed(frameHeader('D', 10) + "abc");
        QCOMPARE(partial.next(&f), LocalLinkWire::Decoder::Status::NeedMore);

        QByteArray item;
        QByteArray data;
        QVERIFY(!LocalLinkWire::splitItemPayload("no zero byte", &item, &data));
    }

    // --- client against the peer -------------------------------------------------

    void send_pokesEncodedRequestBytes()
    {
        LocalPeer peer;
        QVERIFY(peer.start());
        LocalLink link;
        QVERIFY(link.setLink(QStringLiteral("Corvus")));
        QVERIFY(link.openLink(QString()));
        QVERIFY(peer.waitForClient());

        QVERIFY(link.send("NM", "1.4.12.0user"));
        QVERIFY(peer.waitForPoke(5000, 0));
        const QByteArray expected = ddewire::encode("$NM=1.4.12.0user");
        QCOMPARE(peer.pokes().at(0).raw, expected);
        QVERIFY(peer.pokes().at(0).raw.startsWith(QByteArray("\xff\x4cNNMM==", 8)));
        QCOMPARE(peer.pokes().at(0).text, QByteArray("$NM=1.4.12.0user"));
    }

    void registerMeRaw_closeEncoded()
    {
        LocalPeer peer;
        QVERIFY(peer.start());
        LocalLink link;
        QVERIFY(link.setLink(QStringLiteral("Corvus")));
        QVERIFY(link.openLink(QString()));
        QVERIFY(peer.waitForClient());

        QVERIFY(link.pokeRaw("RegisterMe"));
        QVERIFY(link.pokeEncoded("CLOSE"));
        QVERIFY(QTest::qWaitFor([&] { return peer.pokes().size() == 2; }, 5000));
        QCOMPARE(peer.pokes().at(0).raw, QByteArray("RegisterMe"));
        QVERIFY(!peer.pokes().at(0).encoded);
        QCOMPARE(peer.pokes().at(1).raw, QByteArray("CCLLOOSSEE"));
        QCOMPARE(peer.pokes().at(1).text, QByteArray("CLOSE"));
    }

    void pushedMessages_decodedWithTrailingSpacesRemoved()
    {
        LocalPeer peer;
        QVERIFY(peer.start());
        LocalLink link;
        QSignalSpy changed(&link, &LocalLink::itemChanged);
        QVERIFY(link.setLink(QStringLiteral("Corvus")));
        QVERIFY(link.openLink(QString()));
        QVERIFY(peer.waitForClient());

        QCOMPARE(peer.push("Server is Ready"), 1);
        QCOMPARE(peer.push("$NM=DICT=a,b,END,   "), 1);
        QCOMPARE(peer.push("     "), 1);
        QCOMPARE(peer.push(QByteArray("$CT_T= x\x01 ", 10)), 1);
        QVERIFY(QTest::qWaitFor([&] { return changed.count() == 4; }, 5000));
        QCOMPARE(changed.at(0).at(0).toByteArray(), QByteArray("Server is Ready"));
        QCOMPARE(changed.at(1).at(0).toByteArray(), QByteArray("$NM=DICT=a,b,END,"));
        QCOMPARE(changed.at(2).at(0).toByteArray(), QByteArray());
        QCOMPARE(changed.at(3).at(0).toByteArray(), QByteArray("$CT_T= x\x01", 9));
    }

    // A message whose encoded data is made piece by piece (a streamed export):
    // made only while the socket has room, it arrives as one message, and a message
    // pushed meanwhile comes after it.
    void pushedInPieces_madeAsTheSocketTakesThem_oneMessageThenTheNext()
    {
        LocalPeer peer;
        QVERIFY(peer.start());
        LocalLink link;
        QSignalSpy changed(&link, &LocalLink::itemChanged);
        QVERIFY(link.setLink(QStringLiteral("Corvus")));
        QVERIFY(link.openLink(QString()));
        QVERIFY(peer.waitForClient());
        const int id = peer.server().connectionIds().value(0);

        QByteArray plain = "$CT_N=";
        for (int i = 0; plain.size() < (3 << 20); ++i)
            plain += char('a' + i % 26);
        qsizetype given = 0;
        const qsizetype piece = 64 << 10;
        QVERIFY(peer.server().pushPieces(id, 2 * plain.size(), [&] {
            const QByteArray next = plain.mid(given, piece);
            given += next.size();
            return ddewire::encode(next);
        }));
        QVERIFY(peer.push("$INFO=x") == 1);
        // Before the event loop runs, only what fills the socket's room is made.
        QVERIFY2(2 * given <= LocalLinkServer::PieceRoom + 2 * piece, QByteArray::number(given));
        QVERIFY(peer.server().queuedBytes(id) >= LocalLinkServer::PieceRoom);

        QVERIFY(QTest::qWaitFor([&] { return changed.count() == 2; }, 30000));
        QCOMPARE(given, plain.size());
        QCOMPARE(changed.at(0).at(0).toByteArray(), plain);
        QCOMPARE(changed.at(1).at(0).toByteArray(), QByteArray("$INFO=x"));
    }

    void deliverReply_stripsHeaderOrFails()
    {
        LocalLink link;
        QSignalSpy replies(&link, &Channel::replyArrived);
        QSignalSpy failures(&link, &Channel::replyFailed);
        link.deliverReply("##5###$NM=x");
        link.deliverReply("U$DC_C=abc");
        link.deliverReply("##5x###$NM=x");
        QCOMPARE(replies.count(), 2);
        QCOMPARE(replies.at(0).at(0).toByteArray(), QByteArray("$NM=x"));
        QCOMPARE(replies.at(1).at(0).toByteArray(), QByteArray("U$DC_C=abc"));
        QCOMPARE(failures.count(), 1);
    }

    void noLink_sendFalseAndOpenFailsFast()
    {
        LocalLink link;
        QVERIFY(!link.setLink(QString()));
        QVERIFY(!link.openLink(QString()));   // no service named
        QVERIFY(!link.send("NM", "x"));
        QVERIFY(!link.pokeRaw("RegisterMe"));

        QVERIFY(link.setLink(QStringLiteral("Nobody")));
        QElapsedTimer t;
        t.start();
        QVERIFY(!link.openLink(QString()));   // no listener and nothing to start
        QVERIFY(t.elapsed() < 2000);
        QVERIFY(!link.send("NM", "x"));
        // A server file that cannot be started does not make it wait either.
        QVERIFY(!link.openLink(m_home.filePath(QStringLiteral("missing-server"))));
    }

    void serverClosesConversation_linkClosedAndSendFalse()
    {
        LocalPeer peer;
        QVERIFY(peer.start());
        LocalLink link;
        QSignalSpy closed(&link, &LocalLink::linkClosed);
        QVERIFY(link.setLink(QStringLiteral("Corvus")));
        QVERIFY(link.openLink(QString()));
        QVERIFY(peer.waitForClient());
        peer.server().closeConnection(peer.server().connectionIds().at(0));
        QVERIFY(closed.wait(5000));
        QCOMPARE(closed.count(), 1);
        QVERIFY(!link.isOpen());
        QVERIFY(!link.send("NM", "x"));
    }

    void closeLink_serverSeesTheEnd()
    {
        LocalPeer peer;
        QVERIFY(peer.start());
        QSignalSpy gone(&peer.server(), &LocalLinkServer::clientClosed);
        LocalLink link;
        QSignalSpy closed(&link, &LocalLink::linkClosed);
        QVERIFY(link.setLink(QStringLiteral("Corvus")));
        QVERIFY(link.openLink(QString()));
        QVERIFY(peer.waitForClient());
        QVERIFY(link.pokeEncoded("CLOSE"));
        link.closeLink();
        QVERIFY(gone.wait(5000));
        QCOMPARE(peer.pokes().size(), 1);   // the poke before the close got through
        QCOMPARE(peer.pokes().at(0).text, QByteArray("CLOSE"));
        QCOMPARE(closed.count(), 0);        // our own close is not news
        QCOMPARE(peer.clientCount(), 0);
    }

    void startOnDemand_startsServerFileAndConnects()
    {
        // The server file is a script that runs this test program as a link server.
        const QString script = m_home.filePath(QStringLiteral("Corvus.exe"));
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n" + QByteArray(ServeEnv) + "=OnDemand exec '"
                + QFile::encodeName(QCoreApplication::applicationFilePath()) + "'\n");
        f.close();
        QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        // Named as the client names it: a file in the current directory.
        const QString oldCurrent = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_home.path()));
        LocalLink link;
        QSignalSpy changed(&link, &LocalLink::itemChanged);
        QVERIFY(link.setLink(QStringLiteral("OnDemand")));
        const bool opened = link.openLink(QStringLiteral("Corvus.exe"));
        QDir::setCurrent(oldCurrent);
        QVERIFY(opened);
        QVERIFY(link.isOpen());
        QVERIFY(changed.wait(5000));   // the child greets once advised
        QCOMPARE(changed.at(0).at(0).toByteArray(), QByteArray("Server is Ready"));
        // The child answers every poke by echoing it back as a reply.
        QVERIFY(link.send("NM", "x"));
        QVERIFY(QTest::qWaitFor([&] { return changed.count() == 2; }, 5000));
        QCOMPARE(changed.at(1).at(0).toByteArray(), QByteArray("$NM=x"));
        link.closeLink();   // the child quits when its client leaves
    }

    // --- protocol errors ---------------------------------------------------------

    void staleSocketFile_replaced_liveServerKept()
    {
        // A socket left behind by a server that did not end cleanly: bound, nobody
        // listening.
        const QString path = platform::localLinkSocketPath(QStringLiteral("Stale"));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray encoded = QFile::encodeName(path);
        QVERIFY(size_t(encoded.size()) < sizeof address.sun_path);
        std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
        QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
        ::close(fd);
        QVERIFY(QFileInfo::exists(path));
        LocalPeer first;
        QVERIFY(first.start(QStringLiteral("Stale")));
        LocalPeer second;
        QVERIFY(!second.start(QStringLiteral("Stale")));
        QVERIFY(!second.server().errorString().isEmpty());
        QVERIFY(first.server().isListening());
    }

    void server_closesOnProtocolErrors_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("refused");
        QTest::newRow("poke before topic")
            << LocalLinkWire::encodeFrame('P', LocalLinkWire::itemPayload("DDESI", "x")) << false;
        QTest::newRow("unknown op") << frameHeader('Q', 0) << false;
        QTest::newRow("oversized") << frameHeader('C', 0x7fffffff) << false;
        QTest::newRow("data from client")
            << LocalLinkWire::encodeFrame('C', "DDES") + LocalLinkWire::encodeFrame('D', "DDESI") << false;
        QTest::newRow("poke without item")
            << LocalLinkWire::encodeFrame('C', "DDES") + LocalLinkWire::encodeFrame('P', "DDESI") << false;
        QTest::newRow("wrong topic") << LocalLinkWire::encodeFrame('C', "OTHER") << true;
    }

    void server_closesOnProtocolErrors()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, refused);
        LocalPeer peer;
        QVERIFY(peer.start(QStringLiteral("Strict")));
        QSignalSpy errors(&peer.server(), &LocalLinkServer::protocolError);
        QSignalSpy pokes(&peer.server(), &LocalLinkServer::poked);

        QLocalSocket raw;
        raw.connectToServer(peer.server().socketPath());
        QVERIFY(raw.waitForConnected(2000));
        raw.write(bytes);
        raw.flush();
        QVERIFY(QTest::qWaitFor([&] { return raw.state() == QLocalSocket::UnconnectedState; }, 5000));
        QCOMPARE(errors.count(), refused ? 0 : 1);
        QCOMPARE(pokes.count(), 0);
        QVERIFY(peer.server().connectionIds().isEmpty());
        if (refused) {
            LocalLinkWire::Decoder d;
            const auto frames = readFrames(raw, d);
            QCOMPARE(frames.size(), 1);
            QCOMPARE(frames[0].op, 'N');
        }
    }

    void client_closesOnHostileServerFrames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("unknown op") << frameHeader('?', 0);
        QTest::newRow("oversized") << frameHeader('D', 0xfffffff0u);
        QTest::newRow("refused") << LocalLinkWire::encodeFrame('N', {});
        QTest::newRow("poke from server") << LocalLinkWire::encodeFrame('P', LocalLinkWire::itemPayload("DDESI", "x"));
        QTest::newRow("data without item") << LocalLinkWire::encodeFrame('D', "DDESI");
    }

    void client_closesOnHostileServerFrames()
    {
        QFETCH(QByteArray, bytes);
        const QString path = platform::localLinkSocketPath(QStringLiteral("Hostile"));
        QLocalServer::removeServer(path);
        QLocalServer server;
        QVERIFY(server.listen(path));
        LocalLink link;
        QSignalSpy errors(&link, &LocalLink::linkError);
        QSignalSpy changed(&link, &LocalLink::itemChanged);
        QVERIFY(link.setLink(QStringLiteral("Hostile")));
        QVERIFY(link.openLink(QString()));
        QVERIFY(server.waitForNewConnection(2000));
        QLocalSocket *peer = server.nextPendingConnection();
        QVERIFY(peer);
        // What the client says first: the topic, then the advise of the item.
        QVERIFY(QTest::qWaitFor([&] { return peer->bytesAvailable() >= 19; }, 5000));
        QCOMPARE(peer->readAll(), LocalLinkWire::encodeFrame('C', "DDES") + LocalLinkWire::encodeFrame('V', "DDESI"));
        peer->write(bytes);
        peer->flush();
        QVERIFY(errors.wait(5000));
        QVERIFY(!link.isOpen());
        QCOMPARE(changed.count(), 0);
        QVERIFY(!link.send("NM", "x"));
    }

    void pushBeforeAdvise_notDelivered()
    {
        LocalPeer peer;
        QVERIFY(peer.start(QStringLiteral("Quiet")));
        QSignalSpy connected(&peer.server(), &LocalLinkServer::clientConnected);
        QLocalSocket raw;
        raw.connectToServer(peer.server().socketPath());
        QVERIFY(raw.waitForConnected(2000));
        raw.write(LocalLinkWire::encodeFrame('C', "DDES"));
        QVERIFY(connected.wait(5000));
        const int id = connected.at(0).at(0).toInt();
        QVERIFY(!peer.server().push(id, "x"));
        QCOMPARE(peer.server().pushAll("x"), 0);
        QVERIFY(!peer.server().push(id + 100, "x"));
    }
};

// Run as the started server of startOnDemand_startsServerFileAndConnects: greet
// every advised client, echo each poke back decoded-and-re-encoded, quit when the
// client leaves (or after a few seconds whatever happens).
static int serveLink(int argc, char **argv, const QString &service)
{
    QCoreApplication app(argc, argv);
    LocalLinkServer server;
    if (!server.listen(service))
        return 1;
    QObject::connect(&server, &LocalLinkServer::advised, &server, [&server](int id) {
        server.push(id, ddewire::encode("Server is Ready"));
    });
    QObject::connect(&server, &LocalLinkServer::poked, &server,
                     [&server](int id, const QByteArray &, const QByteArray &data) {
                         server.push(id, data);
                     });
    QObject::connect(&server, &LocalLinkServer::clientClosed, &app, &QCoreApplication::quit);
    QTimer::singleShot(10000, &app, &QCoreApplication::quit);
    return app.exec();
}

int main(int argc, char **argv)
{
    const QByteArray serve = qgetenv(ServeEnv);
    if (!serve.isEmpty())
        return serveLink(argc, argv, QString::fromLocal8Bit(serve));
    QCoreApplication app(argc, argv);
    TestNetLocalLink test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_net_locallink.moc"
