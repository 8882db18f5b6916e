// The request codec both ways: what the client's writer puts on the channel, the
// server's reader takes back field for field (positions, options, tag).
#include "model/Cp1251.h"
#include "wire/RequestReader.h"
#include "wire/RequestWriter.h"

#include <QtTest>

#include <optional>

namespace {

// A concordance record as a client holds it after its first reply (every move ' ').
tCConcPos concRecord()
{
    tCConcPos c;
    c.Move.fill(' ');
    return c;
}

// Every field of a concordance record that travels, one line per level, so that a
// failure names the field.
QByteArray describe(const tCConcPos &c)
{
    QByteArray out;
    for (int l = 0; l < tCConcPos::Levels; ++l) {
        out += "level " + QByteArray::number(l) + ": mark " + QByteArray(1, c.Mark[l]) + " char "
            + QByteArray::number(c.CharNo[l]) + " value " + QByteArray::number(c.ValueNo[l]) + " move "
            + QByteArray::number(int(c.Move[l])) + " found " + QByteArray::number(c.Found[l]) + " request "
            + c.Request[l].toHex() + " distance " + QByteArray::number(c.Distance[l]) + '\n';
    }
    out += "level " + QByteArray::number(c.Level) + " first " + QByteArray::number(c.FirstLine) + " current "
        + QByteArray::number(c.CurLine) + " flags " + c.CharFlags.toHex();
    return out;
}

QByteArray describe(const tCDictPos &d)
{
    return QByteArray::number(d.DictNo) + ',' + QByteArray::number(d.Reserved) + ','
        + QByteArray::number(d.LetterNo) + ',' + QByteArray::number(d.PairNo) + ',' + d.WordMode
        + QByteArray::number(d.WordNo);
}

} // namespace

Q_DECLARE_METATYPE(std::optional<tCConcPos>)
Q_DECLARE_METATYPE(std::optional<tCDictPos>)
Q_DECLARE_METATYPE(OptionList)

class TestWireRequest : public QObject {
    Q_OBJECT
private slots:
    void writtenRequest_readBack_sameRecords_data()
    {
        QTest::addColumn<QByteArray>("tag");
        QTest::addColumn<std::optional<tCConcPos>>("conc");
        QTest::addColumn<std::optional<tCDictPos>>("dict");
        QTest::addColumn<OptionList>("options");
        QTest::addColumn<QByteArray>("expected");  // the bytes on the wire, when given

        // The client's first dictionary request, byte for byte.
        QTest::newRow("dictionary, initial options")
            << QByteArray("DC_C") << std::optional<tCConcPos>() << std::optional<tCDictPos>(tCDictPos(0))
            << OptionList::initial() << QByteArray("$DC_C=New\x02\x0f$(0,0,1,1,R-1)$\x05/3/\x05" "1=2");

        tCDictPos absolute(3);
        absolute.LetterNo = 0;
        absolute.PairNo = 0;
        absolute.WordMode = 'A';
        absolute.WordNo = 0;
        QTest::newRow("dictionary, no options")
            << QByteArray("DC_S") << std::optional<tCConcPos>() << std::optional<tCDictPos>(absolute)
            << OptionList() << QByteArray("$DC_S=New\x02\x0e$(3,0,0,0,A0)$");

        tCDictPos largest(INT32_MAX);
        largest.Reserved = INT32_MAX;
        largest.LetterNo = INT32_MAX;
        largest.PairNo = INT32_MIN;
        largest.WordMode = 'R';
        largest.WordNo = INT32_MIN;
        tCConcPos big = concRecord();
        big.CharNo[0] = INT32_MAX;
        big.ValueNo[0] = INT32_MAX;
        big.Found[0] = INT32_MAX;
        big.Distance[0] = INT32_MIN;
        big.FirstLine = INT32_MAX;
        big.Level = 5;
        big.CurLine = INT32_MAX;
        big.Request[0] = "1.4.12";
        QTest::newRow("largest numbers")
            << QByteArray("CT_N") << std::optional<tCConcPos>(big) << std::optional<tCDictPos>(largest)
            << OptionList::fromCommaText("LBC_L_Max=500,ConcWidth=25") << QByteArray();

        // Levels with every move, marks and prefixes in 1251 (bytes above 127), an
        // option value with a comma, a quote and a blank.
        tCConcPos refined = concRecord();
        const char moves[] = {' ', '-', '+', 'B', 'E', 'C'};
        for (int l = 0; l < tCConcPos::Levels; ++l) {
            refined.Mark[l] = l % 2 ? 'Y' : 'N';
            refined.CharNo[l] = l + 1;
            refined.ValueNo[l] = l == 3 ? -1 : 100 * l;
            refined.Move[l] = moves[l];
            refined.Found[l] = 7 * l;
            refined.Distance[l] = -l;
        }
        refined.Request[1] = cp1251::ru("ёлка");
        refined.Request[2] = QByteArray("\xC0\xFF\x80\x98", 4);
        refined.CharFlags = cp1251::ru("ЖЖ");
        refined.Level = 2;
        refined.FirstLine = 11;
        refined.CurLine = 12;
        OptionList quoted = OptionList::initial();
        quoted.set(cp1251::ru("Автор"), cp1251::ru("Гоголь, Н. В. \"Мёртвые души\""));
        quoted.set("SortSeq", "RCL");
        QTest::newRow("levels, 1251 texts, quoted option")
            << QByteArray("CN_W") << std::optional<tCConcPos>(refined) << std::optional<tCDictPos>() << quoted
            << QByteArray();

        // The longest text form that travels whole: 98 bytes of an empty record and a
        // prefix of 157 bytes make 255.
        tCConcPos longest = concRecord();
        longest.Request[1] = QByteArray(157, '\xE0');
        QTest::newRow("text form of 255 bytes")
            << QByteArray("CN_Cx") << std::optional<tCConcPos>(longest) << std::optional<tCDictPos>(tCDictPos(0))
            << OptionList::initial() << QByteArray();

        // An option list whose entries are empty is no record at all.
        QTest::newRow("concordance, empty option list")
            << QByteArray("CT_D") << std::optional<tCConcPos>(concRecord()) << std::optional<tCDictPos>(tCDictPos(0))
            << OptionList() << QByteArray();
    }

