// The filter rows and the composed filter-lists in the running main window against
// a scripted server: every user action on the rows sends exactly one value list with
// the levels the server must read, and the rows follow the server's replies.
#include "TcpPeer.h"
#include "support/SentRequest.h"
#include "app/MainWindow.h"
#include "app/Watchdog.h"
#include "app/SessionController.h"
#include "app/ServerLogPage.h"
#include "app/LocalLinkSession.h"
#include "concordance/ConcPage.h"
#include "concordance/WordListPanel.h"
#include "dictionary/core/RefList.h"
#include "filters/ComposedFilterPage.h"
#include "filters/FilterPanel.h"
#include "filters/HistoryNavigation.h"
#include "model/CommaList.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"
#include "support/WebSession.h"
#include "wire/ReplyRecords.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

using cp1251::ru;

namespace {

QByteArray value(const char *text, qint32 alpha, qint32 count)
{
    return reflist::writeElement(ru(text), tRefC{alpha, count, 0, 0, 0});
}

// A reply carrying the request's own position and options back, then `text`.
QByteArray echo(const Sent &request, const QByteArray &text)
{
    tCConcPos c = request.conc;
    c.Move.fill(' ');
    OptionList o = request.options;
    o.set("LBCWIndex", "0");
    return c.framed() + o.framed() + text;
}

struct Session {
    explicit Session(const QList<QByteArray> &ini = {}) : web(ini) {}

    ConcPage &page() { return *web.form->TS_Conc; }
    FilterPanel &rows() { return *web.form->findChild<FilterPanel *>(QStringLiteral("P_CF")); }
    ComposedFilterPage &sets() { return *web.form->findChild<ComposedFilterPage *>(QStringLiteral("P_FGrp")); }
    tCConcPos &conc() { return *web.form->state().CurrentConcPos; }
    TcpPeer &peer() { return web.peer; }

    // The requests the client has sent so far, by its own log.
    int sends(const QByteArray &tag = {}) const
    {
        int n = 0;
        for (const QByteArray &line : web.form->sessionLog().lines())
            n += line.startsWith("Send on " + tag);
        return n;
    }
    Sent answer(const QByteArray &tag, const QByteArray &replyBody)
    {
        const int seen = int(peer().requests().size());
        peer().replyFramed(tag, replyBody);
        return peer().waitForRequest(5000, seen) ? readSent(peer().requests().at(seen)) : Sent();
    }
    // A user action that must send exactly one request: the request.
    Sent one(const std::function<void()> &action)
    {
        const int seen = int(peer().requests().size());
        const int before = sends();
        action();
        if (sends() != before + 1 || !peer().waitForRequest(5000, seen))
            return Sent();
        return readSent(peer().requests().at(seen));
    }
    // A value list answered with its page and the lines of its first value; true
    // once nothing more is pending.
    bool showList(const Sent &list, const QByteArray &page)
    {
        const Sent lines = answer("CN_W", echo(list, page));
        if (lines.tag != "CT_N")
            return false;
        peer().replyFramed("CT_N", echo(lines, ru("слева $@$ 1,дом $+$ А. Т $*$ справа $$$")));
        return QTest::qWaitFor([&] { return web.form->state().PendingRequest.isEmpty(); }, 5000);
    }
    bool open()
    {
        web.form->session()->B_ConnectClick();
        if (!peer().waitForClient() || !peer().waitForRequest(5000, 0))
            return false;
        Sent s = answer("NM", websession::RegisteredBody);
        s = answer("CN_C", s.options.framed() + commalist::join({ru("Словоформа"), "30", ru("Лемма"), "14", ru("Автор"), "4"}));
        s = answer("CN_Cx", echo(s, commalist::join({ru("Тип информации - X11"), ru("Основа - X10")})));
        return s.tag == "CN_W" && showList(s, value("дом /дом", 3, 5) + ',' + value("дома /дом", 4, 2));
    }

    WebSession web;
};

} // namespace

