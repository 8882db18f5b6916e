// Dictionary and concordance position records and the framed records at the
// front of a reply body.
#include "model/ConcPos.h"
#include "model/DictPos.h"
#include "model/OptionList.h"
#include "wire/ReplyRecords.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

template <size_t N>
QByteArray B(const char (&s)[N])
{
    return QByteArray(s, qsizetype(N - 1));
}

QByteArray newConcText()
{
    QByteArray t = B("$(N0,0\0,0,,0,0++0,,0)$");
    for (int i = 1; i < 6; ++i)
        t += B(",$(N0,0\0,0,,0)$");
    t += ';';
    return t;
}

} // namespace

class TestModelRecords : public QObject {
    Q_OBJECT
private slots:
    // ---- tCDictPos ----
    void dictPos_newPosition_writesCanonicalText()
    {
        QCOMPARE(tCDictPos(3).text(), QByteArray("$(3,0,1,1,R-1)$"));
        QCOMPARE(tCDictPos(3).framed(), B("\x02\x0f$(3,0,1,1,R-1)$"));
    }

    void dictPos_readRelativeForm_roundTrips()
    {
        tCDictPos p(-1);
        p.readText("$(3,0,1,1,R-1)$");
        QCOMPARE(p.DictNo, 3);
        QCOMPARE(p.Reserved, 0);
        QCOMPARE(p.LetterNo, 1);
        QCOMPARE(p.PairNo, 1);
        QCOMPARE(p.WordMode, 'R');
        QCOMPARE(p.WordNo, -1);
        QCOMPARE(p.text(), QByteArray("$(3,0,1,1,R-1)$"));
    }

    void dictPos_readAbsoluteForm_givesModeAAndHeadword()
    {
        tCDictPos p;
        p.readText("$(3,0,5,2,A17)$");
        QCOMPARE(p.WordMode, 'A');
        QCOMPARE(p.WordNo, 17);
        QCOMPARE(p.LetterNo, 5);
        QCOMPARE(p.PairNo, 2);
    }

    void dictPos_threeNumbers_leaveLetterAtMinusTwoAndRestUnchanged()
    {
        tCDictPos p(1);
        p.PairNo = 7;
        p.WordMode = 'A';
        p.WordNo = 9;
        p.readText("$(4,6,8)$");
        QCOMPARE(p.DictNo, 4);
        QCOMPARE(p.Reserved, 6);
        QCOMPARE(p.LetterNo, -2);
        QCOMPARE(p.PairNo, 7);
        QCOMPARE(p.WordMode, 'A');
        QCOMPARE(p.WordNo, 9);
    }

    void dictPos_dictionaryMinusTwo_stopsAfterDictNo()
    {
        tCDictPos p(1);
        p.Reserved = 11;
        p.PairNo = 5;
        p.readText("$(-2,3,4,5,A6)$");
        QCOMPARE(p.DictNo, -2);
        QCOMPARE(p.Reserved, 11);
        QCOMPARE(p.LetterNo, -2);
        QCOMPARE(p.PairNo, 5);
        QCOMPARE(p.WordMode, 'R');
    }

    void dictPos_reservedMinusTwo_stopsBeforeLetter()
    {
        tCDictPos p(1);
        p.readText("$(2,-2,4,5,A6)$");
        QCOMPARE(p.DictNo, 2);
        QCOMPARE(p.Reserved, -2);
        QCOMPARE(p.LetterNo, -2);
        QCOMPARE(p.PairNo, 1);
    }

    void dictPos_textOutsideMarkers_isIgnored()
    {
        tCDictPos p;
        p.readText("junk,9,9$(1,0,2,3,R4)$9,9,tail)$");
        QCOMPARE(p.text(), QByteArray("$(1,0,2,3,R4)$"));
    }

    void dictPos_badNumber_fallsBackAndEndsAtMinusTwo()
    {
        tCDictPos p(5);
        p.PairNo = 8;
        p.readText("$(x,0,1,1,R-1)$");
        // The text is not advanced past "x": every field reads "x" again.
        QCOMPARE(p.DictNo, 0);
        QCOMPARE(p.Reserved, 0);
        QCOMPARE(p.LetterNo, -2);
        QCOMPARE(p.PairNo, 8);
        QCOMPARE(p.WordNo, -1);
    }

