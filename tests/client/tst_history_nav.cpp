// Steps back and forward through the request history: the plans on histories of known
// shape, and the roll back of the main window re-sending the stored requests in order.
#include "filters/core/HistoryNav.h"
#include "support/WebSession.h"

#include <QtTest>

namespace {

// Entries from a compact description: one tag per letter pair, "P" marks a context
// request that wrote into the buffer.
RequestHistory historyOf(const QList<QByteArray> &tags)
{
    RequestHistory h;
    for (const QByteArray &t : tags) {
        if (t == "P")
            h.record("CT_N", "New,PrintConc=True");
        else
            h.record(t, "New" + QByteArray::number(h.entries.size()));
    }
    return h;
}

const QList<QByteArray> Worked{"RG", "NM", "DC_C", "CN_C", "CN_W", "CT_N", "CN_W", "CT_N"};

} // namespace

class TestHistoryNav : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void steps_data()
    {
        QTest::addColumn<QList<QByteArray>>("tags");
        QTest::addColumn<int>("from");
        QTest::addColumn<bool>("back");
        QTest::addColumn<QList<int>>("queue");
        QTest::addColumn<QByteArray>("sent");   // the entry restored from
        QTest::addColumn<int>("posAfter");      // back: HistoryPos after the walk; forward: after the send
        QTest::newRow("back 7 -> 5: context in A, then list A")
            << Worked << 7 << true << QList<int>{5, 4} << QByteArray("CT_N") << 4;
        QTest::newRow("forward 5 -> 7: context in B, then list B")
            << Worked << 5 << false << QList<int>{7, 6} << QByteArray("CN_W") << 7;
        QTest::newRow("back passes an export and dictionary requests")
            << QList<QByteArray>{"RG", "NM", "CN_C", "CN_W", "CT_N", "DC_C", "DC_W", "P", "CN_W", "CT_N"}
            << 9 << true << QList<int>{4, 3} << QByteArray("CT_N") << 3;
        QTest::newRow("forward passes an export")
            << QList<QByteArray>{"RG", "NM", "CN_C", "CN_W", "CT_N", "P", "CT_N"} << 4 << false
            << QList<int>{6} << QByteArray("CT_N") << 6;
        QTest::newRow("forward with no context ahead does nothing")
            << QList<QByteArray>{"RG", "NM", "CN_C", "CN_W", "CT_N", "CN_W"} << 4 << false
            << QList<int>{} << QByteArray() << -1;
        QTest::newRow("back with too short a history does nothing")
            << QList<QByteArray>{"RG", "NM", "CN_C", "CN_W", "CT_N"} << 4 << true << QList<int>{}
            << QByteArray() << 4;
    }

    void steps()
    {
        QFETCH(QList<QByteArray>, tags);
        QFETCH(int, from);
        QFETCH(bool, back);
        QFETCH(QList<int>, queue);
        QFETCH(QByteArray, sent);
        QFETCH(int, posAfter);
        RequestHistory h = historyOf(tags);
        h.HistoryPos = from;
        bool skip = false;
        const filtercore::StepPlan plan = back ? filtercore::stepBack(h, skip) : filtercore::stepForward(h);
        QCOMPARE(plan.go, !sent.isEmpty());
        QCOMPARE(plan.queue, queue);
        QCOMPARE(plan.tag, sent);
        QCOMPARE(back ? h.HistoryPos : plan.historyPosAfter, posAfter);
    }

    void restore_readsRecordsAndStopsAtTheFirstForeignByte()
    {
        tCConcPos conc;
        conc.Level = 2;
        tCDictPos dict(0);
        dict.WordNo = 17;
        OptionList options = OptionList::fromCommaText("SortD=Q,ListPos=NEXT");
        const QByteArray text = "nEw" + dict.framed() + conc.framed() + options.framed() + "\x07tail";
        tCDictPos into(0);
        tCConcPos concInto;
        OptionList optionsInto;
        QVERIFY(filtercore::restoreFromHistory(text, &into, concInto, optionsInto));
        QCOMPARE(into.WordNo, 17);
        QCOMPARE(concInto.Level, 2);
        QCOMPARE(optionsInto.value("SortD"), QByteArray("Q"));
        // Without a current dictionary position nothing changes.
        tCConcPos untouched;
        QVERIFY(!filtercore::restoreFromHistory(text, nullptr, untouched, optionsInto));
        QCOMPARE(untouched.Level, tCConcPos().Level);
    }

    void rollBack_resendsTheListThenTheContextOnTheNextSend()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        // History after registration: 0 NM, 1 CN_C (the concordance tab opened). Build
        // the worked example's tail.
        for (const QByteArray &tag : QByteArrayList{"DC_C", "CN_W", "CT_N", "CN_W", "CT_N"}) {
            const int seen = int(s.peer.requests().size());
            s.form->SendToServer(tag, "New" + tag);
            QVERIFY(s.peer.waitForRequest(5000, seen));
        }
        RequestHistory &h = s.form->state().History;
        QCOMPARE(h.HistoryPos, 6);
        int seen = int(s.peer.requests().size());
        s.form->RollBack();
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(), QByteArray("$CN_W=NewCN_W"));
        QCOMPARE(s.ui.messages.last(),
                 QStringLiteral("Проблемы с выполнением запроса. Выполняется откат к прежнему запросу."));
        seen = int(s.peer.requests().size());
        s.form->SendToServer("CT_N", "whatever the reply asks for");
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(), QByteArray("$CT_N=NewCT_N"));
        QCOMPARE(h.HistoryPos, 4);
        QCOMPARE(h.entries.size(), 7);   // replayed requests are not recorded again
    }
};

QTEST_MAIN(TestHistoryNav)
#include "tst_history_nav.moc"
