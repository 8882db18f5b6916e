// The dictionary replies composed by the server, read back with the client's own
// parsers and handlers: Russian order of letters, pairs and headwords; the numbers
// of each list element; the positions the server sends back; the whole chain
// DC_C -> DC_CC -> DC_W -> DC_S and a link followed in absolute mode.
#include "support/DictClient.h"

#include "dictionary/core/EntryTree.h"
#include "dictionary/core/RefList.h"
#include "model/CommaList.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"
#include "service/CorvusService.h"
#include "dictionary/DictionaryReplies.h"
#include "dictionary/HeadwordIndex.h"
#include "wire/RequestReader.h"

#include <QtTest>

namespace {

QByteArray ru(const char *s)
{
    return cp1251::ru(s);
}

// A dictionary of given words; the entry of a word links to the words named in
// `links` (source indexes).
class WordDictionary : public Dictionary {
public:
    WordDictionary(QStringList words, QHash<int, QList<int>> links = {})
        : m_words(words), m_links(std::move(links)), m_index(words)
    {
    }
    QByteArray name() const override { return ru("Проба слов"); }
    const HeadwordIndex &index() const override { return m_index; }
    qint32 summarySecond() const override { return 77; }
    qint32 headwordSize(int place) const override { return m_index.sourceIndex(place) * 10; }
    QList<QByteArray> entryLines(int place) const override
    {
        QList<QByteArray> lines;
        lines.append(cp1251::encode(m_index.word(place)));
        for (const int target : m_links.value(m_index.sourceIndex(place)))
            lines.append("\t" + cp1251::encode(m_words[target])
                         + dictreplies::reference(m_index.placeOfSource(target) + 1));
        return lines;
    }

private:
    QStringList m_words;
    QHash<int, QList<int>> m_links;
    HeadwordIndex m_index;
};

QStringList sampleWords()
{
    return {QStringLiteral("ёлка"), QStringLiteral("еда"),  QStringLiteral("ель"),
            QStringLiteral("жук"),  QStringLiteral("а"),    QStringLiteral("абажур"),
            QStringLiteral("аист"), QStringLiteral("Ёж"),   QStringLiteral("бор"),
            QStringLiteral("в"),    QStringLiteral("в наём"), QStringLiteral("ва-банк"),
            QStringLiteral("вата"), QStringLiteral("еле-еле")};
}

QByteArrayList texts(const QList<reflist::RefElement> &elements)
{
    QByteArrayList out;
    for (const auto &e : elements)
        out.append(e.text);
    return out;
}

std::shared_ptr<CorvusService> serviceWith(std::shared_ptr<const ServedDictionary> dict)
{
    CorpusFacts facts;
    facts.label = "test";
    facts.wordCount = 1234;
    facts.textCount = 3;
    return std::make_shared<CorvusService>(facts, QList<std::shared_ptr<const ServedDictionary>>{dict});
}

// The server in process: request bytes in, reply bytes out.
std::function<QByteArray(const QByteArray &)> inProcess(const CorvusService &service)
{
    return [&service](const QByteArray &request) {
        const wirerequest::Result r = wirerequest::parse(request, true);
        if (r.status != wirerequest::Status::Complete)
            return CorvusService::badRequest(r.reason);
        return service.handle(r.request, SessionInfo{}).reply;
    };
}

} // namespace

class TestDictReplies : public QObject {
    Q_OBJECT
private slots:
    void index_russianOrder_yoAfterYeAndBlanksBeforeLetters()
    {
        const HeadwordIndex idx(sampleWords());
        QByteArrayList order;
        for (int i = 0; i < idx.size(); ++i)
            order.append(idx.text(i));
        QCOMPARE(order, QByteArrayList({ru("А"), ru("АБАЖУР"), ru("АИСТ"), ru("БОР"), ru("В"),
                                        ru("В НАЁМ"), ru("ВА-БАНК"), ru("ВАТА"), ru("ЕДА"),
                                        ru("ЕЛЕ-ЕЛЕ"), ru("ЕЛЬ"), ru("ЁЖ"), ru("ЁЛКА"), ru("ЖУК")}));

        QByteArrayList letters;
        for (const auto &l : idx.letters())
            letters.append(l.text);
        QCOMPARE(letters, QByteArrayList({ru("А"), ru("Б"), ru("В"), ru("Е"), ru("Ё"), ru("Ж")}));
        // One-letter words make a pair of their own, first in their letter.
        const auto &a = idx.letters()[0];
        QCOMPARE(a.pairs.size(), 3);
        QCOMPARE(a.pairs[0].text, ru("А"));
        QCOMPARE(a.pairs[1].text, ru("АБ"));
        QCOMPARE(a.pairs[2].text, ru("АИ"));
        // "В НАЁМ" begins with "В ", a pair of its own between "В" and "ВА".
        const auto &v = idx.letters()[2];
        QCOMPARE(v.pairs.size(), 3);
        QCOMPARE(v.pairs[1].text, ru("В "));
        QCOMPARE(v.pairs[2].text, ru("ВА"));
        QCOMPARE(v.pairs[2].count, 2);

        QCOMPARE(idx.find(u"ЁЛКА"), 12);
        QCOMPARE(idx.find(u"елка"), -1);   // ё and е are different letters
        const HeadwordIndex::Place p = idx.locate(12);
        QCOMPARE(p.letter, 4);
        QCOMPARE(p.pair, 1);   // "ЁЖ", "ЁЛ"
        QCOMPARE(p.offset, 0);
        QCOMPARE(idx.locate(14).letter, -1);
        QCOMPARE(idx.locate(-1).letter, -1);
    }