    void dictPos_badLetter_readsMinusOneThenFails()
    {
        tCDictPos p(5);
        p.readText("$(1,0,q,2,R3)$");
        // LetterNo "q" -> -1, then PairNo reads "q" again and fails.
        QCOMPARE(p.DictNo, 1);
        QCOMPARE(p.LetterNo, -2);
        QCOMPARE(p.PairNo, 1);
    }

    void dictPos_badHeadword_keepsPairAndMode()
    {
        tCDictPos p(5);
        p.WordNo = 42;
        p.readText("$(1,0,3,4,Azz)$");
        QCOMPARE(p.PairNo, 4);
        QCOMPARE(p.WordMode, 'A');
        QCOMPARE(p.LetterNo, -2);
        QCOMPARE(p.WordNo, 42);
    }

    void dictPos_numbersFollowStrictSyntax_data()
    {
        QTest::addColumn<QByteArray>("number");
        QTest::addColumn<int>("dictNo");
        QTest::newRow("plus") << QByteArray("+7") << 7;
        QTest::newRow("minus") << QByteArray("-1") << -1;
        QTest::newRow("leading blank") << QByteArray(" 7") << 0;
        QTest::newRow("trailing blank") << QByteArray("7 ") << 0;
        QTest::newRow("hex") << QByteArray("$1F") << 0;
        QTest::newRow("lone sign") << QByteArray("-") << 0;
        QTest::newRow("overflow") << QByteArray("2147483648") << 0;
        QTest::newRow("max") << QByteArray("2147483647") << 2147483647;
    }
    void dictPos_numbersFollowStrictSyntax()
    {
        QFETCH(QByteArray, number);
        QFETCH(int, dictNo);
        tCDictPos p(9);
        p.readText("$(" + number + ",0,1,1,R1)$");
        QCOMPARE(p.DictNo, dictNo);
    }

    void dictPos_missingOrMisplacedMarkers_changeOnlyLetter()
    {
        const QList<QByteArray> texts = {"", "3,0,1,1,R-1", ")$$(3,0,1,1,R1)$", "$(3,0,1,1,R1",
                                         "$()$", "$(,0,1,1,R1)$", "$(5,)$"};
        for (const QByteArray &t : texts) {
            tCDictPos p(7);
            p.readText(t);
            QCOMPARE(p.DictNo, 7);
            QCOMPARE(p.LetterNo, -2);
            QCOMPARE(p.PairNo, 1);
        }
    }

    void dictPos_framedNotStartingWithTwo_isLeftUntouched()
    {
        QByteArray text = B("\x03\x0f$(3,0,1,1,R-1)$rest");
        const QByteArray before = text;
        tCDictPos p(4);
        QVERIFY(!p.readFramed(text));
        QCOMPARE(text, before);
        QCOMPARE(p, tCDictPos(4));
    }

    void dictPos_framed_consumesRecordAndKeepsTail()
    {
        tCDictPos src(2);
        src.LetterNo = 12;
        src.WordMode = 'A';
        src.WordNo = 340;
        QByteArray text = src.framed() + "tail";
        tCDictPos p;
        QVERIFY(p.readFramed(text));
        QCOMPARE(p, src);
        QCOMPARE(text, QByteArray("tail"));
    }

    void dictPos_framedTooShort_isNotConsumed()
    {
        QByteArray text = B("\x02\x05");
        tCDictPos p;
        QVERIFY(!p.readFramed(text));
        QCOMPARE(text.size(), 2);
    }

    void dictPos_framedLengthPastEnd_consumesWhatIsThere()
    {
        QByteArray text = B("\x02\x40$(1,0,2,3,R4)$");
        tCDictPos p;
        QVERIFY(p.readFramed(text));
        QVERIFY(text.isEmpty());
        QCOMPARE(p.text(), QByteArray("$(1,0,2,3,R4)$"));
    }

    // ---- tCConcPos ----
    void concPos_newRecord_writesDefaultGroups()
    {
        tCConcPos c;
        QCOMPARE(c.text(), newConcText());
        const QByteArray framed = c.framed();
        QCOMPARE(int(framed[0]), 3);
        QCOMPARE(int(static_cast<unsigned char>(framed[1])), newConcText().size());
    }

