// An annotated corpus (tokens with the file's lemmas, parts of speech and
// features, texts with a further attribute) through the index and the value lists:
// one form standing for two lemmas is told apart everywhere, the annotations are
// characteristics of their own, and all of it survives the cache file. Plain text
// tagged by the morphology is such a corpus too.
#include "concordance/Characteristics.h"
#include "concordance/Query.h"
#include "concordance/ValueList.h"
#include "concordance/core/ConcReplies.h"
#include "corpus/CorpusData.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"
#include "service/CorvusService.h"
#include "support/CorpusFixture.h"
#include "support/ServiceCall.h"
#include "wire/ReplyReader.h"

#include <QTemporaryDir>
#include <QTest>

#include <map>

using namespace corvus;
using namespace corvus::conc;
using corpusfixture::cp;
using corpusfixture::cpb;

namespace {

annotated::Token tok(const char *form, const char *lemma, const char *pos, const char *feats)
{
    annotated::Token t;
    t.form = cp(form);
    t.lemma = cp(lemma);
    t.pos = pos;
    t.feats = feats;
    return t;
}

// Two texts; "стали" is the noun "сталь" once and the verb "стать" once.
std::shared_ptr<const Corpus> buildAnnotated()
{
    CorpusOptions options;
    BuildStats stats;
    CorpusBuilder b(options, QString(), stats);
    const uint32_t genre = b.attributeIndex("genre", cpb("Жанр"));
    annotated::Document one, two;
    one.tokens = {tok("Стали", "сталь", "NOUN", "Case=Nom"), tok("стали", "стать", "VERB", "Tense=Past"),
                  tok("крепче", "крепкий", "ADJ", "Degree=Cmp"), tok(".", "", "PUNCT", "")};
    two.tokens = {tok("Сталь", "сталь", "NOUN", "Case=Nom"), tok("стала", "стать", "VERB", "Tense=Past"),
                  tok(".", "", "PUNCT", "")};
    TextInfo a, c;
    a.author = cpb("Гоголь");
    a.title = cpb("Сталь");
    a.attributes = {{genre, cpb("повесть")}};
    c.author = cpb("Пушкин");
    c.title = cpb("Стих");
    c.attributes = {{0, cpb("стихи")}};
    b.addDocument(one, a);
    b.addDocument(two, c);
    return b.finish(false);
}

} // namespace

class TstConcAnnotated : public QObject {
    Q_OBJECT
    QTemporaryDir m_tmp;

    static std::shared_ptr<CorvusService> serve(std::shared_ptr<const ConcEngine> engine)
    {
        auto service = std::make_shared<CorvusService>(CorpusFacts{"t", 5, 2},
                                                       QList<std::shared_ptr<const ServedDictionary>>{});
        registerListHandlers(*service, engine);
        return service;
    }
    // The texts of a value list: `charNo` at level 1, optionally under one fixed level.
    static QByteArrayList list(const CorvusService &s, int charNo, int fixChar = -1, qint32 fixValue = -1)
    {
        tCConcPos c;
        c.Level = 1;
        c.CharNo[1] = charNo;
        c.ValueNo[1] = -1;
        for (auto &m : c.Move)
            m = ' ';
        if (fixChar >= 0) {
            c.Mark[1] = 'Y';
            c.CharNo[1] = fixChar;
            c.ValueNo[1] = fixValue;
            c.Level = 2;
            c.CharNo[2] = charNo;
            c.ValueNo[2] = -1;
        }
        OptionList o = OptionList::initial();
        o.set("LBC_W_Max", "20");
        o.set("TabType", "CONC2");
        tCDictPos dict(-1);
        const auto r = replyreader::readReply(
            corvustest::unframe(corvustest::handleWire(s, requests::wire("CN_W", requests::concParams(c, o)))), c,
            dict, o);
        QByteArrayList out;
        for (const auto &e : conccore::parseWordPage(r.body, true).entries)
            out.append(e.whole + ' ' + QByteArray::number(e.rec.Count));
        return out;
    }

private slots:
    void index_tellsTheLemmasOfOneFormApart()
    {
        const auto c = buildAnnotated();
        QVERIFY(c && c->annotated());
        QCOMPARE(c->forms().size(), 4u);
        QCOMPARE(c->typeCount(), 5u);
        // Tokens 0 and 1 are both "стали"; 3 and 6 are punctuation.
        QCOMPARE(c->formOf(0), c->formOf(1));
        QCOMPARE(c->lemmas().text(c->lemmaOf(0)), cp("сталь"));
        QCOMPARE(c->lemmas().text(c->lemmaOf(1)), cp("стать"));
        QCOMPARE(c->posOfType(c->typeOf(1)), std::string_view("VERB"));
        QCOMPARE(c->featsOfType(c->typeOf(0)), std::string_view("Case=Nom"));
        const uint32_t steel = c->findLemma(cp("сталь"));
        QCOMPARE(c->lemmas().count(steel), 2u);
        QCOMPARE(std::vector<uint32_t>(c->lemmaOccurrences(steel).begin(), c->lemmaOccurrences(steel).end()),
                 (std::vector<uint32_t>{0, 4}));
        QCOMPARE(c->formsOfLemma(steel).size(), size_t(2));   // "сталь" and "стали"
        QCOMPARE(c->attributeCount(), 1u);
        QCOMPARE(c->attributeCaption(0), cpb("Жанр"));
        QCOMPARE(c->textAttribute(1, 0), cpb("стихи"));
    }

