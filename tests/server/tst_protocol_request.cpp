// Cutting requests out of a TCP byte stream: exact request bytes as the client sends
// them, requests split at every byte, several in one chunk, plain-text requests that
// need a quiet period, and hostile bytes.
#include "service/Dispatcher.h"
#include "wire/RequestReader.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"

#include <QtTest>

using namespace wirerequest;

namespace {

QByteArray dcRequest(const QByteArray &tag, const tCDictPos &pos, const OptionList &options)
{
    return requests::wire(tag, requests::dictParams(pos, options));
}

// Feeds `bytes` in the given pieces as a connection would and returns the requests
// taken, the Bad reasons, and whether anything waits for a quiet period at the end.
struct Feed {
    QList<Request> requests;
    QList<QByteArray> bad;
    bool settling = false;
    QByteArray left;
};

Feed feed(const QList<QByteArray> &pieces, bool finalAtEnd)
{
    Feed f;
    QByteArray buffer;
    auto drain = [&](bool final) {
        while (!buffer.isEmpty()) {
            const Result r = parse(buffer, final);
            if (r.status == Status::NeedMore) {
                f.settling = r.settles;
                return;
            }
            if (r.status == Status::Complete)
                f.requests.append(r.request);
            else if (r.status == Status::Bad)
                f.bad.append(r.reason);
            buffer.remove(0, r.size);
        }
        f.settling = false;
    };
    for (const QByteArray &p : pieces) {
        buffer += p;
        drain(false);
    }
    if (finalAtEnd)
        drain(true);
    f.left = buffer;
    return f;
}

} // namespace

class TestProtocolRequest : public QObject {
    Q_OBJECT
private slots:
    void dictionaryRequest_exactClientBytes_parsedWhole()
    {
        tCDictPos pos(0);
        pos.LetterNo = 1;
        pos.PairNo = 1;
        const QByteArray bytes = dcRequest("DC_W", pos, OptionList::initial());
        // The bytes the client puts on the wire for DC_W with $(0,0,1,1,R-1)$ and "1=2".
        QByteArray expected = "$DC_W=New";
        expected += char(2);
        expected += char(15);
        expected += "$(0,0,1,1,R-1)$";
        expected += char(5);
        expected += "/3/";
        expected += char(5);
        expected += "1=2";
        QCOMPARE(bytes, expected);

        const Result r = parse(bytes);
        QCOMPARE(r.status, Status::Complete);
        QCOMPARE(r.size, bytes.size());
        QCOMPARE(r.request.tag, QByteArray("DC_W"));
        QVERIFY(r.request.known);
        QVERIFY(r.request.records);
        QVERIFY(r.request.dict.has_value());
        QCOMPARE(*r.request.dict, pos);
        QVERIFY(r.request.options.has_value());
        QCOMPARE(r.request.options->value("1"), QByteArray("2"));
        QCOMPARE(r.request.params, bytes.mid(6));
    }

    void dictionaryRequest_splitAtEveryByte_sameRequestAfterSecondPart()
    {
        tCDictPos pos(1);
        pos.LetterNo = 7;
        pos.PairNo = 3;
        pos.WordMode = 'A';
        pos.WordNo = 1234;
        OptionList options = OptionList::initial();
        options.set("SWD", "YES");
        options.set("Name", cp1251::ru("с пробелом, и запятой"));
        const QByteArray bytes = dcRequest("DC_S", pos, options);
        for (int cut = 1; cut < bytes.size(); ++cut) {
            const Feed f = feed({bytes.left(cut), bytes.mid(cut)}, false);
            QVERIFY2(f.bad.isEmpty(), qPrintable(QString::number(cut)));
            QCOMPARE(f.requests.size(), 1);
            QCOMPARE(*f.requests[0].dict, pos);
            QCOMPARE(f.requests[0].options->value("Name"), cp1251::ru("с пробелом, и запятой"));
            QVERIFY(f.left.isEmpty());
        }
    }

