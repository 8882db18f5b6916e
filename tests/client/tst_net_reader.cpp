// Finding a reply's tag and applying the framed records at the front of its body.
#include "wire/ReplyReader.h"

#include <QtTest/QtTest>

using namespace replyreader;

class TestNetReader : public QObject {
    Q_OBJECT

private slots:
    void listOrderDecides_notPositionInText()
    {
        // "$NM=" stands after "$DC_S=", yet NM comes first in the list.
        const TagMatch m = findTag("$DC_S=entry $NM=x", ReplyTagList);
        QVERIFY(m.found);
        QCOMPARE(m.tag, QByteArray("NM"));
        QCOMPARE(m.body, QByteArray("x"));
        QCOMPARE(m.mark, ' ');   // the byte before "$NM" is a blank
        // The first occurrence of the winning tag gives the body, past "$" runs.
        const TagMatch twice = findTag("$$CT_N=a$DC_C=b$$CT_N=c", ReplyTagList);
        QCOMPARE(twice.tag, QByteArray("DC_C"));
        QCOMPARE(twice.body, QByteArray("b$$CT_N=c"));
        QCOMPARE(findTag("x$$$CT_N=one $CT_N=two", ReplyTagList).body, QByteArray("one $CT_N=two"));
    }

    void similarTags_needTheirOwnEqualsSign()
    {
        TagMatch m = findTag("$NMD=again", ReplyTagList);
        QCOMPARE(m.tag, QByteArray("NMD"));
        QCOMPARE(m.body, QByteArray("again"));
        m = findTag("$CN_Cx=groups", ReplyTagList);
        QCOMPARE(m.tag, QByteArray("CN_Cx"));
        m = findTag("$DC_CC=pairs", ReplyTagList);
        QCOMPARE(m.tag, QByteArray("DC_CC"));
    }

    void markCharacter_byteBeforeDollarOrBlank()
    {
        TagMatch m = findTag("U$DC_C=abc", ReplyTagList);
        QVERIFY(m.found);
        QCOMPARE(m.mark, 'U');
        QCOMPARE(m.body, QByteArray("abc"));
        m = findTag("$DC_C=abc", ReplyTagList);
        QCOMPARE(m.mark, ' ');
    }

    void unknownTagOrEmptyText_notFoundAndNothingChanged()
    {
        TagMatch m = findTag("$XYZ=1", ReplyTagList);
        QVERIFY(!m.found);
        QVERIFY(m.tag.isEmpty());
        QVERIFY(m.body.isEmpty());
        QVERIFY(!findTag(QByteArray(), ReplyTagList).found);
        QVERIFY(!findTag("$NM=", QByteArray()).found);
        // A tag without its "=" does not count.
        QVERIFY(!findTag("$NM", ReplyTagList).found);

        tCConcPos conc;
        tCDictPos dict;
        OptionList options = OptionList::initial();
        const ReplyRead r = readReply("no tag here", conc, dict, options);
        QVERIFY(!r.found);
        QVERIFY(conc.Request[0].isEmpty());
        QCOMPARE(options, OptionList::initial());
    }

    void tagList_endsAtSemicolonOrComma()
    {
        QVERIFY(findTag("$CL_B=x", "NM,CL_B;").found);
        QVERIFY(findTag("$CL_B=x", "NM,CL_B,").found);
        QVERIFY(!findTag("$ZZ=x", "NM;ZZ,").found);   // after ";" nothing is read
    }

    void twoOptionRecords_secondWins()
    {
        OptionList first;
        first.set("SortSeq", "1");
        OptionList second;
        second.set("SortSeq", "2");
        second.set("SWD", "YES");
        const QByteArray text = "$CN_W=" + first.framed() + second.framed() + "body";

        tCConcPos conc;
        tCDictPos dict;
        OptionList options = OptionList::initial();
        const ReplyRead r = readReply(text, conc, dict, options);
        QVERIFY(r.found);
        QCOMPARE(r.tag, QByteArray("CN_W"));
        QCOMPARE(r.body, QByteArray("body"));
        QVERIFY(r.recordsSeen.options);
        QVERIFY(!r.recordsSeen.dictPos);
        QCOMPARE(options.value("SortSeq"), QByteArray("2"));
        QCOMPARE(options.value("SWD"), QByteArray("YES"));
        QVERIFY(!options.has("1"));
    }

    void recordsAndVersion_appliedToState()
    {
        tCDictPos sent(3);
        sent.LetterNo = 7;
        sent.WordNo = 12;
        const QByteArray text = "U$DC_S=" + QByteArray(1, '\0') + sent.framed() + "entry text";

        tCConcPos conc;
        tCDictPos dict;
        OptionList options = OptionList::initial();
        const ReplyRead r = readReply(text, conc, dict, options);
        QVERIFY(r.found);
        QCOMPARE(r.mark, 'U');
        QCOMPARE(r.body, QByteArray("entry text"));
        QVERIFY(r.recordsSeen.dictPos);
        QCOMPARE(dict, sent);
        QCOMPARE(options, OptionList::initial());
        QCOMPARE(conc.Request[0], QByteArray("1.4.12"));
    }

    void truncatedRecord_doesNotLoopAndKeepsRest()
    {
        tCConcPos conc;
        tCDictPos dict;
        OptionList options;
        // A dictionary record whose length byte is missing its bytes.
        const QByteArray text = QByteArray("$DC_W=") + char(2) + char(200) + "$(1";
        const ReplyRead r = readReply(text, conc, dict, options);
        QVERIFY(r.found);
        QCOMPARE(r.tag, QByteArray("DC_W"));
    }
};

QTEST_APPLESS_MAIN(TestNetReader)
#include "tst_net_reader.moc"