    void lettersBody_summaryFirstThenLettersWithNumbers()
    {
        ServedDictionary d(std::make_unique<WordDictionary>(sampleWords()));
        const QList<reflist::RefElement> all = reflist::readAll(d.lettersBody());
        QCOMPARE(all.size(), 7);
        QCOMPARE(all[0].text, ru("Проба слов"));
        QVERIFY(all[0].ref);
        QCOMPARE(all[0].ref->NestRef, 14);   // headwords
        QCOMPARE(all[0].ref->NestSize, 77);
        // Letter "Е": first headword 9 (from 1), three of them, letter 4, two pairs.
        QCOMPARE(all[4].text, ru("Е"));
        QCOMPARE(*all[4].ref, (tRefC{9, 3, 0, 4, 2}));
        QCOMPARE(all[5].text, ru("Ё"));

        const QList<reflist::RefElement> pairs = reflist::readAll(d.pairsBody(2));
        QCOMPARE(texts(pairs), QByteArrayList({ru("В"), ru("В "), ru("ВА")}));
        QCOMPARE(*pairs[2].ref, (tRefC{7, 2, 0, 3, 2}));

        const QList<reflist::RefElement> words = reflist::readUntilUnreferenced(d.headwordsBody(2, 2));
        QCOMPARE(texts(words), QByteArrayList({ru("ВА-БАНК"), ru("ВАТА")}));
        // Absolute number from 1, size, letter from 1, pair from 0.
        QCOMPARE(*words[1].ref, (tRefC{8, 120, 0, 3, 2}));
        QVERIFY(d.pairsBody(99).isEmpty());
        QVERIFY(d.headwordsBody(2, 99).isEmpty());
    }

    void element_controlBytesAndDollarsInTexts_cannotForgeMarkers()
    {
        const QByteArray e = dictreplies::element("a\x04$(1,2,3,4\x04)$b$NM=x", 5, 6, 7, 8);
        const QList<reflist::RefElement> read = reflist::readAll(e);
        QCOMPARE(read.size(), 1);
        QCOMPARE(*read[0].ref, (tRefC{5, 6, 0, 7, 8}));
        QVERIFY(!read[0].text.contains('\x04'));
        QVERIFY(!read[0].text.contains('$'));
    }

    void resolve_clampsOutOfRangeAndTurnsAbsoluteIntoPlace()
    {
        ServedDictionary d(std::make_unique<WordDictionary>(sampleWords()));
        tCDictPos asked(0);
        asked.Reserved = 9;
        asked.LetterNo = 99;
        asked.PairNo = -4;
        asked.WordNo = 50;
        ServedDictionary::Resolved r = d.resolve(asked);
        QVERIFY(r.ok);
        QCOMPARE(r.pos.text(), QByteArray("$(0,9,1,0,R0)$"));
        QCOMPARE(r.place, 0);

        asked = tCDictPos(0);
        asked.LetterNo = 4;   // Е
        asked.PairNo = 1;     // ЕЛ
        asked.WordNo = 1;     // ЕЛЬ
        r = d.resolve(asked);
        QCOMPARE(r.pos.text(), QByteArray("$(0,0,4,1,R1)$"));
        QCOMPARE(d.dictionary().index().text(r.place), ru("ЕЛЬ"));

        asked = tCDictPos(0);
        asked.LetterNo = 0;
        asked.PairNo = 0;
        asked.WordMode = 'A';
        asked.WordNo = 12;   // ЁЛКА
        r = d.resolve(asked);
        QCOMPARE(r.pos.text(), QByteArray("$(0,0,5,1,R0)$"));
        QCOMPARE(r.place, 12);

        asked.WordNo = 14;
        r = d.resolve(asked);
        QVERIFY(!r.ok);
        QVERIFY(r.error.contains(ru("15")));
    }