    void partialRecord_waitsWithoutSettling_finalMakesItBad()
    {
        const QByteArray bytes = dcRequest("DC_C", tCDictPos(0), OptionList::initial());
        // Cut inside the position record: provably incomplete, no quiet-period guess.
        const Result r = parse(bytes.left(12));
        QCOMPARE(r.status, Status::NeedMore);
        QVERIFY(!r.settles);
        const Result f = parse(bytes.left(12), true);
        QCOMPARE(f.status, Status::Bad);
        QCOMPARE(f.size, qsizetype(12));
        QCOMPARE(f.request.tag, QByteArray("DC_C"));
    }

    void requestWithoutOptionList_settles_thenTakenWhole()
    {
        tCDictPos pos(0);
        const QByteArray bytes = requests::wire("DC_C", requests::dictParams(pos, OptionList()));
        const Result r = parse(bytes);
        QCOMPARE(r.status, Status::NeedMore);
        QVERIFY(r.settles);
        const Result f = parse(bytes, true);
        QCOMPARE(f.status, Status::Complete);
        QCOMPARE(f.size, bytes.size());
        QVERIFY(f.request.dict.has_value());
        QVERIFY(!f.request.options.has_value());
    }

    void severalRequestsInOneChunk_allTakenInOrder()
    {
        tCDictPos a(0), b(1);
        b.LetterNo = 3;
        const QByteArray bytes = "$INFO=" + dcRequest("DC_C", a, OptionList::initial())
            + requests::wire("DC_CC", requests::dictParams(b, OptionList()))
            + "$NM=1.4.12.0" + cp1251::ru("Иван") + "$CL_E=New";
        const Feed f = feed({bytes}, false);
        QVERIFY(f.bad.isEmpty());
        QCOMPARE(f.requests.size(), 5);
        QCOMPARE(f.requests[0].tag, QByteArray("INFO"));
        QCOMPARE(f.requests[1].tag, QByteArray("DC_C"));
        QCOMPARE(f.requests[2].tag, QByteArray("DC_CC"));
        QCOMPARE(f.requests[2].dict->LetterNo, 3);
        QCOMPARE(f.requests[3].tag, QByteArray("NM"));
        QCOMPARE(f.requests[3].params, "1.4.12.0" + cp1251::ru("Иван"));
        QCOMPARE(f.requests[4].tag, QByteArray("CL_E"));
        QVERIFY(!f.settling);
    }

    void registration_endsOnlyAfterQuietPeriod_nameKeepsDollarSigns()
    {
        const QByteArray nm = "$NM=1.4.12.0" + cp1251::ru("Пётр $1 = 2");
        Feed f = feed({nm.left(10), nm.mid(10)}, false);
        QVERIFY(f.requests.isEmpty());
        QVERIFY(f.settling);
        f = feed({nm.left(10), nm.mid(10)}, true);
        QCOMPARE(f.requests.size(), 1);
        QCOMPARE(f.requests[0].params, "1.4.12.0" + cp1251::ru("Пётр $1 = 2"));
    }

    void registration_ofOneSegment_settlesSoon_otherTextsDoNot()
    {
        const QByteArray name = cp1251::ru("Иван");
        const Result nm = parse("$NM=1.4.12.0" + name);
        QVERIFY(nm.settles && nm.settlesSoon);
        QVERIFY(parse("$NMD=1.4.12.0" + name).settlesSoon);
        // Longer than one segment may hold: its writer's pieces may come apart.
        const QByteArray longer = "$NM=1.4.12.0" + QByteArray(OneSegment, 'x');
        QVERIFY(parse(longer).settles && !parse(longer).settlesSoon);
        QVERIFY(parse(longer.left(OneSegment)).settlesSoon);
        // Other texts that may be whole keep the long quiet.
        QVERIFY(parse("$CL_B=Ne").settles && !parse("$CL_B=Ne").settlesSoon);
        QVERIFY(parse("hello").settles && !parse("hello").settlesSoon);
        const QByteArray noOptions = requests::wire("DC_C", requests::dictParams(tCDictPos(0), OptionList()));
        QVERIFY(parse(noOptions).settles && !parse(noOptions).settlesSoon);
    }