    void concPos_newRecordReadBack_equalExceptMove()
    {
        tCConcPos c;
        c.readText(newConcText());
        tCConcPos expected;
        expected.Move.fill(' ');
        QCOMPARE(c, expected);
    }

    void concPos_fullRecord_roundTrips()
    {
        tCConcPos c;
        for (int l = 0; l < 6; ++l) {
            c.CharNo[l] = 10 + l;
            c.Mark[l] = "NYFNYF"[l];
            c.ValueNo[l] = 100 * l;
            c.Distance[l] = -l;
            c.Request[l] = "r" + QByteArray::number(l);
            c.Found[l] = 7 * l;
            c.Move[l] = "+-BEC "[l];
        }
        c.Level = 3;
        c.FirstLine = -1;
        c.CurLine = 17;
        c.CharFlags = "abcXYZ";
        tCConcPos back;
        back.readText(c.text());
        QCOMPARE(back, c);
    }

    void concPos_commaInRequest_travelsAsFullStop()
    {
        tCConcPos c;
        c.Request[2] = "a,b,c";
        c.Request[0] = "1,4";
        const QByteArray t = c.text();
        QVERIFY(t.contains(",a.b.c,"));
        QCOMPARE(c.Request[2], QByteArray("a,b,c"));   // the record keeps its text
        tCConcPos back;
        back.readText(t);
        QCOMPARE(back.Request[2], QByteArray("a.b.c"));
        QCOMPARE(back.Request[0], QByteArray("1.4"));
    }

    void concPos_threeGroups_resetThreeLevelsKeepOthers()
    {
        tCConcPos src;
        for (int l = 0; l < 6; ++l)
            src.CharNo[l] = 20 + l;
        const QByteArray full = src.text();
        qsizetype cut = -1;
        for (int i = 0; i < 3; ++i)
            cut = full.indexOf(")$", cut + 1);
        const QByteArray three = full.left(cut + 2) + ';';

        tCConcPos c;
        for (int l = 0; l < 6; ++l) {
            c.CharNo[l] = 7;
            c.Request[l] = "keep";
            c.Move[l] = '+';
        }
        c.readText(three);
        for (int l = 0; l < 3; ++l) {
            QCOMPARE(c.CharNo[l], 20 + l);
            QCOMPARE(c.Request[l], QByteArray());
        }
        for (int l = 3; l < 6; ++l) {
            QCOMPARE(c.CharNo[l], 7);
            QCOMPARE(c.Request[l], QByteArray("keep"));
            QCOMPARE(c.Move[l], ' ');
        }
    }

    void concPos_moveCharacter_keptOnlyFromSet_data()
    {
        QTest::addColumn<char>("written");
        QTest::addColumn<char>("read");
        for (char m : {'-', '+', 'B', 'E', 'C'})
            QTest::newRow(QByteArray(1, m).constData()) << m << m;
        QTest::newRow("x") << 'x' << ' ';
        QTest::newRow("b lower") << 'b' << ' ';
        QTest::newRow("code 0") << '\0' << ' ';
        QTest::newRow("blank") << ' ' << ' ';
    }
    void concPos_moveCharacter_keptOnlyFromSet()
    {
        QFETCH(char, written);
        QFETCH(char, read);
        QByteArray t = "$(N4,5";
        t += written;
        t += ",6,,0)$;";
        tCConcPos c;
        c.readText(t);
        QCOMPARE(c.Move[0], read);
        QCOMPARE(c.ValueNo[0], 5);
        QCOMPARE(c.Found[0], 6);
    }

    void concPos_withoutLevelZeroExtras_leavesLevelMinusOne()
    {
        tCConcPos c;
        c.Level = 4;
        c.FirstLine = 30;
        c.readText("$(N1,2 ,3,abc,4)$;");
        QCOMPARE(c.Level, -1);
        QCOMPARE(c.FirstLine, 30);
        QCOMPARE(c.CharNo[0], 1);
        QCOMPARE(c.Request[0], QByteArray("abc"));
        QCOMPARE(c.Distance[0], 4);
    }

    void concPos_badNumber_endsGroupKeepingResetValues()
    {
        tCConcPos c;
        c.Found[0] = 99;
        c.Request[0] = "old";
        c.Distance[0] = 5;
        c.readText("$(Y5,abc ,3,req,4)$;");
        QCOMPARE(c.Mark[0], 'Y');
        QCOMPARE(c.CharNo[0], 5);
        QCOMPARE(c.ValueNo[0], -1);
        QCOMPARE(c.Found[0], 99);
        QCOMPARE(c.Request[0], QByteArray());
        QCOMPARE(c.Distance[0], 0);
    }