    void writtenRequest_readBack_sameRecords()
    {
        QFETCH(QByteArray, tag);
        QFETCH(std::optional<tCConcPos>, conc);
        QFETCH(std::optional<tCDictPos>, dict);
        QFETCH(OptionList, options);
        QFETCH(QByteArray, expected);

        const OptionList &sentOptions = options;
        tCConcPos sentConc = conc.value_or(tCConcPos());
        const QByteArray params = !conc ? requests::dictParams(*dict, sentOptions)
            : dict                      ? requests::concDictParams(sentConc, *dict, sentOptions)
                                        : requests::concParams(sentConc, sentOptions);
        const QByteArray bytes = requests::wire(tag, params);
        if (!expected.isEmpty())
            QCOMPARE(bytes, expected);
        if (conc)
            QVERIFY(sentConc == *conc);   // the writer leaves the record as it was

        const wirerequest::Result r = wirerequest::parse(bytes, true);
        QCOMPARE(r.status, wirerequest::Status::Complete);
        QCOMPARE(r.size, bytes.size());
        QCOMPARE(r.request.tag, tag);
        QVERIFY(r.request.known);
        QVERIFY(r.request.records);
        QCOMPARE(r.request.params, params);
        QCOMPARE(r.request.conc.has_value(), conc.has_value());
        if (conc) {
            QCOMPARE(describe(*r.request.conc), describe(*conc));
            QVERIFY(*r.request.conc == *conc);
        }
        QCOMPARE(r.request.dict.has_value(), dict.has_value());
        if (dict) {
            QCOMPARE(describe(*r.request.dict), describe(*dict));
            QVERIFY(*r.request.dict == *dict);
        }
        QCOMPARE(r.request.options.has_value(), !sentOptions.isEmpty());
        if (r.request.options)
            QCOMPARE(r.request.options->entries(), sentOptions.entries());

        // Without `final` the request is just as whole: the option list ends it, and
        // a request without one may still be waiting for it.
        const wirerequest::Result streamed = wirerequest::parse(bytes + "$INFO=", false);
        QCOMPARE(streamed.status, wirerequest::Status::Complete);
        QCOMPARE(streamed.size, bytes.size());
    }

    void concordanceRecord_longerThan255_prefixesShortened_readBackAsWritten()
    {
        // 98 bytes of the empty record, two prefixes of 100 and 80: 23 bytes too many,
        // cut one at a time from the longer one (the first of equals).
        tCConcPos conc = concRecord();
        conc.Request[1] = QByteArray(100, 'a');
        conc.Request[2] = QByteArray(80, 'b');
        const QByteArray bytes = requests::wire("CT_N", requests::concParams(conc, OptionList::initial()));
        QCOMPARE(bytes.left(11), QByteArray("$CT_N=New\x03\xFF"));
        const wirerequest::Result r = wirerequest::parse(bytes, true);
        QCOMPARE(r.status, wirerequest::Status::Complete);
        QCOMPARE(r.request.conc->Request[1], QByteArray(78, 'a'));
        QCOMPARE(r.request.conc->Request[2], QByteArray(79, 'b'));
        QCOMPARE(conc.Request[1], QByteArray(100, 'a'));   // the record keeps what was typed
    }
};

QTEST_APPLESS_MAIN(TestWireRequest)
#include "tst_wire_request.moc"
