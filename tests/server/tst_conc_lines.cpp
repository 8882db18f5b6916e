// Concordance lines: the six sort sequences on hand-checked texts, the order's
// pages against its full sort, and "CT_N" replies read back by the client's rules:
// line numbers, centres, contexts with verse marks, link fragments, each Move,
// FirstLine / CurLine / Found / ConcCount / ConcSBar, the lemma base, the exports,
// a word clicked in the text view, refusals and concurrent requests.
#include "support/ConcReaders.h"
#include "support/ConcViewsFixture.h"

#include <QStandardPaths>
#include <QTest>

#include <thread>

using namespace corvus;
using namespace corvus::conc;
using concfixture::Read;
using concfixture::ru;
using concfixture::ViewsServer;

class TstConcLines : public QObject {
    Q_OBJECT
private:
    ViewsServer m_server;
    std::vector<uint32_t> m_centres;   // the centre of Т1..Т7, in that order

    // The positions (1-based text numbers) of the lines of an order.
    QList<int> textOrder(const std::vector<uint32_t> &tokens) const
    {
        QList<int> out;
        for (const uint32_t t : tokens)
            out.append(int(std::find(m_centres.begin(), m_centres.end(), t) - m_centres.begin()) + 1);
        return out;
    }

    tCConcPos homePosition() const { return ViewsServer::position(kCharForm, m_server.formId("дом")); }

    // The whole order of "дом" as the engine sorts it.
    std::vector<uint32_t> homeOrder(const char *seq) const
    {
        const auto o = m_server.lines->order(homePosition(), ViewsServer::options(5, 2, seq));
        return o.order->lines(0, o.order->size());
    }

    QList<int> numbers(const QList<concreaders::ContextLine> &lines) const
    {
        QList<int> out;
        for (const auto &l : lines)
            out.append(l.number);
        return out;
    }

