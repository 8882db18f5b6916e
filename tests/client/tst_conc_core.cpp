// The concordance page's decisions without widgets: group codes, value pages with
// and without empty values, context lines and their marks, fitting the left context,
// rows that fit, sort sequences, typing, paging keys and the scroll bar, counts
// captions and frequency suffixes, and the export writers.
#include "concordance/core/ConcExport.h"
#include "concordance/core/ConcReplies.h"
#include "concordance/core/ContextFit.h"
#include "concordance/core/ContextLines.h"
#include "concordance/core/SortSeq.h"
#include "concordance/core/WordList.h"
#include "concordance/core/Zones.h"
#include "dictionary/core/RefList.h"
#include "model/Cp1251.h"

#include <QtTest>

using cp1251::ru;
using namespace conccore;

Q_DECLARE_METATYPE(conccore::ListKey)
Q_DECLARE_METATYPE(conccore::Paging::Kind)

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (const int v : values)
        b += char(v);
    return b;
}

QByteArray element(const char *text, qint32 alpha, qint32 count, qint32 filtered, qint32 freq)
{
    return reflist::writeElement(ru(text), tRefC{alpha, count, 0, filtered, freq});
}

} // namespace

class TestConcCore : public QObject {
    Q_OBJECT
private slots:
    void groupCode_ranksThenNumbers_xIsTheDefault_data()
    {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<int>("defaultPos");
        QTest::newRow("1X21") << QByteArray("1X21") << bytes({200, 201, 203, 202}) << 1;
        QTest::newRow("word list") << QByteArray("X11111111") << bytes({200, 201, 202, 203, 204, 205, 206, 207, 208})
                                   << 0;
        QTest::newRow("heading") << QByteArray("001100000") << bytes({202, 203}) << 0;
        QTest::newRow("ranks 9 then 2") << QByteArray("92X") << bytes({202, 201, 200}) << 0;
    }
    void groupCode_ranksThenNumbers_xIsTheDefault()
    {
        QFETCH(QByteArray, pattern);
        QFETCH(QByteArray, code);
        QFETCH(int, defaultPos);
        int built = 0;   // a group without "X" keeps its default 0
        QCOMPARE(buildGroupCode(pattern, &built), code);
        QCOMPARE(built, defaultPos);
    }

    void groups_unnamedItemsGetNoCode_combosMapThroughCodes()
    {
        const QList<Group> g = parseGroups(ru("\"Тип - X11\",\"без тире\",\"Основа - X1\""));
        QCOMPARE(g.size(), 3);
        QCOMPARE(g[0].name, ru("Тип"));
        QVERIFY(!g[1].named && g[1].code.isEmpty());
        QCOMPARE(g[2].code, bytes({200, 201}));
        QCOMPARE(comboCharacteristics(bytes({202, 200, 207}), 4), (QList<int>{2, 0}));   // 7 is beyond the list
        QVERIFY(!comboCharacteristics(QByteArray(), 4));
        QVERIFY(!comboCharacteristics(bytes({200, 201, 202}), 2));                      // longer than the list
        QCOMPARE(codeIndexOf(bytes({202, 200}), 0), 1);
        QCOMPARE(codeIndexOf(bytes({202, 200}), 1), -1);
        // Names alternate with counts; a text that is no number is dropped.
        const QList<Characteristic> chars = parseCharacteristics(ru("Словоформа,30,Лемма,x,Автор,4"));
        QCOMPARE(chars, (QList<Characteristic>{{ru("Словоформа"), 30}, {ru("Лемма"), 0}, {ru("Автор"), 4}}));
    }

