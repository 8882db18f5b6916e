// Request parameter texts, the request history and its replay.
#include "model/RequestHistory.h"
#include "wire/RequestWriter.h"

#include <QtTest>

namespace {

template <size_t N>
QByteArray B(const char (&s)[N])
{
    return QByteArray(s, qsizetype(N - 1));
}

// A sender like the main window's: ordinary sends are recorded after the channel
// took them; a replay sends the stored request instead of the given one.
struct Sender {
    RequestHistory history;
    bool connected = true;
    QList<QByteArray> wire;

    bool channelSend(const QByteArray &tag, const QByteArray &params)
    {
        if (!connected)
            return false;
        wire.append(requests::wire(tag, params));
        return true;
    }

    void send(const QByteArray &tag, const QByteArray &params)
    {
        if (!history.replaying()) {
            if (!channelSend(tag, params))
                return;
            history.record(tag, params);
        } else {
            const auto stored = history.replayRequest();
            if (!stored || !channelSend(stored->first, stored->second))
                return;
            history.replaySent();
        }
        history.finishReplayIfDone();
    }
};

QList<QByteArray> texts(const RequestHistory &h)
{
    QList<QByteArray> out;
    for (const auto &e : h.entries)
        out.append(e.text);
    return out;
}

} // namespace

class TestModelHistory : public QObject {
    Q_OBJECT
private slots:
    void dictRequest_exactBytesOnWireAndInHistory()
    {
        Sender s;
        const tCDictPos pos(0);
        s.send("DC_W", requests::dictParams(pos, OptionList::initial()));
        const QByteArray expected =
            B("$DC_W=New\x02\x0f$(0,0,1,1,R-1)$\x05/3/\x05" "1=2");
        QCOMPARE(s.wire, QList<QByteArray>{expected});
        QCOMPARE(s.history.entries.size(), 1);
        QCOMPARE(s.history.entries[0].text, expected.mid(1));
        QCOMPARE(s.history.entries[0].serial, 0);
        QCOMPARE(s.history.HistoryPos, 0);
        QCOMPARE(s.history.RequestSerial, 1);
    }

    void concRequests_recordsInOrder()
    {
        tCConcPos conc;
        const tCDictPos dict(2);
        const OptionList o = OptionList::initial();
        const QByteArray concOnly = requests::concParams(conc, o);
        QCOMPARE(concOnly, "New" + conc.framed() + o.framed());
        QCOMPARE(concOnly[3], char(3));
        const QByteArray all = requests::concDictParams(conc, dict, o);
        QCOMPARE(all, "New" + conc.framed() + dict.framed() + o.framed());
        QVERIFY(all.endsWith(B("\x05/3/\x05" "1=2")));
    }

    void emptyOptionList_addsNoRecord()
    {
        QCOMPARE(requests::dictParams(tCDictPos(1), OptionList()),
                 B("New\x02\x0f$(1,0,1,1,R-1)$"));
    }

    void sendAfterWalkingBack_discardsForwardPart()
    {
        Sender s;
        s.send("A", "1");
        s.send("B", "2");
        s.send("C", "3");
        s.history.HistoryPos = 0;
        s.send("D", "4");
        QCOMPARE(texts(s.history), (QList<QByteArray>{"A=1", "D=4"}));
        QCOMPARE(s.history.HistoryPos, 1);
        QCOMPARE(s.history.entries[1].serial, 3);
        QCOMPARE(s.history.RequestSerial, 4);
    }

    void failedSend_leavesHistoryUnchanged()
    {
        Sender s;
        s.send("A", "1");
        s.connected = false;
        s.send("B", "2");
        QCOMPARE(texts(s.history), QList<QByteArray>{"A=1"});
        QCOMPARE(s.history.HistoryPos, 0);
        QCOMPARE(s.history.RequestSerial, 1);
        QCOMPARE(s.wire.size(), 1);
    }

    void twoQueuedEntries_replayLastFirstThenSetPosition()
    {
        Sender s;
        for (const char *t : {"A", "B", "C", "D"})
            s.send(t, "p");
        s.history.startReplay({1, 2});
        QVERIFY(s.history.replaying());

        s.send("X", "ignored");
        QCOMPARE(s.wire.last(), QByteArray("$C=p"));
        QVERIFY(s.history.replaying());
        QCOMPARE(s.history.HistoryPos, 3);

        s.send("Y", "ignored");
        QCOMPARE(s.wire.last(), QByteArray("$B=p"));
        QVERIFY(!s.history.replaying());
        QCOMPARE(s.history.HistoryPos, 1);
        QVERIFY(s.history.ReplayQueue.isEmpty());
        QCOMPARE(s.history.entries.size(), 4);   // replayed requests are not recorded
        QCOMPARE(s.history.RequestSerial, 4);
    }

    void failedReplaySend_continuesWithTheSameEntry()
    {
        Sender s;
        s.send("A", "p");
        s.send("B", "p");
        s.history.startReplay({0, 1});
        s.connected = false;
        s.send("X", "x");
        QCOMPARE(s.history.ReplayCursor, 1);
        s.connected = true;
        s.send("X", "x");
        QCOMPARE(s.wire.last(), QByteArray("$B=p"));
        QCOMPARE(s.history.ReplayCursor, 0);
    }

    void replayEntryWithoutEquals_stopsWithoutSending()
    {
        RequestHistory h;
        h.entries.append({"NOEQUALS", 0});
        h.entries.append({"T=a=b", 1});
        h.startReplay({0});
        QVERIFY(!h.replayRequest());
        h.startReplay({1});
        const auto r = h.replayRequest();
        QVERIFY(r);
        QCOMPARE(r->first, QByteArray("T"));
        QCOMPARE(r->second, QByteArray("a=b"));
        h.startReplay({7});
        QVERIFY(!h.replayRequest());
    }

    void emptyQueue_makesAnOrdinaryRecordedSend()
    {
        Sender s;
        s.history.startReplay({});
        QVERIFY(!s.history.replaying());
        s.send("A", "1");
        QCOMPARE(texts(s.history), QList<QByteArray>{"A=1"});
    }

    void reset_clearsHistoryAndReplay()
    {
        Sender s;
        s.send("A", "1");
        s.history.startReplay({0});
        s.history.reset();
        QVERIFY(s.history.entries.isEmpty());
        QCOMPARE(s.history.HistoryPos, -1);
        QCOMPARE(s.history.RequestSerial, 0);
        QVERIFY(!s.history.replaying());
        QVERIFY(s.history.ReplayQueue.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestModelHistory)
#include "tst_model_history.moc"
