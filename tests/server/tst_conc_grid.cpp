// The usage grid ("CT_D") read by the grid's rules: the heading row of group 2,
// one row per line of the page with its occurrence number, the "CONC" and "TEXT"
// variants, paging, the headword reference with its dictionary position; and the
// concordance tie "DTCR"/"DTCC" of the dictionary entries ("DC_S").
#include "concordance/core/ContextLines.h"
#include "support/ConcViewsFixture.h"

#include "dictionary/core/UsageGrid.h"

#include "model/CommaList.h"

#include <QStandardPaths>
#include <QTest>

using namespace corvus;
using namespace corvus::conc;
using concfixture::Read;
using concfixture::ru;
using concfixture::ViewsServer;

namespace {

// A dictionary of a few words, none of which need be in the corpus.
class WordList : public Dictionary {
public:
    explicit WordList(const QStringList &words) : m_index(words) {}
    QByteArray name() const override { return ru("Слова"); }
    const HeadwordIndex &index() const override { return m_index; }
    qint32 summarySecond() const override { return 0; }
    qint32 headwordSize(int) const override { return 0; }
    QList<QByteArray> entryLines(int place) const override { return {cp1251::encode(m_index.word(place))}; }

private:
    HeadwordIndex m_index;
};

} // namespace

class TstConcGrid : public QObject {
    Q_OBJECT
private:
    ViewsServer m_server;