    void valuePage_emptyValuesDroppedOrMarked_secondColumnSplit()
    {
        const QByteArray body = element("", 0, 14, 0, 0) + ',' + element("в /в", 1, 3, 1, 2) + ','
            + element(" /лес", 2, 1, 2, 5) + ',' + element("дом /", 3, 3, 3, 3) + ",x";
        WordPage dropped = parseWordPage(body, false);
        QCOMPARE(dropped.dropped, 2);
        QCOMPARE(dropped.entries.size(), 2);
        QCOMPARE(dropped.entries[0].text, ru("в"));
        QCOMPARE(dropped.entries[0].second, ru("в"));
        QCOMPARE(dropped.entries[0].rec, (ListRecord{1, 3, 1, 2}));
        QVERIFY(dropped.entries[1].hasSecond && dropped.entries[1].second.isEmpty());
        WordPage shown = parseWordPage(body, true);
        QCOMPARE(shown.dropped, 0);
        QCOMPARE(shown.entries.size(), 4);
        QCOMPARE(shown.entries[0].text, emptyValueMark());
        QCOMPARE(shown.entries[2].text, emptyValueMark());
        QCOMPARE(shown.entries[2].second, ru("лес"));
        QCOMPARE(shown.entries[2].whole, emptyValueMark() + ru(" /лес"));
    }

    void contextLines_fragmentsNumbersNamesAndBrokenLines()
    {
        const QByteArray body = ru("$$+5,0$$-слева $@$ 7,дом $+$ Автор. Текст $+$ лишнее $*$ справа `и $$$ ")
            + ru("без звёздочки $@$ 8,лес $$$ ") + ru("нет номера $*$ хвост $$$ ")
            + ru("$$+$$-левый $@$ x,сад $*$ право $$$");
        const QList<ContextLine> lines = parseContextLines(body);
        QCOMPARE(lines.size(), 3);   // the line without " $*$ " adds nothing
        QCOMPARE(lines[0].tag, QByteArray("$$+5,0"));
        QCOMPARE(lines[0].left, ru("слева"));
        QCOMPARE(lines[0].number, 7);
        QCOMPARE(lines[0].centre, ru("дом"));
        QCOMPARE(lines[0].name, ru("Автор. Текст"));
        QCOMPARE(lines[0].right, ru("справа `и "));
        // No " $@$ ": number 0, an empty centre, the left context up to " $*$ ".
        QCOMPARE(lines[1].number, 0);
        QVERIFY(lines[1].centre.isEmpty());
        QCOMPARE(lines[1].left.trimmed(), ru("нет номера"));
        QVERIFY(lines[1].tag.isEmpty());
        QCOMPARE(lines[2].tag, QByteArray("$$+"));
        QCOMPARE(lines[2].number, 0);   // not a number
        QCOMPARE(lines[2].centre, ru("сад"));
        QCOMPARE(parseConcCount("(21-40)").first, QByteArray("21"));
        QCOMPARE(parseConcCount("(21-40)").last, QByteArray("40"));
    }

