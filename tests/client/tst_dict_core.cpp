// The dictionary page's decisions: list replies, the click chain, dictionary links
// and the type-ahead search, checked on plain state and exact request records.
#include "dictionary/core/DictBrowser.h"
#include "dictionary/core/RefList.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"

#include <QtTest>

using namespace dictcore;
using reflist::RefElement;

namespace {

QByteArray ru(const char *utf8) { return cp1251::ru(utf8); }

tRefC ref(qint32 a, qint32 b = 0, qint32 c = 0, qint32 d = 0)
{
    tRefC r;
    r.NestRef = a;
    r.NestSize = b;
    r.Extra1 = c;
    r.Extra2 = d;
    return r;
}

QByteArray element(const char *utf8, qint32 nest, qint32 size = 1)
{
    return reflist::writeElement(ru(utf8), ref(nest, size, 0, 0));
}

QByteArray list(std::initializer_list<QByteArray> elements)
{
    return QList<QByteArray>(elements).join(',');
}

DictList items(std::initializer_list<const char *> texts, int selected = -1)
{
    DictList l;
    int n = 0;
    for (const char *t : texts)
        l.items.append(RefElement{ru(t), ref(++n)});
    l.selected = selected;
    return l;
}

tCDictPos pos(qint32 letter, qint32 pair, char mode, qint32 word, qint32 dict = 0)
{
    tCDictPos p(dict);
    p.LetterNo = letter;
    p.PairNo = pair;
    p.WordMode = mode;
    p.WordNo = word;
    return p;
}

} // namespace

class TestDictCore : public QObject {
    Q_OBJECT
private slots:
    // Reference list
    void refList_itemTextWithComma_isOneElement();
    void refList_separators_data();
    void refList_separators();
    void refText_malformed_data();
    void refText_malformed();
    void refList_markersOutOfOrder_endsList();

    // "DC_C"
    void letters_summaryOnly_showsIndexThenEmptyMessage();
    void letters_emptyBody_onlyClearsListAndLabels();
    void letters_selectServersLetter_andAskPairs();
    void letters_outOfRangeLetter_resetsAndStillAsksPairs();

    // "DC_CC"
    void pairs_emptyReply_keepsPreviousPairsAndSelection();
    void pairs_pairNoEqualToCount_passesWithoutSelection();

    // "DC_W"
    void words_minusOneRefEndsList_listsTwo();
    void words_indexNotBelowCount_resetsToFirst();
    void words_empty_endsHandling();

    // Chain and clicks
    void clickChain_letterPairWordEntry_sendsExactRecords();
    void clicks_withoutRecord_doNothing();
    void showPage_resetsHeadwordUnlessKept();
    void entryLink_positiveAsksAbsoluteHeadword_negativeShowsPicture();

    // Links
    void links_twoLinks_showTwoButtonsAndAskFirst();
    void links_readingStops_data();
    void links_readingStops();
    void links_missingDictionary_isIgnored();

    // Type-ahead
    void typeAhead_latinKeys_buildCyrillicTextStepByStep();
    void typeAhead_star_emptiesWithoutSearch();
    void typeAhead_backspace_dropsLastAndPassesQuestionMark();
    void typeAhead_disabledWordList_swallowsEverything();
    void typeAhead_keyMapping_data();
    void typeAhead_keyMapping();
};

// ---- Reference list ----

void TestDictCore::refList_itemTextWithComma_isOneElement()
{
    const QByteArray body = list({element("ход, конь", 3, 9), element("ладья", 4)});
    const QList<RefElement> e = reflist::readAll(body);
    QCOMPARE(e.size(), 2);
    QCOMPARE(e[0].text, ru("ход, конь"));
    QCOMPARE(*e[0].ref, ref(3, 9));
    QCOMPARE(e[1].text, ru("ладья"));
    QCOMPARE(e[0].display(), ru("ход, конь - "));
}

void TestDictCore::refList_separators_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QList<QByteArray>>("texts");
    const QByteArray a = element("а", 1), b = element("б", 2), c = element("в", 3);
    QTest::newRow("semicolon skips one byte") << a + ";\n" + b << QList<QByteArray>{ru("а"), ru("б")};
    QTest::newRow("no separator runs to end") << a + "tail" << QList<QByteArray>{ru("а")};
    QTest::newRow("trailing comma") << a + ',' << QList<QByteArray>{ru("а")};
    // The nearer separator ends an element, so a mix of both loses nothing.
    QTest::newRow("mixed separators")
        << a + ";\n" + b + ',' + c << QList<QByteArray>{ru("а"), ru("б"), ru("в")};
    QTest::newRow("no markers") << QByteArray("plain,text") << QList<QByteArray>{};
    QTest::newRow("empty") << QByteArray() << QList<QByteArray>{};
}