    static OptionList gridOptions(const char *tabType, const QList<int> &group2)
    {
        OptionList o = ViewsServer::options(5, 2, "CLR");
        o.set("TabType", tabType);
        QByteArray code;
        for (const int c : group2)
            code += char(200 + c);
        o.set("Char2", code);
        return o;
    }
    tCConcPos homePosition() const { return ViewsServer::position(kCharForm, m_server.formId("дом")); }
    int headwordOf(const char *word) const
    {
        return m_server.service->dictionaries()[0]->dictionary().index().find(QString::fromUtf8(word));
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_server.start());
    }

    void concGrid_headingRowsOccurrencesAndHeadword()
    {
        const Read r = m_server.request("CT_D", homePosition(), gridOptions("CONC", {kCharForm, kCharLemma, kCharAuthor}));
        QCOMPARE(r.tag, QByteArray("CT_D"));
        const dictcore::UsageGrid g = dictcore::parseUsageGrid(r.body);
        QCOMPARE(g.rows.size(), 6);
        QCOMPARE(g.rows[0], QList<QByteArray>({ru("№"), m_server.engine->characteristic(kCharForm).name(),
                                               m_server.engine->characteristic(kCharLemma).name(),
                                               m_server.engine->characteristic(kCharAuthor).name()}));
        QCOMPARE(g.occurrence, QList<int>({-1, 1, 2, 3, 4, 5}));
        for (int row = 1; row <= 5; ++row)
            QCOMPARE(g.rows[row], QList<QByteArray>({QByteArray::number(row), ru("дом"), ru("дом"), ru("Борин")}));
        // The headword of the current line's word, on the current line's first cell.
        QCOMPARE(g.headword, headwordOf("дом"));
        QCOMPARE(g.selectedRow, 1);
        QCOMPARE(g.selectedColumn, 0);
        QCOMPARE(r.dict.DictNo, 0);
        QCOMPARE(r.dict.WordMode, 'A');
        QCOMPARE(r.dict.WordNo, headwordOf("дом"));
        QCOMPARE(r.conc.FirstLine, 1);
        QCOMPARE(r.conc.Found[1], 9);
    }

    void concGrid_pagesLikeTheLines()
    {
        const OptionList o = gridOptions("CONC", {kCharLemma});
        Read r = m_server.request("CT_D", homePosition(), o);
        tCConcPos c = r.conc;
        c.Move[0] = '+';
        OptionList next = r.options;
        next.remove("ConcSBar");
        r = m_server.request("CT_D", c, next);
        const dictcore::UsageGrid g = dictcore::parseUsageGrid(r.body);
        QCOMPARE(g.occurrence, QList<int>({-1, 5, 6, 7, 8, 9}));
        QCOMPARE(g.selectedRow, 2);   // line 6, the line after the old page
        QCOMPARE(r.conc.FirstLine, 5);
        QCOMPARE(r.conc.CurLine, 6);
        // The same page as the context lines would show.
        const auto lines = conccore::parseContextLines(m_server.request("CT_N", c, next).body);
        QCOMPARE(lines.first().number, 5);
    }

    void textGrid_textCharacteristicsOfEachLine()
    {
        const OptionList o = gridOptions("TEXT", {kCharForm, kCharAuthor, kCharYear});
        const Read r = m_server.request("CT_D", homePosition(), o);
        const dictcore::UsageGrid g = dictcore::parseUsageGrid(r.body);
        QCOMPARE(g.rows[0], QList<QByteArray>({ru("№"), m_server.engine->characteristic(kCharAuthor).name(),
                                               m_server.engine->characteristic(kCharYear).name(), ru("Слов в тексте"),
                                               ru("Место в тексте, %")}));
        const TextInfo &song = m_server.corpus->text(m_server.textNamed("Песня"));
        const auto order = m_server.lines->order(homePosition(), o).order->lines(0, 5);
        for (int row = 1; row <= 5; ++row) {
            const uint32_t pos = m_server.corpus->positionInText(order[size_t(row - 1)]);
            QCOMPARE(g.rows[row], QList<QByteArray>({QByteArray::number(row), ru("Борин"), "1840",
                                                     QByteArray::number(song.wordCount),
                                                     QByteArray::number(pos * 100 / (song.tokenCount - 1))}));
        }
        // Without text characteristics in group 2, all of them.
        const dictcore::UsageGrid all = dictcore::parseUsageGrid(
            m_server.request("CT_D", homePosition(), gridOptions("TEXT", {kCharForm})).body);
        int perText = 0;
        for (int c = 0; c < m_server.engine->characteristicCount(); ++c)
            perText += m_server.engine->characteristic(c).perText() ? 1 : 0;
        QCOMPARE(all.rows[0].size(), 1 + perText + 2);
    }

    void grid_wordWithoutHeadword_disablesEntry()
    {
        // "20" has no letter: no lemma headword in the corpus dictionary.
        const Read r = m_server.request("CT_D", ViewsServer::position(kCharForm, m_server.formId("20")),
                                        gridOptions("CONC", {kCharForm}));
        const dictcore::UsageGrid g = dictcore::parseUsageGrid(r.body);
        QCOMPARE(g.headword, -1);
        QCOMPARE(g.rows.size(), 2);
        QCOMPARE(g.rows[1], QList<QByteArray>({"1", "20"}));
        QCOMPARE(r.dict.DictNo, -1);   // no dictionary position sent
    }

    void grid_refusals()
    {
        QVERIFY(m_server.send("$CT_D=New").contains("$ZERO="));
        tCConcPos c = homePosition();
        c.ValueNo[1] = -1;
        QCOMPARE(m_server.request("CT_D", c, gridOptions("CONC", {})).tag, QByteArray("ZERO"));
    }

    void entryTie_lemmaFormOrNone()
    {
        QList<std::shared_ptr<const ServedDictionary>> dictionaries = m_server.service->dictionaries();
        dictionaries.append(std::make_shared<const ServedDictionary>(
            std::make_unique<WordList>(QStringList{QStringLiteral("Дом"), QStringLiteral("жираф"), QStringLiteral("ёж")})));
        auto lines = std::make_shared<const LineEngine>(m_server.engine, dictionaries);
        CorvusService service(CorpusFacts{"t", 1, 1}, dictionaries);
        registerViewHandlers(service, lines);

        const auto entry = [&](int dictNo, int place, const OptionList &options) {
            tCDictPos d(dictNo);
            d.WordMode = 'A';
            d.WordNo = place;
            const QByteArray wire = requests::wire("DC_S", requests::dictParams(d, options));
            const wirerequest::Result parsed = wirerequest::parse(wire, true);
            Read out;
            out.options = options;
            tCConcPos conc;
            out.raw = replyreader::readReply(ViewsServer::unframe(service.handle(parsed.request, SessionInfo{}).reply),
                                             conc, out.dict, out.options);
            out.tag = out.raw.tag;
            return out;
        };
        OptionList o = OptionList::initial();
        o.set("DTCR", "77");   // left from an earlier entry
        o.set("DTCC", "3");

        // A lemma of the corpus dictionary: its value in the lemma list.
        Read r = entry(0, headwordOf("дом"), o);
        QCOMPARE(r.tag, QByteArray("DC_S"));
        QCOMPARE(r.options.value("DTCR"), QByteArray::number(m_server.value(kCharLemma, "дом")));
        QCOMPARE(r.options.value("DTCC"), QByteArray::number(kCharLemma));
        QCOMPARE(r.options.value("1"), QByteArray("2"));
        // A word hunspell does not know has no lemma value: the word-form list.
        r = entry(0, headwordOf("еж"), o);
        QCOMPARE(r.options.value("DTCR"), QByteArray::number(m_server.formId("еж")));
        QCOMPARE(r.options.value("DTCC"), QByteArray::number(kCharForm));
        // Another dictionary: by the headword's text, case folded; "ё" is not "е".
        const HeadwordIndex &words = dictionaries[1]->dictionary().index();
        r = entry(1, words.find(QStringLiteral("дом")), o);
        QCOMPARE(r.options.value("DTCR"), QByteArray::number(m_server.value(kCharLemma, "дом")));
        r = entry(1, words.find(QStringLiteral("жираф")), o);
        QVERIFY(!r.options.has("DTCR"));
        QVERIFY(!r.options.has("DTCC"));
        r = entry(1, words.find(QStringLiteral("ёж")), o);
        QCOMPARE(r.options.value("DTCR"), QByteArray::number(m_server.formId("ёж")));
        // Without an option list in the request, none in the reply.
        tCDictPos d(0);
        d.WordMode = 'A';
        d.WordNo = headwordOf("дом");
        const QByteArray bare = service.handle(wirerequest::parse("$DC_S=New" + d.framed(), true).request, SessionInfo{}).reply;
        QVERIFY(bare.contains("$DC_S="));
        QVERIFY(!bare.contains("DTCR"));
    }
};

QTEST_GUILESS_MAIN(TstConcGrid)
#include "tst_conc_grid.moc"