    void emptyDictionary_lettersGiveOnlySummary_restIsZero()
    {
        auto service = serviceWith(std::make_shared<ServedDictionary>(std::make_unique<WordDictionary>(QStringList())));
        DictClient client;
        client.runChain({requests::wire("DC_C", requests::dictParams(tCDictPos(0), client.options))},
                        inProcess(*service));
        QCOMPARE(client.tags, QByteArrayList({"DC_C"}));
        QCOMPARE(client.page.L_DD, ru("Проба слов") + "/0/77");
        // The server answers letter 0, so the client only says there are no letters.
        QCOMPARE(client.messages, QByteArrayList({dictcore::messages::noLetters()}));

        const QByteArray reply = inProcess(*service)(
            requests::wire("DC_S", requests::dictParams(tCDictPos(0), client.options)));
        QVERIFY(reply.contains("$ZERO="));
    }

    void letterClick_chainReachesEntry_noClientMessages()
    {
        auto service = serviceWith(std::make_shared<ServedDictionary>(
            std::make_unique<WordDictionary>(sampleWords(), QHash<int, QList<int>>{{2, {0, 1}}})));
        const auto server = inProcess(*service);
        DictClient client;
        // Showing the page: fresh record, headword -1.
        const dictcore::DictOutcome show =
            dictcore::TS_DictShow(client.page, client.current(), 0, client.KeepDictPos, true, false);
        QCOMPARE(client.runChain(client.requestsOf(show), server), 4);
        QCOMPARE(client.tags, QByteArrayList({"DC_C", "DC_CC", "DC_W", "DC_S"}));
        QVERIFY2(client.messages.isEmpty(), client.messages.join('|').constData());
        QCOMPARE(client.page.LB_C.count(), 6);
        QCOMPARE(client.page.LB_C.selected, 0);
        // The fresh record's pair 1 of letter "А" is "АБ".
        QCOMPARE(client.page.LB_CC.selected, 1);
        QCOMPARE(client.page.LB_W.display(0), ru("АБАЖУР - "));
        QCOMPARE(client.page.TreeView1.nodes.value(0).text, ru("абажур"));

        // Click on letter "Е", then the chain down to "ЕДА".
        client.tags.clear();
        client.runChain(client.requestsOf(dictcore::LB_CClick(client.page, client.current(), 3)), server);
        QCOMPARE(client.tags, QByteArrayList({"DC_CC", "DC_W", "DC_S"}));
        QVERIFY(client.messages.isEmpty());
        QCOMPARE(texts(client.page.LB_CC.items), QByteArrayList({ru("ЕД"), ru("ЕЛ")}));
        QCOMPARE(client.page.LB_W.display(client.page.LB_W.selected), ru("ЕДА - "));
        QCOMPARE(client.current()->text(), QByteArray("$(0,0,4,0,R0)$"));

        // Pair "ЕЛ", third headword "ЕЛЬ": its entry links to "ёлка" and "еда".
        client.tags.clear();
        client.runChain(client.requestsOf(dictcore::LB_CCClick(client.page, client.current(), 1)), server);
        client.runChain(client.requestsOf(dictcore::LB_WClick(client.page, client.current(), 1)), server);
        QVERIFY(client.messages.isEmpty());
        const dictcore::EntryTree &tree = client.page.TreeView1;
        QCOMPARE(tree.count(), 3);
        QCOMPARE(tree.nodes[0].text, ru("ель"));
        QCOMPARE(tree.nodes[1].text, ru("ёлка -->"));
        QCOMPARE(tree.nodes[1].link, 13);
        QCOMPARE(tree.nodes[1].parent, 0);
        QCOMPARE(tree.nodes[2].text, ru("еда -->"));
        QCOMPARE(tree.nodes[2].link, 9);

        // Following the link: absolute mode, the server names letter "Ё" and pair "ЁЛ".
        client.tags.clear();
        client.runChain(client.requestsOf(dictcore::followEntryLink(client.current(), 0, tree.nodes[1].link)),
                        server);
        QCOMPARE(client.tags, QByteArrayList({"DC_CC", "DC_W", "DC_S"}));
        QVERIFY(client.messages.isEmpty());
        QCOMPARE(client.current()->text(), QByteArray("$(0,0,5,1,R0)$"));
        QCOMPARE(texts(client.page.LB_CC.items), QByteArrayList({ru("ЁЖ"), ru("ЁЛ")}));
        QCOMPARE(client.page.TreeView1.nodes.value(0).text, ru("ёлка"));
    }