void TestDictCore::refList_separators()
{
    QFETCH(QByteArray, body);
    QFETCH(QList<QByteArray>, texts);
    QList<QByteArray> got;
    for (const RefElement &e : reflist::readAll(body))
        got.append(e.text);
    QCOMPARE(got, texts);
}

void TestDictCore::refText_malformed_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("parses");
    QTest::newRow("four numbers") << QByteArray("5,-6,7,8") << true;
    QTest::newRow("other negative nest") << QByteArray("-2,0,0,0") << true;
    QTest::newRow("nest -1") << QByteArray("-1,5,6,7") << false;
    QTest::newRow("three numbers") << QByteArray("1,2,3") << false;
    QTest::newRow("five numbers") << QByteArray("1,2,3,4,5") << false;
    QTest::newRow("comma first") << QByteArray(",1,2,3") << false;
    QTest::newRow("comma last") << QByteArray("1,2,3,") << false;
    QTest::newRow("empty field") << QByteArray("1,,3,4") << false;
    QTest::newRow("not a number") << QByteArray("1,x,3,4") << false;
    QTest::newRow("overflow") << QByteArray("1,2,3,99999999999") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestDictCore::refText_malformed()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, parses);
    QCOMPARE(reflist::parseRefText(text).has_value(), parses);
    // Inside a list the element is still split off, without a reference.
    const QList<RefElement> e =
        reflist::readAll("x" + QByteArray(reflist::OpenMarker) + text + reflist::CloseMarker + ",y");
    QCOMPARE(e.size(), 1);
    QCOMPARE(e[0].ref.has_value(), parses);
}

void TestDictCore::refList_markersOutOfOrder_endsList()
{
    // A closing marker before (or overlapping) the opening one ends the list.
    QVERIFY(reflist::readAll(QByteArray("a\x04)$b\x04$(1,2,3,4")).isEmpty());
    QVERIFY(reflist::readAll(QByteArray("a\x04$)$,")).isEmpty());
    // An element after a good one whose markers are missing is not read.
    QCOMPARE(reflist::readAll(element("а", 1) + ",broken\x04$(1,2").size(), 1);
}

// ---- "DC_C" ----

void TestDictCore::letters_summaryOnly_showsIndexThenEmptyMessage()
{
    DictPageState page;
    page.LB_C = items({"А", "Б"}, 0);
    tCDictPos cur = pos(1, 0, 'A', 4);
    const DictOutcome out = onDC_C(page, &cur, element("Словарь", 5, 120));
    QCOMPARE(out.messages, (QList<QByteArray>{messages::letterIndex(), messages::noLetters()}));
    QCOMPARE(out.messages[0], ru("Не определённый индекс буквы"));
    QCOMPARE(out.messages[1], ru("Не получена информация - список букв"));
    QVERIFY(out.endReplyHandling);
    QVERIFY(out.requests.isEmpty());
    QVERIFY(page.LB_C.isEmpty());
    QCOMPARE(page.L_DD, ru("Словарь/5/120"));
    QCOMPARE(page.L_CN, QByteArray("0"));
    QCOMPARE(cur.LetterNo, 0);
    QCOMPARE(cur.WordMode, 'R');
}

void TestDictCore::letters_emptyBody_onlyClearsListAndLabels()
{
    for (const QByteArray &body :
         {QByteArray(), reflist::writeElement("x", ref(-1)) + ',' + element("А", 1)}) {
        DictPageState page;
        page.LB_C = items({"А"}, 0);
        page.L_CN = page.L_CCN = page.L_WN = page.L_SN = page.L_DD = "9";
        tCDictPos cur = pos(7, 3, 'R', 2);
        const tCDictPos before = cur;
        const DictOutcome out = onDC_C(page, &cur, body);
        QVERIFY(out.messages.isEmpty());
        QVERIFY(out.requests.isEmpty());
        QVERIFY(!out.endReplyHandling);
        QVERIFY(page.LB_C.isEmpty());
        QCOMPARE(page.LB_C.selected, -1);
        for (const QByteArray &label : {page.L_CN, page.L_CCN, page.L_WN, page.L_SN, page.L_DD})
            QVERIFY(label.isEmpty());
        QCOMPARE(cur, before);
    }
}