    void concPos_levelWithLeadingPlus_isAccepted()
    {
        tCConcPos c;
        c.readText("$(N1,2 ,3,,4,-1+++2,FL,8)$;");
        QCOMPARE(c.FirstLine, -1);
        QCOMPARE(c.Level, 2);
        QCOMPARE(c.CharFlags, QByteArray("FL"));
        QCOMPARE(c.CurLine, 8);
    }

    void concPos_negativeValue_writtenAsMinusOne()
    {
        tCConcPos c;
        c.ValueNo[1] = -7;
        QVERIFY(c.text().contains(",$(N0,-1"));
    }

    void concPos_substitutionOnWrite_changesRecordToo()
    {
        tCConcPos c;
        c.SubstNo = 9;
        c.SubstBase = 4;
        c.CharNo[2] = 3;
        c.CharNo[3] = 2;
        const QByteArray t = c.text();
        QCOMPARE(c.CharNo[2], 9);
        QCOMPARE(c.CharNo[3], 2);
        tCConcPos back;
        back.readText(t);
        QCOMPARE(back.CharNo[2], 9);
    }

    void concPos_substitutionOnWrite_needsLevelAndSubstNo()
    {
        tCConcPos c;
        c.SubstNo = -1;
        c.SubstBase = 4;
        c.CharNo[1] = 3;
        c.text();
        QCOMPARE(c.CharNo[1], 3);
        c.SubstNo = 9;
        c.Level = -1;
        c.text();
        QCOMPARE(c.CharNo[1], 3);
    }

    void concPos_replySubstitution_coversLevelsOneToLevel()
    {
        tCConcPos c;
        c.SubstNo = 9;
        c.SubstBase = 4;
        c.Level = 2;
        c.CharNo.fill(9);
        c.applyReplySubstitution();
        QCOMPARE(c.CharNo[0], 9);
        QCOMPARE(c.CharNo[1], 3);
        QCOMPARE(c.CharNo[2], 3);
        QCOMPARE(c.CharNo[3], 9);

        tCConcPos huge;   // a level beyond 5 from a reply must not run off the array
        huge.SubstNo = 1;
        huge.SubstBase = 5;
        huge.Level = 1000000;
        huge.CharNo.fill(1);
        huge.applyReplySubstitution();
        QCOMPARE(huge.CharNo[5], 4);

        tCConcPos off;
        off.SubstNo = 9;
        off.SubstBase = 0;
        off.Level = 5;
        off.CharNo.fill(9);
        off.applyReplySubstitution();
        QCOMPARE(off.CharNo[1], 9);
    }

    void concPos_longRequests_shortenRefinementsLongestFirst()
    {
        tCConcPos c;
        c.Request[0] = "1.4.12";
        c.CharFlags = "ABCDEFGHIJ";
        c.Request[1] = QByteArray(150, 'a');
        c.Request[2] = QByteArray(40, 'b');
        c.Request[3] = "short";
        const tCConcPos before = c;
        const QByteArray t = c.text();
        QCOMPARE(t.size(), 255);
        QCOMPARE(c, before);   // only the written text is cut
        tCConcPos back;
        back.readText(t);
        QCOMPARE(back.Request[0], QByteArray("1.4.12"));
        QCOMPARE(back.CharFlags, QByteArray("ABCDEFGHIJ"));
        QCOMPARE(back.Request[3], QByteArray("short"));
        QVERIFY(c.Request[1].startsWith(back.Request[1]));
        QVERIFY(c.Request[2].startsWith(back.Request[2]));
        QVERIFY(qAbs(back.Request[1].size() - back.Request[2].size()) <= 1
                || back.Request[2].size() == 40);
        const QByteArray f = c.framed();
        QCOMPARE(int(static_cast<unsigned char>(f[1])), f.size() - 2);
    }

