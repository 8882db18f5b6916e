// Comma lists and the session's option list with its framed record.
#include "model/CommaList.h"
#include "model/Cp1251.h"
#include "model/OptionList.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

template <size_t N>
QByteArray B(const char (&s)[N])
{
    return QByteArray(s, qsizetype(N - 1));
}

using List = QList<QByteArray>;

} // namespace

class TestModelLists : public QObject {
    Q_OBJECT
private slots:
    void join_quotesOnlyItemsThatNeedIt()
    {
        const List items = {"a", "b c", "d\"e", "f,g", "", B("t\tab"), cp1251::ru("слово")};
        const QByteArray text = commalist::join(items);
        QCOMPARE(text, QByteArray("a,\"b c\",\"d\"\"e\",\"f,g\",,\"t\tab\",") + cp1251::ru("слово"));
        QCOMPARE(commalist::split(text), items);
    }

    void join_singleEmptyItem_isTwoQuotes()
    {
        QCOMPARE(commalist::join(List{QByteArray()}), QByteArray("\"\""));
        QCOMPARE(commalist::split("\"\""), List{QByteArray()});
        QCOMPARE(commalist::join(List{}), QByteArray());
        QCOMPARE(commalist::split(QByteArray()), List{});
    }

    void join_emptyItemsAtEitherEnd_surviveRoundTrip()
    {
        for (const List &items : {List{"", "a"}, List{"a", ""}, List{"", ""}, List{"", "", "x", ""}}) {
            QCOMPARE(commalist::split(commalist::join(items)), items);
        }
    }