void TestDictCore::letters_selectServersLetter_andAskPairs()
{
    DictPageState page;
    tCDictPos cur = pos(2, 1, 'R', 5);
    const QByteArray body = list({element("Сводка", 1, 2), element("А", 10), element("Б", 11),
                                  reflist::writeElement(ru("В"), ref(-1)), element("Г", 12)});
    const DictOutcome out = onDC_C(page, &cur, body);
    QVERIFY(out.messages.isEmpty());
    QCOMPARE(page.LB_C.count(), 4);
    QVERIFY(!page.LB_C.items[2].ref.has_value());   // listed without a reference
    QCOMPARE(page.L_CN, QByteArray("4"));
    QCOMPARE(page.LB_C.selected, 1);
    QCOMPARE(out.requests.size(), 1);
    QCOMPARE(out.requests[0].tag, QByteArray("DC_CC"));
    QCOMPARE(out.requests[0].pos, cur);
}

void TestDictCore::letters_outOfRangeLetter_resetsAndStillAsksPairs()
{
    DictPageState page;
    tCDictPos cur = pos(3, 1, 'A', 5);
    const DictOutcome out =
        onDC_C(page, &cur, list({element("Сводка", 1, 2), element("А", 10), element("Б", 11)}));
    QCOMPARE(out.messages, QList<QByteArray>{messages::letterIndex()});
    QVERIFY(!out.endReplyHandling);
    QCOMPARE(page.LB_C.selected, -1);   // letter 0: nothing selected
    QCOMPARE(out.requests.size(), 1);
    QCOMPARE(out.requests[0].pos.LetterNo, 0);
    QCOMPARE(out.requests[0].pos.WordMode, 'R');
}

// ---- "DC_CC" ----

void TestDictCore::pairs_emptyReply_keepsPreviousPairsAndSelection()
{
    DictPageState page;
    page.LB_CC = items({"АБ", "АВ"}, 1);
    page.L_CCN = "2";
    tCDictPos cur = pos(1, 0, 'R', 0);
    DictOutcome out = onDC_CC(page, &cur, QByteArray());
    QCOMPARE(out.messages, QList<QByteArray>{ru("Не получена информация - список пар букв")});
    QVERIFY(out.endReplyHandling);
    QVERIFY(out.requests.isEmpty());
    QCOMPARE(page.LB_CC.count(), 2);
    QCOMPARE(page.LB_CC.items[1].text, ru("АВ"));
    QCOMPARE(page.LB_CC.items[1].ref->NestRef, 2);
    QCOMPARE(page.LB_CC.selected, 1);
    QCOMPARE(page.L_CCN, QByteArray("2"));

    // With a pair number beyond the (empty) list the index message comes first.
    cur.PairNo = 1;
    out = onDC_CC(page, &cur, QByteArray("garbage without markers"));
    QCOMPARE(out.messages, (QList<QByteArray>{ru("Не определёённый индекс пары букв"),
                                             messages::noPairs()}));
    QCOMPARE(cur.PairNo, 0);
    QCOMPARE(page.LB_CC.selected, 1);
}

void TestDictCore::pairs_pairNoEqualToCount_passesWithoutSelection()
{
    DictPageState page;
    tCDictPos cur = pos(1, 2, 'R', 0);
    const DictOutcome out = onDC_CC(page, &cur, list({element("АБ", 1), element("АВ", 2)}));
    QVERIFY(out.messages.isEmpty());
    QCOMPARE(page.LB_CC.selected, -1);
    QCOMPARE(out.requests.size(), 1);
    QCOMPARE(out.requests[0].tag, QByteArray("DC_W"));
    QCOMPARE(out.requests[0].pos.PairNo, 2);

    cur.PairNo = 3;
    const DictOutcome beyond = onDC_CC(page, &cur, list({element("АБ", 1), element("АВ", 2)}));
    QCOMPARE(beyond.messages, QList<QByteArray>{messages::pairIndex()});
    QCOMPARE(page.LB_CC.selected, 0);
}

// ---- "DC_W" ----