    void concPos_hugeTexts_cutCharFlagsThenLevelZeroLast()
    {
        tCConcPos c;
        for (int l = 0; l < 6; ++l)
            c.Request[l] = QByteArray(1000, char('a' + l));
        c.CharFlags = QByteArray(1000, 'F');
        tCConcPos back;
        back.readText(c.text());
        for (int l = 1; l < 6; ++l)
            QCOMPARE(back.Request[l], QByteArray());
        QCOMPARE(back.CharFlags, QByteArray());
        QVERIFY(!back.Request[0].isEmpty());
        QVERIFY(c.Request[0].startsWith(back.Request[0]));
        QCOMPARE(c.text().size(), 255);

        tCConcPos d;
        d.Request[1] = QByteArray(1000, 'x');
        d.CharFlags = QByteArray(100, 'F');
        tCConcPos back2;
        back2.readText(d.text());
        QCOMPARE(back2.CharFlags, d.CharFlags);   // flags stay while requests can give room
    }

    void concPos_framedLengthByte_alwaysMatchesTheBytesAfterIt()
    {
        QRandomGenerator rng(12345);
        for (int round = 0; round < 300; ++round) {
            tCConcPos c;
            for (int l = 0; l < 6; ++l) {
                c.Request[l] = QByteArray(rng.bounded(400), 'r');
                c.CharNo[l] = qint32(rng.generate());
                c.ValueNo[l] = qint32(rng.generate());
                c.Found[l] = qint32(rng.generate());
                c.Distance[l] = qint32(rng.generate());
            }
            c.CharFlags = QByteArray(rng.bounded(300), 'f');
            c.FirstLine = qint32(rng.generate());
            c.CurLine = qint32(rng.generate());
            c.Level = qint32(rng.generate());
            const QByteArray f = c.framed();
            if (f.isEmpty())
                continue;   // numbers too long for any framing: no record at all
            QCOMPARE(int(f[0]), 3);
            QCOMPARE(int(static_cast<unsigned char>(f[1])), f.size() - 2);
            QVERIFY(f.size() - 2 <= 255);
        }
    }

    void concPos_absurdNumbers_giveNoFrameRatherThanALie()
    {
        tCConcPos c;
        c.CharNo.fill(INT32_MIN);
        c.ValueNo.fill(INT32_MAX);
        c.Found.fill(INT32_MIN);
        c.Distance.fill(INT32_MIN);
        c.FirstLine = INT32_MIN;
        c.CurLine = INT32_MIN;
        c.Level = INT32_MIN;
        QVERIFY(c.text().size() > 255);
        QVERIFY(c.framed().isEmpty());
    }

    void concPos_framed_consumesAndLeavesOthersAlone()
    {
        tCConcPos src;
        src.CharNo[0] = 12;
        QByteArray text = src.framed() + "X";
        tCConcPos c;
        QVERIFY(c.readFramed(text));
        QCOMPARE(c.CharNo[0], 12);
        QCOMPARE(text, QByteArray("X"));

        QByteArray other = B("\x02\x03" "abc");
        QVERIFY(!c.readFramed(other));
        QCOMPARE(other, B("\x02\x03" "abc"));
    }

    // ---- reply records ----
    void replyRecords_allKinds_consumedBeforeBody()
    {
        tCDictPos d(3);
        d.WordNo = 8;
        tCConcPos cSrc;
        cSrc.CharNo[0] = 44;
        OptionList o;
        o.set("SWD", "YES");
        QByteArray body = B("\0") + d.framed() + cSrc.framed() + B("\0\0") + o.framed()
            + B("\x01rest of body");

        tCDictPos rd;
        tCConcPos rc;
        OptionList ro = OptionList::initial();
        const ReplyRecordsSeen seen = parseReplyRecords(body, rc, rd, ro);
        QVERIFY(seen.dictPos && seen.concPos && seen.options);
        QCOMPARE(body, B("\x01rest of body"));
        QCOMPARE(rd, d);
        QCOMPARE(rc.CharNo[0], 44);
        QCOMPARE(ro.value("swd"), QByteArray("YES"));
        QVERIFY(!ro.has("1"));
    }

    void replyRecords_twoOptionLists_secondWins()
    {
        OptionList a;
        a.set("A", "1");
        OptionList b;
        b.set("B", "2");
        QByteArray body = a.framed() + b.framed() + "body";
        tCDictPos d;
        tCConcPos c;
        OptionList o;
        parseReplyRecords(body, c, d, o);
        QCOMPARE(o, b);
        QCOMPARE(body, QByteArray("body"));
    }