    void registration_dictionaryListBeforeMessage_optionsAtFront()
    {
        auto service = serviceWith(std::make_shared<ServedDictionary>(std::make_unique<WordDictionary>(sampleWords())));
        wirerequest::Request nm;
        nm.tag = "NM";
        nm.params = "1.4.12.0" + ru("Мария");
        const ServiceOutcome out = service->handle(nm, SessionInfo{});
        QCOMPARE(out.registeredAs.value_or(QByteArray()), ru("Мария"));
        QVERIFY(out.reply.startsWith("##"));
        const qsizetype h = out.reply.indexOf("###");
        QCOMPARE(out.reply.mid(2, h - 2).toInt(), int(out.reply.size() - h - 3));
        QByteArray body = out.reply.mid(h + 3 + 4);   // after "$NM="
        OptionList options;
        QCOMPARE(readOptionRecord(body, options), OptionRecordResult::Consumed);
        QCOMPARE(options.value("SL_Count"), QByteArray("1234"));
        QCOMPARE(options.value("SWD"), QByteArray("YES"));
        QCOMPARE(options.value("SS"), QByteArray("NO"));   // no usage sub-page without its handler
        QVERIFY(body.startsWith("DICT=" + ru("\"Проба слов\"") + ",END,MES="));
        QVERIFY(!body.contains("CONC,"));
        QVERIFY(body.contains(ru("Мария")));
        const qsizetype mes = body.indexOf("MES=");
        QVERIFY(!body.mid(mes).toUpper().contains("DICT="));
        QVERIFY(!body.mid(mes).toUpper().contains("CONC,"));
    }

    void concordanceHandlers_offerConcordanceAndUsagePage()
    {
        auto service = serviceWith(std::make_shared<ServedDictionary>(std::make_unique<WordDictionary>(sampleWords())));
        service->setHandler("CN_C", [](const wirerequest::Request &, const SessionInfo &) { return QByteArray("x"); });
        service->setHandler("CT_D", [](const wirerequest::Request &, const SessionInfo &) { return QByteArray("y"); });
        QByteArray body = service->registrationBody("1.4.12.0");
        OptionList options;
        readOptionRecord(body, options);
        QCOMPARE(options.value("SS"), QByteArray("YES"));
        QVERIFY(body.contains(",END,CONC,MES="));
        wirerequest::Request cn;
        cn.tag = "CN_C";
        cn.known = true;
        QCOMPARE(service->handle(cn, SessionInfo{}).reply, QByteArray("x"));
    }

    void unservedRequests_getZeroWithReason_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reasonPart");
        tCDictPos far(3);
        tCDictPos broken(0);
        broken.LetterNo = -2;
        QTest::newRow("concordance") << requests::wire("CN_C", requests::dictParams(tCDictPos(0), OptionList::initial()))
                                     << ru("не обслуживается");
        QTest::newRow("update") << QByteArray("$CL_E=New") << ru("Обновление");
        QTest::newRow("unknown") << QByteArray("$XYZ=1") << ru("Неизвестный запрос «XYZ»");
        QTest::newRow("no dictionary") << requests::wire("DC_C", requests::dictParams(far, OptionList::initial()))
                                       << ru("номером 3");
        QTest::newRow("no position") << QByteArray("$DC_W=New\x05/3/\x05" "1=2") << ru("нет позиции");
        QTest::newRow("broken position") << requests::wire("DC_W", requests::dictParams(broken, OptionList::initial()))
                                         << ru("искажена");
    }
    void unservedRequests_getZeroWithReason()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reasonPart);
        auto service = serviceWith(std::make_shared<ServedDictionary>(std::make_unique<WordDictionary>(sampleWords())));
        const QByteArray reply = inProcess(*service)(request);
        QVERIFY2(reply.contains("$ZERO="), reply.constData());
        QVERIFY2(reply.contains(reasonPart), reply.constData());
    }

    void entryBody_isCommaListWithHeadwordFirst()
    {
        ServedDictionary d(std::make_unique<WordDictionary>(sampleWords(), QHash<int, QList<int>>{{10, {9}}}));
        const int place = d.dictionary().index().find(u"в наём");
        const QList<QByteArray> items = commalist::split(d.entryBody(place));
        QCOMPARE(items, QList<QByteArray>({ru("В НАЁМ"), ru("в наём"), "\t" + ru("в") + "$$+A5,5"}));
        // The client links even a one-digit headword number.
        const dictcore::EntryTree tree = dictcore::parseEntryBody(d.entryBody(place), {});
        QCOMPARE(tree.nodes.value(1).link, 5);
    }
};

QTEST_GUILESS_MAIN(TestDictReplies)
#include "tst_dict_replies.moc"
