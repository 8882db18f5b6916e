// The concordance value lists of the server, requested with the client's own
// request composer and read back with the client's own reply reader, record
// parsers and reference-list reader: characteristics and groups, each order and
// list position, prefixes and wildcards, filters of two and three levels, composed
// value sets, co-occurrence to both sides, the whole-list export, the word clicked
// in the text view, and the requests the server must refuse. The corpus and its
// hunspell dictionary are written by the test, so every count is known.
#include "concordance/Characteristics.h"
#include "concordance/Query.h"
#include "concordance/ValueList.h"
#include "corpus/Charset.h"
#include "concordance/core/ConcReplies.h"
#include "dictionary/core/RefList.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"
#include "wire/ReplyReader.h"
#include "service/CorvusService.h"
#include "support/ServiceCall.h"
#include "wire/RequestReader.h"
#include "support/CorpusFixture.h"
#include "support/CorvusProcess.h"

#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <set>

using namespace corvus;
using namespace corvus::conc;
using corpusfixture::cp;
using corpusfixture::cpb;

namespace {

QByteArray ru(const char *s)
{
    return cp1251::ru(s);
}

// A reply as the client sees it after its reply reader.
struct Read {
    QByteArray tag;
    QByteArray body;
    tCConcPos conc;
    OptionList options;
    // The values as the client reads them, empty values shown with their mark.
    QList<conccore::WordEntry> items;
    QByteArrayList texts() const
    {
        QByteArrayList out;
        for (const auto &e : items)
            out.append(e.whole);
        return out;
    }
    QList<qint32> alphaNos() const
    {
        QList<qint32> out;
        for (const auto &e : items)
            out.append(e.rec.AlphaNo);
        return out;
    }
};

} // namespace