void TestDictCore::words_minusOneRefEndsList_listsTwo()
{
    DictPageState page;
    tCDictPos cur = pos(1, 1, 'A', 1);
    const QByteArray body = list({element("АБАЖУР", 1), element("АБВЕР", 2),
                                  reflist::writeElement(ru("АБЗАЦ"), ref(-1, 3, 0, 0)),
                                  element("АБОРТ", 4)});
    const DictOutcome out = onDC_W(page, &cur, body);
    QVERIFY(out.messages.isEmpty());
    QCOMPARE(page.LB_W.count(), 2);
    QCOMPARE(page.L_WN, QByteArray("2"));
    QCOMPARE(page.LB_W.selected, 1);
    QCOMPARE(out.requests.size(), 1);
    QCOMPARE(out.requests[0].tag, QByteArray("DC_S"));
    QCOMPARE(out.requests[0].pos.WordNo, 1);
    QCOMPARE(out.requests[0].pos.WordMode, 'R');   // the headword click counts in the pair
}

void TestDictCore::words_indexNotBelowCount_resetsToFirst()
{
    DictPageState page;
    tCDictPos cur = pos(1, 1, 'A', 2);
    const DictOutcome out = onDC_W(page, &cur, list({element("А", 1), element("Б", 2)}));
    QCOMPARE(out.messages, QList<QByteArray>{ru("Не определённая ссылка на заглавное слово")});
    QCOMPARE(page.LB_W.selected, 0);
    QCOMPARE(out.requests[0].pos.WordNo, 0);
}

void TestDictCore::words_empty_endsHandling()
{
    DictPageState page;
    page.LB_W = items({"А"}, 0);
    tCDictPos cur = pos(1, 1, 'R', 0);
    const DictOutcome out = onDC_W(page, &cur, reflist::writeElement("x", ref(-1)));
    // Headword 0 is not below an empty list's count, so the index message comes first.
    QCOMPARE(out.messages,
             (QList<QByteArray>{messages::wordIndex(), ru("Получена пустая словарная статья")}));
    QVERIFY(out.endReplyHandling);
    QVERIFY(out.requests.isEmpty());
    QVERIFY(page.LB_W.isEmpty());
}

// ---- Chain ----

void TestDictCore::clickChain_letterPairWordEntry_sendsExactRecords()
{
    DictPageState page;
    page.LB_C = items({"А", "Б", "В"});
    const OptionList options = OptionList::initial();
    tCDictPos cur(0);

    DictOutcome out = LB_CClick(page, &cur, 1);
    QCOMPARE(out.requests.size(), 1);
    QCOMPARE(out.requests[0].tag, QByteArray("DC_CC"));
    QCOMPARE(requests::dictParams(out.requests[0].pos, options),
             QByteArray("New\x02\x0e$(0,0,2,0,R0)$") + options.framed());

    // The server answers with its copy of the record, which the reply handler has
    // already stored; the reply selects the pair it names and asks for headwords.
    cur.PairNo = 1;
    out = onDC_CC(page, &cur, list({element("БА", 1), element("БЕ", 2)}));
    QCOMPARE(page.LB_CC.selected, 1);
    QCOMPARE(out.requests.size(), 1);
    QCOMPARE(out.requests[0].tag, QByteArray("DC_W"));
    QCOMPARE(out.requests[0].pos.text(), QByteArray("$(0,0,2,1,R0)$"));

    cur.WordNo = 2;
    out = onDC_W(page, &cur, list({element("БЕГ", 1), element("БЕДА", 2), element("БЕЗ", 3)}));
    QCOMPARE(page.LB_W.selected, 2);
    QCOMPARE(out.requests.size(), 1);
    QCOMPARE(out.requests[0].tag, QByteArray("DC_S"));
    QCOMPARE(out.requests[0].pos.text(), QByteArray("$(0,0,2,1,R2)$"));

    // A click on another pair restarts from its first headword.
    out = LB_CCClick(page, &cur, 0);
    QCOMPARE(out.requests[0].pos.text(), QByteArray("$(0,0,2,0,R0)$"));
}