    void lists_annotationsAreCharacteristics_andFilterTheForms()
    {
        const auto engine = std::make_shared<const ConcEngine>(buildAnnotated());
        QCOMPARE(engine->characteristicCount(), kCharCount + 3);
        const int pos = kCharCount, feats = kCharCount + 1, genre = kCharCount + 2;
        QCOMPARE(engine->characteristic(pos).name(), cpb("Часть речи"));
        QCOMPARE(engine->characteristic(feats).name(), cpb("Грамматические признаки"));
        QCOMPARE(engine->characteristic(genre).name(), cpb("Жанр"));
        QCOMPARE(engine->groups()[2].pattern, QByteArray("X11111000111"));
        QCOMPARE(engine->groups()[3].pattern, QByteArray("001100000001"));
        const auto s = serve(engine);
        QCOMPARE(list(*s, pos), (QByteArrayList{"ADJ 1", "NOUN 2", "VERB 2"}));
        QCOMPARE(list(*s, genre), (QByteArrayList{cpb("повесть 3"), cpb("стихи 2")}));
        QCOMPARE(list(*s, kCharLemma), (QByteArrayList{cpb("крепкий 1"), cpb("сталь 2"), cpb("стать 2")}));
        // The forms of the nouns: "стали" once, not twice.
        const qint32 noun = qint32(engine->characteristic(pos).find("NOUN"));
        QCOMPARE(list(*s, kCharForm, pos, noun), (QByteArrayList{cpb("стали /сталь 1"), cpb("сталь /сталь 1")}));
        // The selection of a lemma holds its own tokens only.
        Query q;
        q.listChar = kCharLemma;
        QCOMPARE(engine->occurrences(q, engine->characteristic(kCharLemma).find(cp("стать"))),
                 (std::vector<uint32_t>{1, 5}));
    }

    void everyFilter_matchesAWalkOverTheTokens()
    {
        // Each value of each characteristic fixed, each characteristic listed under it:
        // the selection and the list's counts against the tokens' own values.
        const auto engine = std::make_shared<const ConcEngine>(buildAnnotated());
        const Corpus &c = engine->corpus();
        const auto s = serve(engine);
        for (int fix = 0; fix < engine->characteristicCount(); ++fix) {
            const Characteristic &fc = engine->characteristic(fix);
            for (uint32_t v = 0; v < fc.valueCount(); ++v) {
                std::vector<uint32_t> want;
                for (uint32_t t = 0; t < c.tokenCount(); ++t)
                    if (!c.isPunct(t) && fc.valueOf(t) == v)
                        want.push_back(t);
                QCOMPARE(engine->matching({Condition{1, fix, {v}, 0}}), want);
                for (int listed = 0; listed < engine->characteristicCount(); ++listed) {
                    // The list is in value order; each entry ends in its count.
                    const Characteristic &lc = engine->characteristic(listed);
                    std::map<uint32_t, int> counts;
                    for (const uint32_t t : want)
                        ++counts[lc.valueOf(t)];
                    QList<int> expected, got;
                    for (const auto &[value, n] : counts)
                        expected.append(n);
                    for (const QByteArray &entry : list(*s, listed, fix, qint32(v)))
                        got.append(entry.mid(entry.lastIndexOf(' ') + 1).toInt());
                    QCOMPARE(got, expected);
                }
            }
        }
    }

