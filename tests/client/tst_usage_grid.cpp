// The usage table ("CT_D") on plain state: rows, cells and the column count of the
// first row, occurrence numbers, the one headword reference with the entry box and
// the entry request it leads to, and clicks on the rows.
#include "dictionary/core/UsageGrid.h"

#include <QtTest>

using namespace dictcore;

class TstUsageGrid : public QObject {
    Q_OBJECT
private slots:
    void rowsCellsAndColumns_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QList<QList<QByteArray>>>("rows");
        QTest::addColumn<QList<qint32>>("occurrence");
        QTest::newRow("three cells, then four: three columns")
            << QByteArray("a$$*b$$*c$$*$$$1$$,1$$*x$$*y$$*z$$*$$$")
            << QList<QList<QByteArray>>{{"a", "b", "c"}, {"1", "x", "y"}} << QList<qint32>{-1, 1};
        QTest::newRow("a word, $$, and 17: the word alone, occurrence 17")
            << QByteArray("h$$*$$$word$$,17$$*$$$") << QList<QList<QByteArray>>{{"h"}, {"word"}}
            << QList<qint32>{-1, 17};
        QTest::newRow("a number that is no integer leaves -1")
            << QByteArray("h$$*$$$w$$,1x$$*$$$") << QList<QList<QByteArray>>{{"h"}, {"w"}} << QList<qint32>{-1, -1};
        QTest::newRow("a short row is filled up; text after the last row ignored")
            << QByteArray("a$$*b$$*$$$c$$*$$$d$$*") << QList<QList<QByteArray>>{{"a", "b"}, {"c", ""}}
            << QList<qint32>{-1, -1};
    }
    void rowsCellsAndColumns()
    {
        QFETCH(QByteArray, body);
        QFETCH(QList<QList<QByteArray>>, rows);
        QFETCH(QList<qint32>, occurrence);
        const UsageGrid g = parseUsageGrid(body);
        QCOMPARE(g.rows, rows);
        QCOMPARE(g.occurrence, occurrence);
        QCOMPARE(g.columns, int(rows.first().size()));
        QVERIFY(g.hasHeading());
        QVERIFY(!g.hasHeadword);
    }

    void headwordReference_endsItsCellSelectsItAndAsksForTheEntry()
    {
        const UsageGrid g = parseUsageGrid("N$$*F$$*$$$1$$,1$$+42+x$$*$$$2$$,2$$*y$$*$$$");
        QCOMPARE(g.rows[1], QList<QByteArray>({"1", "x"}));
        QCOMPARE(g.headword, 42);
        QCOMPARE(g.selectedRow, 1);
        QCOMPARE(g.selectedColumn, 0);
        tCDictPos cur(1);
        const UsageOutcome out = applyUsageGrid(g, false, &cur);
        QVERIFY(out.entryEnabled);
        QVERIFY(out.requestEntry);
        QCOMPARE(cur.text(), QByteArray("$(1,0,0,0,A42)$"));
    }

    void headwordMinusOne_disablesTheEntryBoxAndAsksNothing()
    {
        const UsageGrid g = parseUsageGrid("N$$*$$$1$$,1$$+-1+$$$");
        QCOMPARE(g.headword, -1);
        tCDictPos cur(0);
        cur.WordNo = 5;
        const UsageOutcome out = applyUsageGrid(g, true, &cur);
        QVERIFY(!out.entryEnabled);
        QVERIFY(!out.requestEntry);
        QCOMPARE(cur.WordNo, 5);
        // "$$$+" is a row end followed by "+", not a reference.
        QVERIFY(!parseUsageGrid("a$$*$$$+b$$*$$$").hasHeadword);
    }

    void clicks_dataRowsOnly_notWhileContextTicked()
    {
        const UsageGrid g = parseUsageGrid("N$$*$$$7$$,7$$*$$$9$$,9$$*$$$");
        GridClick c = gridClick(g, 2, false);
        QVERIFY(c.act);
        QCOMPARE(c.firstLine, 7);
        QCOMPARE(c.curLine, 9);
        QCOMPARE(c.line, 1);
        QVERIFY(!gridClick(g, 2, true).act);
        QVERIFY(!gridClick(g, 0, false).act);
        QVERIFY(!gridClick(g, 3, false).act);
    }
};

QTEST_GUILESS_MAIN(TstUsageGrid)
#include "tst_usage_grid.moc"