void TestDictCore::clicks_withoutRecord_doNothing()
{
    DictPageState page;
    page.LB_C = items({"А"});
    page.LB_CC = items({"АБ"});
    page.LB_W = items({"АБА"});
    QVERIFY(LB_CClick(page, nullptr, 0).requests.isEmpty());
    QVERIFY(LB_CCClick(page, nullptr, 0).requests.isEmpty());
    QVERIFY(LB_WClick(page, nullptr, 0).requests.isEmpty());
    QVERIFY(followEntryLink(nullptr, 0, 5).requests.isEmpty());
    tCDictPos cur(0);
    QVERIFY(LB_CClick(page, &cur, 4).requests.isEmpty());   // row beyond the list
    LB_CEnter(nullptr);
    LB_CCEnter(nullptr);

    // Replies without a current record fill the lists and send nothing.
    const DictOutcome out = onDC_W(page, nullptr, element("А", 1));
    QCOMPARE(page.LB_W.count(), 1);
    QVERIFY(out.requests.isEmpty());
}

void TestDictCore::showPage_resetsHeadwordUnlessKept()
{
    DictPageState page;
    page.concRefShown = true;
    tCDictPos rec = pos(2, 1, 'R', 7, -1);
    bool keep = false;
    DictOutcome out = TS_DictShow(page, &rec, 3, keep, true, false);
    QVERIFY(keep);
    QCOMPARE(out.requests.size(), 1);
    QCOMPARE(out.requests[0].tag, QByteArray("DC_C"));
    QCOMPARE(out.requests[0].pos.text(), QByteArray("$(3,0,2,1,R-1)$"));
    QVERIFY(page.concRefShown);

    rec.WordNo = 4;
    out = TS_DictShow(page, &rec, 3, keep, true, true);
    QCOMPARE(out.requests[0].pos.WordNo, 4);
    QVERIFY(!page.concRefShown);   // withdrawn in the local mode

    QVERIFY(TS_DictShow(page, &rec, 3, keep, false, false).requests.isEmpty());
    QVERIFY(TS_DictShow(page, nullptr, 3, keep, true, false).requests.isEmpty());

    // A line's link left the record absolute: the start is asked for relatively
    // (absolute -1 names no headword and the server refuses it).
    tCDictPos linked = pos(0, 0, 'A', 11);
    keep = false;
    out = TS_DictShow(page, &linked, 3, keep, true, false);
    QCOMPARE(out.requests[0].pos.text(), QByteArray("$(3,0,0,0,R-1)$"));

    int curDict = 3;
    QVERIFY(!chooseDictionary(3, curDict, keep));
    QVERIFY(keep);
    QVERIFY(chooseDictionary(1, curDict, keep));
    QCOMPARE(curDict, 1);
    QVERIFY(!keep);
}

void TestDictCore::entryLink_positiveAsksAbsoluteHeadword_negativeShowsPicture()
{
    tCDictPos rec = pos(2, 1, 'R', 7, 5);
    DictOutcome out = followEntryLink(&rec, 1, 40);
    QCOMPARE(out.requests.size(), 1);
    QCOMPARE(out.requests[0].tag, QByteArray("DC_CC"));
    QCOMPARE(out.requests[0].pos.text(), QByteArray("$(1,0,0,0,A39)$"));

    out = followEntryLink(&rec, 1, -6);
    QVERIFY(out.requests.isEmpty());
    QCOMPARE(out.picture, 6);
    out = followEntryLink(&rec, 1, std::numeric_limits<qint32>::min());
    QCOMPARE(out.picture, 0);
    QVERIFY(followEntryLink(&rec, 1, 0).requests.isEmpty());
}

// ---- Links ----

void TestDictCore::links_twoLinks_showTwoButtonsAndAskFirst()
{
    DictPageState page;
    page.TreeDOx.nodes.append(EntryNode{});
    page.TreeDOxVisible = true;
    QList<tCDictPos> records{tCDictPos(0), tCDictPos(1)};
    const DictRecordLookup lookup = [&](int i) {
        return i >= 0 && i < records.size() ? &records[i] : nullptr;
    };
    DictOutcome out = loadDictLinks(page, "$$+12,0$$+7,1", lookup);
    QCOMPARE(page.DictLinks, (QList<DictLink>{{12, 0}, {7, 1}}));
    QCOMPARE(visibleLinkButtons(int(page.DictLinks.size())), 2);
    QCOMPARE(page.selectedLink, 0);
    QVERIFY(page.TreeDOx.isEmpty());
    QVERIFY(!page.TreeDOxVisible);
    QCOMPARE(out.requests.size(), 1);
    QCOMPARE(out.requests[0].tag, QByteArray("DC_C"));
    QCOMPARE(out.requests[0].pos.text(), QByteArray("$(0,0,0,0,A11)$"));
    QCOMPARE(records[0].WordNo, 11);

    out = RBD1Click(page, 1, lookup);
    QCOMPARE(page.selectedLink, 1);
    QCOMPARE(out.requests[0].pos.text(), QByteArray("$(1,0,0,0,A6)$"));

    QCOMPARE(visibleLinkButtons(1), 0);
    QCOMPARE(visibleLinkButtons(3), 3);
}

