// Choosing the characteristics a group offers: the dialog's start from an option or
// a pattern and its moves, and in the running window the result reaching the option,
// the value list's combo box and the requests (exact bytes, counted).
#include "TcpPeer.h"
#include "app/MainWindow.h"
#include "concordance/ConcPage.h"
#include "concordance/WordListPanel.h"
#include "dictionary/core/RefList.h"
#include "filters/ListSelDialog.h"
#include "filters/core/ListSelection.h"
#include "model/CommaList.h"
#include "model/Cp1251.h"
#include "support/WebSession.h"
#include "wire/ReplyRecords.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using cp1251::ru;
using filtercore::ListSelection;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out += char(v);
    return out;
}

QList<int> ints(const QByteArray &b)
{
    QList<int> out;
    for (const char c : b)
        out.append(uchar(c));
    return out;
}

// The example group: four characteristics, "Char0" holding 3 then 1.
ListSelection opened(const QByteArray &line = "G - 1*1*", const QByteArray &option = bytes({203, 201}))
{
    const auto setup = filtercore::prepareListSelection(line, option, 4);
    ListSelection sel;
    if (setup)
        sel.open(setup->markers, setup->selection);
    return sel;
}

QStringList texts(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out.append(list->item(i)->text());
    return out;
}

QStringList comboTexts(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out.append(box->itemText(i));
    return out;
}

// The running window with a value list of four characteristics on show.
struct ListSession {
    ListSession()
    {
        QVERIFY(web.registerWith(RegisteredBody));
        OptionList o = web.form->state().Options;
        o.set("ChangeConcC", "YES");
        const QByteArray chars = commalist::join({ru("Словоформа"), "30", ru("Лемма"), "14", ru("Автор"), "4",
                                                  ru("Текст"), "2"});
        QVERIFY(next("CN_C", o.framed() + chars).startsWith("$CN_Cx="));
        const QByteArray groups = commalist::join({ru("Тип информации - 1*1*"), ru("Основа - X111"),
                                                   ru("Колонки - 1100"), ru("Без шаблона")});
        QVERIFY(next("CN_Cx", tCConcPos().framed() + groups).startsWith("$CN_W="));
        tCConcPos c;
        c.Level = 1;
        const QByteArray page = reflist::writeElement(ru("дом"), tRefC{3, 5, 0, 0, 1});
        QVERIFY(next("CN_W", c.framed() + page).startsWith("$CT_N="));
        peer().replyFramed("RSTR", QByteArray());
        QVERIFY(QTest::qWaitFor([&] { return web.form->state().PendingRequest.isEmpty(); }, 5000));
    }

    TcpPeer &peer() { return web.peer; }
    OptionList &options() { return web.form->state().Options; }
    QComboBox *groups() { return web.form->findChild<QComboBox *>(QStringLiteral("CB_Groups")); }
    QComboBox *list() { return web.form->TS_Conc->wordList()->CBC_List; }
    ListSelDialog *dialog() { return web.form->F_ListSel; }

    // A reply; the request it causes.
    QByteArray next(const QByteArray &tag, const QByteArray &body)
    {
        const int seen = int(peer().requests().size());
        peer().replyFramed(tag, body);
        return peer().waitForRequest(5000, seen) ? peer().requests().at(seen) : QByteArray();
    }
    // Opens the dialog for group `g` and runs `script` in it; the requests sent
    // meanwhile.
    int choose(int g, const std::function<void(ListSelDialog &)> &script)
    {
        groups()->setCurrentIndex(g);
        const int seen = int(peer().requests().size());
        QTimer::singleShot(0, dialog(), [this, script] { script(*dialog()); });
        web.form->findChild<QPushButton *>(QStringLiteral("B_ListSel"))->click();
        // The probe's own request marks the end of what the choice sent.
        web.form->SendToServer("INFO", "probe");
        if (!peer().waitForRequest(5000, seen))
            return -1;
        if (!QTest::qWaitFor([&] { return peer().lastRequest() == "$INFO=probe"; }, 5000))
            return -1;
        return int(peer().requests().size()) - seen - 1;
    }

    WebSession web;
};

} // namespace

