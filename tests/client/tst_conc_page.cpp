// The concordance page in the running main window against a scripted server: the
// chain from the tab's first opening to the first page of lines with the exact
// bytes of every request, empty values, typing, paging keys and the scroll bar, the
// width keys, the sort dialog, exports into the buffer, and the entry as the
// pop-up menu's target.
#include "TcpPeer.h"
#include "support/SentRequest.h"
#include "app/MainWindow.h"
#include "app/Watchdog.h"
#include "app/SessionController.h"
#include "app/ServerLogPage.h"
#include "app/LocalLinkSession.h"
#include "concordance/ConcDictLinks.h"
#include "concordance/ConcPage.h"
#include "session/ConcWidgets.h"
#include "concordance/ContextPanel.h"
#include "concordance/SortSeqDialog.h"
#include "concordance/WordListPanel.h"
#include "dictionary/DictPage.h"
#include "dictionary/UsagePanel.h"
#include "dictionary/api/UsageSubPage.h"
#include "dictionary/core/RefList.h"
#include "filters/api/HistorySteps.h"
#include "model/CommaList.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"
#include "support/WebSession.h"
#include "wire/ReplyRecords.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTreeWidget>
#include <QtTest>
#include <limits>

using cp1251::ru;

namespace {

QByteArray value(const char *text, qint32 alpha, qint32 count, qint32 filtered, qint32 freq)
{
    return reflist::writeElement(ru(text), tRefC{alpha, count, 0, filtered, freq});
}

QByteArray body(tCConcPos conc, const OptionList &options, const QByteArray &text)
{
    return conc.framed() + options.framed() + text;
}

tCConcPos replied(tCConcPos conc)
{
    conc.Move.fill(' ');   // every reply's position
    return conc;
}

// Two lines; with `links`, the first carries a dictionary link and the second an
// empty fragment (a selected line with a link asks the dictionary for its entry).
QByteArray lines(bool links = false)
{
    return (links ? QByteArray("$$+5,0$$-") : QByteArray()) + ru("левый край $@$ 1,дом $+$ Автор. Текст $*$ правый `край $$$ ")
        + (links ? QByteArray("$$+$$-") : QByteArray()) + ru("ещё слева $@$ 2,Дом $+$ Другой. Текст $*$ и справа $$$");
}

struct ConcSession {
    // A typed prefix never starts anew by itself here, however slow the machine.
    explicit ConcSession(const QList<QByteArray> &ini = {}) : web(ini)
    {
        list().setPrefixPause(std::numeric_limits<int>::max());
    }

    ConcPage &page() { return *web.form->TS_Conc; }
    WordListPanel &list() { return *page().Panel3; }
    ContextPanel &context() { return *page().TS_Conc_C; }
    SessionState &state() { return web.form->state(); }
    TcpPeer &peer() { return web.peer; }

    // Sends a reply; the request that follows it (empty when none comes).
    QByteArray answer(const QByteArray &tag, const QByteArray &replyBody)
    {
        const int seen = int(peer().requests().size());
        peer().replyFramed(tag, replyBody);
        if (!peer().waitForRequest(5000, seen))
            return QByteArray();
        return peer().requests().at(seen);
    }
    int repliesHandled() const
    {
        int n = 0;
        for (const QByteArray &line : web.form->sessionLog().lines())
            n += line.startsWith("GetServer ");
        return n;
    }
    // Sends a reply; true once it is handled and nothing followed it.
    bool answerLast(const QByteArray &tag, const QByteArray &replyBody)
    {
        const int seen = int(peer().requests().size());
        const int handled = repliesHandled();
        peer().replyFramed(tag, replyBody);
        return QTest::qWaitFor([&] { return repliesHandled() > handled && state().PendingRequest.isEmpty(); }, 5000)
            && peer().requests().size() == seen;
    }
    // The next request a user action causes.
    Sent next(const std::function<void()> &action)
    {
        const int seen = int(peer().requests().size());
        action();
        return peer().waitForRequest(5000, seen) ? readSent(peer().requests().at(seen)) : Sent();
    }

    // Connects and registers: the tab opens and asks for the characteristics.
    Sent registerAndOpen()
    {
        web.form->session()->B_ConnectClick();
        if (!peer().waitForClient() || !peer().waitForRequest(5000, 0))
            return Sent();
        return readSent(answer("NM", RegisteredBody));
    }