    void marks_rendered_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("prose");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("one between letters") << QByteArray("a`b") << false << QByteArray("a||b");
        QTest::newRow("three in a row") << QByteArray("a```b") << false << QByteArray("a|| b");
        QTest::newRow("two in a row") << QByteArray("a``b") << false << QByteArray("a||b");
        QTest::newRow("prose") << QByteArray("a ` b``c") << true << QByteArray("a  bc");
    }
    void marks_rendered()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, prose);
        QFETCH(QByteArray, shown);
        QCOMPARE(renderMarks(text, prose), shown);
    }

    void fitLeft_keepsWholeWordsOrPadsOnTheLeft()
    {
        const CharWidths w = CharWidths::uniform(10);
        // 100 pixels: 10 characters; the text is cut at a blank.
        const QByteArray fitted = fitLeft("one two three four", 100, w);
        QCOMPARE(fitted, QByteArray(" four"));
        QVERIFY(fitLeft("alpha beta gamma", 100, w).startsWith(' '));
        // One long word: the overflowing character and the one after it go too.
        QCOMPARE(fitLeft("abcdefghijklmn", 100, w), QByteArray("fghijklmn"));
        // A short text gets blanks up to below the width less 6.
        QCOMPARE(fitLeft("abc", 100, w), QByteArray(6, ' ') + "abc");
        // The real measure corrects a text that is still too wide: never a partial word.
        const auto measure = [](const QString &t) { return int(t.size()) * 10; };
        QCOMPARE(correctLeft(QStringLiteral("xx yyyy zzz"), 60, measure), QStringLiteral("   zzz"));
        QCOMPARE(correctLeft(QStringLiteral("ab"), 60, measure), QStringLiteral("ab"));
        // A column too narrow for one character still gives a usable table.
        std::array<double, CharWidths::Count> advance;
        advance.fill(7.0);
        QCOMPARE(CharWidths::measure(advance, 3).width('a'), 7.0);
        QCOMPARE(CharWidths::measure(advance, 300).width('a'), 300.0 / 42);   // 42 copies in 296
        advance.fill(0.0);
        QCOMPARE(CharWidths::measure(advance, 300).width('a'), 1.0);
    }

    void rowsThatFit_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("margin");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("rows");
        QTest::newRow("word list 200/13") << 200 << 16 << 13 << 13;
        QTest::newRow("context 200/13") << 200 << 0 << 13 << 14;
        QTest::newRow("zero height") << 0 << 0 << 13 << 10;
        QTest::newRow("zero row") << 200 << 0 << 0 << 10;
        QTest::newRow("no room") << 16 << 16 << 13 << 10;
    }
    void rowsThatFit()
    {
        QFETCH(int, height);
        QFETCH(int, margin);
        QFETCH(int, row);
        QFETCH(int, rows);
        QCOMPARE(conccore::rowsThatFit(height, margin, row), rows);
    }

    void sortSequence_captionAndDialog()
    {
        QCOMPARE(sortButtonCaption("CLR"), ru("Сортировка : центр. + слева + справа   "));
        QCOMPARE(sortDescription("RC"), ru("справа + центр.   "));
        SortDialogState d;
        d.open();   // nothing chosen yet: the first entry
        QCOMPARE(d.chosen, QByteArray("CLR"));
        QVERIFY(!d.okVisible);
        d.select(0);
        QVERIFY(!d.okVisible);   // the same code: only "Отменить" leaves
        d.select(3);
        QVERIFY(d.okVisible);
        d.chosen = "RLC";        // a reply's "SortSeq"
        d.open();
        QCOMPARE(sortEntries().at(d.selected), ru("справа + слева + центральное - RLC"));
        QVERIFY(!d.okVisible);
    }

    void captionsAndSuffixes()
    {
        const ListRecord r{0, 7, 3, 41};
        QCOMPARE(frequencySuffix(r, false), ru(" ,НА=1 ,НЧ=42"));
        QCOMPARE(frequencySuffix(r, true), ru(" ,НА=1 ,НФЧ=4 ,НЧ=42"));
        const QByteArray once = withFrequencySuffix(ru("дом"), r, false);
        QCOMPARE(withFrequencySuffix(once, r, false), once);
        QCOMPARE(quantCaption(0, 0), ru("Кол.словоупотр."));
        QCOMPARE(quantCaption(1, 1), ru("Кол.словоупотр."));
        QCOMPARE(quantCaption(2, 0), ru("Объём(словоупотр.)"));
        QCOMPARE(quantCaption(0, 2), ru("Частота словоупотр."));
        QCOMPARE(quantCaption(5, 2), ru("Частота словоупотр."));
        // The last value of the list: its number + rows after it = the total.
        const Numbering n = numbering(ListRecord{27, 1, 27, 4}, "A", false);
        QCOMPARE(n.text, ru(" Ном.в слов.28"));
        QVERIFY(atListEnd(n, 3, 0, 30));
        QVERIFY(!atListEnd(n, 3, 0, 31));
        QCOMPARE(numbering(ListRecord{27, 1, 2, 4}, "Q", true).text, ru(" Ном.в част.фильт.слов.3, в част.слов.5"));
        QCOMPARE(wncCaption(3, 30, n), ru("Показано 3 из 30,  Ном.в слов.28"));
    }

    void typing_prefixStarsOrdersAndWidth()
    {
        tCConcPos c;
        c.Level = 1;
        OptionList o;
        QByteArray req;
        typeKey(char(uchar(0xEA)), req, c, o, true);   // "к"
        typeKey('*', req, c, o, true);
        QCOMPARE(typeKey('*', req, c, o, true).then, TypedThen::SendList);
        QCOMPARE(c.Request[1], ru("к*"));
        QCOMPARE(typeKey(KeyBackspace, req, c, o, true).consumed, true);
        QCOMPARE(req, ru("к"));
        QCOMPARE(typeKey('-', req, c, o, true).then, TypedThen::SendList);   // "-" after a prefix types
        QCOMPARE(req, ru("к-"));
        QCOMPARE(typeKey('$', req, c, o, true).then, TypedThen::Nothing);    // never in a value
        QCOMPARE(c.Request[1], ru("к-"));
        QCOMPARE(typeKey('a', req, c, o, false).then, TypedThen::Nothing);  // other orders: nothing sent
        QVERIFY(req.isEmpty());
        QCOMPARE(typeKey('#', req, c, o, true).consumed, true);
        QCOMPARE(c.ValueNo[1], 0);

        o.set("ConcWidth", "20");
        for (int i = 0; i < 20; ++i)
            QCOMPARE(typeKey(i % 2 ? '+' : '=', req, c, o, true).then, TypedThen::Context);
        QCOMPARE(o.value("ConcWidth"), QByteArray("25"));
        for (int i = 0; i < 30; ++i)
            typeKey('-', req, c, o, false);
        QCOMPARE(o.value("ConcWidth"), QByteArray("2"));
        o.set("ConcWidth", "x");
        typeKey('+', req, c, o, true);
        QCOMPARE(o.value("ConcWidth"), QByteArray("6"));   // not a number is the server's 5
        QCOMPARE(typeKey(KeyEnter, req, c, o, true).then, TypedThen::OpenText);
    }

    void listKeys_data()
    {
        QTest::addColumn<ListKey>("key");
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("atEnd");
        QTest::addColumn<Paging::Kind>("kind");
        QTest::addColumn<QByteArray>("listPos");
        QTest::addColumn<bool>("consumed");
        using K = Paging::Kind;
        QTest::newRow("Up on the first") << ListKey::Up << 0 << false << K::ListPos << QByteArray("PREV") << false;
        QTest::newRow("Up inside") << ListKey::Up << 2 << false << K::None << QByteArray() << false;
        QTest::newRow("Down on the last") << ListKey::Down << 4 << false << K::ListPos << QByteArray("NEXT") << false;
        QTest::newRow("Down on the last, list end") << ListKey::Down << 4 << true << K::None << QByteArray() << true;
        QTest::newRow("PageDown") << ListKey::PageDown << 1 << false << K::Next << QByteArray() << true;
        QTest::newRow("PageDown at list end") << ListKey::PageDown << 1 << true << K::None << QByteArray() << true;
        QTest::newRow("PageUp") << ListKey::PageUp << 1 << true << K::Prev << QByteArray() << true;
        QTest::newRow("End") << ListKey::End << 1 << false << K::ListPos << QByteArray("END") << true;
        QTest::newRow("Home") << ListKey::Home << 1 << true << K::ListPos << QByteArray("TOP") << true;
    }
    void listKeys()
    {
        QFETCH(ListKey, key);
        QFETCH(int, row);
        QFETCH(bool, atEnd);
        QFETCH(Paging::Kind, kind);
        QFETCH(QByteArray, listPos);
        QFETCH(bool, consumed);
        const Paging p = listKey(key, row, 5, atEnd);
        QCOMPARE(p.kind, kind);
        QCOMPARE(p.listPos, listPos);
        QCOMPARE(p.consumed, consumed);
    }

    void scrollBar_thumbAndClicks()
    {
        using Act = Scroll::Act;
        ScrollState s;
        scrollEvent(s, ScrollCode::ThumbPress, 40, false, true);
        scrollEvent(s, ScrollCode::ThumbTrack, 60, false, true);
        QCOMPARE(scrollEvent(s, ScrollCode::EndScroll, 40, false, true).act, Act::Nothing);   // released where it was
        scrollEvent(s, ScrollCode::ThumbPress, 40, false, true);
        const Scroll moved = scrollEvent(s, ScrollCode::EndScroll, 70, false, true);
        QCOMPARE(moved.act, Act::Position);
        QCOMPARE(moved.position, 70);
        const Scroll page = scrollEvent(s, ScrollCode::PageDown, 70, false, true);
        QVERIFY(page.keepThumb && page.act == Act::PageNext && s.pageClick);
        QCOMPARE(scrollEvent(s, ScrollCode::EndScroll, 80, false, true).act, Act::Nothing);
        QVERIFY(!s.pageClick);
        QCOMPARE(scrollEvent(s, ScrollCode::LineUp, 70, false, false).act, Act::Nothing);   // SB_Wx: no line codes
        QCOMPARE(scrollEvent(s, ScrollCode::PageUp, 70, true, true).act, Act::Progress);   // a request pending
    }

    // The selection hint names what the mouse selects on the sub-page shown: under
    // "Контекст" how a line is marked for the buffer, whatever zone is highlighted.
    void statusHints_contextSubPageNamesTheMarking()
    {
        const QString marking = QStringLiteral("Shift+щелчок — отметить строку для буфера");
        QCOMPARE(markLineHint(), marking);
        for (const Zone zone : {Zone::WordList, Zone::Context, Zone::Text}) {
            const StatusHints h = statusHints(MainTab::Concordance, SubPage::Context, true, zone);
            QCOMPARE(h.panel1, marking);
            QVERIFY(h.panel0.startsWith(QStringLiteral("  Перекл.: словарь-конкорд. : <- ->|")));
        }
        QCOMPARE(statusHints(MainTab::Concordance, SubPage::Context, false, Zone::Context).panel1, marking);
        QCOMPARE(statusHints(MainTab::Concordance, SubPage::Text, true, Zone::Text).panel1,
                 QStringLiteral("Выделение (начало/конец) - Shift+лев.кн.мыши, Выдел. слова - Ctrl+лев.кн.м.|"));
        QCOMPARE(statusHints(MainTab::Concordance, SubPage::Dictionary, true, Zone::WordList).panel1, QString());
        QCOMPARE(statusHints(MainTab::Dictionary, SubPage::Context, true, Zone::Context).panel1, QString());
        QVERIFY(MarkedLineRgb != ZoneHighlightRgb && MarkedLineRgb != 0xFFFFFF);
    }

    // A whole value list straight from the reply body: the empty-value rule, the
    // count and frequency numbers, and the end at the first element without a
    // reference, for both separators.
    void listExport_fromTheBody_data()
    {
        QTest::addColumn<bool>("showEmpty");
        QTest::addColumn<QList<QByteArray>>("values");
        QTest::newRow("empty values dropped")
            << false << QList<QByteArray>{ru("дом /дом / 7 ,НА=1 ,НФЧ=4 ,НЧ=42"), ru("лес / 2 ,НА=6 ,НФЧ=7 ,НЧ=9")};
        QTest::newRow("empty values shown")
            << true
            << QList<QByteArray>{ru("дом /дом / 7 ,НА=1 ,НФЧ=4 ,НЧ=42"), emptyValueMark() + ru(" /x / 1 ,НА=2 ,НФЧ=3 ,НЧ=4"),
                                 ru("лес / 2 ,НА=6 ,НФЧ=7 ,НЧ=9")};
    }
    void listExport_fromTheBody()
    {
        QFETCH(bool, showEmpty);
        QFETCH(QList<QByteArray>, values);
        const QByteArray body = ru("дом /дом") + "\x04$(0,7,3,41\x04)$," + " /x\x04$(1,1,2,3\x04)$;\n" + ru("лес")
                                + "\x04$(5,2,6,8\x04)$,tail\x04$(-1,0,0,0\x04)$," + ru("после") + "\x04$(9,9,9,9\x04)$";
        textcore::Buffer buffer;
        QCOMPARE(writeListExport(buffer, body, showEmpty, FilterRows(), true), int(values.size()));
        const QList<QByteArray> head{QByteArray(16, '*'),
                                     ru("(Найдено ") + QByteArray::number(values.size()) + ru(" значений) :"),
                                     QByteArray(16, '*')};
        QCOMPARE(buffer.lines(), head + values);
        // The same lines as through a page of entries.
        textcore::Buffer viaPage;
        writeListExport(viaPage, parseWordPage(body, showEmpty), FilterRows(), true);
        QCOMPARE(viaPage.lines(), buffer.lines());
    }

    void exports_headersAndLines()
    {
        // A list without visible filter rows: the stars follow the count line.
        textcore::Buffer buffer;
        WordPage page;
        page.entries.append(WordEntry{ru("дом /дом"), ru("дом"), ru("дом"), true, ListRecord{0, 7, 3, 41}});
        QCOMPARE(writeListExport(buffer, page, FilterRows(), true), 1);
        QCOMPARE(buffer.lines(), (QList<QByteArray>{QByteArray(16, '*'), ru("(Найдено 1 значений) :"),
                                                     QByteArray(16, '*'),
                                                     ru("дом /дом / 7 ,НА=1 ,НФЧ=4 ,НЧ=42")}));
        FilterRows rows;
        rows.perm = true;
        rows.rows = {FilterRow{true, true, false, ru("Автор = Гоголь"), false, {}},
                     FilterRow{true, false, true, ru("Лемма = лес"), true, "2"},
                     FilterRow{false, false, false, ru("Скрытый"), false, {}}};
        QCOMPARE(listExportRowLines(rows),
                 (QList<QByteArray>{ru("Автор - Гоголь + "), ru("Лемма -(совм.встречаемость на расстоянии 2) c")}));
        QCOMPARE(concExportIntro(rows, {ru("Автор"), ru("Название текста")}, false, 9),
                 (QList<QByteArray>{"* * * * * * * * * * * * * * *", ru("Автор - Гоголь"), ru("Лемма - лес"),
                                    QByteArray(24, '*'), ru("Автор/Название текста/"), QByteArray(16, '*'),
                                    ru("Найдено 9 строк"), QByteArray(16, '*')}));
        QCOMPARE(headingNames(bytes({202, 203, 250}), {"a", "b", "c", "d"}), (QByteArrayList{"c", "d"}));

        // Lines numbered from 1, a heading line where the fields change.
        textcore::Buffer lines;
        ConcExportWriter writer(ru("Гоголь $^$ Нос $^$ лес `и $@$ 1,дом $+$ Нос $*$ сад $$$ ")
                                    + ru("Гоголь $^$ Нос $^$ два $@$ 2,дом $*$ три $$$ ")
                                    + ru("Пушкин $^$ Зима $^$ раз $@$ 3,дом $*$ конец $$$"),
                                false);
        QVERIFY(!writer.writeSome(lines, 10));
        QCOMPARE(lines.lines(), (QList<QByteArray>{ru("Гоголь/Нос/ : "), ru("     1 лес ||и  дом  сад"),
                                                    ru("     2 два  дом  три"), ru("Пушкин/Зима/ : "),
                                                    ru("     3 раз  дом  конец")}));
    }
};

QTEST_GUILESS_MAIN(TestConcCore)
#include "tst_conc_core.moc"