    // The tokens of the lines shown, found through the order of the whole reply.
    void checkPage(const Read &r, const std::vector<uint32_t> &order, int first, int last, int current)
    {
        QCOMPARE(r.tag, QByteArray("CT_N"));
        const auto shown = concreaders::readContextLines(r.body);
        QCOMPARE(shown.size(), last - first + 1);
        QCOMPARE(r.conc.FirstLine, first);
        QCOMPARE(r.conc.CurLine, current);
        QCOMPARE(r.options.value("ConcCount"), "(" + QByteArray::number(first) + "-" + QByteArray::number(last) + ")");
        for (int i = 0; i < shown.size(); ++i) {
            QCOMPARE(shown[i].number, first + i);
            const auto ctx = m_server.lines->context(order[size_t(first + i - 1)], 2, Base::Form);
            QCOMPARE(shown[i].left.trimmed(), ctx.left.trimmed());
        }
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_server.start());
        for (int i = 1; i <= 7; ++i)
            m_centres.push_back(m_server.tokenIn(QStringLiteral("Т%1").arg(i).toUtf8().constData(), 1));
    }

    void sortSequence_handChecked_data()
    {
        QTest::addColumn<QByteArray>("seq");
        QTest::addColumn<QList<int>>("expected");
        // Т1 "а еж б", Т2 "а ёж в", Т3 "б еж а", Т4 "б Еж б", Т5 "а ёж а", Т6 "а еж б", Т7 "а ел б":
        // еж < ел < ёж, case folded, equal lines in corpus order.
        QTest::newRow("CLR") << QByteArray("CLR") << QList<int>{1, 6, 3, 4, 7, 5, 2};
        QTest::newRow("CRL") << QByteArray("CRL") << QList<int>{3, 1, 6, 4, 7, 5, 2};
        QTest::newRow("LCR") << QByteArray("LCR") << QList<int>{1, 6, 7, 5, 2, 3, 4};
        QTest::newRow("LRC") << QByteArray("LRC") << QList<int>{5, 1, 6, 7, 2, 3, 4};
        QTest::newRow("RCL") << QByteArray("RCL") << QList<int>{3, 5, 1, 6, 4, 7, 2};
        QTest::newRow("RLC") << QByteArray("RLC") << QList<int>{5, 3, 1, 6, 7, 4, 2};
    }

    void sortSequence_handChecked()
    {
        QFETCH(QByteArray, seq);
        QFETCH(QList<int>, expected);
        const LineOrder order(m_server.corpus, m_centres, Base::Form, sortSeqFrom(seq));
        QCOMPARE(sortSeqCode(order.sequence()), seq);
        // Page by page before the full sort, then all at once after it.
        std::vector<uint32_t> paged;
        for (uint32_t from = 0; from < order.size(); from += 3) {
            const auto page = order.lines(from, from + 3);
            paged.insert(paged.end(), page.begin(), page.end());
        }
        QCOMPARE(textOrder(paged), expected);
        for (const uint32_t t : m_centres)
            QCOMPARE(order.lineOf(t), int64_t(expected.indexOf(textOrder({t}).front())));
        order.complete();
        QVERIFY(order.isComplete());
        QCOMPARE(textOrder(order.lines(0, 100)), expected);
        QCOMPARE(textOrder(order.lines(2, 4)), expected.mid(2, 2));
        QCOMPARE(order.lineOf(m_server.tokenIn("Т8", 2)), int64_t(-1));
    }

    void sortSequence_unknownCodeIsCLR()
    {
        QCOMPARE(sortSeqFrom("rlc"), SortSeq::RLC);
        QCOMPARE(sortSeqFrom("XYZ"), SortSeq::CLR);
        QCOMPARE(sortSeqFrom(""), SortSeq::CLR);
    }

    void contextComparison_outwardNearestFirst_missingWordFirst()
    {
        // Т1 "а еж б" and Т8 "в а еж б": equal nearest left word, then Т1 has none.
        const uint32_t t1 = m_centres[0], t8 = m_server.tokenIn("Т8", 2);
        const uint32_t t7 = m_centres[6], t9 = m_server.tokenIn("Т9", 2);
        const LineOrder lcr(m_server.corpus, {t1, t8}, Base::Form, SortSeq::LCR);
        QVERIFY(lcr.before(t1, t8));
        QVERIFY(!lcr.before(t8, t1));
        // Т7 "а ел б" against Т9 "б а ел": the nearest left words а = а, then Т7 has
        // none; on the right Т9 has none and sorts first.
        const LineOrder rlc(m_server.corpus, {t7, t9}, Base::Form, SortSeq::RLC);
        QVERIFY(rlc.before(t9, t7));
        const LineOrder lrc(m_server.corpus, {t7, t9}, Base::Form, SortSeq::LRC);
        QVERIFY(lrc.before(t7, t9));
    }

    void linesPage_readByClient_contextsMarksNamesAndLinks()
    {
        const Read r = m_server.request("CT_N", homePosition(), ViewsServer::options(5, 2, "CLR"));
        QCOMPARE(r.tag, QByteArray("CT_N"));
        const auto shown = concreaders::readContextLines(r.body);
        QCOMPARE(shown.size(), 5);
        QCOMPARE(numbers(shown), QList<int>({1, 2, 3, 4, 5}));
        QCOMPARE(r.conc.FirstLine, 1);
        QCOMPARE(r.conc.CurLine, 1);
        QCOMPARE(r.conc.Found[1], 9);
        QCOMPARE(r.options.value("ConcCount"), QByteArray("(1-5)"));
        QCOMPARE(r.options.value("ConcSBar"), QByteArray("0"));
        QCOMPARE(r.options.value("1"), QByteArray("2"));   // the client's options come back
        const int headword = m_server.service->dictionaries()[0]->dictionary().index().find(QStringLiteral("дом"));
        QVERIFY(headword >= 0);
        for (const auto &l : shown) {
            QCOMPARE(l.centre.toLower(), ru("дом"));
            QCOMPARE(l.name, ru("Борин. Песня"));
            const auto links = concreaders::readLinks(l.tag);
            QCOMPARE(links.size(), 1);
            QCOMPARE(links[0].headword, headword + 1);
            QCOMPARE(links[0].dictionary, 0);
        }
        // CLR with one centre word: the nearest left word decides, "вот" first.
        QCOMPARE(concreaders::renderMarks(shown[0].left.trimmed()), ru("хорош. || Вот"));
        QCOMPARE(concreaders::renderMarks(shown[0].right.trimmed()), ru("родной, || и"));
        QCOMPARE(concreaders::renderMarks(shown[1].left.trimmed()), ru("стоит, || где"));
        // Every line agrees with the engine's order.
        const auto order = homeOrder("CLR");
        for (int i = 0; i < shown.size(); ++i)
            QCOMPARE(shown[i].left.trimmed(), m_server.lines->context(order[size_t(i)], 2, Base::Form).left.trimmed());
    }

    void linesPage_widthCountsWordsNotPunctuation()
    {
        const auto ctx = m_server.lines->context(m_server.tokenIn("Песня", 5), 3, Base::Form);   // "и [дом] высок."
        QCOMPARE(ctx.centre, ru("дом"));
        QCOMPARE(concreaders::renderMarks(ctx.left), ru("мой дом, || и"));
        QCOMPARE(concreaders::renderMarks(ctx.right), ru(" высок. || У дома"));
        // The text's first words when fewer than the width stand before the centre.
        const auto first = m_server.lines->context(m_server.tokenIn("Песня", 2), 5, Base::Form);
        QCOMPARE(first.left, ru("Стоит мой"));
    }

    void moves_eachPageAndCurrentLine()
    {
        const auto order = homeOrder("CLR");
        OptionList o = ViewsServer::options(5, 2, "CLR");
        Read r = m_server.request("CT_N", homePosition(), o);
        checkPage(r, order, 1, 5, 1);

        tCConcPos c = r.conc;
        c.Move[0] = '+';
        r = m_server.request("CT_N", c, r.options);
        checkPage(r, order, 5, 9, 6);   // the last page stays full; the line after the old page is current
        QCOMPARE(r.options.value("ConcSBar"), QByteArray("100"));
    }
};

QTEST_GUILESS_MAIN(TstConcLines)
#include "tst_conc_lines.moc"
