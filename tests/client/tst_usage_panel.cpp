// The usage sub-page as a widget: the table a "CT_D" reply builds, the entry
// request that follows a headword (exact bytes) or does not follow "-1", clicks on
// rows and "контекст" blocking them, and dragging the entry's left edge.
#include "dictionary/UsagePanel.h"
#include "model/Cp1251.h"
#include "support/PageDoubles.h"
#include "support/PageHostDouble.h"

#include <QPushButton>
#include <QCheckBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtTest>

struct UsageFixture {
    UsageFixture()
    {
        SessionState &s = host.state();
        s.DictPosList = {DictEntry{"A", tCDictPos(0)}};
        s.CurDict = s.CurDictPos = 0;
        top.resize(600, 300);
        auto *lay = new QVBoxLayout(&top);
        panel = new UsagePanel(host, &top);
        lay->addWidget(panel);
        panel->connectNeighbours(&conc, &dict);
        top.show();
    }
    PageHostDouble host;
    ConcordanceDouble conc;
    DictionaryDouble dict;
    QWidget top;
    UsagePanel *panel = nullptr;
    QList<int> &lines = conc.selectedLines;
};

class TstUsagePanel : public QObject {
    Q_OBJECT
private slots:
    void reply_tableWithHeading_headwordAsksForTheEntry()
    {
        UsageFixture f;
        f.panel->onCT_D("N$$*F$$*L$$*$$$1$$,1$$+5+a$$*b$$*c$$*d$$*$$$2$$,2$$*e$$*f$$*$$$");
        QTableWidget *sg = f.panel->SG;
        QCOMPARE(sg->columnCount(), 3);
        QCOMPARE(sg->rowCount(), 2);
        QCOMPARE(sg->horizontalHeaderItem(2)->text(), QStringLiteral("L"));
        QCOMPARE(sg->item(0, 2)->text(), QStringLiteral("b"));
        QCOMPARE(sg->item(1, 0)->data(Qt::UserRole).toInt(), 2);
        QCOMPARE(sg->currentRow(), 0);   // the cell before the reference
        QVERIFY(f.panel->CB_DO->isEnabled());
        // The headword became the current record; its entry is the dictionary's to ask
        // for (its "DC_S" request).
        const tCDictPos *entry = f.host.state().currentDictPos();
        QVERIFY(entry);
        QCOMPARE(entry->WordMode, 'A');
        QCOMPARE(entry->WordNo, 5);
        QCOMPARE(f.dict.entryRequests, 1);
        QCOMPARE(f.dict.cleared, 1);
        QCOMPARE(f.host.progress, QList<QByteArray>({"0,0,"}));
    }

    void headwordMinusOne_disablesTheEntryBox_noRequest()
    {
        UsageFixture f;
        f.panel->onCT_D("N$$*$$$1$$,1$$+5+$$$");
        f.panel->onCT_D("N$$*$$$1$$,1$$+-1+$$$");
        QVERIFY(!f.panel->CB_DO->isEnabled());
        QCOMPARE(f.dict.entryRequests, 1);   // the first reply's entry only
    }

    void pageButtons_askTheConcordanceToPage()
    {
        UsageFixture f;
        f.panel->BT_Next->click();
        f.panel->BT_Prev->click();
        QCOMPARE(f.conc.pages, QByteArray("+-"));
        QCOMPARE(f.conc.valueClicks, 0);   // a click on the value would page nowhere
    }

    void rowClicks_selectTheLine_notWhileContextTicked()
    {
        UsageFixture f;
        f.panel->onCT_D("N$$*$$$7$$,7$$*$$$9$$,9$$*$$$");
        QTableWidget *sg = f.panel->SG;
        QTest::mouseClick(sg->viewport(), Qt::LeftButton, {}, sg->visualItemRect(sg->item(1, 0)).center());
        QCOMPARE(f.lines, QList<int>({1}));
        QCOMPARE(f.host.state().CurrentConcPos->FirstLine, 7);
        QCOMPARE(f.host.state().CurrentConcPos->CurLine, 9);

        f.panel->CB_Txt->click();   // "контекст": the text's characteristics
        QCOMPARE(f.host.state().Options.value("TabType"), QByteArray("TEXT"));
        QVERIFY(f.host.sent.last().startsWith("$CT_D=New"));
        QTest::mouseClick(sg->viewport(), Qt::LeftButton, {}, sg->visualItemRect(sg->item(0, 0)).center());
        QCOMPARE(f.lines, QList<int>({1}));
    }

    void entryEdge_dragsWithTheRightEdgeKept()
    {
        UsageFixture f;
        f.panel->CB_DO->setEnabled(true);
        f.panel->CB_DO->click();
        QTreeWidget *tree = f.panel->TreeDO;
        QVERIFY(tree->isVisible());
        const int right = tree->geometry().right();
        // 3 pixels right of the entry's left edge, near its bottom.
        const QPoint grip = tree->viewport()->mapFrom(tree, QPoint(3, tree->height() - 5));
        QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, grip);
        QMouseEvent move(QEvent::MouseMove, QPointF(grip - QPoint(100, 0)), tree->viewport()->mapToGlobal(QPointF(grip - QPoint(100, 0))),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &move);
        QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, grip);
        QCOMPARE(tree->geometry().right(), right);
        QVERIFY(tree->geometry().left() < right - 200);
        QCOMPARE(f.panel->SG->geometry().right(), tree->geometry().left() - 3);
        QCOMPARE(f.conc.zones, QStringList{QStringLiteral("list")});
        // The press that began the drag also made the entry the menu's target.
        QCOMPARE(f.conc.entryPresses, QList<bool>{false});
    }
};

QTEST_MAIN(TstUsagePanel)
#include "tst_usage_panel.moc"
