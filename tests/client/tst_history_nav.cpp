// Steps back and forward through the request history: the plans on histories of known
// shape, and the roll back of the main window re-sending the stored requests in order.
#include "support/PageDoubles.h"
#include "filters/FilterSide.h"
#include "filters/HistoryNavigation.h"
#include "concordance/ConcPage.h"
#include "filters/core/HistoryNav.h"
#include "support/WebSession.h"

#include <QPushButton>
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

// Sends (tag, params) and waits for the request on the wire; the request.
QByteArray sendAndSee(WebSession &s, const std::function<void()> &action)
{
    const int seen = int(s.peer.requests().size());
    action();
    return s.peer.waitForRequest(5000, seen) ? s.peer.requests().at(seen) : QByteArray();
}

QPushButton *button(WebSession &s, const char *name)
{
    return s.form->findChild<QPushButton *>(QLatin1String(name));
}

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
        QTest::addColumn<bool>("skip");         // the skip flag set around the step
        QTest::newRow("back 7 -> 5: context in A, then list A")
            << Worked << 7 << true << QList<int>{5, 4} << QByteArray("CT_N") << 4 << false;
        QTest::newRow("forward 5 -> 7: context in B, then list B")
            << Worked << 5 << false << QList<int>{7, 6} << QByteArray("CN_W") << 7 << false;
        QTest::newRow("back passes an export and dictionary requests")
            << QList<QByteArray>{"RG", "NM", "CN_C", "CN_W", "CT_N", "DC_C", "DC_W", "P", "CN_W", "CT_N"}
            << 9 << true << QList<int>{4, 3} << QByteArray("CT_N") << 3 << false;
        QTest::newRow("forward passes an export")
            << QList<QByteArray>{"RG", "NM", "CN_C", "CN_W", "CT_N", "P", "CT_N"} << 4 << false
            << QList<int>{6} << QByteArray("CT_N") << 6 << false;
        QTest::newRow("forward with no context ahead does nothing")
            << QList<QByteArray>{"RG", "NM", "CN_C", "CN_W", "CT_N", "CN_W"} << 4 << false
            << QList<int>{} << QByteArray() << -1 << false;
        QTest::newRow("back with too short a history does nothing")
            << QList<QByteArray>{"RG", "NM", "CN_C", "CN_W", "CT_N"} << 4 << true << QList<int>{}
            << QByteArray() << 4 << false;
        QTest::newRow("skip: the context just before an empty list is passed over")
            << QList<QByteArray>{"RG", "NM", "CN_C", "CN_W", "CT_N", "CN_W", "CT_N", "CN_W"} << 7 << true
            << QList<int>{4, 3} << QByteArray("CT_N") << 3 << true;
        QTest::newRow("the same without the skip flag")
            << QList<QByteArray>{"RG", "NM", "CN_C", "CN_W", "CT_N", "CN_W", "CT_N", "CN_W"} << 7 << true
            << QList<int>{6} << QByteArray("CN_W") << 6 << false;
    }

    void steps()
    {
        QFETCH(QList<QByteArray>, tags);
        QFETCH(int, from);
        QFETCH(bool, back);
        QFETCH(QList<int>, queue);
        QFETCH(QByteArray, sent);
        QFETCH(int, posAfter);
        QFETCH(bool, skip);
        RequestHistory h = historyOf(tags);
        h.HistoryPos = from;
        const filtercore::StepPlan plan = back ? filtercore::stepBack(h, skip) : filtercore::stepForward(h);
        QCOMPARE(plan.go, !sent.isEmpty());
        QCOMPARE(plan.queue, queue);
        QCOMPARE(plan.tag, sent);
        QCOMPARE(back ? h.HistoryPos : plan.historyPosAfter, posAfter);
        QVERIFY(!skip);   // cleared by the walk
    }

    void dump_numbersEveryEntryAndMakesTheLastCurrent()
    {
        RequestHistory h = historyOf({"RG", "NM", "P"});
        h.HistoryPos = 0;
        QCOMPARE(filtercore::dumpHistory(h), (QList<QByteArray>{"0 RG=New0", "1 NM=New1", "2 CT_N=New,PrintConc=True",
                                                                 "***********"}));
        QCOMPARE(h.HistoryPos, 2);
        QCOMPARE(h.RequestSerial, 0);
    }

    void record_afterWalkingBack_dictionaryKeepsTheWayForwardOthersCutIt()
    {
        RequestHistory h = historyOf({"CN_W", "CT_N", "CN_W", "CT_N"});
        h.HistoryPos = 1;
        h.record("DC_C", "x");
        QCOMPARE(h.HistoryPos, 2);
        QCOMPARE(h.entries.size(), 5);
        QCOMPARE(h.entries.at(3).text, QByteArray("CN_W=New2"));
        h.record("CN_W", "y");
        QCOMPARE(h.HistoryPos, 3);
        QCOMPARE(h.entries.last().text, QByteArray("CN_W=y"));
        QCOMPARE(h.entries.size(), 4);
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

    void rollBack_showsMessageAndStepsBack()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        for (const QByteArray &tag : QByteArrayList{"DC_C", "CN_W", "CT_N", "CN_W", "CT_N"}) {
            const QByteArray params = "New" + QByteArray::number(s.form->state().History.entries.size());
            QVERIFY(!sendAndSee(s, [&] { s.form->SendToServer(tag, params); }).isEmpty());
        }
        // A reply that cannot be shown: the message, then the step back the history
        // button would take.
        QCOMPARE(sendAndSee(s, [&] { s.form->RollBack(); }), QByteArray("$CN_W=New3"));
        QCOMPARE(s.ui.messages, QStringList{QStringLiteral(
                                    "Проблемы с выполнением запроса. Выполняется откат к прежнему запросу.")});
    }

    void buttons_forwardAfterBack_keysAndDump()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        // 0 NM, 1 CN_C; then 2 DC_C, 3 CN_W, 4 CT_N, 5 CN_W, 6 CT_N.
        for (const QByteArray &tag : QByteArrayList{"DC_C", "CN_W", "CT_N", "CN_W", "CT_N"}) {
            const QByteArray params = "New" + QByteArray::number(s.form->state().History.entries.size());
            QVERIFY(!sendAndSee(s, [&] { s.form->SendToServer(tag, params); }).isEmpty());
        }
        ConcPage *page = s.form->TS_Conc;
        CountingFilterRows filters(*s.form->panels().filters);
        s.form->historyNavigation()->connectNeighbours(page, &filters);
        const int &restored = filters.restores;
        page->PC_Fltrs->setCurrentWidget(page->TS_CharList);
        RequestHistory &h = s.form->state().History;
        const auto probe = [&] { s.form->SendToServer("INFO", "probe"); };

        QCOMPARE(sendAndSee(s, [&] { button(s, "BB_FBack")->click(); }), QByteArray("$CN_W=New3"));
        QCOMPARE(sendAndSee(s, probe), QByteArray("$CT_N=New4"));
        QCOMPARE(page->PC_Fltrs->currentWidget(), page->TS_Fltr);
        QCOMPARE(sendAndSee(s, [&] { button(s, "BB_F")->click(); }), QByteArray("$CN_W=New5"));
        QCOMPARE(sendAndSee(s, probe), QByteArray("$CT_N=New6"));
        QCOMPARE(h.HistoryPos, 6);
        QCOMPARE(restored, 2);
        // Nothing ahead: the forward step sends nothing, the probe goes out as itself.
        QCOMPARE(sendAndSee(s, [&] {
                     button(s, "B_FNext")->click();
                     probe();
                 }),
                 QByteArray("$INFO=probe"));

        // Left on a history arrow gives the keyboard to the value list, with no request
        // (keys count once no reply is awaited).
        s.peer.replyFramed("RSTR", QByteArray());
        QVERIFY(QTest::qWaitFor([&] { return s.form->state().idleForKeys; }, 5000));
        page->setZone(conccore::Zone::Context, ConcPage::FontTarget::ContextLeft);
        QTest::keyClick(button(s, "BB_F"), Qt::Key_Left);
        QCOMPARE(page->zone(), conccore::Zone::WordList);
        QCOMPARE(sendAndSee(s, probe), QByteArray("$INFO=probe"));

        const int entries = int(h.entries.size());
        button(s, "B_FMark")->click();
        const QList<QByteArray> &buffer = s.form->state().Buffer.lines();
        QCOMPARE(buffer.size(), entries + 1);
        QCOMPARE(buffer.at(3), QByteArray("3 CN_W=New3"));
        QVERIFY(button(s, "B_FNextX")->isHidden() && !button(s, "B_FBackX")->isHidden());
    }
};

QTEST_MAIN(TestHistoryNav)
#include "tst_history_nav.moc"