    void fixedTexts_proveTheirOwnEnd()
    {
        QCOMPARE(parse("$INFO=").status, Status::Complete);
        QCOMPARE(parse("$CL_B=New").status, Status::Complete);
        const Result r = parse("$CL_B=Ne");
        QCOMPARE(r.status, Status::NeedMore);
        QVERIFY(r.settles);
    }

    void unknownTag_isARequestWithItsText()
    {
        const Result r = parse("$FOO=bar", true);
        QCOMPARE(r.status, Status::Complete);
        QCOMPARE(r.request.tag, QByteArray("FOO"));
        QVERIFY(!r.request.known);
        QCOMPARE(r.request.params, QByteArray("bar"));
    }

    void garbage_answeredOnceAfterQuiet_requestAfterItSurvives()
    {
        const QByteArray info = "$INFO=";
        Feed f = feed({"hello ", "world"}, false);
        QVERIFY(f.bad.isEmpty());
        QVERIFY(f.settling);
        f = feed({"hello ", "world"}, true);
        QCOMPARE(f.bad.size(), 1);
        QVERIFY(f.left.isEmpty());

        f = feed({"GET / HTTP/1.0\r\n" + info}, false);
        QCOMPARE(f.bad.size(), 1);
        QCOMPARE(f.requests.size(), 1);
        QCOMPARE(f.requests[0].tag, QByteArray("INFO"));
    }