class TestListSelection : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void prepare_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("option");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QList<int>>("offered");
        QTest::newRow("option 3,1 over 1*1*: the unselected ones offered")
            << QByteArray("G - 1*1*") << bytes({203, 201}) << QList<int>{3, 1} << QList<int>{0, 2};
        QTest::newRow("empty option, pattern 2,1 builds 1,0")
            << QByteArray("G - 21") << QByteArray() << QList<int>{1, 0} << QList<int>{2, 3};
        QTest::newRow("the default X ranks first and is offered again")
            << QByteArray("G - 1X") << bytes({200}) << QList<int>{0} << QList<int>{1};
        QTest::newRow("plain numbers; unknown and repeated bytes dropped")
            << QByteArray("G - 0011") << bytes({2, 9, 2}) << QList<int>{2} << QList<int>{3};
    }

    void prepare()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, option);
        QFETCH(QList<int>, selected);
        QFETCH(QList<int>, offered);
        const ListSelection sel = opened(line, option);
        QCOMPARE(ints(sel.selection()), selected);
        QCOMPARE(sel.offered(), offered);
        QVERIFY(!filtercore::prepareListSelection("no pattern", option, 4));
    }

    void moves()
    {
        ListSelection sel = opened();
        QVERIFY(sel.moveUp(1));
        QVERIFY(!sel.moveUp(0) && !sel.moveDown(1));
        QCOMPARE(sel.groupCode(), bytes({201, 203}));
        sel.selectAll();
        QCOMPARE(ints(sel.selection()), (QList<int>{1, 3, 0, 2}));
        sel.clear();
        QCOMPARE(sel.offered(), (QList<int>{0, 1, 2, 3}));
        QCOMPARE(sel.availability(), bytes({0, 1, 2, 3}));
        sel.cancel();
        QCOMPARE(ints(sel.selection()), (QList<int>{3, 1}));
    }

    void valueListGroup_cancelLeavesAll_upAndOkStoresTheOrderWithoutARequest()
    {
        ListSession s;
        QVERIFY(s.web.form->TS_Conc->TS_CharList->isAncestorOf(s.web.form->TS_Conc->CB_DST));
        QVERIFY(s.web.form->findChild<QCheckBox *>(QStringLiteral("CB_ListPos"))->isHidden());
        QCOMPARE(comboTexts(s.groups()), (QStringList{QStringLiteral("Тип информации"), QStringLiteral("Основа"),
                                                      QStringLiteral("Колонки"), QStringLiteral("Без шаблона")}));
        const QStringList listBefore = comboTexts(s.list());
        QCOMPARE(s.choose(0, [](ListSelDialog &d) {
            d.B_All->click();
            d.B_Cancel->click();
        }), 0);
        QCOMPARE(s.options().value("Char0"), bytes({200, 202}));
        QCOMPARE(comboTexts(s.list()), listBefore);

        s.options().set("Char0", bytes({203, 201}));
        QStringList offered, chosen;
        QCOMPARE(s.choose(0, [&](ListSelDialog &d) {
            offered = texts(d.LBC);
            d.LBS->setCurrentRow(1);
            QTest::keyClick(d.LBS, Qt::Key_Up, Qt::ControlModifier);
            chosen = texts(d.LBS);
            d.B_Close->click();
        }), 0);
        QCOMPARE(offered, (QStringList{QStringLiteral("Словоформа"), QStringLiteral("Автор")}));
        QCOMPARE(chosen, (QStringList{QStringLiteral("Лемма"), QStringLiteral("Текст")}));
        QCOMPARE(s.options().value("Char0"), bytes({201, 203}));
        QCOMPARE(comboTexts(s.list()), chosen);
        QCOMPARE(s.dialog()->L_Cap->text(), QStringLiteral("Выбор списка элем. Тип информации"));
    }

    void dialog_columnsGroup_asksForTheConcordanceAgainWithTheNewCode()
    {
        ListSession s;
        // "Колонки - 1100": Словоформа and Лемма; Enter takes Лемма out again.
        const int seen = int(s.peer().requests().size());
        const int sent = s.choose(2, [](ListSelDialog &d) {
            d.LBS->setCurrentRow(1);
            QTest::keyClick(d.LBS, Qt::Key_Return);
            d.B_Close->click();
        });
        QCOMPARE(sent, 1);
        QByteArray wire = s.peer().requests().at(seen);
        QVERIFY(wire.startsWith("$CT_N=New"));
        wire.remove(0, 9);
        tCConcPos conc;
        tCDictPos dict(-1);
        OptionList options;
        parseReplyRecords(wire, conc, dict, options);
        QCOMPARE(options.value("Char2"), bytes({200}));
    }
};

QTEST_MAIN(TestListSelection)
#include "tst_list_selection.moc"