    void split_readerRules_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<List>("items");
        QTest::newRow("blanks around") << QByteArray("  a ,\tb  ") << List{"a", "b"};
        QTest::newRow("comma last adds empty") << QByteArray("a,") << List{"a", ""};
        QTest::newRow("comma then blank adds nothing") << QByteArray("a, ") << List{"a"};
        QTest::newRow("lone comma") << QByteArray(",") << List{"", ""};
        QTest::newRow("blank splits items") << QByteArray("a b") << List{"a", "b"};
        QTest::newRow("doubled quote") << QByteArray("\"ab\"\"c\"") << List{"ab\"c"};
        QTest::newRow("unterminated quote takes rest") << QByteArray("\"abc, d") << List{"abc, d"};
        QTest::newRow("junk after quote is next item") << QByteArray("\"a\"b,c") << List{"a", "b", "c"};
        QTest::newRow("nul ends text") << B("a,b\0,c") << List{"a", "b"};
        QTest::newRow("nul inside quote") << B("\"a\0b\",c") << List{"a"};
        QTest::newRow("control bytes skipped") << B("\x01\x02x\x1f,\x7fy") << List{"x", "\x7fy"};
        QTest::newRow("only blanks") << QByteArray(" \t\r\n") << List{};
        QTest::newRow("quote at end") << QByteArray("a,\"") << List{"a", ""};
        QTest::newRow("high bytes are text") << B("\xe0\xa0,\xff") << List{B("\xe0\xa0"), B("\xff")};
        QTest::newRow("equals kept") << QByteArray("a=b=c,d=") << List{"a=b=c", "d="};
    }
    void split_readerRules()
    {
        QFETCH(QByteArray, text);
        QFETCH(List, items);
        QCOMPARE(commalist::split(text), items);
    }

    void splitJoin_randomHostileText_isStable()
    {
        QRandomGenerator rng(99);
        const char alphabet[] = {'a', '"', ',', ' ', '\t', '\0', '\x01', '=', '\xe9', '\xa0'};
        for (int round = 0; round < 3000; ++round) {
            QByteArray text(rng.bounded(40), '\0');
            for (auto &c : text)
                c = alphabet[rng.bounded(int(sizeof alphabet))];
            const List once = commalist::split(text);
            QCOMPARE(commalist::split(commalist::join(once)), once);
        }
    }

    // ---- OptionList ----
    void options_initial_isOneToTwoAndFramed()
    {
        const OptionList o = OptionList::initial();
        QCOMPARE(o.entries(), List{"1=2"});
        QCOMPARE(o.value("1"), QByteArray("2"));
        QCOMPARE(o.framed(), B("\x05/3/\x05" "1=2"));
        QCOMPARE(OptionList().framed(), QByteArray());
    }

    void options_namesMatchIgnoringLatinCase()
    {
        OptionList o;
        o.set("ListPos", "12");
        QVERIFY(o.has("LISTPOS"));
        QCOMPARE(o.value("listpos"), QByteArray("12"));
        o.set("LISTPOS", "13");
        QCOMPARE(o.size(), 1);
        QCOMPARE(o.entries(), List{"LISTPOS=13"});
        QVERIFY(!o.has("ListPo"));
        QVERIFY(!o.has("ListPosX"));
    }

    void options_emptyValueRemovesEntry()
    {
        OptionList o = OptionList::initial();
        o.set("TabType", "3");
        o.set("LBCWIndex", "7");
        o.set("tabtype", QByteArray());
        QCOMPARE(o.entries(), (List{"1=2", "LBCWIndex=7"}));
        o.set("Absent", QByteArray());
        QCOMPARE(o.size(), 2);
        o.remove("lbcwindex");
        QCOMPARE(o.entries(), List{"1=2"});
    }

    void options_replacingKeepsPosition()
    {
        OptionList o = OptionList::fromCommaText("A=1,B=2,C=3");
        o.set("b", "9");
        QCOMPARE(o.entries(), (List{"A=1", "b=9", "C=3"}));
    }

    void options_valueHoldsEverythingAfterFirstEquals()
    {
        const OptionList o = OptionList::fromCommaText("X=a=b,plain,=v");
        QCOMPARE(o.value("x"), QByteArray("a=b"));
        QVERIFY(!o.has("plain"));   // an entry without "=" has no name
        QCOMPARE(o.value(QByteArray()), QByteArray("v"));
    }

    void options_spacesAndCommasInValue_surviveRecord()
    {
        OptionList o;
        o.set("Name", cp1251::ru("два слова, с \"кавычками\""));
        o.set("K", "V");
        QByteArray body = o.framed() + "after";
        OptionList read;
        QCOMPARE(readOptionRecord(body, read), OptionRecordResult::Consumed);
        QCOMPARE(read, o);
        QCOMPARE(body, QByteArray("after"));
    }

    void optionRecord_zeroLength_givesEmptyList()
    {
        QByteArray body = B("\x05/0/\x05" "rest");
        OptionList o = OptionList::initial();
        QCOMPARE(readOptionRecord(body, o), OptionRecordResult::Consumed);
        QVERIFY(o.isEmpty());
        QCOMPARE(body, QByteArray("rest"));
    }

    void optionRecord_exactFit_isConsumed()
    {
        QByteArray body = B("\x05/3/\x05" "1=2");
        OptionList o;
        QCOMPARE(readOptionRecord(body, o), OptionRecordResult::Consumed);
        QCOMPARE(o, OptionList::initial());
        QVERIFY(body.isEmpty());
    }

    void optionRecord_oneByteShort_isEmptied()
    {
        QByteArray body = B("\x05/4/\x05" "1=2");
        OptionList o = OptionList::initial();
        QCOMPARE(readOptionRecord(body, o), OptionRecordResult::Emptied);
        QVERIFY(o.isEmpty());
        QCOMPARE(body, B("\x05/4/\x05" "1=2"));
    }

    void optionRecord_secondSlashAtLimit()
    {
        // The second "/" may sit at byte 1500 but not beyond.
        QByteArray inside = B("\x05/") + QByteArray(1496, '0') + B("3/\x05" "1=2");
        QCOMPARE(inside.indexOf('/', 2), 1499);
        OptionList o;
        QCOMPARE(readOptionRecord(inside, o), OptionRecordResult::Consumed);
        QCOMPARE(o, OptionList::initial());

        QByteArray beyond = B("\x05/") + QByteArray(1497, '0') + B("3/\x05" "1=2");
        o = OptionList::initial();
        QCOMPARE(readOptionRecord(beyond, o), OptionRecordResult::Emptied);
        QVERIFY(o.isEmpty());
    }

    void optionRecord_notStartingWithFiveSlash_isNotARecord()
    {
        for (const QByteArray &b : {B("\x05"), B("\x05x"), B("/3/\x05" "1=2"), QByteArray()}) {
            QByteArray body = b;
            OptionList o = OptionList::initial();
            QCOMPARE(readOptionRecord(body, o), OptionRecordResult::NotARecord);
            QCOMPARE(o, OptionList::initial());
            QCOMPARE(body, b);
        }
    }

    void optionRecord_hugeLength_isEmptiedNotAllocated()
    {
        QByteArray body = B("\x05/2147483647/\x05" "1=2");
        OptionList o = OptionList::initial();
        QCOMPARE(readOptionRecord(body, o), OptionRecordResult::Emptied);
        QByteArray over = B("\x05/99999999999/\x05" "1=2");
        QCOMPARE(readOptionRecord(over, o), OptionRecordResult::Emptied);
    }
};

QTEST_GUILESS_MAIN(TestModelLists)
#include "tst_model_lists.moc"