void TestDictCore::links_readingStops_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<DictLink>>("links");
    QTest::newRow("three at most")
        << QByteArray("$$+1,0$$+2,0$$+3,1$$+4,1") << QList<DictLink>{{1, 0}, {2, 0}, {3, 1}};
    QTest::newRow("bad headword stops")
        << QByteArray("$$+3,0$$+x,1$$+4,0") << QList<DictLink>{{3, 0}};
    QTest::newRow("bad dictionary stops") << QByteArray("$$+3,0 $$+4,1") << QList<DictLink>{};
    QTest::newRow("comma before marker") << QByteArray(",$$+3,0") << QList<DictLink>{};
    QTest::newRow("no comma") << QByteArray("$$+3") << QList<DictLink>{};
    QTest::newRow("empty") << QByteArray() << QList<DictLink>{};
}

void TestDictCore::links_readingStops()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<DictLink>, links);
    QCOMPARE(readDictLinks(text), links);
}

void TestDictCore::links_missingDictionary_isIgnored()
{
    DictPageState page;
    tCDictPos only(0);
    const DictOutcome out =
        loadDictLinks(page, "$$+5,4", [&](int i) { return i == 0 ? &only : nullptr; });
    QCOMPARE(page.DictLinks.size(), 1);
    QCOMPARE(page.selectedLink, 0);
    QVERIFY(out.requests.isEmpty());
    QCOMPARE(only, tCDictPos(0));
    // An empty list clears the links and asks nothing.
    QVERIFY(loadDictLinks(page, QByteArray(), {}).requests.isEmpty());
    QVERIFY(page.DictLinks.isEmpty());
    QCOMPARE(page.selectedLink, -1);
}

// ---- Type-ahead ----

void TestDictCore::typeAhead_latinKeys_buildCyrillicTextStepByStep()
{
    DictPageState page;
    page.LB_C = items({"Б", "А"}, 0);
    page.LB_CC = items({"АА", "АБ", "АВ"}, 0);
    page.LB_W = items({"АБА", "АББ", "АБВГ", "АБД"}, 0);
    tCDictPos rec = pos(1, 0, 'R', 0);

    KeyOutcome k = dictKeyPress(page, &rec, 'f', true);
    QCOMPARE(page.SearchText, ru("А"));
    QVERIFY(k.swallow);
    QVERIFY(k.focusWordList);
    QCOMPARE(page.LB_C.selected, 1);
    QCOMPARE(k.actions.requests.size(), 1);
    QCOMPARE(k.actions.requests[0].tag, QByteArray("DC_CC"));
    QCOMPARE(k.actions.requests[0].pos.text(), QByteArray("$(0,0,2,0,R0)$"));

    k = dictKeyPress(page, &rec, ',', true);
    QCOMPARE(page.SearchText, ru("АБ"));
    QCOMPARE(page.LB_CC.selected, 1);
    QCOMPARE(k.actions.requests.size(), 1);   // two letters: no headword step
    QCOMPARE(k.actions.requests[0].tag, QByteArray("DC_W"));
    QCOMPARE(k.actions.requests[0].pos.text(), QByteArray("$(0,0,2,1,R0)$"));

    k = dictKeyPress(page, &rec, 'd', true);
    QCOMPARE(page.SearchText, ru("АБВ"));
    QCOMPARE(page.LB_W.selected, 2);   // first headword not less than "АБВ"
    QCOMPARE(k.actions.requests.size(), 1);
    QCOMPARE(k.actions.requests[0].tag, QByteArray("DC_S"));
    QCOMPARE(k.actions.requests[0].pos.text(), QByteArray("$(0,0,2,1,R2)$"));

    // The same text again finds what is already selected and asks nothing.
    QVERIFY(FindInDict(page, &rec, page.SearchText).requests.isEmpty());
    // Byte order of the code page: "Я" (0xDF) sorts after every other capital.
    QVERIFY(FindInDict(page, &rec, ru("Я")).requests.isEmpty());
    QCOMPARE(page.LB_W.selected, 2);
}