    void replyRecords_truncatedOptionList_emptiesListAndEndsSection()
    {
        const QList<QByteArray> bodies = {
            B("\x05/99/\x05" "1=2"),          // fewer bytes than announced
            B("\x05/"),                       // nothing after the slash
            B("\x05/3/x1=2"),                 // second slash not followed by byte 5
            B("\x05/3"),                      // no second slash
            B("\x05/x/\x05" "1=2"),           // length not a number
            B("\x05/-1/\x05" "1=2"),          // negative length
            B("\x05/") + QByteArray(1600, '1') + B("/\x05" "1=2"),   // slash too far
        };
        for (const QByteArray &b : bodies) {
            QByteArray body = b + B("\x02\x0f$(3,0,1,1,R-1)$");
            const QByteArray before = body;
            tCDictPos d;
            tCConcPos c;
            OptionList o = OptionList::initial();
            const ReplyRecordsSeen seen = parseReplyRecords(body, c, d, o);
            QVERIFY2(o.isEmpty(), b.toHex().constData());
            QVERIFY(seen.options);
            QVERIFY(!seen.dictPos);
            QCOMPARE(body, before);
        }
    }

    void replyRecords_byteFiveWithoutSlash_endsSectionKeepingList()
    {
        QByteArray body = B("\x05x1=2");
        tCDictPos d;
        tCConcPos c;
        OptionList o = OptionList::initial();
        parseReplyRecords(body, c, d, o);
        QCOMPARE(o, OptionList::initial());
        QCOMPARE(body, B("\x05x1=2"));
    }

    void replyRecords_positionRecordRunningPastEnd_endsSectionUntouched()
    {
        for (const QByteArray &b : {B("\x02\x40$(1,0,2,3,R4)$"), B("\x03\xff$(N1"),
                                    B("\x02\x01"), B("\x03")}) {
            QByteArray body = b;
            tCDictPos d(6);
            tCConcPos c;
            OptionList o = OptionList::initial();
            const ReplyRecordsSeen seen = parseReplyRecords(body, c, d, o);
            QCOMPARE(body, b);
            QCOMPARE(d, tCDictPos(6));
            QVERIFY(!seen.dictPos && !seen.concPos);
        }
    }

    void replyRecords_emptyPositionRecord_isConsumed()
    {
        QByteArray body = B("\x02\x00" "\x01x");
        tCDictPos d(6);
        tCConcPos c;
        OptionList o;
        parseReplyRecords(body, c, d, o);
        QCOMPARE(body, B("\x01x"));
        QCOMPARE(d.LetterNo, -2);
        QCOMPARE(d.DictNo, 6);
    }

    void replyRecords_repeatedPositions_lastWins()
    {
        QByteArray body = tCDictPos(1).framed() + tCDictPos(2).framed() + "Z";
        tCDictPos d;
        tCConcPos c;
        OptionList o;
        parseReplyRecords(body, c, d, o);
        QCOMPARE(d.DictNo, 2);
        QCOMPARE(body, QByteArray("Z"));
    }

    void replyRecords_substitutionAppliedAfterRecords()
    {
        tCConcPos src;
        src.Level = 1;
        src.CharNo[1] = 9;
        QByteArray body = src.framed() + "Z";
        tCDictPos d;
        tCConcPos c;
        c.SubstNo = 9;
        c.SubstBase = 4;
        OptionList o;
        parseReplyRecords(body, c, d, o);
        QCOMPARE(c.CharNo[1], 3);
    }

    void replyRecords_randomBodies_terminateWithoutGrowth()
    {
        QRandomGenerator rng(777);
        for (int round = 0; round < 2000; ++round) {
            QByteArray body(rng.bounded(64), '\0');
            for (auto &ch : body) {
                const quint32 r = rng.bounded(10);
                ch = r < 5 ? "\x00\x02\x03\x05/"[r] : char(rng.bounded(256));
            }
            const qsizetype before = body.size();
            tCDictPos d;
            tCConcPos c;
            OptionList o;
            parseReplyRecords(body, c, d, o);
            QVERIFY(body.size() <= before);
        }
    }
};

QTEST_GUILESS_MAIN(TestModelRecords)
#include "tst_model_records.moc"
