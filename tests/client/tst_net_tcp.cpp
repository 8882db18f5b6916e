// The socket channel against the scripted peer over real loopback: the bytes on the
// wire, connect failures, replies in pieces, stalled and cut-off replies.
#include "TcpPeer.h"
#include "model/Cp1251.h"
#include "net/TcpChannel.h"

#include <QSignalSpy>
#include <QtTest/QtTest>

class TestNetTcp : public QObject {
    Q_OBJECT

    // A channel connected to `peer`, ready for requests.
    static bool connectTo(TcpChannel &channel, TcpPeer &peer)
    {
        QSignalSpy connected(&channel, &TcpChannel::connected);
        if (!channel.open(QStringLiteral("127.0.0.1"), peer.portText()))
            return false;
        return (connected.count() > 0 || connected.wait(5000)) && peer.waitForClient();
    }

private slots:
    void request_exactBytesOnWire()
    {
        TcpPeer peer;
        QVERIFY(peer.start());
        TcpChannel channel;
        QVERIFY(connectTo(channel, peer));
        QVERIFY(channel.isConnected());

        const QByteArray name = "1.4.12.0" + cp1251::ru("Иван");
        QVERIFY(channel.send("NM", name));
        QVERIFY(peer.waitForRequest(5000, 0));
        QCOMPARE(peer.requests().at(0), "$NM=" + name);

        QVERIFY(channel.send("DC_C", QByteArray("New") + char(2) + char(3) + "abc"));
        QVERIFY(QTest::qWaitFor([&] { return peer.received().size() >= 4 + name.size() + 14; }, 5000));
        QCOMPARE(peer.received(), "$NM=" + name + "$DC_C=New" + char(2) + char(3) + "abc");
    }

    void send_whenNotConnected_returnsFalse()
    {
        TcpChannel channel;
        QVERIFY(!channel.isConnected());
        QVERIFY(!channel.send("NM", "x"));

        TcpPeer peer;
        QVERIFY(peer.start());
        QVERIFY(connectTo(channel, peer));
        channel.close();
        QVERIFY(!channel.isConnected());
        QVERIFY(!channel.send("NM", "x"));
        // Connected again, a marker is the first and only request the peer sees.
        QVERIFY(connectTo(channel, peer));
        QVERIFY(channel.send("INFO", "marker"));
        QVERIFY(peer.waitForRequest(5000, 0));
        QCOMPARE(peer.requests(), QList<QByteArray>{"$INFO=marker"});
        // Two requests in one write are two requests.
        QVERIFY(channel.send("NM", "a") && channel.send("NMD", "b"));
        QTRY_COMPARE(peer.requests().size(), 3);
        QCOMPARE(peer.requests().mid(1), (QList<QByteArray>{"$NM=a", "$NMD=b"}));
    }

    void open_badHostOrPortText_returnsFalseAndStartsNothing()
    {
        TcpChannel channel;
        QSignalSpy errors(&channel, &TcpChannel::errorOccurred);
        QVERIFY(!channel.open(QStringLiteral("127.0.0.1"), QStringLiteral("abc")));
        QVERIFY(!channel.open(QStringLiteral("127.0.0.1"), QString()));
        QVERIFY(!channel.open(QString(), QStringLiteral("1024")));
        QVERIFY(!channel.open(QStringLiteral("127.0.0.1"), QStringLiteral("0")));
        QVERIFY(!channel.open(QStringLiteral("127.0.0.1"), QStringLiteral("65536")));
        QVERIFY(!channel.open(QStringLiteral("127.0.0.1"), QStringLiteral("10.5")));
        QTest::qWait(20);
        QCOMPARE(errors.count(), 0);
    }