void TestDictCore::typeAhead_star_emptiesWithoutSearch()
{
    DictPageState page;
    page.LB_C = items({"А", "Б"}, 1);
    page.LB_W = items({"АБА"}, -1);
    page.SearchText = ru("АБ");
    tCDictPos rec = pos(2, 0, 'R', 0);
    const tCDictPos before = rec;
    const KeyOutcome k = dictKeyPress(page, &rec, '*', true);
    QVERIFY(page.SearchText.isEmpty());
    QVERIFY(k.swallow);
    QVERIFY(!k.focusWordList);
    QVERIFY(k.actions.requests.isEmpty());
    QCOMPARE(page.LB_C.selected, 1);
    QCOMPARE(page.LB_W.selected, -1);
    QCOMPARE(rec, before);
}

void TestDictCore::typeAhead_backspace_dropsLastAndPassesQuestionMark()
{
    DictPageState page;
    page.LB_C = items({"А"}, 0);
    page.LB_CC = items({"АБ"}, -1);
    page.SearchText = ru("АБВ");
    tCDictPos rec = pos(1, 0, 'R', 0);
    KeyOutcome k = dictKeyPress(page, &rec, 8, true);
    QCOMPARE(page.SearchText, ru("АБ"));
    QVERIFY(!k.swallow);
    QCOMPARE(k.passOn, '?');
    QCOMPARE(k.actions.requests.size(), 1);   // the shorter text finds the pair
    QCOMPARE(page.LB_CC.selected, 0);

    page.SearchText.clear();
    k = dictKeyPress(page, &rec, 8, true);
    QCOMPARE(k.passOn, char(8));
    QVERIFY(k.actions.requests.isEmpty());

    k = dictKeyPress(page, &rec, '7', true);
    QVERIFY(!k.swallow);
    QCOMPARE(k.passOn, '7');
    QVERIFY(page.SearchText.isEmpty());
}

void TestDictCore::typeAhead_disabledWordList_swallowsEverything()
{
    DictPageState page;
    page.LB_C = items({"А"});
    page.SearchText = ru("Б");
    tCDictPos rec(0);
    for (char key : {'f', '*', char(8)}) {
        const KeyOutcome k = dictKeyPress(page, &rec, key, false);
        QVERIFY(k.swallow);
        QVERIFY(!k.focusWordList);
        QVERIFY(k.actions.requests.isEmpty());
        QCOMPARE(page.SearchText, ru("Б"));
    }
}

void TestDictCore::typeAhead_keyMapping_data()
{
    QTest::addColumn<char>("key");
    QTest::addColumn<QByteArray>("added");   // empty: passed on, not added
    const char *latin = "ФИСВУАПРШОЛДЬТЩЗЙКЫЕГМЦЧНЯ";
    const QByteArray letters = ru(latin);
    for (char c = 'a'; c <= 'z'; ++c) {
        QTest::addRow("%c", c) << c << letters.mid(c - 'a', 1);
        QTest::addRow("%c", c - 32) << char(c - 32) << letters.mid(c - 'a', 1);
    }
    const char *punct = "`[];',.";
    const QByteArray cyr = ru("ЁХЪЖЭБЮ");
    for (int i = 0; i < 7; ++i)
        QTest::addRow("punct %d", i) << punct[i] << cyr.mid(i, 1);
    QTest::newRow("small ya") << ru("я").at(0) << ru("Я");
    QTest::newRow("capital zhe") << ru("Ж").at(0) << ru("Ж");
    QTest::newRow("colon") << ':' << QByteArray(":");
    QTest::newRow("blank") << ' ' << QByteArray(" ");
    QTest::newRow("hyphen") << '-' << QByteArray("-");
    QTest::newRow("digit") << '5' << QByteArray();
    QTest::newRow("small yo") << ru("ё").at(0) << QByteArray();
    QTest::newRow("question") << '?' << QByteArray();
}

void TestDictCore::typeAhead_keyMapping()
{
    QFETCH(char, key);
    QFETCH(QByteArray, added);
    DictPageState page;
    tCDictPos rec(0);
    const KeyOutcome k = dictKeyPress(page, &rec, key, true);
    QCOMPARE(page.SearchText, added);
    QCOMPARE(k.swallow, !added.isEmpty());
    if (added.isEmpty())
        QCOMPARE(k.passOn, key);
}

QTEST_GUILESS_MAIN(TestDictCore)
#include "tst_dict_core.moc"