class TstConcLists : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    std::shared_ptr<const Corpus> m_corpus;
    std::shared_ptr<const ConcEngine> m_engine;
    std::shared_ptr<CorvusService> m_service;

    uint32_t value(int charNo, const char *utf8) const { return m_engine->characteristic(charNo).find(cp(utf8)); }
    uint32_t tokenOf(const char *utf8, int n = 0) const
    {
        const uint32_t f = m_corpus->findForm(cp(utf8));
        return m_corpus->forms().postings(f)[size_t(n)];
    }

    QByteArray send(const QByteArray &wire) const { return corvustest::handleWire(*m_service, wire); }
    static QByteArray unframe(const QByteArray &reply) { return corvustest::unframe(reply); }

    Read readReply(const QByteArray &reply, tCConcPos conc, OptionList options) const
    {
        Read out;
        tCDictPos dict(-1);
        const replyreader::ReplyRead r = replyreader::readReply(unframe(reply), conc, dict, options);
        out.tag = r.tag;
        out.body = r.body;
        out.conc = conc;
        out.options = options;
        if (r.tag == "CN_W")
            out.items = conccore::parseWordPage(r.body, true).entries;
        return out;
    }

    // "CN_W" as the word-list paging sends it (position and options).
    Read list(tCConcPos conc, OptionList options) const
    {
        const QByteArray wire = requests::wire("CN_W", requests::concParams(conc, options));
        return readReply(send(wire), conc, options);
    }

    static OptionList options(int rows, const char *sort = "A")
    {
        OptionList o = OptionList::initial();
        o.set("LBC_W_Max", QByteArray::number(rows));
        o.set("SortD", sort);
        o.set("TabType", "CONC2");
        return o;
    }

    // A position listing characteristic `charNo` at level 1 with nothing fixed.
    static tCConcPos level1(int charNo)
    {
        tCConcPos c;
        c.Level = 1;
        c.CharNo[1] = charNo;
        c.ValueNo[1] = -1;
        for (auto &m : c.Move)
            m = ' ';
        return c;
    }

    static void fix(tCConcPos &c, int level, int charNo, qint32 valueNo)
    {
        c.Mark[size_t(level)] = 'Y';
        c.CharNo[size_t(level)] = charNo;
        c.ValueNo[size_t(level)] = valueNo;
    }

    // What the list should hold, counted by walking every token of the corpus.
    std::map<uint32_t, uint32_t> bruteCounts(const std::vector<Condition> &fixed, int listChar, int distance) const
    {
        const Corpus &c = *m_corpus;
        auto holds = [&](const Condition &f, uint32_t tok) {
            auto has = [&](uint32_t u) {
                const uint32_t v = m_engine->characteristic(f.charNo).valueOf(u);
                return std::find(f.values.begin(), f.values.end(), v) != f.values.end();
            };
            if (f.distance == 0)
                return has(tok);
            std::vector<uint32_t> w;
            m_engine->window(tok, f.distance, w);
            return std::any_of(w.begin(), w.end(), has);
        };
        std::map<uint32_t, uint32_t> out;
        for (uint32_t tok = 0; tok < c.tokenCount(); ++tok) {
            if (c.isPunct(tok))
                continue;
            if (!std::all_of(fixed.begin(), fixed.end(), [&](const Condition &f) { return holds(f, tok); }))
                continue;
            const Characteristic &lc = m_engine->characteristic(listChar);
            if (distance == 0) {
                ++out[lc.valueOf(tok)];
                continue;
            }
            // Independent of the engine's window: walk the text by hand.
            const TextInfo &t = c.text(c.textOf(tok));
            std::set<uint32_t> seen;
            int words = 0;
            for (int64_t u = int64_t(tok) + (distance > 0 ? 1 : -1);
                 u >= int64_t(t.firstToken) && u < int64_t(t.firstToken + t.tokenCount) && words < std::abs(distance);
                 u += distance > 0 ? 1 : -1) {
                if (c.isPunct(uint32_t(u)))
                    continue;
                ++words;
                seen.insert(lc.valueOf(uint32_t(u)));
            }
            for (const uint32_t v : seen)
                ++out[v];
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        const QString lit = m_tmp.path() + QStringLiteral("/lit");
        const QString fort = m_tmp.path() + QStringLiteral("/fort");
        const QString dict = m_tmp.path() + QStringLiteral("/dict");
        corpusfixture::writeUtf8(lit, QStringLiteral("poems/Пушкин/Зима.txt"),
                                 "Мороз и солнце; день чудесный!\n"
                                 "Ещё ты дремлешь, друг прелестный —\n"
                                 "Лес и дом, и лес в снегу.\n");
        corpusfixture::writeUtf8(lit, QStringLiteral("poems/Пушкин/info.csv"), "name,year\nЗима,1829\n");
        corpusfixture::writeUtf8(lit, QStringLiteral("prose/Гоголь/Нос.txt"),
                                 "Нос пропал. Майор искал нос в лесу и дома.\n"
                                 "Лесом шёл майор, и лес молчал.\n");
        corpusfixture::writeUtf8(lit, QStringLiteral("prose/Гоголь/info.csv"), "name,year\nНос,1836\n");
        corpusfixture::writeUtf8(lit, QStringLiteral("prose/Толстой/Рубка леса.txt"),
                                 "Лес шумел. В лесу было темно.\n"
                                 "Дом стоял у леса, и дом молчал.\n");
        corpusfixture::writeUtf8(lit, QStringLiteral("prose/Толстой/info.csv"), "name,year\nРубка леса,1853-1855\n");
        corpusfixture::writeUtf8(fort, QStringLiteral("mysli"), "Лес рубят.\n\t\t-- Народ $NM= /x\n%\n");
        corpusfixture::writeUtf8(dict, QStringLiteral("mini.aff"),
                                 "SET UTF-8\nSFX A Y 4\nSFX A 0 а .\nSFX A 0 у .\nSFX A 0 ом .\nSFX A 0 е .\n");
        corpusfixture::writeUtf8(dict, QStringLiteral("mini.dic"),
                                 "14\nлес/A\nдом/A\nнос/A\nмайор/A\nснег/A\nмороз\nи\nв\nу\nдень\nсолнце\nты\nдруг\n");

        CorpusOptions o;
        o.paths = {lit, fort};
        o.cacheDir = m_tmp.path() + QStringLiteral("/cache");
        o.dictionary = dict + QStringLiteral("/mini");
        o.useMorphology = false;   // the lemmas are those of the rules above
        QString error;
        m_corpus = Corpus::load(o, &error);
        QVERIFY2(m_corpus, qPrintable(error));
        QCOMPARE(m_corpus->wordCount(), uint64_t(47));
        m_engine = std::make_shared<const ConcEngine>(m_corpus);
        m_service = std::make_shared<CorvusService>(CorpusFacts{"t", 47, 4},
                                                    QList<std::shared_ptr<const ServedDictionary>>{});
        registerListHandlers(*m_service, m_engine);
    }

    void characteristics_namesWithValueCounts_andConcordanceOffered()
    {
        const QByteArray wire = requests::wire("CN_C", requests::dictParams(tCDictPos(0), OptionList::initial()));
        const Read r = readReply(send(wire), tCConcPos(), OptionList::initial());
        QCOMPARE(r.tag, QByteArray("CN_C"));
        QCOMPARE(r.options.value("ChangeConcC"), QByteArray("YES"));
        QCOMPARE(r.options.value("1"), QByteArray("2"));   // the client's own options come back
        const QList<conccore::Characteristic> items = conccore::parseCharacteristics(r.body);
        QCOMPARE(items.size(), kCharCount);
        const QByteArrayList names = {ru("Словоформа"), ru("Лемма"), ru("Автор"), ru("Название текста"),
                                      ru("Вид текста"), ru("Год создания"), ru("Десятилетие"),
                                      ru("Окончание словоформы"), ru("Длина словоформы")};
        // 30 forms; 13 lemmas and the empty one; 4 authors (Народ of the fortune);
        // kinds: изречения, проза, стихи; years: none, 1829, 1836, 1853-1855.
        const QList<int> counts = {30, 14, 4, 4, 3, 4, 4, -1, -1};
        for (int i = 0; i < kCharCount; ++i) {
            QCOMPARE(items[i].name, names[i]);
            if (counts[i] >= 0)
                QCOMPARE(items[i].count, counts[i]);
            QCOMPARE(quint32(items[i].count), m_engine->characteristic(i).valueCount());
        }
        QVERIFY(m_service->registrationBody("1.4.12.0x").contains("CONC,"));
    }

    void groups_patternsGiveListsBasesGridAndHeading()
    {
        tCConcPos conc;
        const QByteArray wire =
            requests::wire("CN_Cx", requests::concDictParams(conc, tCDictPos(0), OptionList::initial()));
        const Read r = readReply(send(wire), conc, OptionList::initial());
        QCOMPARE(r.tag, QByteArray("CN_Cx"));
        const QList<conccore::Group> lines = conccore::parseGroups(r.body);
        QCOMPARE(lines.size(), 4);
        for (const conccore::Group &l : lines) {
            QVERIFY(l.named && !l.name.isEmpty());
            QCOMPARE(l.pattern.size(), qsizetype(kCharCount));
        }
        // Group 0: every characteristic, word form the default; group 1: word form
        // and lemma; group 3: author, title.
        QCOMPARE(lines[0].pattern, QByteArray("X11111111"));
        QCOMPARE(lines[1].pattern, QByteArray("X10000000"));
        QCOMPARE(lines[1].code, QByteArray("\xC8\xC9"));
        QCOMPARE(lines[3].code, QByteArray("\xCA\xCB"));
        QCOMPARE(m_engine->groupMembers(1), (QList<int>{kCharForm, kCharLemma}));
        QCOMPARE(m_engine->groupMembers(3), (QList<int>{kCharAuthor, kCharTitle}));
        QCOMPARE(m_engine->groupMembers(0).size(), kCharCount);
    }

    void alphabetical_topPage_russianOrderNumbersAndSecondColumn()
    {
        const Read r = list(level1(kCharForm), options(6));
        QCOMPARE(r.tag, QByteArray("CN_W"));
        QCOMPARE(r.texts(), QByteArrayList({ru("было /"), ru("в /в"), ru("день /день"), ru("дом /дом"),
                                            ru("дома /дом"), ru("дремлешь /")}));
        QCOMPARE(r.alphaNos(), (QList<qint32>{0, 1, 2, 3, 4, 5}));
        // AlphaNo, Count, FilterNo, FreqNo: "в" 3 times, third by frequency (и, лес, в).
        QCOMPARE(r.items[1].rec, (conccore::ListRecord{1, 3, 1, 2}));
        QCOMPARE(r.items[3].rec, (conccore::ListRecord{3, 3, 3, 3}));
        QCOMPARE(r.conc.ValueNo[0], 30);
        QCOMPARE(r.conc.ValueNo[1], 0);
        QCOMPARE(r.conc.Move[1], ' ');
        QCOMPARE(r.conc.Level, 1);
        QCOMPARE(r.options.value("LBCWIndex"), QByteArray("0"));
        QCOMPARE(r.options.value("ConcSBarW"), QByteArray("0"));
        QVERIFY(!r.options.has("ListPos"));
    }

    void frequencyAndReverse_orders()
    {
        Read r = list(level1(kCharForm), options(9, "Q"));
        QCOMPARE(r.texts(), QByteArrayList({ru("и /и"), ru("лес /лес"), ru("в /в"), ru("дом /дом"), ru("лесу /лес"),
                                            ru("майор /майор"), ru("молчал /"), ru("нос /нос"), ru("было /")}));
        for (int i = 0; i < r.items.size(); ++i) {
            QCOMPARE(r.items[i].rec.FilterNo, i);   // FilterNo: the place in this list
            QCOMPARE(r.items[i].rec.FreqNo, i);   // FreqNo
        }
        QCOMPARE(r.items[0].rec.Count, 6);
        QCOMPARE(r.items[1].rec.Count, 5);

        // Rhyme order: by the last letter, then the one before it.
        r = list(level1(kCharForm), options(4, "B"));
        QCOMPARE(r.texts(), QByteArrayList({ru("дома /дом"), ru("леса /лес"), ru("в /в"), ru("друг /друг")}));
        QCOMPARE(r.alphaNos(), (QList<qint32>{4, 11, 1, 6}));

        // Years: numbers in order; reverse is descending; the texts without a year
        // (the fortune) give the empty value, first.
        r = list(level1(kCharYear), options(10));
        QCOMPARE(r.texts(), QByteArrayList({conccore::emptyValueMark(), "1829", "1836", "1853-1855"}));
        QCOMPARE(r.items[0].rec.Count, 2);
        QCOMPARE(r.items[3].rec.Count, 13);
        r = list(level1(kCharYear), options(10, "B"));
        QCOMPARE(r.texts(), QByteArrayList({"1853-1855", "1836", "1829", conccore::emptyValueMark()}));
    }

    void emptyValues_listedWithARealNumber_forTheClientToMarkOrDrop()
    {
        const Read r = list(level1(kCharLemma), options(3));
        QCOMPARE(r.items.size(), 3);
        QCOMPARE(r.items[0].whole, conccore::emptyValueMark());
        // AlphaNo 0, not the "no reference" -1 (the reader would stop before it).
        QCOMPARE(r.items[0].rec, (conccore::ListRecord{0, 14, 0, 0}));   // 14 words hunspell does not know
        QCOMPARE(r.items[1].whole, ru("в"));
        QCOMPARE(r.conc.ValueNo[0], 14);
        // Titles carry their author in the second column.
        const Read t = list(level1(kCharTitle), options(10));
        QCOMPARE(t.texts(), QByteArrayList({ru("Зима /Пушкин"), ru("Нос /Гоголь"), ru("Рубка леса /Толстой"),
                                            ru("mysli, № 1 /Народ ¤NM= |x")}));
    }

    void listPositions_prefixSelectedPrevNextEndMoveAndThumb_data()
    {
        QTest::addColumn<QByteArray>("listPos");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<qint32>("selected");
        QTest::addColumn<char>("move");
        QTest::addColumn<QByteArray>("thumb");
        QTest::addColumn<qint32>("first");     // AlphaNo of the first entry of the page
        QTest::addColumn<int>("rows");
        QTest::addColumn<QByteArray>("index"); // LBCWIndex
        QTest::addColumn<QByteArray>("thumbBack");
        // Alphabetical ids: ... лес 10, леса 11, лесом 12, лесу 13, майор 14 ... шумел 29.
        QTest::newRow("top") << QByteArray("TOP") << QByteArray() << 10 << ' ' << QByteArray() << 0 << 5 << QByteArray("0") << QByteArray("0");
        QTest::newRow("selected value") << QByteArray() << QByteArray() << 10 << ' ' << QByteArray() << 10 << 5 << QByteArray("0") << QByteArray("40");
        QTest::newRow("prefix") << QByteArray() << ru("лесо") << 2 << ' ' << QByteArray() << 12 << 5 << QByteArray("0") << QByteArray("48");
        QTest::newRow("prefix between values") << QByteArray() << ru("лб") << -1 << ' ' << QByteArray() << 10 << 5 << QByteArray("0") << QByteArray("40");
        QTest::newRow("prefix beyond the end") << QByteArray() << ru("яя") << -1 << ' ' << QByteArray() << 29 << 1 << QByteArray("0") << QByteArray("100");
        QTest::newRow("prev") << QByteArray("PREV") << QByteArray() << 10 << ' ' << QByteArray() << 5 << 5 << QByteArray("4") << QByteArray("20");
        QTest::newRow("prev near top") << QByteArray("PREV") << QByteArray() << 2 << ' ' << QByteArray() << 0 << 5 << QByteArray("1") << QByteArray("0");
        QTest::newRow("next") << QByteArray("NEXT") << QByteArray() << 10 << ' ' << QByteArray() << 11 << 5 << QByteArray("0") << QByteArray("44");
        QTest::newRow("end") << QByteArray("END") << QByteArray() << 3 << ' ' << QByteArray() << 25 << 5 << QByteArray("4") << QByteArray("100");
        QTest::newRow("move +") << QByteArray() << QByteArray() << 10 << '+' << QByteArray() << 15 << 5 << QByteArray("0") << QByteArray("60");
        QTest::newRow("move + at end") << QByteArray() << QByteArray() << 25 << '+' << QByteArray() << 25 << 5 << QByteArray("0") << QByteArray("100");
        QTest::newRow("move -") << QByteArray() << QByteArray() << 10 << '-' << QByteArray() << 5 << 5 << QByteArray("0") << QByteArray("20");
        QTest::newRow("thumb") << QByteArray() << QByteArray() << 3 << ' ' << QByteArray("50") << 13 << 5 << QByteArray("0") << QByteArray("52");
        QTest::newRow("thumb beyond") << QByteArray() << QByteArray() << 3 << ' ' << QByteArray("400") << 25 << 5 << QByteArray("0") << QByteArray("100");
    }

    void listPositions_prefixSelectedPrevNextEndMoveAndThumb()
    {
        QFETCH(QByteArray, listPos);
        QFETCH(QByteArray, request);
        QFETCH(qint32, selected);
        QFETCH(char, move);
        QFETCH(QByteArray, thumb);
        QFETCH(qint32, first);
        QFETCH(int, rows);
        QFETCH(QByteArray, index);
        QFETCH(QByteArray, thumbBack);
        tCConcPos c = level1(kCharForm);
        c.ValueNo[1] = selected;
        c.Request[1] = request;
        c.Move[1] = move;
        OptionList o = options(5);
        o.set("ListPos", listPos);
        o.set("ConcSBarW", thumb);
        const Read r = list(c, o);
        QCOMPARE(r.tag, QByteArray("CN_W"));
        QCOMPARE(r.items.size(), rows);
        QCOMPARE(r.items[0].rec.AlphaNo, first);
        QCOMPARE(r.items[0].rec.FilterNo, first);   // unfiltered: FilterNo is the place too
        QCOMPARE(r.options.value("LBCWIndex"), index);
        QCOMPARE(r.options.value("ConcSBarW"), thumbBack);
        QVERIFY(!r.options.has("ListPos"));   // a later button request must not repeat it
        QCOMPARE(r.conc.Move[1], ' ');
        QCOMPARE(r.conc.ValueNo[1], r.items[index.toInt()].rec.AlphaNo);
        QCOMPARE(r.conc.ValueNo[0], 30);
    }

    void wildcards_restrictTheList_andKeepItsOwnNumbering()
    {
        tCConcPos c = level1(kCharForm);
        c.Request[1] = ru("*у");
        Read r = list(c, options(10));
        QCOMPARE(r.texts(), QByteArrayList({ru("лесу /лес"), ru("снегу /снег"), ru("у /у")}));
        QCOMPARE(r.conc.ValueNo[0], 3);
        QCOMPARE(r.items[1].rec.FilterNo, 1);    // FilterNo within the restricted list
        QCOMPARE(r.items[1].rec.AlphaNo, 21);  // AlphaNo in the whole list
        QVERIFY(!r.options.has("ConcSBarW"));   // one page: no scroll bar
        QCOMPARE(r.conc.Request[1], ru("*у"));  // the pattern stays for the next page

        c.Request[1] = ru("Л*М");   // any case
        r = list(c, options(10));
        QCOMPARE(r.texts(), QByteArrayList({ru("лесом /лес")}));
        c.Request[1] = ru("д*");
        r = list(c, options(10, "Q"));
        QCOMPARE(r.texts(), QByteArrayList({ru("дом /дом"), ru("день /день"), ru("дома /дом"), ru("дремлешь /"),
                                            ru("друг /друг")}));
        c.Request[1] = ru("*ю*");
        r = list(c, options(10));
        QVERIFY(r.items.isEmpty());
        QCOMPARE(r.conc.ValueNo[0], 0);
        QVERIFY(r.body.isEmpty());
    }

    void filters_twoLevels_countsUnderTheAuthor()
    {
        tCConcPos c = level1(kCharForm);
        fix(c, 1, kCharAuthor, qint32(value(kCharAuthor, "Гоголь")));
        c.Level = 2;
        c.CharNo[2] = kCharForm;
        c.ValueNo[2] = -1;
        const Read r = list(c, options(20));
        QCOMPARE(r.conc.ValueNo[0], 12);
        QCOMPARE(r.texts(), QByteArrayList({ru("в /в"), ru("дома /дом"), ru("и /и"), ru("искал /"), ru("лес /лес"),
                                            ru("лесом /лес"), ru("лесу /лес"), ru("майор /майор"), ru("молчал /"),
                                            ru("нос /нос"), ru("пропал /"), ru("шёл /")}));
        // "и": AlphaNo 8, twice in Gogol, third in the filtered list, first by frequency.
        QCOMPARE(r.items[2].rec, (conccore::ListRecord{8, 2, 2, 0}));
        QCOMPARE(r.conc.Mark[1], 'Y');
        QCOMPARE(r.conc.ValueNo[1], qint32(value(kCharAuthor, "Гоголь")));

        // Frequency order under the filter: counts in Gogol, ties alphabetical.
        const Read q = list(c, options(4, "Q"));
        QCOMPARE(q.texts(), QByteArrayList({ru("и /и"), ru("майор /майор"), ru("нос /нос"), ru("в /в")}));
        QCOMPARE(q.items[3].rec.FilterNo, 3);
        QCOMPARE(q.items[3].rec.FreqNo, 2);   // "в" is third in the whole corpus
    }

    void filters_threeLevels_andAComposedValueSet()
    {
        // Prose, lemma "лес", then the authors.
        tCConcPos c = level1(kCharKind);
        fix(c, 1, kCharKind, qint32(value(kCharKind, "проза")));
        fix(c, 2, kCharLemma, qint32(value(kCharLemma, "лес")));
        c.Level = 3;
        c.CharNo[3] = kCharAuthor;
        c.ValueNo[3] = -1;
        Read r = list(c, options(10));
        QCOMPARE(r.texts(), QByteArrayList({ru("Гоголь"), ru("Толстой")}));
        QCOMPARE(r.items[0].rec.Count, 3);   // лесу, лесом, лес
        QCOMPARE(r.items[1].rec.Count, 3);   // Лес, лесу, леса
        c.CharNo[3] = kCharForm;
        r = list(c, options(10));
        QCOMPARE(r.texts(), QByteArrayList({ru("лес /лес"), ru("леса /лес"), ru("лесом /лес"), ru("лесу /лес")}));
        QCOMPARE(r.items[0].rec.Count, 2);
        QCOMPARE(r.items[3].rec.Count, 2);

        // Row 1 a composed set {лес, лесом} (the wire writes its "," as "."), then the authors.
        tCConcPos s = level1(kCharForm);
        fix(s, 1, kCharForm, 0);
        s.Request[1] = "**" + QByteArray::number(value(kCharForm, "лес")) + ','
            + QByteArray::number(value(kCharForm, "лесом"));
        s.Level = 2;
        s.CharNo[2] = kCharAuthor;
        s.ValueNo[2] = -1;
        r = list(s, options(10));
        QCOMPARE(r.texts(), QByteArrayList({ru("Гоголь"), ru("Народ ¤NM= |x"), ru("Пушкин"), ru("Толстой")}));
        QCOMPARE(r.items[0].rec.Count, 2);
        QCOMPARE(r.items[1].rec.Count, 1);
        QCOMPARE(r.items[2].rec.Count, 2);
        QCOMPARE(r.items[3].rec.Count, 1);
        QCOMPARE(r.conc.Request[1], s.Request[1].replace(',', '.'));
    }

    void cooccurrence_rightAndLeft_wordsOnlyWithinTheText()
    {
        tCConcPos c = level1(kCharForm);
        fix(c, 1, kCharLemma, qint32(value(kCharLemma, "лес")));
        c.Level = 2;
        c.CharNo[2] = kCharForm;
        c.ValueNo[2] = -1;
        c.Distance[2] = 1;
        Read r = list(c, options(20));
        // The word after each "лес": и (Лес и; лесу и; леса, и - the comma is
        // skipped), в, шёл, молчал, шумел, было, рубят.
        QCOMPARE(r.texts(), QByteArrayList({ru("было /"), ru("в /в"), ru("и /и"), ru("молчал /"), ru("рубят /"),
                                            ru("шёл /"), ru("шумел /")}));
        QCOMPARE(r.items[2].rec.Count, 3);
        QCOMPARE(r.conc.Distance[2], 1);

        c.Distance[2] = -1;
        r = list(c, options(20));
        // The word before: прелестный (across "—"), и twice, в twice, дома (across
        // "."), у; a text's first word has none.
        QCOMPARE(r.texts(), QByteArrayList({ru("в /в"), ru("дома /дом"), ru("и /и"), ru("прелестный /"), ru("у /у")}));
        QCOMPARE(r.items[0].rec.Count, 2);
        QCOMPARE(r.items[2].rec.Count, 2);

        // Within 2 words to the right: "Лес и дом" counts "дом" once for "Лес" and
        // "и" once although "и" also follows "дом".
        c.Distance[2] = 2;
        r = list(c, options(30));
        const auto expected = bruteCounts({Condition{1, kCharLemma, {value(kCharLemma, "лес")}, 0}}, kCharForm, 2);
        QCOMPARE(r.items.size(), int(expected.size()));
        for (const auto &e : r.items)
            QCOMPARE(uint32_t(e.rec.Count), expected.at(uint32_t(e.rec.AlphaNo)));

        // The last word of a text has nothing on its right: the next text is not
        // its continuation.
        tCConcPos last = level1(kCharForm);
        fix(last, 1, kCharForm, qint32(value(kCharForm, "снегу")));
        last.Level = 2;
        last.CharNo[2] = kCharForm;
        last.ValueNo[2] = -1;
        last.Distance[2] = 1;
        r = list(last, options(20));
        QVERIFY(r.items.isEmpty());
        QCOMPARE(r.conc.ValueNo[0], 0);
    }

    void selection_occurrencesOfTheSelectedValue_underFiltersAndDistance()
    {
        // "лес" lemma followed by "и": Лес (Пушкин), лесу (Гоголь), леса (Толстой).
        tCConcPos c = level1(kCharForm);
        fix(c, 1, kCharLemma, qint32(value(kCharLemma, "лес")));
        c.Level = 2;
        c.CharNo[2] = kCharForm;
        c.ValueNo[2] = qint32(value(kCharForm, "и"));
        c.Distance[2] = 1;
        Selection s = m_engine->select(c, OptionList());
        QVERIFY(s.ok);
        QCOMPARE(s.tokens, (std::vector<uint32_t>{tokenOf("лес", 0), tokenOf("лесу", 0), tokenOf("леса", 0)}));

        // Without distance: the occurrences of "в" in prose.
        tCConcPos p = level1(kCharForm);
        fix(p, 1, kCharKind, qint32(value(kCharKind, "проза")));
        p.Level = 2;
        p.CharNo[2] = kCharForm;
        p.ValueNo[2] = qint32(value(kCharForm, "в"));
        s = m_engine->select(p, OptionList());
        QCOMPARE(s.tokens, (std::vector<uint32_t>{tokenOf("в", 1), tokenOf("в", 2)}));
        QCOMPARE(s.value, value(kCharForm, "в"));

        p.ValueNo[2] = -1;
        s = m_engine->select(p, OptionList());
        QVERIFY(!s.ok);
        QVERIFY(!s.error.isEmpty());
    }

    void fullExport_wholeListMarkedFill()
    {
        tCConcPos c = level1(kCharForm);
        c.ValueNo[1] = 10;
        OptionList o = options(5);
        o.set("ListPos", "FULL");
        o.set("ConcSBarW", "30");
        const Read r = list(c, o);
        QCOMPARE(r.items.size(), 30);
        QCOMPARE(r.options.value("ListPos"), QByteArray("FILL"));
        QVERIFY(!r.options.has("ConcSBarW"));
        QVERIFY(!r.options.has("LBCWIndex"));
        for (int i = 0; i < 30; ++i)
            QCOMPARE(r.items[i].rec.AlphaNo, i);
        QCOMPARE(r.conc.ValueNo[0], 30);
        // Every element reads, the last one too (no separator after it).
        QCOMPARE(reflist::readAll(r.body).size(), 30);
    }

    void textViewClick_positionsAtTheClickedWord_andRefixesRowsItBreaks()
    {
        const uint32_t doma = tokenOf("дома");   // in Gogol's text
        tCConcPos c = level1(kCharForm);
        c.CurLine = qint32(doma);
        c.FirstLine = qint32(doma);
        OptionList o = options(5);
        o.set("TabType", "CONC4");
        Read r = list(c, o);
        QCOMPARE(r.items[0].rec.AlphaNo, qint32(value(kCharForm, "дома")));
        QCOMPARE(r.options.value("TabType"), QByteArray("CONC4"));   // the client refreshes its row captions

        // Row 1 fixed on Tolstoy: the clicked word is Gogol's, so the row follows it
        // and names its value for the caption; the list is of Gogol's words.
        fix(c, 1, kCharAuthor, qint32(value(kCharAuthor, "Толстой")));
        c.Level = 2;
        c.CharNo[2] = kCharLemma;
        c.ValueNo[2] = -1;
        r = list(c, o);
        QCOMPARE(r.conc.ValueNo[1], qint32(value(kCharAuthor, "Гоголь")));
        QCOMPARE(r.conc.Request[1], ru("Гоголь"));
        QCOMPARE(r.items[0].whole, ru("дом"));
        QCOMPARE(r.conc.ValueNo[2], qint32(value(kCharLemma, "дом")));
        QCOMPARE(r.conc.ValueNo[0], 7);   // "", в, дом, и, лес, майор, нос

        // A punctuation token or a number beyond the corpus changes nothing.
        c.CurLine = qint32(m_corpus->tokenCount() + 5);
        fix(c, 1, kCharAuthor, qint32(value(kCharAuthor, "Толстой")));
        r = list(c, o);
        QCOMPARE(r.conc.ValueNo[1], qint32(value(kCharAuthor, "Толстой")));
        QCOMPARE(r.items[0].rec.AlphaNo, 0);
    }

    void clickHook_getsTheReplyPositionAndTheToken()
    {
        auto service = std::make_shared<CorvusService>(CorpusFacts{"t", 47, 4},
                                                       QList<std::shared_ptr<const ServedDictionary>>{});
        uint32_t seen = kNone;
        registerListHandlers(*service, m_engine, [&](tCConcPos &conc, const OptionList &, uint32_t token) {
            seen = token;
            QCOMPARE(conc.ValueNo[1], qint32(value(kCharForm, "лесом")));
            conc.CurLine = 7;
            conc.Move[0] = 'C';
        });
        tCConcPos c = level1(kCharForm);
        c.CurLine = qint32(tokenOf("лесом"));
        OptionList o = options(5);
        o.set("TabType", "CONC4");
        const QByteArray wire = requests::wire("CN_W", requests::concParams(c, o));
        const wirerequest::Result parsed = wirerequest::parse(wire, true);
        const Read r = readReply(service->handle(parsed.request, SessionInfo{}).reply, c, o);
        QCOMPARE(seen, tokenOf("лесом"));
        QCOMPARE(r.conc.CurLine, 7);
        QCOMPARE(r.conc.Move[0], 'C');
    }

    void randomFilters_countsMatchAWalkOverEveryToken()
    {
        // Filters of one or two levels on any characteristics, with and without a
        // distance on the listed level: every count equals the brute-force count.
        QRandomGenerator rng(20240611);
        for (int round = 0; round < 150; ++round) {
            tCConcPos c = level1(kCharForm);
            std::vector<Condition> fixed;
            const int levels = int(rng.bounded(3));
            for (int k = 1; k <= levels; ++k) {
                const int ch = int(rng.bounded(kCharCount));
                const uint32_t n = m_engine->characteristic(ch).valueCount();
                Condition f{k, ch, {}, 0};
                if (rng.bounded(4) == 0) {
                    QByteArray set = "**";
                    for (int i = 0; i < 3; ++i) {
                        const uint32_t v = rng.bounded(n);
                        set += QByteArray::number(v) + ',';
                        f.values.push_back(v);
                    }
                    std::sort(f.values.begin(), f.values.end());
                    f.values.erase(std::unique(f.values.begin(), f.values.end()), f.values.end());
                    fix(c, k, ch, 0);
                    c.Request[size_t(k)] = set;
                } else {
                    f.values = {rng.bounded(n)};
                    fix(c, k, ch, qint32(f.values[0]));
                }
                fixed.push_back(f);
            }
            const int level = levels + 1;
            const int listChar = int(rng.bounded(kCharCount));
            const int distance = rng.bounded(3) == 0 ? int(rng.bounded(7)) - 3 : 0;
            c.Level = level;
            c.CharNo[size_t(level)] = listChar;
            c.ValueNo[size_t(level)] = -1;
            c.Distance[size_t(level)] = distance;
            const Read r = list(c, options(200, rng.bounded(2) ? "A" : "Q"));
            QCOMPARE(r.tag, QByteArray("CN_W"));
            const auto expected = bruteCounts(fixed, listChar, distance);
            QCOMPARE(r.items.size(), int(expected.size()));
            QCOMPARE(r.conc.ValueNo[0], qint32(expected.size()));
            // Every expected value once: no value twice in place of a missing one.
            std::set<uint32_t> seen;
            for (const auto &e : r.items) {
                QCOMPARE(uint32_t(e.rec.Count), expected.at(uint32_t(e.rec.AlphaNo)));
                QVERIFY(seen.insert(uint32_t(e.rec.AlphaNo)).second);
            }
            // The selection of each value has as many occurrences as its count.
            if (!r.items.isEmpty()) {
                const auto &e = r.items[int(rng.bounded(r.items.size()))];
                tCConcPos sel = c;
                sel.ValueNo[size_t(level)] = e.rec.AlphaNo;
                QCOMPARE(m_engine->select(sel, OptionList()).tokens.size(), size_t(e.rec.Count));
            }
        }
    }

    void badPositions_getZeroWithAReason_data()
    {
        QTest::addColumn<int>("what");
        QTest::addColumn<QByteArray>("reasonPart");
        QTest::newRow("characteristic out of range") << 0 << ru("Характеристика с номером 42");
        QTest::newRow("fixed level without a value") << 1 << ru("Фильтр уровня 1");
        QTest::newRow("set with a number beyond the list") << 2 << ru("составном фильтре уровня 1");
        QTest::newRow("level beyond five") << 3 << ru("Номер уровня");
        QTest::newRow("no position") << 4 << ru("нет позиции конкорданса");
    }

    void badPositions_getZeroWithAReason()
    {
        QFETCH(int, what);
        QFETCH(QByteArray, reasonPart);
        tCConcPos c = level1(kCharForm);
        QByteArray wire;
        switch (what) {
        case 0: c.CharNo[1] = 42; break;
        case 1: fix(c, 1, kCharAuthor, 99); c.Level = 2; break;
        case 2: fix(c, 1, kCharAuthor, 0); c.Request[1] = "**1,99999"; c.Level = 2; break;
        case 3: c.Level = 7; break;
        default: wire = "$CN_W=New\x05/3/\x05" "1=2"; break;
        }
        if (wire.isEmpty())
            wire = requests::wire("CN_W", requests::concParams(c, options(5)));
        const Read r = readReply(send(wire), c, OptionList());
        QCOMPARE(r.tag, QByteArray("ZERO"));
        QVERIFY2(r.body.contains(reasonPart), cp1251::decode(r.body).toUtf8().constData());
    }

    void corvusExe_offersConcordances_andAnswersTheListChainOverTcp()
    {
        // The real server: registration offers "CONC,", then the chain the client
        // runs on opening the tab, CN_C -> CN_Cx -> CN_W, and an export.
        corvustest::TinyCorpus tiny;
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
        corvustest::CorvusProcess corvus;
        QVERIFY2(corvus.start({QStringLiteral("--corpus"), tiny.path(), QStringLiteral("--port"), QStringLiteral("0"),
                               QStringLiteral("--cache"), tiny.cacheDir(), QStringLiteral("--no-local")},
                              env),
                 qPrintable(corvus.stderrText()));
        corvustest::WireClient client;
        QVERIFY(client.connectTo(corvus.port()));
        QVERIFY(client.nextReply().value_or(QByteArray()).startsWith("$RG="));
        auto ask = [&](const QByteArray &wire) {
            client.send(wire);
            return client.nextReply().value_or(QByteArray());
        };
        QVERIFY(ask("$NM=1.4.12.0" + ru("Проверка")).contains(",END,CONC,MES="));

        OptionList opts = options(4);
        tCConcPos conc;
        tCDictPos dict(0);
        auto read = [&](const QByteArray &text) {
            Read r;
            const replyreader::ReplyRead rr = replyreader::readReply(text, conc, dict, opts);
            r.tag = rr.tag;
            r.body = rr.body;
            r.items = conccore::parseWordPage(rr.body, true).entries;
            return r;
        };
        Read r = read(ask(requests::wire("CN_C", requests::dictParams(dict, opts))));
        QCOMPARE(r.tag, QByteArray("CN_C"));
        const QList<conccore::Characteristic> chars = conccore::parseCharacteristics(r.body);
#ifdef CORVUS_TEST_MORPH_DIR
        // The server finds the morphology's data beside it: the plain text has
        // parts of speech and features.
        QCOMPARE(chars.size(), kCharCount + 2);
        QCOMPARE(chars[kCharCount].name, ru("Часть речи"));
#else
        QCOMPARE(chars.size(), kCharCount);
#endif
        QCOMPARE(opts.value("ChangeConcC"), QByteArray("YES"));
        r = read(ask(requests::wire("CN_Cx", requests::concDictParams(conc, dict, opts))));
        QCOMPARE(conccore::parseGroups(r.body).size(), 4);

        conc.Level = 1;
        conc.CharNo[1] = kCharForm;
        conc.ValueNo[1] = -1;
        conc.ValueNo[0] = chars[0].count;
        r = read(ask(requests::wire("CN_W", requests::concDictParams(conc, dict, opts))));
        QCOMPARE(r.tag, QByteArray("CN_W"));
        QCOMPARE(r.items.size(), 4);
        QCOMPARE(conc.ValueNo[0], chars[0].count);   // the list's size, as CN_C announced
        QCOMPARE(opts.value("LBCWIndex"), QByteArray("0"));

        opts.set("ListPos", "FULL");
        r = read(ask(requests::wire("CN_W", requests::concParams(conc, opts))));
        QCOMPARE(r.items.size(), chars[0].count);
        QCOMPARE(opts.value("ListPos"), QByteArray("FILL"));

        // A word clicked in the text view (its token in CurLine, "4" in TabType):
        // the list starts at its form and the lines are pointed at it.
        CorpusOptions same;
        same.paths = {tiny.path()};
        same.cacheDir = tiny.cacheDir();
        QString error;
        const auto corpus = Corpus::load(same, &error);
        QVERIFY2(corpus, qPrintable(error));
        const uint32_t lesom = corpus->forms().postings(corpus->findForm(cp("лесом")))[1];
        opts.remove("ListPos");
        opts.set("TabType", "CONC4");
        conc.CurLine = qint32(lesom);
        conc.FirstLine = qint32(lesom);
        r = read(ask(requests::wire("CN_W", requests::concDictParams(conc, dict, opts))));
        QCOMPARE(r.tag, QByteArray("CN_W"));
        QVERIFY(r.items.value(0).whole.startsWith(ru("лесом /")));
        QCOMPARE(conc.Move[0], 'C');
        QVERIFY2(conc.CurLine == 1 || conc.CurLine == 2, QByteArray::number(conc.CurLine).constData());
    }

    void hostileTexts_cannotForgeMarkersOrTags()
    {
        // The fortune's author is "Народ $NM= /x": on the wire no "$" (the client
        // finds tags anywhere in a reply) and no " /" inside the value.
        tCConcPos authors = level1(kCharAuthor);
        const QByteArray reply = send(requests::wire("CN_W", requests::concParams(authors, options(10))));
        QVERIFY(!reply.contains("$NM="));
        const Read r = readReply(reply, level1(kCharAuthor), options(10));
        QCOMPARE(r.tag, QByteArray("CN_W"));
        QCOMPARE(r.items.size(), 4);
        QCOMPARE(r.items[1].whole, ru("Народ ¤NM= |x"));

        QCOMPARE(globMatch(cp("лесом"), cp("л*с*м")), true);
        QCOMPARE(globMatch(cp("лесом"), cp("л*с")), false);
        QCOMPARE(globMatch("", "*"), true);
        QCOMPARE(globMatch("abc", "a**c"), true);
        QCOMPARE(globMatch("abcbc", "*bc"), true);
        QCOMPARE(globMatch("ab", "abc*"), false);
    }
};

QTEST_GUILESS_MAIN(TstConcLists)
#include "tst_conc_lists.moc"
