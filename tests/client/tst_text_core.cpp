// The text view's and the buffer's decisions on plain state: the page and
// full-text replies, the layout of word labels, the paging keys with borrowed
// numbers, word clicks, Ctrl/Shift marking, the lines each copy writes, the export
// header and saving the buffer into files.
#include "model/Cp1251.h"
#include "text/core/BufferOps.h"
#include "text/core/TextReplies.h"
#include "text/core/TextView.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace textcore;
using cp1251::ru;

namespace {

QByteArray entry(const QByteArray &text, qint32 number)
{
    return text + "$@$" + QByteArray::number(number) + "$$$";
}

// Words of width 10 per byte, lines 16 high, P_Text 100 wide, blanks 4 wide.
LayoutMetrics metrics()
{
    LayoutMetrics m;
    m.lineHeight = 16;
    m.clientWidth = 100;
    m.blankWidth = 4;
    m.width = [](const QByteArray &t) { return int(t.size()) * 10; };
    return m;
}

TextViewState laidOut(const QList<TextWord> &words)
{
    TextViewState v;
    layoutPage(v, words, metrics());
    return v;
}

QList<qint32> tags(const TextViewState &v)
{
    QList<qint32> out;
    for (const WordLabel &l : v.labels)
        out.append(l.tag);
    return out;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TstTextCore : public QObject {
    Q_OBJECT
private slots:
    void pageReply_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("links");
        QTest::addColumn<QByteArray>("number");
        QTest::addColumn<QList<QByteArray>>("words");
        QTest::addColumn<QByteArray>("title");
        const QByteArray words = entry("a", 5) + entry(" b", 0) + "T$$$";
        QTest::newRow("links, number, words, title")
            << "$$+12,0$$+3,1$$-$$+7$$-" + words << QByteArray("$$+12,0$$+3,1") << QByteArray("7")
            << QList<QByteArray>{"a", " b"} << QByteArray("T");
        QTest::newRow("no sections: words from the second byte")
            << "x" + words << QByteArray() << QByteArray() << QList<QByteArray>{"a", " b"} << QByteArray("T");
        QTest::newRow("a lone $$- ends the number section")
            << "9$$-" + words << QByteArray() << QByteArray() << QList<QByteArray>{"a", " b"} << QByteArray("T");
        QTest::newRow("tails of $$$+ and $$$- are no markers")
            << "x$$$+y$$$-" + entry("c", 2) << QByteArray() << QByteArray()
            << QList<QByteArray>{"-c"} << QByteArray();
        QTest::newRow("bad number and text without number skipped")
            << "-" + entry("a", 1) + "a$@$x$$$" + "lost$$$" + entry("d", 4) << QByteArray() << QByteArray()
            << QList<QByteArray>{"a", "d"} << QByteArray();
        QTest::newRow("an entry that does not fit ends the page")
            << "-" + entry("a", 1) + entry(QByteArray(250, 'w'), 2) + entry("z", 3) << QByteArray()
            << QByteArray() << QList<QByteArray>{"a"} << QByteArray();
    }
    void pageReply()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, links);
        QFETCH(QByteArray, number);
        QFETCH(QList<QByteArray>, words);
        QFETCH(QByteArray, title);
        const TextPageReply page = parseTextPage(body);
        QCOMPARE(page.links, links);
        QCOMPARE(page.number, number);
        QList<QByteArray> texts;
        for (const TextWord &w : page.words)
            texts.append(w.text);
        QCOMPARE(texts, words);
        QCOMPARE(page.title, title);
    }

    void fullText_titleOnlyAtTheEnd_lastPieceWithoutEndDropped()
    {
        FullTextReply t = parseFullText("one$$$ $$$two$$$Title$$$");
        QCOMPARE(t.lines, QList<QByteArray>({"one", " ", "two"}));
        QCOMPARE(t.title, QByteArray("Title"));
        t = parseFullText("one$$$two$$$tail");
        QCOMPARE(t.lines, QList<QByteArray>({"one", "two"}));
        QVERIFY(!t.hasTitle);
        QCOMPARE(textNameCaption("T"), ru("Название текста \"T\""));
    }

    void fullText_mark_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("row");   // -1: no mark
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("length");
        QTest::newRow("second row") << QByteArray("1:4:3") << 1 << 4 << 3;
        QTest::newRow("to the line's end") << QByteArray("0:0:5") << 0 << 0 << 5;
        QTest::newRow("absent") << QByteArray() << -1 << 0 << 0;
        QTest::newRow("past the line") << QByteArray("1:4:4") << -1 << 0 << 0;
        QTest::newRow("past the rows") << QByteArray("2:0:1") << -1 << 0 << 0;
        QTest::newRow("empty word") << QByteArray("0:1:0") << -1 << 0 << 0;
        QTest::newRow("negative") << QByteArray("0:-1:2") << -1 << 0 << 0;
        QTest::newRow("two parts") << QByteArray("0:1") << -1 << 0 << 0;
        QTest::newRow("blank inside") << QByteArray("0: 1:2") << -1 << 0 << 0;
        QTest::newRow("garbage") << QByteArray("a:b:c") << -1 << 0 << 0;
    }
    void fullText_mark()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, row);
        const std::optional<TextMark> m = parseTextMark(value, {"abcde", "one two"});
        QCOMPARE(m.has_value(), row >= 0);
        if (m) {
            QCOMPARE(m->row, row);
            QFETCH(int, column);
            QFETCH(int, length);
            QCOMPARE(m->column, column);
            QCOMPARE(m->length, length);
        }
    }

    void layout_accentsBreakLines_piecesSplitOff_currentIsScrollTarget()
    {
        // "ab cd" on line 1; "`ef" starts line 2; "g`hi" is split, its piece starts
        // line 3; the current word (0) sits on line 3 and is the scroll target.
        const TextViewState v = laidOut({{"ab", 5}, {" cd", 6}, {" `ef", 7}, {"g`hi", 8}, {" x", 0}});
        QCOMPARE(tags(v), QList<qint32>({4, 5, 6, 7, -2, -1}));
        QCOMPARE(v.labels[2].text, QByteArray("ef"));
        QCOMPARE(v.labels[4].text, QByteArray("hi"));
        const QList<int> tops{v.labels[0].top, v.labels[1].top, v.labels[2].top, v.labels[3].top,
                              v.labels[4].top, v.labels[5].top};
        QCOMPARE(tops, QList<int>({5, 5, 21, 21, 37, 37}));
        QCOMPARE(v.labels[2].left, 5);
        QCOMPARE(v.scrollPos, 37);
        QCOMPARE(v.scrollRange, 37 + 16);
        // Without the current word the first line's top.
        QCOMPARE(laidOut({{"a", 3}}).scrollPos, 5);
    }

    void layout_lineBreakTestedBeforeTheWidth()
    {
        // 5 + 80 = 85: 85 + 4 fits 100, so the 30-wide word starts there and runs
        // past the edge; the next one (at 115) goes to a new line.
        const TextViewState v = laidOut({{"12345678", 1}, {"abc", 2}, {"d", 3}});
        QCOMPARE(v.labels[1].top, 5);
        QCOMPARE(v.labels[1].left, 85);
        QCOMPARE(v.labels[2].top, 21);
    }

    void pageKeys_data()
    {
        QTest::addColumn<QList<qint32>>("numbers");   // word numbers of the page
        QTest::addColumn<int>("key");
        QTest::addColumn<char>("letter");
        QTest::addColumn<int>("click");
        QTest::addColumn<qint32>("tag");              // the clicked label's tag after borrowing
        const auto key = [](TextKey k) { return int(k); };
        QTest::newRow("End: current last word borrows second-last + 1")
            << QList<qint32>{11, 12, 0} << key(TextKey::End) << 'E' << 2 << qint32(12);
        QTest::newRow("PgDn: the last word's own number")
            << QList<qint32>{11, 12, 13} << key(TextKey::PageDown) << '+' << 2 << qint32(12);
        QTest::newRow("Home: current first word borrows L1 - 1")
            << QList<qint32>{0, 21, 22} << key(TextKey::Home) << 'B' << 0 << qint32(19);
        QTest::newRow("PgUp on a single current word: nothing to borrow")
            << QList<qint32>{0} << key(TextKey::PageUp) << '-' << 0 << qint32(-1);
        QTest::newRow("End: a current word after a current word")
            << QList<qint32>{5, 0, 0} << key(TextKey::End) << 'E' << 2 << qint32(0);
        QTest::newRow("Home on an empty page: no target")
            << QList<qint32>{} << key(TextKey::Home) << 'B' << -1 << qint32(0);
        QTest::newRow("End on an empty page: no target")
            << QList<qint32>{} << key(TextKey::End) << 'E' << -1 << qint32(0);
    }
    void pageKeys()
    {
        QFETCH(QList<qint32>, numbers);
        QFETCH(int, key);
        QFETCH(char, letter);
        QFETCH(int, click);
        QFETCH(qint32, tag);
        QList<TextWord> words;
        for (const qint32 n : numbers)
            words.append({" w", n});
        TextViewState v = laidOut(words);
        const TextKeyOutcome out = pageKey(v, TextKey(key));
        QVERIFY(out.consumed);
        QCOMPARE(out.letter, letter);
        QCOMPARE(out.click, click);
        if (out.click >= 0)
            QCOMPARE(v.labels[out.click].tag, tag);
    }

    void pageKeys_pieceIsNoTarget_arrowsAndOtherKeys()
    {
        TextViewState v = laidOut({{"a", 3}, {"b`c", 4}});   // the last label is a piece
        QCOMPARE(pageKey(v, TextKey::End).click, -1);
        QVERIFY(pageKey(v, TextKey::Left).toWordList);
        QVERIFY(pageKey(v, TextKey::Right).consumed);
        const TextKeyOutcome other = pageKey(v, TextKey::Other);
        QVERIFY(!other.consumed);
        QCOMPARE(other.letter, ' ');
    }

    void clickWord_tokenBecomesCurrent_tabTypeFifthCharacter()
    {
        tCConcPos c;
        c.CurLine = c.FirstLine = 3;
        OptionList o = OptionList::initial();
        o.set("TabType", "CONC2");
        clickWord(41, c, o);
        QCOMPARE(c.CurLine, 41);
        QCOMPARE(c.FirstLine, 41);
        QCOMPARE(o.value("TabType"), QByteArray("CONC4"));
        clickWord(-1, c, o);   // the current word itself keeps the line
        QCOMPARE(c.CurLine, 41);
    }

    void marking_shiftRanges_ctrlToggles()
    {
        TextViewState v = laidOut({{"a", 1}, {" b", 2}, {" c", 3}, {" d", 4}, {" e", 5}});
        PendingFragment f;
        shiftClick(v, f, 1);                  // alone: first word
        shiftClick(v, f, 3);                  // 1..3
        QCOMPARE(v.sel.count, 3);
        QCOMPARE(v.sel.first, 1);
        QCOMPARE(v.sel.last, 3);
        shiftClick(v, f, 4);                  // grows to 1..4, each word once
        QCOMPARE(f.entries.size(), 4);
        QVERIFY(v.fragmentCaption);
        shiftClick(v, f, 0);                  // before the first: alone
        QCOMPARE(f.entries.size(), 1);
        QCOMPARE(f.entries[0].object, 0);
        QVERIFY(!v.labels[2].marked);

        ctrlClick(v, f, 4);                   // a second single word
        QCOMPARE(v.sel.count, 2);
        ctrlClick(v, f, 0);                   // unmarking one keeps the other
        QVERIFY(!f.isEmpty());
        QCOMPARE(f.entries.size(), 1);
        ctrlClick(v, f, 4);                   // the last one clears the marking
        QVERIFY(f.isEmpty());
        QVERIFY(!v.fragmentCaption);
        QCOMPARE(v.sel.first, -1);
    }

    void copySteps_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("empty");
        QTest::addColumn<bool>("fast");
        QTest::addColumn<int>("selection");
        QTest::addColumn<int>("step");
        const auto p = [](SubPage s) { return int(s); };
        const auto s = [](CopyStep c) { return int(c); };
        QTest::newRow("context") << p(SubPage::Context) << true << false << 0 << s(CopyStep::ExportConcordance);
        QTest::newRow("usage, lines") << p(SubPage::Usage) << false << false << 0 << s(CopyStep::MarkedLines);
        QTest::newRow("text") << p(SubPage::Text) << true << false << 0 << s(CopyStep::ExportText);
        QTest::newRow("text, words") << p(SubPage::Text) << false << false << 0 << s(CopyStep::MarkedWords);
        QTest::newRow("memo") << p(SubPage::Text) << true << true << 7 << s(CopyStep::MemoSelection);
        QTest::newRow("memo, none") << p(SubPage::Text) << true << true << 0 << s(CopyStep::None);
    }
    void copySteps()
    {
        QFETCH(int, page);
        QFETCH(bool, empty);
        QFETCH(bool, fast);
        QFETCH(int, selection);
        QFETCH(int, step);
        CopyInput in;
        in.page = SubPage(page);
        in.fragmentEmpty = empty;
        in.fastListing = fast;
        in.memoSelection = selection;
        QCOMPARE(int(chooseCopyStep(in)), step);
        QVERIFY(!needsLongExportQuestion(1000));
        QVERIFY(needsLongExportQuestion(1001));
    }

    void copiedLines_markedLinesWordsRowsAndSelection()
    {
        PendingFragment lines;
        lines.text = "x";
        lines.entries = {{"left one centre right", 2, {}}, {"l c r", 5, {}}};
        QCOMPARE(markedLinesLines(lines, "N"),
                 QList<QByteArray>({".... \"N\" ....", "left one centre right", "l c r"}));
        // Lines of two texts: each under its own heading, a heading again where the
        // text changes.
        lines.entries = {{"a", 3, "Novel A"}, {"b", 5, "Novel B"}, {"c", 6, "Novel B"}, {"d", 7, "Novel A"}};
        QCOMPARE(markedLinesLines(lines, "N"),
                 QList<QByteArray>({".... \"Novel A\" ....", "a", ".... \"Novel B\" ....", "b", "c",
                                    ".... \"Novel A\" ....", "d"}));

        // Words on one row become one line; a word on the next row a new one.
        const TextViewState v = laidOut({{"ab", 1}, {" cd", 2}, {" `ef", 3}});
        PendingFragment words;
        words.text = "x";
        words.entries = {{"ab", 0, {}}, {" cd", 1, {}}, {"ef", 2, {}}};
        QCOMPARE(markedWordsLines(words, v.labels, "N"),
                 QList<QByteArray>({"*****", ".... \"N\" .... - " + ru("(выделенные)"), "*****", "", "ab cd", "ef"}));
        QCOMPARE(selectionLines("N", "one\r\ntwo"),
                 QList<QByteArray>({".... \"N\" .... - " + ru("(выделенные)"), " one", "two"}));
    }

    void textPageForTheBuffer_rowsThenName()
    {
        const TextPageReply page = parseTextPage("-" + entry("a", 1) + entry(" b", 0) + entry("`c", 3) + "T$$$");
        QCOMPARE(textPageExport(page, textNameCaption(page.title)),
                 QList<QByteArray>({"a b", "c", ru("Название текста \"T\"")}));
    }

    void exportHeader_fixedRowsWhileFilteringAndTheActiveRow()
    {
        const QList<FilterRow> rows{{ru("Автор = Пушкин"), true, false},
                                    {ru("Год = 1830"), false, false},
                                    {ru("Вид = стихи"), false, true}};
        QCOMPARE(exportHeader(rows, true),
                 QList<QByteArray>({"* * * * * * * * * * * * * * *", ru("Автор - Пушкин"), ru("Вид - стихи"),
                                    "************************"}));
        QCOMPARE(exportHeader(rows, false).size(), 3);
    }

    void save_newFileAppendReplace()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("buf.txt"));
        const QByteArray header = cp1251::encode(path) + "\r\n";
        QCOMPARE(saveBuffer(path, {ru("строка")}, true), QString());
        const QByteArray first = header + ru("строка") + "\r\n=============\r\n";
        QCOMPARE(readAll(path), first);
        QCOMPARE(saveBuffer(path, {"two"}, true), QString());     // OK: appended
        QCOMPARE(readAll(path), first + header + "two\r\n=============\r\n");
        QCOMPARE(saveBuffer(path, {"three"}, false), QString());  // Cancel: replaced
        QCOMPARE(readAll(path), header + "three\r\n=============\r\n");
        // An old file without a final line break gets one before the new lines.
        QCOMPARE(saveBytes("old", QStringLiteral("/p"), {}), QByteArray("old\r\n/p\r\n=============\r\n"));
    }

    void save_failureLeavesTheOldFileWhole()
    {
        // A name so long that no temporary file fits beside it.
        QTemporaryDir dir;
        const QString path = dir.filePath(QString(250, QLatin1Char('b')));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old content");
        }
        QVERIFY(!saveBuffer(path, {"new"}, true).isEmpty());
        QVERIFY(!saveBuffer(path, {"new"}, false).isEmpty());
        QCOMPARE(readAll(path), QByteArray("old content"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    // The kept buffer holds the lines as a save writes them: 1251 bytes, CR LF after
    // each, nothing before or after.
    void keptBuffer_bytesOfTheLines()
    {
        QCOMPARE(keptBufferBytes({}), QByteArray());
        QCOMPARE(keptBufferBytes({ru("Дом"), QByteArray(), "x y"}),
                 QByteArray("\xc4\xee\xec\r\n\r\nx y\r\n"));
        QCOMPARE(cp1251::decode(texts::keptLinesQuestion(3)),
                 QStringLiteral("В буфере остались собранные строки (3). Очистить буфер?"));
    }

    void keptBuffer_readAsFarAsItGoes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::newRow("nothing") << QByteArray() << QList<QByteArray>();
        QTest::newRow("as written") << QByteArray("\xc4\xee\xec\r\n\r\nx y\r\n")
                                    << QList<QByteArray>{"\xc4\xee\xec", "", "x y"};
        QTest::newRow("one empty line") << QByteArray("\r\n") << QList<QByteArray>{""};
        QTest::newRow("bare line feeds") << QByteArray("a\nb\n") << QList<QByteArray>{"a", "b"};
        QTest::newRow("last line cut") << QByteArray("a\r\nbc") << QList<QByteArray>{"a", "bc"};
        QTest::newRow("cut after its CR") << QByteArray("a\r\nb\r") << QList<QByteArray>{"a", "b"};
        QTest::newRow("zeros for a tail") << QByteArray("a\r\nb\r\nc\0\0\0\0", 11)
                                          << QList<QByteArray>{"a", "b", "c"};
        QTest::newRow("no text at all") << QByteArray("\0\x01\xff\r\n\x7f", 6) << QList<QByteArray>();
    }

    void keptBuffer_readAsFarAsItGoes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QByteArray>, lines);
        QCOMPARE(keptBufferLines(bytes), lines);
    }

    void keptBuffer_missingOrUnreadableFile_noLines()
    {
        QTemporaryDir dir;
        QVERIFY(readKeptBuffer(dir.filePath(QStringLiteral("Buffer.txt"))).isEmpty());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Buffer.txt")));   // a folder in its place
        QVERIFY(readKeptBuffer(dir.filePath(QStringLiteral("Buffer.txt"))).isEmpty());
        QFile f(dir.filePath(QStringLiteral("other.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("one\r\ntwo\r\n");
        f.close();
        QCOMPARE(readKeptBuffer(f.fileName()), (QList<QByteArray>{"one", "two"}));
    }
};

QTEST_GUILESS_MAIN(TstTextCore)
#include "tst_text_core.moc"
