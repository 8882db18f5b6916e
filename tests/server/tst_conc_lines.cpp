// Concordance lines: the six sort sequences on hand-checked texts, the order's
// pages against its full sort, and "CT_N" replies read back by the client's rules:
// line numbers, centres, contexts with verse marks, link fragments, each Move,
// FirstLine / CurLine / Found / ConcCount / ConcSBar, the lemma base, the exports,
// a word clicked in the text view, refusals and concurrent requests.
#include "support/ConcViewsFixture.h"

#include "concordance/core/ConcExport.h"
#include "concordance/core/ContextLines.h"
#include "dictionary/core/DictBrowser.h"

#include "corpus/Charset.h"

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

    // The options the client sends after a shown page: it clears "ConcSBar" once it
    // has placed the scroll bar.
    static OptionList after(const Read &r)
    {
        OptionList o = r.options;
        o.remove("ConcSBar");
        return o;
    }

    // The lines the client writes into the buffer after an export's header.
    static QList<QByteArray> exportLines(const QByteArray &body)
    {
        textcore::Buffer buffer;
        conccore::ConcExportWriter writer(body, false);
        while (writer.writeSome(buffer, 1000)) {
        }
        return buffer.lines();
    }

    QList<int> numbers(const QList<conccore::ContextLine> &lines) const
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
        const auto shown = conccore::parseContextLines(r.body);
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

    // The lines of a corpus folder (built without the morphology) and the request
    // of an export of all the lines of `word`, ten words wide, in the order CLR.
    static bool exportOf(const QString &root, const QString &cacheDir, const char *word,
                         std::shared_ptr<const LineEngine> &lines, wirerequest::Request &request)
    {
        corvus::CorpusOptions co;
        co.paths = {root};
        co.cacheDir = cacheDir;
        co.useMorphology = false;
        QString error;
        const auto corpus = corvus::Corpus::load(co, &error);
        if (!corpus) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        lines = std::make_shared<const LineEngine>(std::make_shared<const ConcEngine>(corpus),
                                                   QList<std::shared_ptr<const ServedDictionary>>{});
        OptionList o = ViewsServer::options(10, 2, "CLR");
        o.set("PrintConc", "True");
        tCConcPos c = ViewsServer::position(kCharForm, corpus->findForm(corpusfixture::cp(word)));
        request = wirerequest::parse(requests::wire("CT_N", requests::concDictParams(c, tCDictPos(0), o)), true).request;
        return true;
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
        // The same pages taken from the sort-key groups instead of a heap.
        const LineOrder picked(m_server.corpus, m_centres, Base::Form, sortSeqFrom(seq), 1);
        for (uint32_t from = 0; from < picked.size(); ++from)
            QCOMPARE(textOrder(picked.lines(from, from + 2)), expected.mid(int(from), 2));
        // And without groups: the middle pages of a selection too large to group.
        const LineOrder ungrouped(m_server.corpus, m_centres, Base::Form, sortSeqFrom(seq), 1, 0);
        for (uint32_t from = 0; from < ungrouped.size(); ++from)
            QCOMPARE(textOrder(ungrouped.lines(from, from + 2)), expected.mid(int(from), 2));
        for (const uint32_t t : m_centres)
            QCOMPARE(order.lineOf(t), int64_t(expected.indexOf(textOrder({t}).front())));
        order.complete();
        QVERIFY(order.isComplete());
        QCOMPARE(textOrder(order.lines(0, 100)), expected);
        QCOMPARE(textOrder(order.lines(2, 4)), expected.mid(2, 2));
        QCOMPARE(order.lineOf(m_server.tokenIn("Т8", 2)), int64_t(-1));
    }

    void lazyOrder_samePagesAsTheMadeOne_data()
    {
        QTest::addColumn<int>("charNo");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("base");
        // One form (the centre left out), a lemma on its own base, an author whose
        // words differ, and a verse text, in every sequence; texts that are copies of
        // each other (equal to the last word), on either base.
        const struct {
            int charNo;
            const char *value;
            int base;
        } cases[] = {{kCharForm, "дом", kCharForm}, {kCharLemma, "дом", kCharLemma},
                     {kCharAuthor, "Ветров", kCharForm}, {kCharAuthor, "Борин", kCharLemma},
                     {kCharAuthor, "Аверин", kCharForm}, {kCharAuthor, "Аверин", kCharLemma}};
        for (const auto &c : cases)
            for (const char *seq : {"CLR", "CRL", "LCR", "LRC", "RCL", "RLC"})
                QTest::addRow("%d %s %d %s", c.charNo, c.value, c.base, seq)
                    << c.charNo << QByteArray(seq) + ' ' + c.value << c.base;
    }
    void lazyOrder_samePagesAsTheMadeOne()
    {
        QFETCH(int, charNo);
        QFETCH(QByteArray, value);
        QFETCH(int, base);
        const SortSeq seq = sortSeqFrom(value.left(3));
        const uint32_t v = m_server.value(charNo, value.mid(4).constData());
        QVERIFY(v != kNone);
        const Query q = m_server.engine->parse(ViewsServer::position(charNo, v, base));
        const LineOrder made(m_server.corpus, m_server.engine->occurrences(q, v), baseOf(base), seq);
        const std::vector<uint32_t> expected = made.lines(0, made.size());
        const LineOrder lazy(m_server.engine, q, v, baseOf(base), seq);
        QVERIFY(lazy.isLazy());
        QCOMPARE(lazy.size(), made.size());
        QVERIFY(lazy.cheap(0, 5));
        // From either end, page by page, before the selection is made.
        const uint32_t n = lazy.size();
        const LineOrder fromEnd(m_server.engine, q, v, baseOf(base), seq);
        std::vector<uint32_t> head, tail;
        for (uint32_t from = 0; from < n; from += 3) {
            const auto page = lazy.lines(from, from + 3);
            head.insert(head.end(), page.begin(), page.end());
            const uint32_t back = n - std::min(n, from + 3);
            const auto last = fromEnd.lines(back, n - from);
            tail.insert(tail.begin(), last.begin(), last.end());
        }
        QCOMPARE(head, expected);
        QCOMPARE(tail, expected);
        // Made (a line's place needs the selection), then completed.
        const uint32_t some = expected[n / 2];
        QCOMPARE(lazy.lineOf(some), int64_t(n / 2));
        QCOMPARE(lazy.lines(n / 2, n / 2 + 2), std::vector<uint32_t>(expected.begin() + n / 2, expected.begin() + n / 2 + 2));
        lazy.complete();
        QCOMPARE(lazy.lines(0, n), expected);
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
        const auto shown = conccore::parseContextLines(r.body);
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
            const auto links = dictcore::readDictLinks(l.tag);
            QCOMPARE(links.size(), 1);
            QCOMPARE(links[0].wordNo, headword + 1);
            QCOMPARE(links[0].dictNo, 0);
        }
        // CLR with one centre word: the nearest left word decides, "вот" first.
        QCOMPARE(conccore::renderMarks(shown[0].left.trimmed()), ru("хорош. || Вот"));
        QCOMPARE(conccore::renderMarks(shown[0].right.trimmed()), ru("родной, || и"));
        QCOMPARE(conccore::renderMarks(shown[1].left.trimmed()), ru("стоит, || где"));
        // Every line agrees with the engine's order.
        const auto order = homeOrder("CLR");
        for (int i = 0; i < shown.size(); ++i)
            QCOMPARE(shown[i].left.trimmed(), m_server.lines->context(order[size_t(i)], 2, Base::Form).left.trimmed());
    }

    void linesPage_widthCountsWordsNotPunctuation()
    {
        const auto ctx = m_server.lines->context(m_server.tokenIn("Песня", 5), 3, Base::Form);   // "и [дом] высок."
        QCOMPARE(ctx.centre, ru("дом"));
        QCOMPARE(conccore::renderMarks(ctx.left), ru("мой дом, || и"));
        QCOMPARE(conccore::renderMarks(ctx.right), ru(" высок. || У дома"));
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
        r = m_server.request("CT_N", c, after(r));
        checkPage(r, order, 5, 9, 6);   // the last page stays full; the line after the old page is current
        QCOMPARE(r.options.value("ConcSBar"), QByteArray("100"));

        // '+' on the last page keeps it and moves to the last line.
        c = r.conc;
        c.Move[0] = '+';
        r = m_server.request("CT_N", c, after(r));
        checkPage(r, order, 5, 9, 9);

        // '-' goes back a page; the line above the old page is current.
        c = r.conc;
        c.Move[0] = '-';
        r = m_server.request("CT_N", c, after(r));
        checkPage(r, order, 1, 5, 4);

        c = r.conc;
        c.Move[0] = 'E';
        r = m_server.request("CT_N", c, after(r));
        checkPage(r, order, 5, 9, 9);

        c = r.conc;
        c.Move[0] = 'B';
        r = m_server.request("CT_N", c, after(r));
        checkPage(r, order, 1, 5, 1);
        QCOMPARE(r.conc.Move[0], ' ');

        // ' ' keeps the page and the line the client selected on it.
        c = r.conc;
        c.CurLine = 3;
        r = m_server.request("CT_N", c, after(r));
        checkPage(r, order, 1, 5, 3);

        // 'C': the page holding CurLine.
        c = r.conc;
        c.CurLine = 8;
        c.Move[0] = 'C';
        r = m_server.request("CT_N", c, after(r));
        checkPage(r, order, 5, 9, 8);

        // A dragged thumb places the page in proportion.
        c = r.conc;
        OptionList dragged = after(r);
        dragged.set("ConcSBar", "0");
        r = m_server.request("CT_N", c, dragged);
        checkPage(r, order, 1, 5, 1);
        QCOMPARE(r.options.value("ConcSBar"), QByteArray("0"));
    }

    void moves_otherOrderStartsAtLineOne()
    {
        // The line numbers of one value mean nothing for another value, another
        // sequence or another base: the request starts at line 1.
        Read r = m_server.request("CT_N", homePosition(), ViewsServer::options(5, 2, "CLR"));
        tCConcPos c = r.conc;
        c.Move[0] = 'E';
        r = m_server.request("CT_N", c, after(r));
        QCOMPARE(r.conc.FirstLine, 5);

        c = r.conc;
        c.Move[0] = 'C';   // a click on another value of the list
        c.ValueNo[1] = qint32(m_server.formId("лес"));
        Read other = m_server.request("CT_N", c, after(r));
        QCOMPARE(other.conc.FirstLine, 1);
        QCOMPARE(other.conc.CurLine, 1);
        QCOMPARE(other.conc.Found[1], 1);
        QCOMPARE(other.options.value("ConcCount"), QByteArray("(1-1)"));
        QVERIFY(!other.options.has("ConcSBar"));   // everything fits: no scroll bar

        c = r.conc;
        c.Move[0] = '+';
        OptionList seq = after(r);
        seq.set("SortSeq", "RLC");
        other = m_server.request("CT_N", c, seq);
        QCOMPARE(other.conc.FirstLine, 1);
        QVERIFY(other.conc.Found[0] != r.conc.Found[0]);
        checkPage(other, homeOrder("RLC"), 1, 5, 1);

        // A wider context is the same order: the page stays.
        c = r.conc;
        OptionList wide = after(r);
        wide.set("ConcWidth", "6");
        other = m_server.request("CT_N", c, wide);
        QCOMPARE(other.conc.FirstLine, 5);
        QCOMPARE(other.conc.CurLine, 9);
    }

    void lemmaBase_showsLemmasAndSortsByThem()
    {
        tCConcPos c = ViewsServer::position(kCharLemma, m_server.value(kCharLemma, "дом"), kCharLemma);
        const Read r = m_server.request("CT_N", c, ViewsServer::options(20, 3, "LCR"));
        const auto shown = conccore::parseContextLines(r.body);
        QCOMPARE(shown.size(), 12);
        QCOMPARE(r.conc.Found[1], 12);
        QByteArrayList lefts;
        for (const auto &l : shown) {
            QCOMPARE(l.centre, ru("дом"));   // "дома", "доме", "домом" shown as the lemma
            lefts.append(conccore::renderMarks(l.left.trimmed()));
        }
        // "За домом лес, || за лесом [дом]": lemmas in the context too, "лес" twice.
        QVERIFY2(lefts.contains(ru("лес, || за лес")), lefts.join('|').constData());
        // LCR: the nearest left words in alphabetical order.
        QByteArrayList nearest;
        for (const QByteArray &l : lefts) {
            QByteArrayList words = l.split(' ');
            while (!words.isEmpty() && !charset::isLetter(uint8_t(words.last().isEmpty() ? ' ' : words.last()[0])))
                words.removeLast();
            QByteArray w = words.isEmpty() ? QByteArray() : words.last();
            while (!w.isEmpty() && !charset::isLetter(uint8_t(w.back())))
                w.chop(1);
            nearest.append(w.toLower());
        }
        QByteArrayList sorted = nearest;
        std::stable_sort(sorted.begin(), sorted.end(), [](const QByteArray &a, const QByteArray &b) {
            return charset::compareAlpha(std::string_view(a.constData(), size_t(a.size())),
                                         std::string_view(b.constData(), size_t(b.size()))) < 0;
        });
        QCOMPARE(nearest, sorted);
    }

    void export_everyLineWithHeadingFields()
    {
        OptionList o = ViewsServer::options(5, 2, "CLR");
        o.set("PrintConc", "True");
        o.set("Char3", QByteArray(1, char(200 + kCharAuthor)) + char(200 + kCharTitle));
        tCConcPos c = homePosition();
        c.FirstLine = 1;
        c.CurLine = 1;
        const Read r = m_server.request("CT_N", c, o);
        QCOMPARE(r.tag, QByteArray("CT_N"));
        QCOMPARE(r.options.value("PrintConc"), QByteArray("True"));       // the client exports it
        QCOMPARE(r.options.value("PrintConcStr"), QByteArray("False"));   // "Найдено ..." in the header
        QCOMPARE(r.conc.Found[1], 9);
        const QList<QByteArray> written = exportLines(r.body);
        QCOMPARE(written.size(), 10);   // one heading and nine lines
        QCOMPARE(written[0], ru("Борин/Песня/ : "));
        QCOMPARE(written[1], ru("     1 хорош. || Вот  дом  родной, || и"));
        QVERIFY(written[9].startsWith("     9 "));
        // The lines in the order of the pages.
        const auto shown = conccore::parseContextLines(
            m_server.request("CT_N", homePosition(), ViewsServer::options(9, 2, "CLR")).body);
        for (int i = 0; i < 9; ++i)
            QVERIFY(written[i + 1].contains(conccore::renderMarks(shown[i].left.trimmed())));
    }

    // An export's bytes on the wire: the header counting everything after it, the
    // records, then each line as the pages send it (without its link fragment)
    // after its heading fields; the same whether made whole or piece by piece.
    void export_bytesAreThoseOfThePagesLines_wholeOrInPieces()
    {
        OptionList o = ViewsServer::options(500, 2, "CLR");
        const Read page = m_server.request("CT_N", homePosition(), o);
        const QByteArray heading = ru("Борин") + " $^$ " + ru("Песня") + " $^$ ";
        QByteArray expected;
        qsizetype at = 0;
        int count = 0;
        while (at < page.body.size()) {
            const qsizetype end = page.body.indexOf(" $$$", at) + 4;
            QByteArray line = page.body.mid(at, end - at);
            if (line.startsWith("$$+"))
                line.remove(0, line.indexOf("$$-") + 3);
            expected += (count++ > 0 ? " " : "") + heading + line;
            at = end + 1;
        }
        QCOMPARE(count, 9);
        // The first line as it goes on the wire (the right context keeps the space
        // before its first word).
        QVERIFY(expected.startsWith(heading + ru("хорош. ` Вот $@$ 1,дом $+$ Борин. Песня $*$  родной, ` и $$$ ")));

        o.set("PrintConc", "True");
        o.set("Char3", QByteArray(1, char(200 + kCharAuthor)) + char(200 + kCharTitle));
        tCConcPos sent = homePosition();
        const QByteArray wire = requests::wire("CT_N", requests::concDictParams(sent, tCDictPos(0), o));
        const QByteArray whole = m_server.send(wire);
        QVERIFY2(whole.endsWith(expected), whole.constData());
        const qsizetype h = whole.indexOf("###");
        QVERIFY(whole.startsWith("##") && h > 2);
        QCOMPARE(whole.mid(2, h - 2).toLongLong(), whole.size() - h - 3);
        QVERIFY(whole.mid(h + 3).startsWith("$CT_N="));

        const wirerequest::Request request = wirerequest::parse(wire, true).request;
        for (const qsizetype piece : {qsizetype(1), qsizetype(7), qsizetype(100), qsizetype(1) << 20}) {
            const StreamedReply r = linesStream(m_server.lines, request);
            QVERIFY(r.rest);
            QByteArray streamed = r.front;
            QCOMPARE(r.rest->remaining(), whole.size() - r.front.size());
            for (QByteArray next = r.rest->next(piece); !next.isEmpty(); next = r.rest->next(piece))
                streamed += next;
            QCOMPARE(r.rest->remaining(), 0);
            QCOMPARE(streamed, whole);
        }
    }

    // An export large enough to be counted in two halves at once (60,000 lines in
    // two texts): its header counts exactly the bytes after it, every line is there
    // in order, and the pieces add up to the whole reply.
    void export_largeCountedInHalves_headerCountsItsBytes()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/corpus");
        QByteArray text;
        for (int i = 0; i < 30000; ++i)
            text += ru("кот спит.\n");
        for (const char *title : {"prose/Автор/Один.txt", "prose/Автор/Два.txt"})
            corpusfixture::writeBytes(root, QString::fromUtf8(title), text);
        std::shared_ptr<const LineEngine> lines;
        wirerequest::Request request;
        QVERIFY(exportOf(root, tmp.path() + QStringLiteral("/cache"), "кот", lines, request));

        const QByteArray whole = linesReply(lines, request);
        const qsizetype h = whole.indexOf("###");
        QCOMPARE(whole.mid(2, h - 2).toLongLong(), whole.size() - h - 3);
        QCOMPARE(whole.count(" $$$"), 60000);
        QVERIFY(whole.contains(ru(" $@$ 1,кот $+$ Автор. ")));
        // The heading fields are the engine's group 3 (author, title) by default.
        QVERIFY(whole.endsWith(ru(" Автор $^$ Один $^$ кот спит. $@$ 60000,кот $+$ Автор. Один $*$  спит. кот $$$")));
        const StreamedReply r = linesStream(lines, request);
        QByteArray streamed = r.front;
        for (QByteArray next = r.rest->next(65536); !next.isEmpty(); next = r.rest->next(65536))
            streamed += next;
        QCOMPARE(streamed, whole);
    }

    // The bytes of a token on the wire are the same whether an export copies them
    // from the table of forms it makes for 5,000 lines or more, or reads them from
    // the lexicon: capitals, upper case, a mixed-case spelling kept apart, forms of
    // over seven bytes, punctuation that could form a marker or mark a line's end,
    // verse line ends. Each text is one line repeated: its last occurrence's line,
    // all but the first alike, is compared.
    void export_tokenBytesOfLargeAndSmall_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("block");   // UTF-8, repeated
        QTest::addColumn<QByteArray>("word");
        QTest::addColumn<QByteArray>("line");    // UTF-8; "#" the line's number
        QTest::newRow("case, long forms") << QByteArray("prose/Автор/Зима.txt")
            << QByteArray("Однажды ЗИМОЮ Старый кот Василий Петрович заснул.\n") << QByteArray("кот")
            << QByteArray("Автор $^$ Зима $^$ ЗИМОЮ Старый $@$ #,кот $+$ Автор. Зима $*$  Василий Петрович $$$");
        QTest::newRow("mixed case kept apart") << QByteArray("prose/Автор/Мак.txt")
            << QByteArray("Был у МакДоналдса кот и ФоМа спал.\n") << QByteArray("кот")
            << QByteArray("Автор $^$ Мак $^$ у МакДоналдса $@$ #,кот $+$ Автор. Мак $*$  и ФоМа $$$");
        QTest::newRow("marker bytes") << QByteArray("prose/Автор/Цена.txt")
            << QByteArray("Цена $5 за кот `мяу` и всё.\n") << QByteArray("кот")
            << QByteArray("Автор $^$ Цена $^$ ¤5 за $@$ #,кот $+$ Автор. Цена $*$  'мяу' и $$$");
        QTest::newRow("verse") << QByteArray("poems/Автор/Стих.txt")
            << QByteArray("Мороз и\nсолнце; кот\nчудесный! Ещё ты.\n") << QByteArray("кот")
            << QByteArray("Автор $^$ Стих $^$ и ` солнце; $@$ #,кот $+$ Автор. Стих $*$ ` чудесный! Ещё $$$");
    }

    void export_tokenBytesOfLargeAndSmall()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, block);
        QFETCH(QByteArray, word);
        QFETCH(QByteArray, line);
        for (const int repeats : {3, 5000}) {
            QTemporaryDir tmp;
            const QString root = tmp.path() + QStringLiteral("/corpus");
            corpusfixture::writeBytes(root, QString::fromUtf8(path), ru(block.constData()).repeated(repeats));
            std::shared_ptr<const LineEngine> lines;
            wirerequest::Request request;
            QVERIFY(exportOf(root, tmp.path() + QStringLiteral("/cache"), word.constData(), lines, request));
            const QByteArray whole = linesReply(lines, request);
            QCOMPARE(whole.count(" $$$"), repeats);
            const QByteArray last = whole.mid(whole.lastIndexOf(" $$$ ", whole.size() - 5) + 5);
            QCOMPARE(last, ru(line.constData()).replace("#", QByteArray::number(repeats)));
        }
    }

    void export_requestedLineOnly()
    {
        OptionList o = ViewsServer::options(5, 2, "CLR");
        const Read page = m_server.request("CT_N", homePosition(), o);
        tCConcPos c = page.conc;
        c.CurLine = 4;
        o = page.options;
        o.set("PrintConc", "True");
        o.set("PrintConcStr", "True");
        o.set("Char3", QByteArray(1, char(200 + kCharYear)));
        const Read r = m_server.request("CT_N", c, o);
        QCOMPARE(r.options.value("PrintConcStr"), QByteArray("True"));   // "Запрошенная строка : "
        const QList<QByteArray> written = exportLines(r.body);
        QCOMPARE(written.size(), 2);
        QCOMPARE(written[0], QByteArray("1840/ : "));
        const auto shown = conccore::parseContextLines(page.body);
        QVERIFY(written[1].startsWith("     1 " + conccore::renderMarks(shown[3].left.trimmed()) + "  "));
        QCOMPARE(r.conc.CurLine, 4);
    }

    void refusals_zeroWithReason()
    {
        // No value selected, a characteristic out of range, no position at all.
        tCConcPos c = homePosition();
        c.ValueNo[1] = -1;
        Read r = m_server.request("CT_N", c, ViewsServer::options());
        QCOMPARE(r.tag, QByteArray("ZERO"));
        QVERIFY(!r.body.isEmpty());
        c = homePosition();
        c.CharNo[1] = 77;
        r = m_server.request("CT_N", c, ViewsServer::options());
        QCOMPARE(r.tag, QByteArray("ZERO"));
        const QByteArray bare = m_server.send("$CT_N=New");
        QVERIFY(bare.contains("$ZERO="));
        // A value without occurrences under the filters.
        c = homePosition();
        c.Mark[2] = 'Y';
        c.CharNo[2] = kCharAuthor;
        c.ValueNo[2] = qint32(m_server.value(kCharAuthor, "Аверин"));
        r = m_server.request("CT_N", c, ViewsServer::options());
        QCOMPARE(r.tag, QByteArray("ZERO"));
    }

    void filters_linesOfTheFilteredSelection()
    {
        // Lemma "дом" within verse lines of the author Борин: the same twelve; with
        // the title of another text: none.
        tCConcPos c = ViewsServer::position(kCharLemma, m_server.value(kCharLemma, "дом"));
        c.Mark[2] = 'Y';
        c.CharNo[2] = kCharAuthor;
        c.ValueNo[2] = qint32(m_server.value(kCharAuthor, "Борин"));
        const Read r = m_server.request("CT_N", c, ViewsServer::options(20));
        QCOMPARE(conccore::parseContextLines(r.body).size(), 12);
    }

    void clickedWord_becomesCurrentLine()
    {
        // The value list's reply to a word clicked in the text view: the token of
        // "Мой [дом] стоит" becomes the current line, on its page.
        const uint32_t token = m_server.corpus->forms().postings(m_server.formId("дом"))[7];
        QCOMPARE(QByteArray::fromStdString(m_server.corpus->display(token)), ru("дом"));
        const OptionList o = ViewsServer::options(5, 2, "CLR");
        tCConcPos c = homePosition();
        QVERIFY(m_server.lines->pointAtToken(c, o, token));
        const auto order = homeOrder("CLR");
        const int line = int(std::find(order.begin(), order.end(), token) - order.begin()) + 1;
        QCOMPARE(c.CurLine, line);
        const Read r = m_server.request("CT_N", c, o);
        QCOMPARE(r.conc.CurLine, line);
        QVERIFY(r.conc.FirstLine <= line && line < r.conc.FirstLine + 5);
        // A token that is no occurrence changes nothing.
        tCConcPos d = homePosition();
        QVERIFY(!m_server.lines->pointAtToken(d, o, m_server.tokenIn("Песня", 0)));
        QCOMPARE(d.CurLine, homePosition().CurLine);
    }

    void concurrentRequests_sameRepliesAsOneByOne()
    {
        m_server.lines->clearCache();
        QList<QByteArray> wires;
        for (const char *seq : {"CLR", "CRL", "LCR", "LRC", "RCL", "RLC"}) {
            for (const char move : {'B', 'E'}) {
                tCConcPos c = homePosition();
                c.Move[0] = move;
                wires.append(requests::wire(
                    "CT_N", requests::concDictParams(c, tCDictPos(0), ViewsServer::options(3, 2, seq))));
            }
        }
        QList<QByteArray> expected;
        for (const QByteArray &w : wires)
            expected.append(m_server.send(w));
        m_server.lines->clearCache();
        QList<QByteArray> got(wires.size());
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                for (int i = t; i < wires.size(); i += 4)
                    got[i] = m_server.send(wires[i]);
            });
        for (auto &th : threads)
            th.join();
        QCOMPARE(got, expected);
    }

    void cost_shortOnlyWhenOrderedOrSmall()
    {
        // "дом" has 9 lines: with a bound of 5, its page is long until its order is made.
        m_server.lines->clearCache();
        const OptionList o = ViewsServer::options(5, 2, "CLR");
        OptionList all = o;
        all.set("PrintConc", "True");
        OptionList current = all;
        current.set("PrintConcStr", "True");
        QCOMPARE(linesCost(*m_server.lines, homePosition(), o, 5), Cost::Long);
        QCOMPARE(linesCost(*m_server.lines, homePosition(), o, 9), Cost::Short);
        QCOMPARE(m_server.request("CT_N", homePosition(), o).tag, QByteArray("CT_N"));
        QCOMPARE(linesCost(*m_server.lines, homePosition(), o, 5), Cost::Short);
        QCOMPARE(linesCost(*m_server.lines, homePosition(), current, 5), Cost::Short);
        QCOMPARE(linesCost(*m_server.lines, homePosition(), all, 5), Cost::Long);
        // Another sequence is another order, not made yet.
        QCOMPARE(linesCost(*m_server.lines, homePosition(), ViewsServer::options(5, 2, "RLC"), 5), Cost::Long);
        // Nothing selected: answered with "ZERO" at once.
        QCOMPARE(linesCost(*m_server.lines, ViewsServer::position(kCharForm, uint32_t(-1)), o, 5), Cost::Short);
        // The service asks the same.
        tCConcPos c = homePosition();
        const auto request = [&](const OptionList &opts) {
            return wirerequest::parse(requests::wire("CT_N", requests::concDictParams(c, tCDictPos(0), opts)), true).request;
        };
        QCOMPARE(m_server.service->costOf(request(o)), Cost::Short);
        QCOMPARE(m_server.service->costOf(request(all)), Cost::Long);
    }
};

QTEST_GUILESS_MAIN(TstConcLines)
#include "tst_conc_lines.moc"