    void refusedConnect_reportsError()
    {
        quint16 port = 0;
        {
            QTcpServer probe;   // a port that was free a moment ago and now is closed
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        TcpChannel channel;
        QSignalSpy errors(&channel, &TcpChannel::errorOccurred);
        QSignalSpy connected(&channel, &TcpChannel::connected);
        QVERIFY(channel.open(QStringLiteral("127.0.0.1"), QString::number(port)));
        QVERIFY(errors.wait(5000));
        QVERIFY(!errors.at(0).at(0).toString().isEmpty());
        QCOMPARE(connected.count(), 0);
        QVERIFY(!channel.isConnected());
    }

    void greetingAndReplies_arriveWithoutHeader()
    {
        TcpPeer peer;
        QVERIFY(peer.start(true));
        TcpChannel channel;
        QSignalSpy replies(&channel, &Channel::replyArrived);
        QVERIFY(connectTo(channel, peer));
        QVERIFY(replies.count() > 0 || replies.wait(5000));
        QCOMPARE(replies.at(0).at(0).toByteArray(), QByteArray("$RG="));
    }

    void replyInPieces_oneReplyWithProgress()
    {
        TcpPeer peer;
        QVERIFY(peer.start());
        TcpChannel channel;
        QVERIFY(connectTo(channel, peer));
        QSignalSpy replies(&channel, &Channel::replyArrived);
        QSignalSpy progress(&channel, &Channel::replyProgress);

        const QByteArray body = QByteArray(1000, 'w');
        const QByteArray whole = TcpPeer::framed("CN_W", body);
        peer.stall(whole, 500);
        QVERIFY(progress.wait(5000));
        QCOMPARE(replies.count(), 0);
        const int percent = progress.last().at(0).toInt();
        QVERIFY(percent > 0 && percent < 100);
        peer.reply(whole.mid(500));
        QVERIFY(replies.wait(5000));
        QCOMPARE(replies.count(), 1);
        QCOMPARE(replies.at(0).at(0).toByteArray(), "$CN_W=" + body);
    }

    void stalledReply_failsAfterBound_nextReplyStillWorks()
    {
        TcpPeer peer;
        QVERIFY(peer.start());
        TcpChannel channel;
        channel.setStallTimeout(150);
        QVERIFY(connectTo(channel, peer));
        QSignalSpy replies(&channel, &Channel::replyArrived);
        QSignalSpy failures(&channel, &Channel::replyFailed);

        peer.stall(TcpPeer::framed("DC_S", QByteArray(100, 'e')), 20);
        QVERIFY(failures.wait(5000));
        QCOMPARE(failures.count(), 1);
        QVERIFY(failures.at(0).at(0).toString().startsWith(
            QStringLiteral("Ответ сервера не получен полностью: ")));
        QCOMPARE(replies.count(), 0);
        QVERIFY(channel.isConnected());

        peer.replyFramed("NM", "ok");
        QVERIFY(replies.wait(5000));
        QCOMPARE(replies.at(0).at(0).toByteArray(), QByteArray("$NM=ok"));
        QCOMPARE(failures.count(), 1);
    }

    void peerClosesMidReply_replyFailedAndDisconnected()
    {
        TcpPeer peer;
        QVERIFY(peer.start());
        TcpChannel channel;
        QVERIFY(connectTo(channel, peer));
        QSignalSpy failures(&channel, &Channel::replyFailed);
        QSignalSpy gone(&channel, &TcpChannel::disconnected);
        QSignalSpy errors(&channel, &TcpChannel::errorOccurred);

        peer.stall(TcpPeer::framed("CT_T", QByteArray(100, 't')), 30);
        peer.dropClient();
        QVERIFY(gone.wait(5000));
        QCOMPARE(failures.count(), 1);
        QVERIFY(failures.at(0).at(0).toString().contains(QStringLiteral("закрыто")));
        QCOMPARE(errors.count(), 0);   // an orderly close is not an error
        QVERIFY(!channel.isConnected());
    }

    void hostileHeader_failsAndChannelStaysUsable()
    {
        TcpPeer peer;
        QVERIFY(peer.start());
        TcpChannel channel;
        channel.setMaxReplyLength(16);
        QVERIFY(connectTo(channel, peer));
        QSignalSpy replies(&channel, &Channel::replyArrived);
        QSignalSpy failures(&channel, &Channel::replyFailed);
        QSignalSpy errors(&channel, &TcpChannel::errorOccurred);

        // 20 announced bytes over the cap of 16, sent in two writes, then a reply.
        peer.reply("##20###$CT_D=y$(N0,");
        QVERIFY(failures.wait(10000));
        peer.reply("$NM=x,12");
        peer.replyFramed("INFO", "fine");
        QVERIFY(replies.wait(10000));
        QCOMPARE(replies.size(), 1);
        QCOMPARE(replies.at(0).at(0).toByteArray(), QByteArray("$INFO=fine"));
        QCOMPARE(failures.size(), 1);
        QCOMPARE(failures.at(0).at(0).toString(),
                 QStringLiteral("Ответ сервера отброшен: объявленная длина 20 байт больше допустимой (16 байт)"));
        QCOMPARE(errors.size(), 0);
        QVERIFY(channel.isConnected());
    }

    // A header that is no length leaves no way to find the next reply: the channel
    // closes and says so, and nothing after it is read as a reply.
    void unreadableHeader_closesTheConnection()
    {
        TcpPeer peer;
        QVERIFY(peer.start());
        TcpChannel channel;
        QVERIFY(connectTo(channel, peer));
        QSignalSpy replies(&channel, &Channel::replyArrived);
        QSignalSpy failures(&channel, &Channel::replyFailed);
        QSignalSpy errors(&channel, &TcpChannel::errorOccurred);

        peer.reply("##4x###$NM=x" + TcpPeer::framed("INFO", "after"));
        QVERIFY(errors.wait(10000));
        QCOMPARE(errors.at(0).at(0).toString(),
                 QStringLiteral("ответ сервера отброшен: длина в заголовке не является числом («4x»), "
                                "соединение закрыто"));
        QCOMPARE(failures.size(), 0);
        QVERIFY(!channel.isConnected());
        QTest::qWait(100);
        QCOMPARE(replies.size(), 0);
    }

    // The rest of a refused reply that stops coming is not waited for forever, nor
    // read as replies when it comes late: the connection goes.
    void refusedReplyStalled_closesTheConnection()
    {
        TcpPeer peer;
        QVERIFY(peer.start());
        TcpChannel channel;
        channel.setMaxReplyLength(4);
        channel.setStallTimeout(150);
        QVERIFY(connectTo(channel, peer));
        QSignalSpy errors(&channel, &TcpChannel::errorOccurred);
        QSignalSpy replies(&channel, &Channel::replyArrived);

        peer.reply("##10###$NM=");
        QVERIFY(errors.wait(10000));
        QVERIFY(errors.at(0).at(0).toString().contains(QStringLiteral("соединение закрыто")));
        QVERIFY(!channel.isConnected());
        QCOMPARE(replies.size(), 0);
    }

    // The server closes in the middle of a refused reply: the second message says how
    // much of it never came.
    void refusedReplyCutOff_saysWhatIsMissing()
    {
        TcpPeer peer;
        QVERIFY(peer.start());
        TcpChannel channel;
        channel.setMaxReplyLength(4);
        QVERIFY(connectTo(channel, peer));
        QSignalSpy failures(&channel, &Channel::replyFailed);
        QSignalSpy gone(&channel, &TcpChannel::disconnected);
        peer.reply("##10###$NM=");
        QVERIFY(failures.wait(10000));
        peer.dropClient();
        QVERIFY(gone.wait(10000));
        QCOMPARE(failures.size(), 2);
        QCOMPARE(failures.at(1).at(0).toString(),
                 QStringLiteral("Ответ сервера не получен полностью: соединение закрыто сервером "
                                "(от отброшенного ответа не пришло ещё 6 байт)"));
    }
};

QTEST_GUILESS_MAIN(TestNetTcp)
#include "tst_net_tcp.moc"