    void plainText_taggedByTheMorphology_hasPartsOfSpeech()
    {
#ifndef CORVUS_TEST_MORPH_DIR
        QSKIP("the morphology dictionary is not in the build");
#else
        const QString root = m_tmp.filePath(QStringLiteral("plain"));
        corpusfixture::writeUtf8(root, QStringLiteral("prose/Автор/Текст.txt"),
                                 "Души были мне дороже. Тебя не было десять лет.\n");
        CorpusOptions o;
        o.paths = {root};
        o.cacheDir = m_tmp.filePath(QStringLiteral("plain-cache"));
        o.morphology = QStringLiteral(CORVUS_TEST_MORPH_DIR);
        QString error;
        const auto corpus = Corpus::load(o, &error);
        QVERIFY2(corpus, qPrintable(error));
        const auto engine = std::make_shared<const ConcEngine>(corpus);
        QCOMPARE(engine->characteristicCount(), kCharCount + 2);
        const int pos = kCharCount, feats = kCharCount + 1;
        QCOMPARE(engine->characteristic(pos).name(), cpb("Часть речи"));
        QCOMPARE(engine->characteristic(feats).name(), cpb("Грамматические признаки"));
        const auto s = serve(engine);
        QCOMPARE(list(*s, pos), (QByteArrayList{"ADV 1", "AUX 2", "NOUN 2", "NUM 1", "PART 1", "PRON 2"}));
        QCOMPARE(list(*s, kCharLemma), (QByteArrayList{cpb("быть 2"), cpb("год 1"), cpb("десять 1"), cpb("дорого 1"),
                                                        cpb("душа 1"), cpb("не 1"), cpb("ты 1"), cpb("я 1")}));
        const qint32 noun = qint32(engine->characteristic(pos).find("NOUN"));
        QCOMPARE(list(*s, kCharForm, pos, noun), (QByteArrayList{cpb("души /душа 1"), cpb("лет /год 1")}));
        const qint32 plural = qint32(engine->characteristic(feats).find("Animacy=Inan|Case=Nom|Gender=Fem|Number=Plur"));
        QCOMPARE(list(*s, kCharForm, feats, plural), (QByteArrayList{cpb("души /душа 1")}));

        // The same files lemmatised with hunspell have neither.
        o.useMorphology = false;
        o.cacheDir = m_tmp.filePath(QStringLiteral("plain-cache-hunspell"));
        const auto plain = Corpus::load(o, &error);
        QVERIFY2(plain, qPrintable(error));
        QCOMPARE(ConcEngine(plain).characteristicCount(), kCharCount);
#endif
    }

    void cache_keepsTypesAttributesAndTheEngineTables()
    {
        const auto built = buildAnnotated();
        const auto engine = std::make_shared<const ConcEngine>(built);
        TableWriter tables;
        engine->saveTables(tables);
        const QString path = m_tmp.filePath(QStringLiteral("a.idx"));
        const QByteArray fingerprint(32, 'f');
        QString why;
        QVERIFY(CacheFile::write(*built, path, fingerprint, &tables, &why));
        const std::shared_ptr<const Corpus> read = CacheFile::read(path, fingerprint, &why);
        QVERIFY2(read, qPrintable(why));
        QVERIFY(read->annotated());
        for (uint32_t t = 0; t < built->tokenCount(); ++t) {
            QCOMPARE(read->lemmaOf(t), built->lemmaOf(t));
            if (!built->isPunct(t))
                QCOMPARE(read->posOfType(read->typeOf(t)), built->posOfType(built->typeOf(t)));
        }
        QCOMPARE(read->textAttribute(0, 0), cpb("повесть"));
        const auto again = std::make_shared<const ConcEngine>(read);
        QVERIFY(again->fromTables());
        const auto s1 = serve(engine), s2 = serve(again);
        for (int charNo = 0; charNo < engine->characteristicCount(); ++charNo)
            QCOMPARE(list(*s2, charNo), list(*s1, charNo));
    }

    // A caption that spells a registration tag, records and a link marker, read
    // from vrt.conf: the characteristics reply carries it cleaned, so the client
    // reads one "CN_C" reply whose last item is that caption.
    void hostileCaption_characteristicsReplyCarriesItCleaned()
    {
        const QString root = m_tmp.path() + QStringLiteral("/hostile");
        corpusfixture::writeBytes(root, QStringLiteral("vrt.conf"),
                                  "columns=word\nattribute.genre=$NM=DICT=x,MES=y\x04$(1)$$+1,1$$-`\x01z\n");
        corpusfixture::writeBytes(root, QStringLiteral("h.vrt"), "<text genre=\"g\">\nx\n</text>\n");
        QString error;
        const auto corpus = corpusfixture::build({root}, m_tmp.path() + QStringLiteral("/hostile-cache"), &error);
        QVERIFY2(corpus, qPrintable(error));
        const auto service = serve(std::make_shared<const ConcEngine>(corpus));
        OptionList o;
        o.set("1", "2");
        const QByteArray reply = corvustest::unframe(corvustest::handleWire(
            *service, requests::wire("CN_C", requests::dictParams(tCDictPos(0), o))));
        // The client's option back in its record, then the nine characteristics
        // every corpus has and the caption, each with its one value.
        const QByteArray expected =
            QByteArray("$CN_C=\x05/26/\x05") + "1=2,ChangeConcC=YES,SD=YES"
            + cpb("Словоформа,1,Лемма,1,Автор,1,\"Название текста\",1,\"Вид текста\",1,\"Год создания\",1,"
                  "Десятилетие,1,\"Окончание словоформы\",1,\"Длина словоформы\",1,")
            + "\"\xA4NM=DICT=x,MES=y \xA4(1)\xA4\xA4+1,1\xA4\xA4-' z\",1";
        QCOMPARE(reply, expected);
    }
};

QTEST_GUILESS_MAIN(TstConcAnnotated)
#include "tst_conc_annotated.moc"
