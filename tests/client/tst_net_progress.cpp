// Reading the progress window's text into the bar's maximum and position.
#include "net/Progress.h"

#include <QtTest/QtTest>

class TestNetProgress : public QObject {
    Q_OBJECT

private slots:
    void progressText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("pos");
        QTest::newRow("request start") << QByteArray("0,0,") << 0 << 0;
        QTest::newRow("max and pos") << QByteArray("200,50") << 200 << 50;
        QTest::newRow("pos up to next comma") << QByteArray("200,50,more") << 200 << 50;
        QTest::newRow("after END") << QByteArray("junk,END,10,3") << 10 << 3;
        QTest::newRow("before MES") << QByteArray("10,4,MES=hello,5") << 10 << 4;
        QTest::newRow("END and MES") << QByteArray("x,END,30,7,MES,1,2") << 30 << 7;
        // A ",MES" at the very start is not a message: cutting there would lose the
        // numbers after END.
        QTest::newRow("MES at start is not cut") << QByteArray(",MES,END,30,7") << 30 << 7;
        QTest::newRow("comma first") << QByteArray(",5") << 0 << 0;
        QTest::newRow("no comma") << QByteArray("42") << 0 << 0;
        QTest::newRow("max not a number") << QByteArray("a,5") << 0 << 0;
        QTest::newRow("pos not a number") << QByteArray("5,b") << 0 << 0;
        QTest::newRow("pos empty") << QByteArray("5,") << 0 << 0;
        QTest::newRow("overflow") << QByteArray("99999999999,1") << 0 << 0;
        QTest::newRow("negative") << QByteArray("-1,-2") << -1 << -2;
        QTest::newRow("empty") << QByteArray() << 0 << 0;
    }

    void progressText()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, max);
        QFETCH(int, pos);
        const ProgressValues v = parseProgressText(text);
        QCOMPARE(v.max, max);
        QCOMPARE(v.pos, pos);
    }
};

QTEST_APPLESS_MAIN(TestNetProgress)
#include "tst_net_progress.moc"
