// The dictionary page in the running main window against a scripted server: the
// request chain of a click with its exact bytes, list replies, superseded replies,
// type-ahead from real key events, arrow keys, dictionary links, entry trees on
// both pages, the tie to the concordance and the reference pictures.
#include "TcpPeer.h"
#include "support/PeerChecks.h"
#include "app/MainWindow.h"
#include "app/Watchdog.h"
#include "app/SessionController.h"
#include "app/ServerLogPage.h"
#include "app/LocalLinkSession.h"
#include "concordance/ConcPage.h"
#include "dictionary/DictPage.h"
#include "dictionary/PictureWindow.h"
#include "dictionary/core/RefList.h"
#include "model/CommaList.h"
#include "model/Cp1251.h"
#include "model/OptionList.h"
#include "wire/RequestWriter.h"
#include "support/AppFixture.h"
#include "support/WebSession.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTreeWidget>
#include <QTabBar>
#include <QtTest>
#include <functional>
#include <memory>

using cp1251::ru;

namespace {

// A byte literal with its embedded control bytes, without the terminating NUL.
template <qsizetype N>
QByteArray raw(const char (&bytes)[N])
{
    return QByteArray(bytes, N - 1);
}

// A list reply body: the items with references numbered from `first`.
QByteArray items(std::initializer_list<const char *> texts, qint32 first = 1)
{
    QList<QByteArray> out;
    qint32 n = first;
    for (const char *t : texts) {
        tRefC r;
        r.NestRef = n++;
        r.NestSize = 1;
        out.append(reflist::writeElement(ru(t), r));
    }
    return out.join(',');
}

QByteArray summary(const char *name, qint32 nest, qint32 size)
{
    tRefC r;
    r.NestRef = nest;
    r.NestSize = size;
    return reflist::writeElement(ru(name), r);
}

tCDictPos pos(qint32 dict, qint32 letter, qint32 pair, char mode, qint32 word)
{
    tCDictPos p(dict);
    p.LetterNo = letter;
    p.PairNo = pair;
    p.WordMode = mode;
    p.WordNo = word;
    return p;
}

// A dictionary request as the server receives it, the option list being "1=2".
QByteArray request(const QByteArray &tag, const tCDictPos &p)
{
    return '$' + tag + "=New" + p.framed() + QByteArray("\x05/3/\x05", 5) + "1=2";
}

QByteArray entry(const QList<QByteArray> &lines)
{
    return commalist::join(QList<QByteArray>{"0"} + lines);
}

QStringList texts(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out.append(list->item(i)->text());
    return out;
}

void clickRow(QListWidget *list, int row)
{
    QListWidgetItem *item = list->item(row);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

void clickNode(QTreeWidget *tree, QTreeWidgetItem *item)
{
    for (QTreeWidgetItem *p = item->parent(); p; p = p->parent())
        p->setExpanded(true);
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

struct DictSession {
    DictSession()
    {
        peer.start(true);
        form = std::make_unique<MainWindow>(
            home.config({"IP=127.0.0.1", "Port=" + QByteArray::number(peer.port())}), ui);
        form->createSecondaryWindows();
        form->show();
        page = form->TS_Dict;
    }

    // Connects and registers with two dictionaries; the option list becomes "1=2".
    bool registerSession()
    {
        form->session()->B_ConnectClick();
        if (!peer.waitForClient() || !peer.waitForRequest(5000, 0))
            return false;
        const int seen = int(peer.requests().size());
        peer.replyFramed("NM", withOptions("1=2", "DICT=" + ru("Словарь") + "," + ru("Тезаурус")
                                                      + ",END,CONC,"));
        // The server's option list stays "1=2" for the dictionary requests.
        return websession::settleRegistration(peer, *form, seen, withOptions("1=2", QByteArray()));
    }

    // Answers the last request and returns the request that follows it.
    QByteArray answer(const QByteArray &tag, const QByteArray &body)
    {
        const int seen = int(peer.requests().size());
        peer.replyFramed(tag, body);
        if (!peer.waitForRequest(5000, seen))
            return QByteArray();
        return peer.requests().mid(seen).join();
    }

    // Answers the last request; true once the reply is handled and nothing followed.
    bool answerLast(const QByteArray &tag, const QByteArray &body)
    {
        const int seen = int(peer.requests().size());
        peer.replyFramed(tag, body);
        return QTest::qWaitFor([&] { return form->state().PendingRequest.isEmpty(); }, 5000)
               && peer.requests().size() == seen;
    }

    // Registered, the dictionary page shown and its first chain answered: letters
    // А Б В, pairs АА АБ, headword ААРОН, a one-line entry.
    bool openDictionary()
    {
        if (!registerSession())
            return false;
        const int seen = int(peer.requests().size());
        form->PageC->setCurrentWidget(page);
        if (!peer.waitForRequest(5000, seen))
            return false;
        const tCDictPos first = pos(0, 1, 0, 'R', 0);
        return answer("DC_C", first.framed() + summary("Словарь", 5000, 120) + ','
                                  + items({"А", "Б", "В"}))
                   == request("DC_CC", first)
               && answer("DC_CC", first.framed() + items({"АА", "АБ"})) == request("DC_W", first)
               && answer("DC_W", first.framed() + items({"ААРОН"})) == request("DC_S", first)
               && answerLast("DC_S", first.framed() + entry({ru("ААРОН")}));
    }

    SessionState &state() { return form->state(); }
    tCDictPos &record(int dict = 0) { return form->state().DictPosList[dict].pos; }

    TestHome home;
    RecordingUi ui;
    TcpPeer peer;
    std::unique_ptr<MainWindow> form;
    DictPage *page = nullptr;
};

// Runs `inspect` once `dialog` shows (inside its modal loop); the dialog is closed
// after a while if `inspect` leaves it open, so that a test never hangs.
struct WhenShown {
    WhenShown(QDialog *dialog, std::function<void()> inspect)
    {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this, dialog, inspect] {
            if (dialog->isVisible() && !seen) {
                seen = true;
                inspect();
            }
            if (++ticks > 500 && dialog->isVisible())
                dialog->reject();
        });
        timer.start();
    }
    QTimer timer;
    bool seen = false;
    int ticks = 0;
};

// Sets the process's current folder for the lifetime of the object (reference
// pictures are looked up relative to it).
struct CurrentDir {
    explicit CurrentDir(const QString &dir) : saved(QDir::currentPath()) { QDir::setCurrent(dir); }
    ~CurrentDir() { QDir::setCurrent(saved); }
    QString saved;
};

} // namespace

class TestDictPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void showingPage_asksForLettersWithExactBytes()
    {
        DictSession s;
        QVERIFY(s.registerSession());
        const int seen = int(s.peer.requests().size());
        s.form->PageC->setCurrentWidget(s.page);
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(),
                 raw("$DC_C=New\x02\x0f$(0,0,1,1,R-1)$\x05/3/\x05" "1=2"));
        QVERIFY(s.state().KeepDictPos);
        QCOMPARE(s.form->SB_Panel0->text(), QStringLiteral(" "));
    }

    void letterClick_chainsPairsHeadwordsEntry_replyByReply()
    {
        DictSession s;
        QVERIFY(s.openDictionary());
        QCOMPARE(texts(s.page->LB_C), (QStringList{QStringLiteral("А - "), QStringLiteral("Б - "),
                                                   QStringLiteral("В - ")}));
        QCOMPARE(s.page->L_DD->text(), QStringLiteral("Словарь/5000/120"));
        QCOMPARE(s.page->L_CN->text(), QStringLiteral("3"));

        int seen = int(s.peer.requests().size());
        clickRow(s.page->LB_C, 1);
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(), raw("$DC_CC=New\x02\x0e$(0,0,2,0,R0)$\x05/3/\x05" "1=2"));

        // The server names pair 1: it is selected and its headwords are asked for.
        QCOMPARE(s.answer("DC_CC", pos(0, 2, 1, 'R', 0).framed() + items({"БА", "БЕ"})),
                 raw("$DC_W=New\x02\x0e$(0,0,2,1,R0)$\x05/3/\x05" "1=2"));
        QCOMPARE(texts(s.page->LB_CC), (QStringList{QStringLiteral("БА - "), QStringLiteral("БЕ - ")}));
        QCOMPARE(s.page->LB_CC->currentRow(), 1);
        QCOMPARE(s.page->L_CCN->text(), QStringLiteral("2"));

        QCOMPARE(s.answer("DC_W", pos(0, 2, 1, 'R', 1).framed() + items({"БЕГ", "БЕДА"})),
                 raw("$DC_S=New\x02\x0e$(0,0,2,1,R1)$\x05/3/\x05" "1=2"));
        QCOMPARE(s.page->LB_W->currentRow(), 1);
        QCOMPARE(s.page->L_WN->text(), QStringLiteral("2"));

        s.state().KeepDictPos = false;
        QVERIFY(s.answerLast("DC_S", pos(0, 2, 1, 'R', 1).framed()
                                         + entry({ru("БЕДА"), ru("\tнесчастье"), ru("\t\t\tглубоко"),
                                                  ru("Ср. `горе`$$+12")})));
        QTreeWidget *tree = s.page->TreeView1;
        QCOMPARE(tree->topLevelItemCount(), 2);
        QTreeWidgetItem *head = tree->topLevelItem(0);
        QCOMPARE(head->text(0), QStringLiteral("БЕДА"));
        QCOMPARE(head->child(0)->text(0), QStringLiteral("несчастье"));
        QCOMPARE(head->child(0)->child(0)->text(0), QStringLiteral("..."));
        QCOMPARE(head->child(0)->child(0)->child(0)->text(0), QStringLiteral("глубоко"));
        QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("Ср. \"горе\" -->"));
        QCOMPARE(s.page->L_SN->text(), QStringLiteral("5"));
        QVERIFY(s.state().KeepDictPos);
        QVERIFY(!s.page->CB_ConcRef->isVisible());
        QVERIFY(s.ui.messages.isEmpty());
    }

    void keysInLists_moveSelectionAsClicksAndFocusBetweenLists()
    {
        DictSession s;
        QVERIFY(s.openDictionary());
        s.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.form.get()));
        s.page->LB_C->setFocus();
        QTRY_VERIFY(s.page->LB_C->hasFocus());

        const int seen = int(s.peer.requests().size());
        QTest::keyClick(s.page->LB_C, Qt::Key_Down);
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(), request("DC_CC", pos(0, 2, 0, 'R', 0)));
        QCOMPARE(s.page->LB_C->currentRow(), 1);
        QVERIFY(s.answerLast("DC_CC", pos(0, 2, 0, 'R', 0).framed()));   // no pairs: chain ends

        QTest::keyClick(s.page->LB_C, Qt::Key_Right);
        QVERIFY(s.page->LB_CC->hasFocus());
        QTest::keyClick(s.page->LB_CC, Qt::Key_Right);
        QVERIFY(s.page->LB_W->hasFocus());
        QTest::keyClick(s.page->LB_W, Qt::Key_Right);
        QVERIFY(s.page->TreeView1->hasFocus());
        QTest::keyClick(s.page->TreeView1, Qt::Key_Left);
        QVERIFY(s.page->LB_W->hasFocus());
        QTest::keyClick(s.page->LB_W, Qt::Key_Left);
        QVERIFY(s.page->LB_CC->hasFocus());
        s.record().PairNo = 1;
        s.record().WordNo = 3;
        QTest::keyClick(s.page->LB_CC, Qt::Key_Left);
        QVERIFY(s.page->LB_C->hasFocus());
        // Entering the letters resets the pair and headword of the record.
        QCOMPARE(s.record().PairNo, 0);
        QCOMPARE(s.record().WordNo, 0);
    }

    void dcC_summaryOnly_showsBothMessagesAndEndsHandlingEarly()
    {
        DictSession s;
        QVERIFY(s.registerSession());
        const int seen = int(s.peer.requests().size());
        s.form->PageC->setCurrentWidget(s.page);
        QVERIFY(s.peer.waitForRequest(5000, seen));
        // The mark "U" would enable the update button if the handling went on.
        s.peer.reply("U$DC_C=" + pos(0, 1, 0, 'R', 0).framed() + summary("Словарь", 9, 4));
        QTRY_VERIFY(s.state().PendingRequest.isEmpty());
        QCOMPARE(s.ui.messages, (QStringList{QStringLiteral("Не определённый индекс буквы"),
                                             QStringLiteral("Не получена информация - список букв")}));
        QCOMPARE(s.page->L_DD->text(), QStringLiteral("Словарь/9/4"));
        QCOMPARE(s.page->LB_C->count(), 0);
        QCOMPARE(s.page->L_CN->text(), QStringLiteral("0"));
        QCOMPARE(s.record().LetterNo, 0);
        QVERIFY(!s.form->serverLogPage()->B_Upd->isEnabled());
        QCOMPARE(s.peer.requests().size(), seen + 1);

        // An empty body clears the letters and labels without a message.
        s.ui.messages.clear();
        s.form->ReplyHandler("$DC_C=");
        QVERIFY(s.ui.messages.isEmpty());
        QVERIFY(s.page->L_DD->text().isEmpty());
    }

    void dcCC_empty_keepsPreviousPairsAndSelection()
    {
        DictSession s;
        QVERIFY(s.openDictionary());
        const int seen = int(s.peer.requests().size());
        clickRow(s.page->LB_CC, 1);
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QVERIFY(s.answer("DC_W", pos(0, 1, 1, 'R', 0).framed() + items({"АБАК"})).startsWith("$DC_S="));
        QVERIFY(s.answerLast("DC_S", pos(0, 1, 1, 'R', 0).framed() + entry({ru("АБАК")})));

        s.form->ReplyHandler("$DC_CC=" + pos(0, 1, 1, 'R', 0).framed());
        QCOMPARE(s.ui.messages, (QStringList{QStringLiteral("Не определёённый индекс пары букв"),
                                             QStringLiteral("Не получена информация - список пар букв")}));
        QCOMPARE(texts(s.page->LB_CC), (QStringList{QStringLiteral("АА - "), QStringLiteral("АБ - ")}));
        QCOMPARE(s.page->LB_CC->currentRow(), 1);
        QCOMPARE(s.page->L_CCN->text(), QStringLiteral("2"));
    }

    void replyForEarlierClick_whileLaterClickPending_isNotShown()
    {
        DictSession s;
        QVERIFY(s.openDictionary());
        const int seen = int(s.peer.requests().size());
        clickRow(s.page->LB_C, 1);   // Б
        QVERIFY(s.peer.waitForRequest(5000, seen));
        clickRow(s.page->LB_C, 2);   // В, before Б's pairs arrived
        QTRY_COMPARE(s.peer.received().count("$DC_CC="), 3);

        // Б's pairs arrive: they belong to a superseded click.
        s.form->ReplyHandler("$DC_CC=" + pos(0, 2, 0, 'R', 0).framed() + items({"БА", "БЕ"}));
        QCOMPARE(texts(s.page->LB_CC), (QStringList{QStringLiteral("АА - "), QStringLiteral("АБ - ")}));
        QCOMPARE(s.page->LB_C->currentRow(), 2);
        QCOMPARE(s.record().LetterNo, 3);
        QVERIFY(nothingSentSince(*s.form, s.peer, int(s.peer.requests().size())));
        QCOMPARE(s.peer.received().count("$DC_W="), 1);   // only the opening chain's

        // В's pairs are shown and continue the chain.
        const int before = int(s.peer.requests().size());
        s.form->ReplyHandler("$DC_CC=" + pos(0, 3, 0, 'R', 0).framed() + items({"ВА"}));
        QCOMPARE(texts(s.page->LB_CC), QStringList{QStringLiteral("ВА - ")});
        QVERIFY(s.peer.waitForRequest(5000, before));
        QCOMPARE(s.peer.lastRequest(), request("DC_W", pos(0, 3, 0, 'R', 0)));
    }

    void typeAhead_latinKeys_fCommaD_walkLettersPairsHeadwords()
    {
        DictSession s;
        QVERIFY(s.registerSession());
        int seen = int(s.peer.requests().size());
        s.form->PageC->setCurrentWidget(s.page);
        QVERIFY(s.peer.waitForRequest(5000, seen));
        // Б is the current letter, АА the current pair.
        const tCDictPos atB = pos(0, 2, 0, 'R', 0);
        QVERIFY(s.answer("DC_C", atB.framed() + summary("Словарь", 1, 1) + ',' + items({"А", "Б", "В"}))
                    .startsWith("$DC_CC="));
        QVERIFY(s.answer("DC_CC", atB.framed() + items({"БА", "БЕ"})).startsWith("$DC_W="));
        QVERIFY(s.answer("DC_W", atB.framed() + items({"БАРС"})).startsWith("$DC_S="));
        QVERIFY(s.answerLast("DC_S", atB.framed() + entry({ru("БАРС")})));
        s.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.form.get()));

        // "f": the letter А; the first headword not below "А" is already selected.
        seen = int(s.peer.requests().size());
        QTest::keyClick(s.page->LB_C, 'f');
        QCOMPARE(s.page->pageState().SearchText, ru("А"));
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(), request("DC_CC", pos(0, 1, 0, 'R', 0)));
        QCOMPARE(s.page->LB_C->currentRow(), 0);
        QVERIFY(s.page->LB_W->hasFocus());
        const tCDictPos atA = pos(0, 1, 0, 'R', 0);
        QVERIFY(s.answer("DC_CC", atA.framed() + items({"АА", "АБ"})).startsWith("$DC_W="));
        QVERIFY(s.answer("DC_W", atA.framed() + items({"ААРОН"})).startsWith("$DC_S="));
        QVERIFY(s.answerLast("DC_S", atA.framed() + entry({ru("ААРОН")})));

        // ",": the pair АБ.
        seen = int(s.peer.requests().size());
        QTest::keyClick(s.page->LB_W, ',');
        QCOMPARE(s.page->pageState().SearchText, ru("АБ"));
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(), request("DC_W", pos(0, 1, 1, 'R', 0)));
        const tCDictPos atAB = pos(0, 1, 1, 'R', 0);
        QVERIFY(s.answer("DC_W", atAB.framed() + items({"АБАК", "АБВГ", "АБЗАЦ"})).startsWith("$DC_S="));
        QVERIFY(s.answerLast("DC_S", atAB.framed() + entry({ru("АБАК")})));

        // "d": the first headword not below "АБВ".
        seen = int(s.peer.requests().size());
        QTest::keyClick(s.page->LB_W, 'd');
        QCOMPARE(s.page->pageState().SearchText, ru("АБВ"));
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(), request("DC_S", pos(0, 1, 1, 'R', 1)));
        QCOMPARE(s.page->LB_W->currentRow(), 1);
        QVERIFY(s.answerLast("DC_S", atAB.framed() + entry({ru("АБВГ")})));

        // "*" empties the search text and changes no selection.
        QTest::keyClick(s.page->LB_W, '*');
        QVERIFY(s.page->pageState().SearchText.isEmpty());
        QCOMPARE(s.page->LB_W->currentRow(), 1);
        QCOMPARE(s.page->LB_CC->currentRow(), 1);
        QCOMPARE(s.peer.requests().size(), seen + 1);
    }

    void linkList_twoLinks_showsTwoButtonsAndJumpsInWordModeA()
    {
        DictSession s;
        QVERIFY(s.registerSession());
        ConcPage *conc = s.form->TS_Conc;
        QCOMPARE(s.form->PageC->currentWidget(), conc);
        int seen = int(s.peer.requests().size());
        s.page->loadDictLinks("$$+12,0$$+7,1");
        QVERIFY(!conc->RBD1->isHidden() && !conc->RBD2->isHidden());
        QVERIFY(conc->RBD3->isHidden());
        QVERIFY(conc->RBD1->isChecked());
        QVERIFY(conc->TreeDOx->isHidden());
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(),
                 raw("$DC_C=New\x02\x0f$(0,0,0,0,A11)$\x05/3/\x05" "1=2"));
        QVERIFY(s.answerLast("DC_C", pos(0, 0, 0, 'A', 11).framed()));

        seen = int(s.peer.requests().size());
        conc->RBD2->click();
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(), request("DC_C", pos(1, 0, 0, 'A', 6)));
        QCOMPARE(s.record(1).WordMode, 'A');

        // One link: followed, no button shown.
        QVERIFY(s.answerLast("DC_C", pos(1, 0, 0, 'A', 6).framed()));
        seen = int(s.peer.requests().size());
        s.page->loadDictLinks("$$+3,1");
        QVERIFY(conc->RBD1->isHidden() && conc->RBD2->isHidden());
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(), request("DC_C", pos(1, 0, 0, 'A', 2)));

        // A link to a dictionary the session does not have is ignored.
        QVERIFY(s.answerLast("DC_C", pos(1, 0, 0, 'A', 2).framed()));
        seen = int(s.peer.requests().size());
        s.page->loadDictLinks("$$+3,9");
        QVERIFY(nothingSentSince(*s.form, s.peer, seen));
    }

    void entryOnConcordancePage_fillsTreeDOxAndCopiesIntoTreeView1()
    {
        DictSession s;
        QVERIFY(s.registerSession());
        ConcPage *conc = s.form->TS_Conc;
        s.page->L_SN->setText(QStringLiteral("7"));
        s.form->ReplyHandler("$DC_S=" + pos(0, 1, 0, 'R', 0).framed()
                             + entry({ru("СЛОВО"), ru("\tсмысл$$+14"), ru("ДРУГОЕ")}));
        QVERIFY(!conc->TreeDOx->isHidden());
        QCOMPARE(conc->TreeDOx->topLevelItemCount(), 2);
        QCOMPARE(conc->TreeDOx->topLevelItem(0)->child(0)->text(0), QStringLiteral("смысл -->"));
        QCOMPARE(s.page->TreeView1->topLevelItemCount(), 2);
        QCOMPARE(s.page->TreeView1->topLevelItem(0)->child(0)->text(0), QStringLiteral("смысл -->"));
        QCOMPARE(s.page->L_SN->text(), QStringLiteral("7"));   // the dictionary page's own count

        // A link followed from TreeDOx asks the current dictionary for headword 14.
        conc->setSubPageVisibility(true, false);
        conc->PageCC->setCurrentWidget(conc->TS_Conc_D);
        const int seen = int(s.peer.requests().size());
        clickNode(conc->TreeDOx, conc->TreeDOx->topLevelItem(0)->child(0));
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(), request("DC_CC", pos(0, 0, 0, 'A', 13)));

        // With neither page current the entry is dropped.
        s.form->PageC->setCurrentWidget(s.form->serverLogPage());
        s.form->ReplyHandler("$DC_S=" + entry({ru("ИНОЕ")}));
        QCOMPARE(s.page->TreeView1->topLevelItem(0)->text(0), QStringLiteral("СЛОВО"));
    }

    void entryLinkClick_onDictionaryPage_asksForHeadwordInModeA()
    {
        DictSession s;
        QVERIFY(s.openDictionary());
        s.form->ReplyHandler("$DC_S=" + pos(0, 1, 0, 'R', 0).framed()
                             + entry({ru("см. АБАК$$+A12,3$$-"), ru("просто строка")}));
        QCOMPARE(s.page->L_SN->text(), QStringLiteral("2"));
        int seen = int(s.peer.requests().size());
        clickNode(s.page->TreeView1, s.page->TreeView1->topLevelItem(1));   // no link
        QVERIFY(nothingSentSince(*s.form, s.peer, seen));
        seen = int(s.peer.requests().size());
        clickNode(s.page->TreeView1, s.page->TreeView1->topLevelItem(0));
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(), raw("$DC_CC=New\x02\x0f$(0,0,0,0,A11)$\x05/3/\x05" "1=2"));
    }

    void keyboard_typingWithTheTabBarFocused_andEnterOnALinkNode()
    {
        DictSession s;
        QVERIFY(s.openDictionary());
        s.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.form.get()));
        // Right after the tab was chosen the tab bar has the keyboard: typing searches.
        QTabBar *tabs = s.form->PageC->tabBar();
        tabs->setFocus();
        int seen = int(s.peer.requests().size());
        QTest::sendKeyEvent(QTest::Press, tabs, Qt::Key_unknown, QStringLiteral("б"), Qt::NoModifier);
        QCOMPARE(s.page->pageState().SearchText, ru("Б"));
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(), request("DC_CC", pos(0, 2, 0, 'R', 0)));

        // Enter on a node with a link follows it, as a click does; the whole text is its tooltip.
        s.form->ReplyHandler("$DC_S=" + pos(0, 1, 0, 'R', 0).framed() + entry({ru("см. АБАК$$+A12,3$$-")}));
        QTreeWidgetItem *node = s.page->TreeView1->topLevelItem(0);
        QVERIFY(!node->toolTip(0).isEmpty());
        s.page->TreeView1->setCurrentItem(node);
        s.page->TreeView1->setFocus();
        seen = int(s.peer.requests().size());
        QTest::keyClick(s.page->TreeView1, Qt::Key_Return);
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(), raw("$DC_CC=New\x02\x0f$(0,0,0,0,A11)$\x05/3/\x05" "1=2"));
        // Every pane can be found by its Russian name.
        QCOMPARE(s.page->LB_W->accessibleName(), QStringLiteral("Заглавные слова"));
    }

    void concRef_offeredUnderItsConditions_tickTiesConcordanceAndAsksForWordList()
    {
        DictSession s;
        QVERIFY(s.openDictionary());
        s.form->TS_Conc->LBC_W->addItem(QStringLiteral("слово"));
        const QByteArray char0 = QByteArray(1, char(201)) + QByteArray(1, char(203));
        s.state().Options = OptionList::fromCommaText("1=2,DTCR=77,DTCC=3");
        s.state().Options.set("Char0", char0);
        s.form->ReplyHandler("$DC_S=" + entry({ru("СЛОВО")}));
        QVERIFY(s.page->CB_ConcRef->isVisible());
        QVERIFY(s.page->CB_ConcRef->isEnabled());

        QSignalSpy tied(s.page, &DictPage::concordanceTied);
        const int seen = int(s.peer.requests().size());
        s.page->CB_ConcRef->click();
        tCConcPos &conc = *s.state().CurrentConcPos;
        QCOMPARE(conc.CharNo[conc.Level], 1);
        QCOMPARE(conc.ValueNo[conc.Level], 77);
        QCOMPARE(conc.FirstLine, -1);
        QCOMPARE(conc.CurLine, -1);
        QCOMPARE(tied.size(), 1);
        QCOMPARE(tied.first().at(1).toInt(), 77);
        QVERIFY(s.peer.waitForRequest(5000, seen));
        tCConcPos copy = conc;
        QCOMPARE(s.peer.lastRequest(),
                 requests::wire("CN_W", requests::concDictParams(copy, s.record(), s.state().Options)));

        // The next entry offers the box again, unticked.
        // The server answers with the page of the tied value.
        s.peer.replyFramed("CN_W", reflist::writeElement(ru("слово"), tRefC{77, 1, 0, 0, 0}));
        QTRY_VERIFY(s.state().PendingRequest.isEmpty());
        QVERIFY(s.page->CB_ConcRef->isChecked());
        s.form->ReplyHandler("$DC_S=" + entry({ru("СЛОВО")}));
        QVERIFY(s.page->CB_ConcRef->isVisible());
        QVERIFY(!s.page->CB_ConcRef->isChecked());

        // "SetFilter" = "True" withdraws the box at the next entry.
        s.state().Options.set("SetFilter", "True");
        s.form->ReplyHandler("$DC_S=" + entry({ru("СЛОВО")}));
        QVERIFY(!s.page->CB_ConcRef->isVisible());
        QVERIFY(!s.page->CB_ConcRef->isChecked());
    }

    void dstBox_setsDictSearchType()
    {
        DictSession s;
        QCheckBox *dst = s.form->TS_Conc->CB_DST;
        QVERIFY(dst->isChecked());   // "DST" defaults to ticked
        QCOMPARE(s.state().Options.value("DictSearcType"), QByteArray("H"));
        dst->click();
        QCOMPARE(s.state().Options.value("DictSearcType"), QByteArray(" "));
        dst->click();
        QCOMPARE(s.state().Options.value("DictSearcType"), QByteArray("H"));
    }

    void dictionaryChoice_otherDictionary_resetsHeadwordAndAsksForLetters()
    {
        DictSession s;
        QVERIFY(s.openDictionary());
        const int seen = int(s.peer.requests().size());
        s.page->CB_Dict->setCurrentIndex(1);
        emit s.page->CB_Dict->activated(1);
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.state().CurDict, 1);
        QCOMPARE(s.peer.lastRequest(), request("DC_C", pos(1, 1, 1, 'R', -1)));
        QCOMPARE(s.page->CB_Dict->currentText(), QStringLiteral("Тезаурус"));
    }

    void pictureLink_localMode_opensPictureWindowAndClickCloses()
    {
        TestHome home;
        RecordingUi ui;
        const Config config = home.config({}, false);
        QVERIFY(config.isLocal());
        CurrentDir cwd(home.path());
        QVERIFY(QDir().mkpath(QStringLiteral("Картинки")));
        QImage picture(40, 20, QImage::Format_RGB32);
        picture.fill(QColor(200, 30, 30));
        QVERIFY(picture.save(QStringLiteral("Картинки/5.jpg"), "JPG"));

        MainWindow form(config, ui);
        form.createSecondaryWindows();
        form.show();
        form.GetServerTimer.stop();
        form.TimerForServer.stop();
        form.ReplyHandler("$NM=DICT=A,END,CONC,");
        form.PageC->setCurrentWidget(form.TS_Dict);
        form.ReplyHandler("$DC_S=" + entry({ru("Рисунок$$+P5.jpg,подпись"), ru("Нет$$+P6.jpg,x")}));
        QTreeWidget *tree = form.TS_Dict->TreeView1;
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Рисунок -->"));
        QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("Нет"));   // no such file

        QSize size;
        QRgb pixel = 0;
        bool centred = false;
        WhenShown click(form.Form5, [&] {
            size = form.Form5->Im->image().size();
            pixel = form.Form5->Im->image().pixel(20, 10);
            centred = form.Form5->Im->pictureRect().center() == form.Form5->Im->rect().center();
            QTest::mouseClick(form.Form5->Im, Qt::LeftButton);
        });
        clickNode(tree, tree->topLevelItem(0));
        QVERIFY(click.seen);
        QVERIFY(centred);
        QVERIFY(!form.Form5->isVisible());
        QCOMPARE(size, QSize(40, 20));
        QVERIFY(qAbs(qRed(pixel) - 200) < 16 && qGreen(pixel) < 60);
        QCOMPARE(form.Form5->windowTitle(), QStringLiteral("Справочное изображение"));
        QVERIFY(ui.messages.isEmpty());

        // Esc closes it as well.
        WhenShown escape(form.Form5, [&] { QTest::keyClick(form.Form5, Qt::Key_Escape); });
        form.TS_Dict->showReferencePicture(5);
        QVERIFY(escape.seen);
        QVERIFY(!form.Form5->isVisible());
    }

    void pictureFileNotJpeg_givesMessageAndNoWindow()
    {
        DictSession s;
        CurrentDir cwd(s.home.path());
        QVERIFY(QDir().mkpath(QStringLiteral("graphics")));
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        QVERIFY(picture.save(QStringLiteral("graphics/6.jpg"), "PNG"));

        WhenShown shown(s.form->Form5, [&] { s.form->Form5->reject(); });
        s.page->showReferencePicture(6);
        QTest::qWait(30);
        QVERIFY(!shown.seen);
        QCOMPARE(s.ui.messages.size(), 1);
        QVERIFY(s.ui.messages.first().contains(QStringLiteral("graphics/6.jpg")));
        QVERIFY2(s.ui.messages.first().contains(QStringLiteral("не является изображением JPEG")),
                 qPrintable(s.ui.messages.first()));

        // A missing picture: nothing at all.
        s.page->showReferencePicture(7);
        QCOMPARE(s.ui.messages.size(), 1);
    }

    void reconnect_setDictClearsListsAndWithdrawsConcRef()
    {
        DictSession s;
        QVERIFY(s.openDictionary());
        s.page->SetDict();
        QCOMPARE(s.page->LB_C->count(), 0);
        QCOMPARE(s.page->LB_W->count(), 0);
        QCOMPARE(s.page->TreeView1->topLevelItemCount(), 0);
        QVERIFY(s.state().DictPosList.isEmpty());
        QCOMPARE(s.state().Options.value("SWD"), QByteArray("NO"));
        QVERIFY(!s.page->CB_ConcRef->isVisible());
        QCOMPARE(s.page->CB_ConcRef->text(), QStringLiteral("Связать с конкордансом"));
        // Clicks and keys without dictionaries send nothing.
        const int seen = int(s.peer.requests().size());
        s.page->TS_DictShow();
        s.page->LB_CClick();
        QVERIFY(nothingSentSince(*s.form, s.peer, seen));
    }
};

QTEST_MAIN(TestDictPage)
#include "tst_dict_page.moc"