class TestFilterRows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void rowOne_fixAtADistanceAndBack_oneListEach()
    {
        Session s;
        QVERIFY(s.open());
        FilterPanel &p = s.rows();
        QCOMPARE(p.CB_Q[0]->text(), QStringLiteral("Словоформа = дом"));
        QVERIFY(p.CB_Q[0]->isVisible() && !p.CB_Q[1]->isVisible());

        // Fixing row 1 opens row 2 and asks for its list under the condition.
        Sent list = s.one([&] { p.CB_Q[0]->click(); });
        QCOMPARE(list.tag, QByteArray("CN_W"));
        QCOMPARE(list.wire, requests::wire("CN_W", requests::concDictParams(s.conc(), list.dict, list.options)));
        QCOMPARE(list.conc.Level, 2);
        QCOMPARE(list.conc.Mark[1], 'Y');
        QCOMPARE(list.conc.ValueNo[1], 3);
        QCOMPARE(list.conc.CharNo[2], 0);
        QCOMPARE(list.options.value("SetFilter"), QByteArray("True"));
        QVERIFY(p.CB_Q[1]->isVisible() && p.CB_Perm->isChecked());
        // Filtering colours the panel; the colour menu changes the colour at once.
        QCOMPARE(p.palette().color(QPalette::Window), p.filterColor());
        p.chooseColor = [](const QColor &) { return std::optional<QColor>(Qt::red); };
        p.MI_ChangeColor->trigger();
        QCOMPARE(p.palette().color(QPalette::Window), QColor(Qt::red));
        QVERIFY(s.showList(list, value("лес /лес", 9, 1)));
        QVERIFY(p.CB_Q[0]->isChecked());   // the reply's marks keep it fixed
        QVERIFY(p.CB_Perm->isVisible() && !p.CB_Perm->isEnabled());
        QCOMPARE(p.CB_Q[1]->text(), QStringLiteral("Словоформа = лес"));

        // Co-occurrence at +2: the field takes digits and signs only; Enter asks.
        p.CB_Context->click();
        QLineEdit *field = p.E_Plus[0];
        QVERIFY(field->isVisible());
        QApplication::setActiveWindow(s.web.form.get());
        field->setFocus();
        field->clear();
        QTest::keyClicks(field, QStringLiteral("x+2"));
        QCOMPARE(field->text(), QStringLiteral("+2"));
        list = s.one([&] { QTest::keyClick(field, Qt::Key_Return); });
        QCOMPARE(list.conc.Distance[2], 2);
        QCOMPARE(list.options.value("SortSeq"), QByteArray("CRL"));
        QVERIFY(s.showList(list, value("лес /лес", 9, 1)));
        QCOMPARE(field->text(), QStringLiteral("2"));

        // Unfixing row 1 hides row 2, ends co-occurrence and asks once.
        list = s.one([&] { p.CB_Q[0]->click(); });
        QCOMPARE(list.conc.Level, 1);
        QCOMPARE(list.conc.Mark[1], 'N');
        QCOMPARE(list.conc.Distance[2], 0);
        QCOMPARE(list.options.value("SortSeq"), QByteArray("CLR"));   // the centre word first again
        QVERIFY(!p.CB_Q[1]->isVisible() && !p.CB_Context->isChecked() && !field->isVisible());
        QVERIFY(s.showList(list, value("дом /дом", 3, 5)));
        QVERIFY(!p.CB_Perm->isVisible() && p.CB_Perm->isChecked());   // nothing fixed: no indicator

        // A step back shows row 1 fixed again as soon as it restores, before any reply.
        const int seen = int(s.peer().requests().size());
        s.web.form->historyNavigation()->B_FBackClick();
        QVERIFY(s.peer().waitForRequest(5000, seen));
        QCOMPARE(s.conc().Level, 2);
        QVERIFY(p.CB_Q[1]->isVisible());
    }

    void composedList_gatheredThenAttachedToRowOne()
    {
        Session s({"Test=yes"});
        QVERIFY(s.open());
        ConcPage &page = s.page();
        ComposedFilterPage &sets = s.sets();
        auto item = [&page] { return page.PM_LBC_W->findChild<QAction *>(QStringLiteral("TMI_Fltrs")); };
        QVERIFY(!item());
        page.PC_Fltrs->setCurrentWidget(page.TS_FGrp);
        QVERIFY(item());
        QCOMPARE(page.PM_LBC_W->actions().indexOf(item()), page.PM_LBC_W->actions().size() - 2);
        item()->trigger();
        page.Panel3->selectRow(1);
        item()->trigger();
        QCOMPARE(sets.LB_Filter_Chars->item(0)->text(), QStringLiteral("СостФильтр0 - Словоформа"));
        QCOMPARE(sets.LB_Filter->count(), 2);
        QVERIFY(sets.B_Filter_Clr->isVisible());

        // Back on the rows: the item is gone and row 1 offers the list.
        page.PC_Fltrs->setCurrentWidget(page.TS_Fltr);
        QVERIFY(!item());
        s.rows().CB_Q1MouseMove(1);
        QCOMPARE(sets.PM_FIlter_F->text(), QStringLiteral("Включить составной фильтр"));
        const Sent list = s.one([&] { sets.PM_FIlter_F->trigger(); });
        QCOMPARE(list.conc.Level, 2);
        QCOMPARE(list.conc.Mark[1], 'Y');
        QCOMPARE(list.conc.Request[1], QByteArray("**3.4"));   // the record writes "," as "."
        QCOMPARE(s.rows().CB_Q[0]->text(), QStringLiteral("Словоформа = дом,дома"));
        QVERIFY(s.showList(list, value("лес /лес", 9, 1)));
        QVERIFY(s.rows().CB_Q[0]->isChecked());

        // "Очистить" removes the whole list; the row keeps the condition it sent.
        page.PC_Fltrs->setCurrentWidget(page.TS_FGrp);
        sets.LB_Filter_CharsClick(0);
        sets.B_Filter_Clr->click();
        QCOMPARE(s.web.ui.questions.last(), QStringLiteral("Очистить список значений : дом,дома ?"));
        QCOMPARE(sets.LB_Filter->count(), 0);
        QCOMPARE(sets.LB_Filter_Chars->item(0)->text(), QString());
        QCOMPARE(s.rows().rows().row(1).tag, 0);
        QCOMPARE(s.conc().Request[1], QByteArray("**3.4"));
    }
};

QTEST_MAIN(TestFilterRows)
#include "tst_filter_rows.moc"