    void malformedTagsAndRecords_areBadAndConsumed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("no equals") << QByteArray("$DC_C New");
        QTest::newRow("empty tag") << QByteArray("$=New");
        QTest::newRow("long tag") << QByteArray("$ABCDEFGHIJKLMNOPQRSTUVWXYZ=1");
        QTest::newRow("no New") << QByteArray("$DC_C=Old\x02\x03" "abc");
        QTest::newRow("text after records") << QByteArray("$DC_C=New\x02\x02" "abZZZ");
        QTest::newRow("option length not a number") << QByteArray("$DC_C=New\x05/x/\x05" "1=2");
        QTest::newRow("option record without second 5") << QByteArray("$DC_C=New\x05/3/X1=2");
        QTest::newRow("option length too many digits") << QByteArray("$DC_C=New\x05/12345678901/\x05");
        QTest::newRow("option length too large") << QByteArray("$DC_C=New\x05/999999999/\x05" "1=2");
    }
    void malformedTagsAndRecords_areBadAndConsumed()
    {
        QFETCH(QByteArray, bytes);
        const Feed f = feed({bytes}, true);
        QVERIFY(f.requests.isEmpty());
        QCOMPARE(f.bad.size(), 1);
        QVERIFY(f.left.isEmpty());
        for (const QByteArray &reason : f.bad)
            QVERIFY(!reason.isEmpty());
    }

    void longRequests_runOnTheirOwnLane()
    {
        auto parsed = [](const QByteArray &tag, const QByteArray &options) {
            tCConcPos conc;
            const QByteArray bytes = requests::wire(
                tag, requests::concDictParams(conc, tCDictPos(0), OptionList::fromCommaText(options)));
            return wirerequest::parse(bytes, true).request;
        };
        QVERIFY(Dispatcher::isHeavy(parsed("CT_N", "1=2")));
        QVERIFY(Dispatcher::isHeavy(parsed("CN_W", "1=2,ListPos=FULL")));
        QVERIFY(Dispatcher::isHeavy(parsed("CT_N", "PrintConc=True")));
        QVERIFY(Dispatcher::isHeavy(parsed("CT_W", "PrintText=1F")));
        QVERIFY(!Dispatcher::isHeavy(parsed("CN_W", "1=2,ListPos=NEXT")));
        QVERIFY(!Dispatcher::isHeavy(parsed("CT_W", "1=2")));
        QVERIFY(!Dispatcher::isHeavy(wirerequest::parse("$DC_C=New", true).request));
    }

    void fillerBetweenRequests_dropsSilently()
    {
        const QByteArray dc = dcRequest("DC_C", tCDictPos(0), OptionList::initial());
        const Feed f = feed({"\r\n" + dc + QByteArray("\0\n \0", 4) + "$INFO="}, false);
        QCOMPARE(f.requests.size(), 2);
        QVERIFY(f.bad.isEmpty());
        QVERIFY(f.left.isEmpty());
    }

    void endlessText_isCutAtTheCap()
    {
        const QByteArray big = "$NM=" + QByteArray(MaxRequestSize + 10, 'x');
        const Result r = parse(big);
        QCOMPARE(r.status, Status::Bad);
        QCOMPARE(r.size, big.size());
    }

    void requestArrivingInPieces_costsItsBytesOnce_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("taken");
        const QByteArray text(300000, 'x');
        QTest::newRow("registration text") << "$NM=1.4.12.0" + text << 1;
        tCConcPos conc;
        QTest::newRow("long option list") << requests::wire(
            "CN_W", requests::concDictParams(conc, tCDictPos(0), OptionList::fromCommaText("1=2,Pad=" + text))) << 1;
        QTest::newRow("fillers after New") << "$CN_W=New" + QByteArray(300000, '\0') << 1;
        QTest::newRow("garbage") << "garbage" + text << 1;
    }

    void requestArrivingInPieces_costsItsBytesOnce()
    {
        // As a connection reads it: 100-byte pieces, the front's progress kept
        // between them. Read again from its start at every piece, the 300 KB would
        // cost some 450 MB; read on from where the last piece ended, about its size.
        QFETCH(QByteArray, bytes);
        QFETCH(int, taken);
        QByteArray buffer;
        Progress progress;
        qint64 examined = 0;
        int done = 0;
        auto drain = [&](bool final) {
            while (!buffer.isEmpty()) {
                const Result r = parse(buffer, final, &progress);
                if (r.status == Status::NeedMore)
                    return;
                examined += progress.examined;
                progress = Progress();
                buffer.remove(0, r.size);
                ++done;
            }
        };
        for (qsizetype at = 0; at < bytes.size(); at += 100) {
            buffer += bytes.mid(at, 100);
            drain(false);
        }
        drain(true);
        examined += progress.examined;
        QCOMPARE(done, taken);
        QVERIFY2(examined <= 3 * bytes.size(), QByteArray::number(examined));
    }

    void optionCount_isBounded()
    {
        // The option list record around `list`.
        auto withList = [](const QByteArray &list) {
            QByteArray r = "$CN_W=New";
            r += char(5);
            r += "/" + QByteArray::number(list.size()) + "/";
            r += char(5);
            return r + list;
        };
        const Result ok = parse(withList("1=2" + QByteArray(MaxOptions - 1, ',')), true);
        QCOMPARE(ok.status, Status::Complete);
        QCOMPARE(ok.request.options->entries().size(), MaxOptions);

        const QByteArray tooMany = withList("1=2" + QByteArray(MaxOptions, ','));
        const Result r = parse(tooMany + "$INFO=", true);
        QCOMPARE(r.status, Status::Bad);
        QVERIFY(r.reason.contains(cp1251::ru("слишком много параметров")));
        QCOMPARE(r.size, tooMany.size());   // the next request is kept
    }

    void anyPrefixOfAnyBytes_neverStallsWhenFinal()
    {
        // Whatever the bytes, a final parse always takes something, so a connection
        // cannot loop or keep garbage forever.
        const QList<QByteArray> samples = {
            "$", "$D", "$DC_C=", "$DC_C=N", "$DC_C=New\x02", "$DC_C=New\x05", "$DC_C=New\x05/",
            "$DC_C=New\x05/3", "$DC_C=New\x05/3/", "$DC_C=New\x05/3/\x05", "$NM=", "\x02\x03",
            "$$$$", "$DC_C=New\x00\x00",
        };
        for (const QByteArray &s : samples) {
            QByteArray rest = s;
            int guard = 0;
            while (!rest.isEmpty()) {
                const Result r = parse(rest, true);
                QVERIFY2(r.status != Status::NeedMore, s.constData());
                QVERIFY(r.size > 0 && r.size <= rest.size());
                rest.remove(0, r.size);
                QVERIFY(++guard < 100);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestProtocolRequest)
#include "tst_protocol_request.moc"