    // The whole chain up to the first lines, with the value page `page`.
    bool openList(const QByteArray &page = value("дом /дом", 3, 5, 0, 1) + ',' + value("дома /дом", 4, 2, 1, 7) + ','
                      + value("домой /", 5, 1, 2, 9))
    {
        Sent s = registerAndOpen();
        s.options.set("ChangeConcC", "YES");
        s = readSent(answer("CN_C", s.options.framed() + commalist::join({ru("Словоформа"), "30", ru("Лемма"), "14",
                                                                          ru("Автор"), "4"})));
        s = readSent(answer("CN_Cx", body(replied(s.conc), s.options, groups())));
        OptionList o = s.options;
        o.set("LBCWIndex", "0");
        o.set("ConcSBarW", "0");
        tCConcPos c = replied(s.conc);
        c.ValueNo[1] = 3;
        s = readSent(answer("CN_W", body(c, o, page)));
        return s.tag == "CT_N" && showLines(s);
    }
    // Answers a context request with two lines.
    bool showLines(const Sent &request, bool links = false)
    {
        tCConcPos c = replied(request.conc);
        c.FirstLine = 1;
        c.CurLine = 1;
        c.Found[1] = 2;
        OptionList o = request.options;
        o.set("ConcCount", "(1-2)");
        return answerLast("CT_N", body(c, o, lines(links)));
    }
    static QByteArray groups()
    {
        return commalist::join({ru("Тип информации - X11"), ru("Основа - X10"), ru("Колонки - X11"),
                                ru("Заголовок - 001")});
    }

    WebSession web;
};

// Types `text` into `w` as the keyboard would (QTest's key clicks drop letters
// outside Latin-1).
void type(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &release);
    }
}

QStringList texts(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out.append(list->item(i)->text());
    return out;
}

} // namespace

class TestConcPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void chain_registrationToFirstLines_exactBytes()
    {
        ConcSession s;
        // The tab's first opening: the characteristics, with "SortSeq", "SortD" and the
        // page sizes in the options.
        Sent cnC = s.registerAndOpen();
        QCOMPARE(cnC.tag, QByteArray("CN_C"));
        QList<QByteArray> names;
        for (const QByteArray &e : cnC.options.entries())
            names.append(e.left(e.indexOf('=')));
        QCOMPARE(names, (QList<QByteArray>{"1", "SWD", "DictSearcType", "SortSeq", "SortD", "LBC_W_Max", "LBC_L_Max",
                                            "LBC_T_Max", "LBC_X_Max"}));
        QCOMPARE(cnC.options.value("SortSeq"), QByteArray("CLR"));
        QCOMPARE(cnC.options.value("SortD"), QByteArray("A"));
        QVERIFY(cnC.options.value("LBC_W_Max").toInt() > 0);
        // The tab opens within the registration reply, before a dictionary is current.
        QCOMPARE(cnC.wire, requests::wire("CN_C", requests::dictParams(tCDictPos(), cnC.options)));

        // Characteristics -> groups, with the position and the dictionary position.
        OptionList o = cnC.options;
        o.set("ChangeConcC", "YES");
        o.set("SD", "YES");
        tCConcPos expected;
        expected.Request[0] = "1.4.12";   // every reply writes the client's version
        QCOMPARE(s.answer("CN_C", o.framed() + commalist::join({ru("Словоформа"), "30", ru("Лемма"), "14", ru("Автор"),
                                                                 "4"})),
                 requests::wire("CN_Cx", requests::concDictParams(expected, tCDictPos(0), o)));
        QCOMPARE(s.state().CharList.size(), 3);
        QVERIFY(s.list().P_CS->isVisible() && s.list().CBC_CList->isVisible());

        // Groups -> the first list of the default kind, at level 1.
        expected.Move.fill(' ');
        const QByteArray cnW = s.answer("CN_Cx", body(expected, o, ConcSession::groups()));
        expected.Level = 1;
        expected.ValueNo[0] = 30;
        expected.ValueNo[1] = -1;
        expected.FirstLine = -1;
        o.set("Char0", "\xC8\xC9\xCA");
        o.set("Char1", "\xC8\xC9");
        o.set("Char2", "\xC8\xC9\xCA");
        o.set("Char3", "\xCA");
        QCOMPARE(cnW, requests::wire("CN_W", requests::concDictParams(expected, tCDictPos(0), o)));
        QCOMPARE(s.list().CBC_CList->count(), 2);
        QCOMPARE(s.list().CBC_CList->itemText(1), QStringLiteral("Лемма"));
        QCOMPARE(s.list().CBC_List->count(), 3);
        QCOMPARE(s.list().L_Quant->text(), QStringLiteral("Кол.словоупотр."));

        // A page of values -> the lines of the first value.
        expected.ValueNo[1] = 3;
        o.set("LBCWIndex", "0");
        o.set("ConcSBarW", "0");
        const QByteArray cnT = s.answer("CN_W", body(expected, o, value("дом /дом", 3, 5, 0, 1) + ','
                                                                      + value("дома /дом", 4, 2, 1, 7) + ','
                                                                      + value("домой /", 5, 1, 2, 9)));
        o.remove("ConcSBarW");
        o.set("TabType", "CONC2");
        QCOMPARE(cnT, requests::wire("CT_N", requests::concDictParams(expected, tCDictPos(0), o)));
        QCOMPARE(texts(s.list().LBC_W), (QStringList{QStringLiteral("дом"), QStringLiteral("дома"),
                                                     QStringLiteral("домой")}));
        QCOMPARE(texts(s.list().LBC_W_Q1), (QStringList{QStringLiteral("дом"), QStringLiteral("дом"), QString()}));
        QCOMPARE(texts(s.list().LBC_W_Q2), (QStringList{QStringLiteral("5"), QStringLiteral("2"), QStringLiteral("1")}));
        QVERIFY(s.list().SB_W->isVisible());
        QCOMPARE(s.list().L_WNC->text(), QStringLiteral("Показано 3 из 30,  Ном.в слов.4"));

        // The lines: fitted, centred, numbered; the first line selected, and its
        // dictionary link followed (headword 5 of dictionary 0).
        tCConcPos lc = expected;
        lc.FirstLine = 1;
        lc.CurLine = 1;
        lc.Found[1] = 2;
        o.set("ConcCount", "(1-2)");
        tCDictPos linked(0);
        linked.LetterNo = 0;
        linked.PairNo = 0;
        linked.WordMode = 'A';
        linked.WordNo = 4;
        const QByteArray entryRequest = s.answer("CT_N", body(lc, o, lines(true)));
        o.set("TabType", "CONC");      // cut to four letters after the lines
        o.set("Text_CrntCW", "1");     // the selected line
        QCOMPARE(entryRequest, requests::wire("DC_C", requests::dictParams(linked, o)));
        ContextPanel &c = s.context();
        QCOMPARE(c.LBC_L->count(), 2);
        QVERIFY(c.LBC_L->item(0)->text().endsWith(QStringLiteral("левый край")));
        QCOMPARE(c.LBC_L->item(0)->textAlignment() & Qt::AlignRight, int(Qt::AlignRight));
        QCOMPARE(texts(c.LBC_Wx), (QStringList{QStringLiteral("дом"), QStringLiteral("Дом")}));
        QCOMPARE(c.LBC_R->item(0)->text().trimmed(), QStringLiteral("правый ||край"));
        QCOMPARE(c.LBC_R->x(), c.LBC_Wx->x() + c.LBC_Wx->width() + 2);
        QCOMPARE(c.L_LNC_B->text(), QStringLiteral("нач.строка 1"));
        QCOMPARE(c.L_LNC_E->text(), QStringLiteral("кон.строка 2"));
        QCOMPARE(c.L_LNC_C->text(), QStringLiteral("Показано 2 из 2 строк"));
        QCOMPARE(c.LC_TextName->text(), QStringLiteral("Название текста \"Автор. Текст\""));
        QCOMPARE(c.LBC_Wx->currentRow(), 0);
        QCOMPARE(s.state().Options.value("Text_CrntCW"), QByteArray("1"));
        QCOMPARE(s.state().Options.value("TabType"), QByteArray("CONC"));
        QVERIFY(s.web.ui.messages.isEmpty());
    }

    void emptyValues_byAllowEmptySign_data()
    {
        QTest::addColumn<QByteArray>("allow");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("shown");
        QTest::newRow("NO") << QByteArray("NO") << QStringLiteral("в") << QStringLiteral("Показано 2 из 29");
        QTest::newRow("YES") << QByteArray("YES") << QStringLiteral("  ** НЕТ значения **  ")
                             << QStringLiteral("Показано 3 из 30");
    }
    void emptyValues_byAllowEmptySign()
    {
        QFETCH(QByteArray, allow);
        QFETCH(QString, first);
        QFETCH(QString, shown);
        ConcSession s({"AllowEmptySign=" + allow});
        QVERIFY(s.openList(value("", 0, 14, 0, 0) + ',' + value("в /в", 1, 3, 1, 2) + ',' + value("дом", 2, 3, 2, 3)));
        QCOMPARE(s.list().LBC_W->item(0)->text(), first);
        QVERIFY(s.list().L_WNC->text().startsWith(shown));
    }

    void typing_letterThenStarTwice_oneStar_otherOrdersSendNothing()
    {
        ConcSession s;
        QVERIFY(s.openList());
        QListWidget *w = s.list().LBC_W;
        w->setFocus();
        Sent r = s.next([&] { type(w, QStringLiteral("к")); });
        QCOMPARE(r.conc.Request[1], ru("к"));
        QVERIFY(r.records.dictPos);
        for (const QByteArray &expected : {ru("к*"), ru("к*")}) {
            QVERIFY(s.showLines(readSent(s.answer("CN_W", body(replied(r.conc), r.options,
                                                               value("кот", 9, 1, 0, 9))))));
            r = s.next([&] { type(w, QStringLiteral("*")); });
            QCOMPARE(r.conc.Request[1], expected);
        }
        QVERIFY(s.showLines(readSent(s.answer("CN_W", body(replied(r.conc), r.options, value("кот", 9, 1, 0, 9))))));
        // By frequency: typing clears the prefix and sends nothing; Home then sends
        // the next request, "TOP".
        s.list().CB_SortD->setCurrentIndex(2);
        r = s.next([&] { s.list().CB_SortDChange(); });
        QCOMPARE(r.options.value("SortD"), QByteArray("Q"));
        QVERIFY(r.conc.Request[1].isEmpty());   // only a prefix starting with "*" stays
        QVERIFY(s.showLines(readSent(s.answer("CN_W", body(replied(r.conc), r.options, value("кот", 9, 1, 0, 9))))));
        r = s.next([&] {
            type(w, QStringLiteral("м"));
            QVERIFY(s.list().L_Req->text().isEmpty());
            QTest::keyClick(w, Qt::Key_Home);
        });
        QCOMPARE(r.options.value("ListPos"), QByteArray("TOP"));
    }

    void pagingKeys_prevAtTop_nothingAtListEnd_noStaleListPos()
    {
        ConcSession s;
        QVERIFY(s.openList());
        QListWidget *w = s.list().LBC_W;
        w->setFocus();
        Sent r = s.next([&] { QTest::keyClick(w, Qt::Key_Up); });
        QCOMPARE(r.tag, QByteArray("CN_W"));
        QCOMPARE(r.options.value("ListPos"), QByteArray("PREV"));
        QCOMPARE(r.conc.ValueNo[1], 3);
        QVERIFY(!r.records.dictPos);   // paging sends no dictionary position
        // The last page: values 28..30 of 30; the server names its last row.
        OptionList o = r.options;
        o.set("LBCWIndex", "2");
        o.set("ListPos", "PREV");   // a server that leaves the position in place
        r = readSent(s.answer("CN_W", body(replied(r.conc), o, value("я", 27, 1, 27, 20) + ',' + value("яма", 28, 1, 28, 21)
                                                                + ',' + value("ящик", 29, 1, 29, 22))));
        QCOMPARE(r.conc.ValueNo[1], 29);
        QVERIFY(s.showLines(r));
        QCOMPARE(w->currentRow(), 2);
        r = s.next([&] {
            QTest::keyClick(w, Qt::Key_Down);   // the last value of the list: nothing
            QTest::keyClick(w, Qt::Key_PageUp);
        });
        QCOMPARE(r.conc.Move[1], '-');
        QVERIFY(!r.options.has("ListPos"));   // not the stale "PREV"
    }

    void scrollBar_thumbReleasedWhereItWas_sendsNothing()
    {
        ConcSession s;
        QVERIFY(s.openList());
        QScrollBar *sb = s.list().SB_W;
        QVERIFY(sb->isVisible());
        const Sent r = s.next([&] {
            sb->setSliderDown(true);
            sb->setSliderPosition(60);
            sb->setSliderPosition(0);
            sb->setSliderDown(false);   // released where it was
            sb->setSliderDown(true);
            sb->setSliderPosition(45);
            sb->setSliderDown(false);
        });
        QCOMPARE(r.options.value("ConcSBarW"), QByteArray("45"));
    }

    void subPages_usageGridHook_linesOnThePageNotAskedAgain_widthKeyAsksForWider()
    {
        ConcSession s;
        QVERIFY(s.openList());
        // The usage table counts its requests in place of sending them.
        struct CountingUsage : UsageSubPage {
            explicit CountingUsage(UsageSubPage &inner) : inner(inner) {}
            void reset() override { inner.reset(); }
            void requestUsage() override { ++requests; }
            bool isContextChecked() const override { return inner.isContextChecked(); }
            UsageSubPage &inner;
            int requests = 0;
        };
        ConcNeighbours n = s.page().neighbours();
        CountingUsage usage(*n.usage);
        n.usage = &usage;
        s.page().connectNeighbours(n);
        const int &grids = usage.requests;
        s.page().setSubPageVisibility(true, false);
        s.page().PageCC->setCurrentWidget(s.page().TS_Conc_D);
        QCOMPARE(grids, 1);
        // Back on "Контекст": the current line is on the page shown, nothing is sent
        // (the next request is the width key's).
        s.context().LBC_Wx->setCurrentRow(1);
        s.state().CurrentConcPos->CurLine = 1;
        s.page().PageCC->setCurrentWidget(s.page().TS_Conc_C);
        QCOMPARE(s.context().LBC_Wx->currentRow(), 0);
        s.list().LBC_W->setFocus();
        const Sent r = s.next([&] { type(s.list().LBC_W, QStringLiteral("+")); });
        QCOMPARE(r.tag, QByteArray("CT_N"));
        QCOMPARE(r.options.value("ConcWidth"), QByteArray("6"));   // wider than the server's 5
    }

    void sortDialog_unchangedHidesApply_chosenOrderAsksForLines()
    {
        ConcSession s;
        QVERIFY(s.openList());
        auto *dialog = new SortSeqDialog(&s.page());
        s.page().setSortSeqDialog(dialog);
        QCOMPARE(s.context().B_SortS->text(), QStringLiteral("Сортировка : центр. + слева + справа   "));
        bool applyShown = true;
        QTimer::singleShot(0, dialog, [&] {
            applyShown = dialog->B_SSeq_OK->isVisible();
            dialog->B_Canc->click();
        });
        s.page().B_SortSClick();
        QVERIFY(!applyShown);
        QTimer::singleShot(0, dialog, [&] {
            dialog->CB_Seq->setCurrentIndex(3);
            emit dialog->CB_Seq->activated(3);
            applyShown = dialog->B_SSeq_OK->isVisible();
            dialog->B_SSeq_OK->click();
        });
        const Sent r = s.next([&] { s.page().B_SortSClick(); });
        QVERIFY(applyShown);
        QCOMPARE(r.tag, QByteArray("CT_N"));
        QCOMPARE(r.options.value("SortSeq"), QByteArray("LRC"));
        QCOMPARE(s.context().B_SortS->text(), QStringLiteral("Сортировка : слева + справа + центр.   "));
        // A reply's "SortSeq" is what the dialog opens with next.
        OptionList o = r.options;
        o.set("SortSeq", "RLC");
        QVERIFY(s.answerLast("CT_N", body(replied(r.conc), o, lines())));
        QTimer::singleShot(0, dialog, [&] { dialog->B_Canc->click(); });
        s.page().B_SortSClick();
        QCOMPARE(dialog->CB_Seq->currentText(), QStringLiteral("справа + слева + центральное - RLC"));
    }

    void exports_listAndConcordanceIntoTheBuffer()
    {
        ConcSession s;
        QVERIFY(s.openList());
        const QString caption = s.web.form->windowTitle();
        // "Копировать список", offered by a press on the list, asks for the whole list.
        QListWidget *w = s.list().LBC_W;
        const Sent click =
            s.next([&] { QTest::mouseClick(w->viewport(), Qt::LeftButton, {}, w->visualItemRect(w->item(0)).center()); });
        QCOMPARE(click.conc.Move[0], 'C');   // a click on a value asks for its lines anew
        QVERIFY(s.showLines(click));
        QVERIFY(s.page().M_Wide_Full->isVisible());
        QCOMPARE(s.page().M_Wide_Full->text(), QStringLiteral("Копировать список"));
        const Sent full = s.next([&] { s.page().M_Wide_Full->trigger(); });
        QCOMPARE(full.options.value("ListPos"), QByteArray("FULL"));
        QVERIFY(!full.records.dictPos);
        // "FILL": the whole list, the page left as it is.
        OptionList o = s.state().Options;
        o.set("ListPos", "FILL");
        QVERIFY(s.answerLast("CN_W", o.framed() + value("дом /дом", 3, 5, 0, 1) + ',' + value("дома /дом", 4, 2, 1, 7)));
        // Row 1 of the filters is visible, unfixed, with the value list's caption.
        QCOMPARE(s.state().Buffer.lines(), (QList<QByteArray>{QByteArray(16, '*'), ru("(Найдено 2 значений) :"),
                                                               ru("Словоформа -"), QByteArray(16, '*'),
                                                               ru("дом /дом / 5"), ru("дома /дом / 2")}));
        QCOMPARE(s.list().LBC_W->count(), 3);
        QVERIFY(!s.state().Options.has("ListPos"));
        // "PrintConc": the whole concordance after its header.
        o = s.state().Options;
        o.set("PrintConc", "True");
        o.set("PrintConcStr", "False");
        o.set("TabType", "CONC2");
        tCConcPos c = *s.state().CurrentConcPos;
        c.Found[1] = 2;
        QVERIFY(s.answerLast("CT_N", body(c, o, ru("Автор $^$ лес $@$ 1,дом $*$ сад $$$"))));
        QCOMPARE(s.state().Buffer.lines().mid(6),
                 (QList<QByteArray>{"* * * * * * * * * * * * * * *", ru("Словоформа - дом"), QByteArray(24, '*'),
                                    ru("Автор/"),
                                    QByteArray(16, '*'), ru("Найдено 2 строк"), QByteArray(16, '*'), ru("Автор/ : "),
                                    ru("     1 лес  дом  сад")}));
        QCOMPARE(s.state().Options.value("PrintConc"), QByteArray("False"));
        QCOMPARE(s.state().Options.value("TabType"), QByteArray("CONC"));
        QCOMPARE(s.web.form->windowTitle(), caption);
        QCOMPARE(s.context().LBC_L->count(), 2);   // the page shown stays
    }

    // A long export shows in the window's caption how far it has come, after the
    // program's title; the caption comes back at the end.
    void longExport_progressCaptionAfterTheProgramTitle()
    {
        ConcSession s;
        QVERIFY(s.openList());
        MainWindow &w = *s.web.form;
        const QString caption = w.windowTitle();
        QStringList shown;
        QObject guard;
        QObject::connect(&w, &QWidget::windowTitleChanged, &guard, [&shown](const QString &t) { shown.append(t); });
        OptionList o = s.state().Options;
        o.set("PrintConc", "True");
        o.set("PrintConcStr", "False");
        o.set("TabType", "CONC2");
        QByteArray lines;
        for (int i = 1; i <= 3000; ++i)
            lines += ru("лес $@$ ") + QByteArray::number(i) + ru(",дом $*$ сад $$$");
        QVERIFY(s.answerLast("CT_N", body(replied(*s.state().CurrentConcPos), o, lines)));
        QVERIFY(shown.size() >= 2);
        QCOMPARE(shown.last(), caption);
        const QRegularExpression progress(QStringLiteral("^ВЕЛТа   \\+\\d{1,3}%$"));
        for (const QString &t : shown.first(shown.size() - 1))
            QVERIFY2(progress.match(t).hasMatch(), qPrintable(t));
    }

    void fontCommands_wordListAndColumns()
    {
        ConcSession s;
        QVERIFY(s.openList());
        QFont big = s.list().LBC_W->font();
        big.setPointSize(20);
        s.web.ui.font = big;
        // "Шрифт...": the value list's font, its page size, and the list again.
        Sent r = s.next([&] { s.web.form->M_Font->trigger(); });
        QCOMPARE(r.tag, QByteArray("CN_W"));
        QVERIFY(r.records.dictPos);
        QCOMPARE(s.list().LBC_W->font().pointSize(), 20);
        QCOMPARE(s.list().LBC_W_Q2->font().pointSize(), 20);
        QCOMPARE(r.options.value("LBC_W_Max").toInt(),
                 conccore::rowsThatFit(s.list().LBC_W->height(), 16, concwidgets::listRowHeight(big)));
        QVERIFY(s.showLines(readSent(s.answer("CN_W", body(replied(r.conc), r.options, value("дом /дом", 3, 5, 0, 1))))));
        // "Шрифт конкорданса": the three columns, their rows, and the lines again.
        QCOMPARE(s.web.form->M_ConcFont->text(), QStringLiteral("Шрифт конкорданса"));
        r = s.next([&] { s.web.form->M_ConcFont->trigger(); });
        QCOMPARE(r.tag, QByteArray("CT_N"));
        QCOMPARE(s.context().LBC_R->font().pointSize(), 20);
        QCOMPARE(s.context().rowHeight(), concwidgets::columnRowHeight(big));
        QVERIFY(s.context().rowHeight() >= 26);
    }

    // A press on the entry (TreeDOx) or on the area beside the usage table (TreeDO)
    // makes the entry the pop-up's target: no "Копировать список", and its font
    // command changes the entry's font alone, asking the server for nothing.
    void entryTrees_pressMakesTheEntryThePopupTarget()
    {
        ConcSession s;
        QVERIFY(s.openList());
        ConcPage &page = s.page();
        page.dictView()->showEntry(dictcore::EntryTree{{dictcore::EntryNode{ru("дом"), 0, 0, -1, false}}}, true);
        UsagePanel *usage = s.web.form->panels().usage;
        const int listSize = s.list().LBC_W->font().pointSize();
        int size = 21;
        // The entry beside the usage table stands for TreeDOx; the dictionary page's
        // entry is a target of its own.
        QTreeWidget *dictTree = s.web.form->TS_Dict->TreeView1;
        for (QTreeWidget *tree : {page.TreeDOx, usage->TreeDO, dictTree}) {
            // The value list pressed first: its own target, "Копировать список" offered.
            QListWidget *w = s.list().LBC_W;
            QTest::mousePress(w->viewport(), Qt::LeftButton, {}, w->visualItemRect(w->currentItem()).center());
            QVERIFY(page.M_Wide_Full->isVisible());
            QTest::mousePress(tree->viewport(), Qt::RightButton, {}, QPoint(20, 5));
            QVERIFY(!page.M_Wide_Full->isVisible());
            QTRY_VERIFY_WITH_TIMEOUT(page.PM_LBC_W->isVisible(), 30000);
            page.PM_LBC_W->close();
            QFont f = w->font();
            f.setPointSize(++size);
            s.web.ui.font = f;
            const Sent r = s.next([&] {
                page.PM_LCB_W_Font->trigger();
                s.web.form->SendToServer("INFO", "probe");
            });
            QCOMPARE(r.wire, QByteArray("$INFO=probe"));
            QCOMPARE((tree == dictTree ? dictTree : page.TreeDOx)->font().pointSize(), size);
            QCOMPARE(w->font().pointSize(), listSize);
        }
    }

    void ctrlQ_frequencySuffixOnce()
    {
        ConcSession s;
        QVERIFY(s.openList());
        QListWidget *w = s.list().LBC_W;
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(w->item(1)->text(), QStringLiteral("дома ,НА=5 ,НЧ=8"));
        QVERIFY(s.page().PM_Q_Show->isChecked());
        QTest::keyClick(w, Qt::Key_X, Qt::ControlModifier);   // off: the suffixes stay until the next page
        QTest::keyClick(w, Qt::Key_Q, Qt::ControlModifier);   // on again: not doubled
        QCOMPARE(w->item(1)->text(), QStringLiteral("дома ,НА=5 ,НЧ=8"));
    }

    void shiftClick_marksALineForTheBufferAndUnmarksIt()
    {
        ConcSession s;
        QVERIFY(s.openList());
        QListWidget *left = s.context().LBC_L;
        const QList<QListWidget *> columns{left, s.context().LBC_Wx, s.context().LBC_R};
        const QString hint = QStringLiteral("Shift+щелчок — отметить строку для буфера");
        const QColor marked(0xFF, 0xE0, 0x8A);
        // Every line says how it is marked; the centre names its text first.
        for (QListWidget *column : columns)
            for (int row = 0; row < column->count(); ++row)
                QVERIFY2(column->item(row)->toolTip().endsWith(hint), qPrintable(column->item(row)->toolTip()));
        QCOMPARE(s.context().LBC_Wx->item(1)->toolTip(), QStringLiteral("Другой. Текст\n") + hint);
        const QPoint row1 = left->visualItemRect(left->item(1)).center();
        QTest::mouseClick(left->viewport(), Qt::LeftButton, Qt::ShiftModifier, row1);
        QVERIFY(left->item(1)->text().startsWith(QLatin1Char('*')));
        // The marked row shows it across the three columns; the others stay plain.
        for (QListWidget *column : columns) {
            QCOMPARE(column->item(1)->background().color(), marked);
            QCOMPARE(column->item(0)->background().style(), Qt::NoBrush);
        }
        QCOMPARE(s.web.form->SB_Panel1->text(), hint);
        const textcore::PendingFragment &f = s.state().PendingFragment;
        QCOMPARE(f.entries.size(), 1);
        QCOMPARE(f.entries[0].text, ru("ещё слева Дом и справа"));
        QCOMPARE(f.entries[0].object, 1);
        QCOMPARE(s.context().LBC_Wx->currentRow(), 1);
        QCOMPARE(s.context().B_Buf2->text(), QStringLiteral("Сохранить строки"));
        QTest::mouseClick(left->viewport(), Qt::LeftButton, Qt::ShiftModifier, row1);
        QVERIFY(!left->item(1)->text().startsWith(QLatin1Char('*')));
        for (QListWidget *column : columns)
            QCOMPARE(column->item(1)->background().style(), Qt::NoBrush);
        QVERIFY(f.isEmpty() && f.entries.isEmpty());
        QCOMPARE(s.context().B_Buf2->text(), QStringLiteral("Конк.-> Буфер"));
    }

    // The selection hint in status panel 1 belongs to the lower zones: the word list
    // taking the keyboard clears it, the lines taking it back write it again.
    void statusPanelOne_clearedWhileTheWordListHasTheKeyboard()
    {
        ConcSession s;
        QVERIFY(s.openList());
        QListWidget *centres = s.context().LBC_Wx;
        const QLabel *panel0 = s.web.form->SB_Panel0;
        const QLabel *panel1 = s.web.form->SB_Panel1;
        const QString marking = QStringLiteral("Shift+щелчок — отметить строку для буфера");
        const QString wordList = QStringLiteral("  Перекл.: словарь-конкорд. : <- ->"
                                                "| Перемещ. по СЛОВАРЮ \"стр.вверх\", \"с.вниз\", PgUp, PgDn, Home, End|");
        QTest::mousePress(centres->viewport(), Qt::LeftButton, {}, centres->visualItemRect(centres->currentItem()).center());
        QCOMPARE(panel1->text(), marking);
        QTest::keyClick(centres, Qt::Key_Left);
        QCOMPARE(s.page().zone(), conccore::Zone::WordList);
        QCOMPARE(panel0->text(), wordList);
        QCOMPARE(panel1->text(), QString());
        QTest::keyClick(s.list().LBC_W, Qt::Key_Right);
        QCOMPARE(s.page().zone(), conccore::Zone::Context);
        QCOMPARE(panel1->text(), marking);
    }

    void rightPressOnAnotherValue_selectsItBeforeThePopup()
    {
        ConcSession s;
        QVERIFY(s.openList());
        QListWidget *counts = s.list().LBC_W_Q2;
        const QPoint row2 = counts->visualItemRect(counts->item(2)).center();
        const Sent r = s.next([&] { QTest::mousePress(counts->viewport(), Qt::RightButton, Qt::NoModifier, row2); });
        QCOMPARE(r.tag, QByteArray("CT_N"));
        QCOMPARE(s.list().LBC_W->currentRow(), 2);
        QTRY_VERIFY(s.page().PM_LBC_W->isVisible());
        s.page().PM_LBC_W->close();
    }

    void bufferEmptyingButton_enabledOnlyWithLinesToEmpty()
    {
        ConcSession s;
        QVERIFY(s.openList());
        const QPushButton *clear = s.context().B_BufC;
        QVERIFY(!clear->isEnabled());
        s.state().Buffer.append(QList<QByteArray>{"x"});
        QVERIFY(clear->isEnabled());
        s.state().Buffer.clear();
        QVERIFY(!clear->isEnabled());
    }

    void pageSizes_fromTheSettledLayout_andAskedAgainWhenTheWindowGrows()
    {
        ConcSession s;
        QVERIFY(s.openList());
        const auto fits = [&] {
            return QByteArray::number(conccore::rowsThatFit(s.list().LBC_W->height(), 16,
                                                            concwidgets::rowHeight(s.list().LBC_W)));
        };
        // The first request of the tab already carries the rows that fit.
        const Sent first = readSent(s.peer().requests().at(1));
        QCOMPARE(first.tag, QByteArray("CN_C"));
        QCOMPARE(first.options.value("LBC_W_Max"), fits());
        // A taller window holds more values: the value list is asked for again with
        // the rows that fit now, and its lines follow.
        MainWindow &w = *s.web.form;
        w.showNormal();
        const int before = s.list().LBC_W->height();
        const Sent r = s.next([&] { w.resize(w.width(), w.height() + 200); });
        QVERIFY(s.list().LBC_W->height() > before);
        QCOMPARE(r.tag, QByteArray("CN_W"));
        QCOMPARE(r.options.value("LBC_W_Max"), fits());
    }

    void typing_whileAReplyIsAwaited_keptAndSentAsOnePrefix_anotherWordLaterStartsAnew()
    {
        ConcSession s;
        QVERIFY(s.openList());
        QListWidget *w = s.list().LBC_W;
        w->setFocus();
        Sent r = s.next([&] { type(w, QStringLiteral("д")); });
        QCOMPARE(r.conc.Request[1], ru("д"));
        // "уш" typed before the list came: nothing goes out for them now...
        type(w, QStringLiteral("уш"));
        QCOMPARE(s.list().L_Req->text(), QStringLiteral("д"));
        // ...and once the list and its lines have come, one request for "душ".
        r = readSent(s.answer("CN_W", body(replied(r.conc), r.options, value("дом", 3, 5, 0, 1))));
        QCOMPARE(r.tag, QByteArray("CT_N"));
        r = readSent(s.answer("CT_N", body(replied(r.conc), r.options, lines())));
        QCOMPARE(r.tag, QByteArray("CN_W"));
        QCOMPARE(r.conc.Request[1], ru("душ"));
        QVERIFY(s.showLines(readSent(s.answer("CN_W", body(replied(r.conc), r.options, value("душ", 7, 2, 0, 4))))));
        // After a pause, once the list has answered, a letter begins another word.
        s.list().setPrefixPause(0);
        QTest::qWait(5);
        r = s.next([&] { type(w, QStringLiteral("к")); });
        QCOMPARE(r.conc.Request[1], ru("к"));
    }

    void lettersAndBlanksInTheLines_leaveTheWordAlone()
    {
        ConcSession s;
        QVERIFY(s.openList());
        QListWidget *centres = s.context().LBC_Wx;
        centres->setFocus();
        const int row = s.list().LBC_W->currentRow();
        const QByteArray prefix = s.state().CurrentConcPos->Request[1];
        // The next request is the probe: the keys sent nothing.
        const Sent r = s.next([&] {
            for (const Qt::Key key : {Qt::Key_Space, Qt::Key_A, Qt::Key_Backspace})
                QTest::keyClick(centres, key);
            type(centres, QStringLiteral("д "));
            s.web.form->SendToServer("INFO", "probe");
        });
        QCOMPARE(r.wire, QByteArray("$INFO=probe"));
        QCOMPARE(s.list().LBC_W->currentRow(), row);
        QCOMPARE(s.state().CurrentConcPos->Request[1], prefix);
        QVERIFY(s.list().L_Req->text().isEmpty());
    }

    void usageTable_pagesWithItsOwnLetter()
    {
        ConcSession s;
        QVERIFY(s.openList());
        s.page().setSubPageVisibility(true, false);
        Sent r = s.next([&] { s.page().PageCC->setCurrentWidget(s.page().TS_Conc_D); });
        QCOMPARE(r.tag, QByteArray("CT_D"));
        QVERIFY(s.answerLast("CT_D", body(replied(r.conc), r.options, "N$$*$$$7$$,7$$*$$$9$$,9$$*$$$")));
        UsagePanel *usage = s.web.form->panels().usage;
        // ">>" and "<<" ask for the table's next and previous page of the same value.
        for (const auto &[button, letter] : {std::pair{usage->BT_Next, '+'}, std::pair{usage->BT_Prev, '-'}}) {
            r = s.next([&] { button->click(); });
            QCOMPARE(r.tag, QByteArray("CT_D"));
            QCOMPARE(r.conc.Move[0], letter);
            QVERIFY(s.answerLast("CT_D", body(replied(r.conc), r.options, "N$$*$$$7$$,7$$*$$$")));
        }
    }

    void emptyLines_messageAndStepBack()
    {
        ConcSession s;
        QVERIFY(s.openList());
        struct CountingHistory : HistorySteps {
            void stepBack(bool skip) override { backs += skip ? 10 : 1; }
            int backs = 0;
        } history;
        ConcNeighbours n = s.page().neighbours();
        n.history = &history;
        s.page().connectNeighbours(n);
        const int &backs = history.backs;
        QVERIFY(s.context().L_LNC->isVisible());
        QVERIFY(s.answerLast("CT_N", QByteArray("nothing here")));
        QCOMPARE(s.web.ui.messages, QStringList{QStringLiteral("Сбой системы. Не получен требуемый конкорданс.")});
        QVERIFY(!s.context().L_LNC->isVisible());   // no lines, no width caption
        QCOMPARE(backs, 1);
    }
};

QTEST_MAIN(TestConcPage)
#include "tst_conc_page.moc"
