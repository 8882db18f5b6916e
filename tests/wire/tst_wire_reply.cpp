// The reply codec both ways: what the server's writer sends (length header, tag,
// records, text), the client's assembler and reader take back field for field,
// whether it arrives in pieces over TCP or whole over the local link.
#include "model/Cp1251.h"
#include "wire/ReplyAssembler.h"
#include "wire/ReplyReader.h"
#include "wire/ReplyWriter.h"

#include <QtTest>

#include <optional>

Q_DECLARE_METATYPE(std::optional<tCDictPos>)
Q_DECLARE_METATYPE(std::optional<OptionList>)

namespace {

QByteArray describe(const tCDictPos &d)
{
    return QByteArray::number(d.DictNo) + ',' + QByteArray::number(d.Reserved) + ','
        + QByteArray::number(d.LetterNo) + ',' + QByteArray::number(d.PairNo) + ',' + d.WordMode
        + QByteArray::number(d.WordNo);
}

} // namespace

class TestWireReply : public QObject {
    Q_OBJECT
private slots:
    void writtenReply_assembledAndRead_sameFields_data()
    {
        QTest::addColumn<QByteArray>("tag");
        QTest::addColumn<std::optional<tCDictPos>>("dict");
        QTest::addColumn<std::optional<OptionList>>("options");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected");   // the bytes on the wire, when given

        // "ZERO" with its reason, byte for byte: 9 bytes after the header.
        QTest::newRow("refusal in 1251")
            << QByteArray("ZERO") << std::optional<tCDictPos>() << std::optional<OptionList>()
            << cp1251::ru("Нет") << QByteArray("##9###$ZERO=\xCD\xE5\xF2");

        QTest::newRow("no records, no text")
            << QByteArray("INFO") << std::optional<tCDictPos>() << std::optional<OptionList>() << QByteArray()
            << QByteArray("##6###$INFO=");

        tCDictPos entry(0);
        entry.LetterNo = 3;
        entry.PairNo = 2;
        entry.WordNo = 7;
        OptionList tie = OptionList::initial();
        tie.set("DTCR", "12");
        tie.set("DTCC", "1");
        QTest::newRow("entry with position and options")
            << QByteArray("DC_S") << std::optional<tCDictPos>(entry) << std::optional<OptionList>(tie)
            << cp1251::ru("дом\n\tУпотреблений в корпусе: 5")
            << QByteArray("##76###$DC_S=\x02\x0e$(0,0,3,2,R7)$\x05/18/\x05" "1=2,DTCR=12,DTCC=1"
                          "\xE4\xEE\xEC\n\t\xD3\xEF\xEE\xF2\xF0\xE5\xE1\xEB\xE5\xED\xE8\xE9 \xE2 "
                          "\xEA\xEE\xF0\xEF\xF3\xF1\xE5: 5");

        // An empty option list is no record; the text keeps bytes that look like
        // records and the marker of a tag that comes later in the client's list.
        QTest::newRow("empty options, record-like text")
            << QByteArray("CN_W") << std::optional<tCDictPos>() << std::optional<OptionList>(OptionList())
            << QByteArray("\x02\x7F$CT_N=\x05x", 10) << QByteArray();

        tCDictPos largest(INT32_MAX);
        largest.Reserved = INT32_MAX;
        largest.LetterNo = INT32_MAX;
        largest.PairNo = INT32_MIN;
        largest.WordMode = 'A';
        largest.WordNo = INT32_MIN;
        OptionList quoted;
        quoted.set(cp1251::ru("Автор"), cp1251::ru("Гоголь, Н. В. \"Мёртвые души\""));
        // A text of a few megabytes: a header of seven digits, many pieces.
        QByteArray big(3 << 20, '\xFF');
        big[0] = 'a';
        QTest::newRow("largest numbers, long text")
            << QByteArray("CT_T") << std::optional<tCDictPos>(largest) << std::optional<OptionList>(quoted) << big
            << QByteArray();
    }

    void writtenReply_assembledAndRead_sameFields()
    {
        QFETCH(QByteArray, tag);
        QFETCH(std::optional<tCDictPos>, dict);
        QFETCH(std::optional<OptionList>, options);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);

        const QByteArray bytes = tag == "ZERO" ? reply::zero(text) : reply::wire(tag, reply::body(dict, options, text));
        if (!expected.isEmpty())
            QCOMPARE(bytes, expected);

        // Over TCP: in pieces of 4099 bytes, one reply, every announced byte there.
        ReplyAssembler assembler;
        QList<ReplyAssembler::Item> items;
        for (qsizetype at = 0; at < bytes.size(); at += 4099)
            items += assembler.feed(bytes.mid(at, 4099));
        QCOMPARE(items.size(), 1);
        QVERIFY(items[0].ok);
        QVERIFY(items[0].counted);
        QVERIFY(!assembler.isIncomplete());
        const QByteArray reply = items[0].reply;
        QVERIFY(reply.startsWith('$' + tag + '='));
        QCOMPARE(bytes.size() - reply.size(), bytes.indexOf('$'));   // only the header was taken

        // Over the local link the same text arrives whole.
        const ReplyAssembler::Stripped whole = ReplyAssembler::stripLengthHeader(bytes);
        QVERIFY(whole.ok);
        QVERIFY(whole.counted);
        QCOMPARE(whole.text, reply);

        tCConcPos conc;
        tCDictPos readDict;
        OptionList readOptions;
        const replyreader::ReplyRead read = replyreader::readReply(reply, conc, readDict, readOptions);
        QVERIFY(read.found);
        QCOMPARE(read.tag, tag);
        QCOMPARE(read.body, text);
        QVERIFY(!read.recordsSeen.concPos);
        QCOMPARE(read.recordsSeen.dictPos, dict.has_value());
        QCOMPARE(describe(readDict), describe(dict.value_or(tCDictPos())));
        QVERIFY(readDict == dict.value_or(tCDictPos()));
        const bool optionRecord = options && !options->isEmpty();
        QCOMPARE(read.recordsSeen.options, optionRecord);
        QCOMPARE(readOptions.entries(), optionRecord ? options->entries() : QList<QByteArray>());
    }
};

QTEST_APPLESS_MAIN(TestWireReply)
#include "tst_wire_reply.moc"
