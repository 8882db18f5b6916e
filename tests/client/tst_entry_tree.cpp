// Dictionary entries as trees: depths and filler nodes, the three reference kinds,
// grave accents, the entry reply on either page, and the reference picture lookup.
#include "dictionary/core/DictBrowser.h"
#include "dictionary/core/EntryTree.h"
#include "dictionary/core/Pictures.h"
#include "model/CommaList.h"
#include "model/Cp1251.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace dictcore;

namespace {

QByteArray ru(const char *utf8) { return cp1251::ru(utf8); }

// An entry body: item 0 (not shown) and the lines.
QByteArray entry(const QList<QByteArray> &lines)
{
    return commalist::join(QList<QByteArray>{QByteArrayLiteral("HEAD")} + lines);
}

EntryContext local(QList<qint32> pictures)
{
    EntryContext ctx;
    ctx.localMode = true;
    ctx.pictureExists = [pictures](qint32 n) { return pictures.contains(n); };
    return ctx;
}

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("jpeg");
}

} // namespace

class TestEntryTree : public QObject {
    Q_OBJECT
private slots:
    void depths_01130_fillerBetweenAndSecondRoot();
    void depths_firstLineDeep_startsWithFillers();
    void depths_leadingAngleBracket_countsAsTab();
    void depths_hostileNesting_isCapped();
    void singleItem_emptyTree_zeroCount();

    void references_data();
    void references();
    void pictureRef_onlyLocalAndExisting();

    void graveAccents_becomeDoubleQuotes();

    void entryReply_concordancePage_fillsBothTrees();
    void entryReply_otherPage_dropsButSetsKeep();
    void entryReply_dictionaryPage_offersConcRef();
    void concRefTie_setsLevelFromOptions();

    void pictureLookup_prefersKartinki_thenGraphics();
};

void TestEntryTree::depths_01130_fillerBetweenAndSecondRoot()
{
    const EntryTree t = parseEntryBody(
        entry({"root", "\tchild1", "\tchild2", "\t\t\tdeep", "root2"}), EntryContext());
    QCOMPARE(t.count(), 6);
    const QList<QByteArray> texts{"root", "child1", "child2", "...", "deep", "root2"};
    const QList<int> depths{0, 1, 1, 2, 3, 0};
    const QList<int> parents{-1, 0, 0, 2, 3, -1};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(t.nodes[i].text, texts[i]);
        QCOMPARE(t.nodes[i].depth, depths[i]);
        QCOMPARE(t.nodes[i].parent, parents[i]);
        QCOMPARE(t.nodes[i].filler, i == 3);
    }
    QCOMPARE(t.children(-1), (QList<int>{0, 5}));
    QCOMPARE(t.children(0), (QList<int>{1, 2}));
    QCOMPARE(t.children(2), QList<int>{3});
}

void TestEntryTree::depths_firstLineDeep_startsWithFillers()
{
    const EntryTree t = parseEntryBody(entry({"\t\tdeep", "\ttop"}), EntryContext());
    QCOMPARE(t.count(), 4);
    QCOMPARE(t.nodes[0].text, QByteArray("..."));
    QCOMPARE(t.nodes[1].parent, 0);
    QCOMPARE(t.nodes[2].parent, 1);
    QCOMPARE(t.nodes[2].text, QByteArray("deep"));
    // Back to depth 1: a sibling of the first filler's child.
    QCOMPARE(t.nodes[3].parent, 0);
    QCOMPARE(t.nodes[3].depth, 1);
}

void TestEntryTree::depths_leadingAngleBracket_countsAsTab()
{
    const EntryTree t = parseEntryBody(entry({"a", "<b", "<\tc", "\t<d"}), EntryContext());
    QCOMPARE(t.count(), 4);
    QCOMPARE(t.nodes[1].depth, 1);
    QCOMPARE(t.nodes[1].text, QByteArray("b"));
    QCOMPARE(t.nodes[2].depth, 2);
    QCOMPARE(t.nodes[3].depth, 1);
    QCOMPARE(t.nodes[3].text, QByteArray("<d"));   // only a first "<" counts
}

void TestEntryTree::depths_hostileNesting_isCapped()
{
    const EntryTree t =
        parseEntryBody(entry({QByteArray(100000, '\t') + "x", "y"}), EntryContext());
    QCOMPARE(t.count(), 258);
    QCOMPARE(t.nodes[256].text, QByteArray("x"));
    QCOMPARE(t.nodes[256].depth, 256);
    QCOMPARE(t.nodes[257].parent, -1);
}

void TestEntryTree::singleItem_emptyTree_zeroCount()
{
    DictPageState page;
    page.TreeView1.nodes.append(EntryNode{});
    bool keep = false;
    tCDictPos cur(0);
    QVERIFY(onDC_S(page, &cur, keep, QByteArray("only"), OptionList::initial(),
                   EntryPage::Dictionary, EntryContext(), false));
    QVERIFY(page.TreeView1.isEmpty());
    QCOMPARE(page.L_SN, QByteArray("0"));
    QVERIFY(parseEntryBody(QByteArray(), EntryContext()).isEmpty());
}

void TestEntryTree::references_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("link");
    const QByteArray word = ru("слово");
    const QByteArray arrow = word + " -->";
    QTest::newRow("plain") << word + "$$+12" << arrow << 12;
    QTest::newRow("plain with tail") << word + "$$+12,see also" << arrow << 12;
    QTest::newRow("absolute") << word + "$$+A12,3$$-" << arrow << 12;
    QTest::newRow("absolute without end") << word + "$$+A12,3" << arrow << 12;
    QTest::newRow("not a number") << word + "$$+1x" << word << 0;
    QTest::newRow("comma last") << word + "$$+12," << word << 0;
    QTest::newRow("absolute comma last") << word + "$$+A12,$$-" << word << 0;
    QTest::newRow("unknown kind") << word + "$$+B12" << word << 0;
    // A headword reference never turns into a picture link.
    QTest::newRow("negative headword") << word + "$$+-5" << word << 0;
    QTest::newRow("one char after marker") << word + "$$+5" << word + "$$+5" << 0;
    QTest::newRow("nothing after marker") << word + "$$+" << word + "$$+" << 0;
    QTest::newRow("no marker") << word << word << 0;
}

void TestEntryTree::references()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, text);
    QFETCH(int, link);
    const EntryTree t = parseEntryBody(entry({line}), local({5}));
    QCOMPARE(t.count(), 1);
    QCOMPARE(t.nodes[0].text, text);
    QCOMPARE(t.nodes[0].link, link);
}

void TestEntryTree::pictureRef_onlyLocalAndExisting()
{
    const QByteArray line = ru("рисунок") + "$$+P5.jpg," + ru("подпись");
    EntryLine l = readEntryLine(line, local({5}));
    QCOMPARE(l.link, -5);
    QCOMPARE(l.text, ru("рисунок -->"));

    EntryContext remote = local({5});
    remote.localMode = false;
    l = readEntryLine(line, remote);
    QCOMPARE(l.link, 0);
    QCOMPARE(l.text, ru("рисунок"));

    QCOMPARE(readEntryLine(line, local({6})).link, 0);   // file missing
    QCOMPARE(readEntryLine(line, EntryContext{true, {}}).link, 0);
    QCOMPARE(readEntryLine("x$$+P5.jpg,", local({5})).link, 0);
    QCOMPARE(readEntryLine("x$$+P.jpg,a", local({5})).link, 0);
    QCOMPARE(readEntryLine("x$$+P0.jpg,a", local({0})).link, 0);
    QCOMPARE(readEntryLine("x$$+P-5.jpg,a", local({-5})).link, 0);
}

void TestEntryTree::graveAccents_becomeDoubleQuotes()
{
    const EntryTree t =
        parseEntryBody(entry({ru("см. `кот` здесь$$+17"), ru("`без ссылки`")}), EntryContext());
    QCOMPARE(t.nodes[0].text, ru("см. \"кот\" здесь -->"));
    QCOMPARE(t.nodes[0].link, 17);
    QCOMPARE(t.nodes[1].text, ru("\"без ссылки\""));
}

void TestEntryTree::entryReply_concordancePage_fillsBothTrees()
{
    DictPageState page;
    page.L_SN = "7";
    bool keep = false;
    tCDictPos cur(2);
    QVERIFY(onDC_S(page, &cur, keep, entry({"a", "\tb$$+3"}), OptionList::initial(),
                   EntryPage::Concordance, EntryContext(), true));
    QVERIFY(keep);
    QVERIFY(page.TreeDOxVisible);
    QCOMPARE(page.TreeDOx.count(), 2);
    QCOMPARE(page.TreeView1, page.TreeDOx);
    QCOMPARE(page.L_SN, QByteArray("7"));   // the dictionary page's count stays
}

void TestEntryTree::entryReply_otherPage_dropsButSetsKeep()
{
    DictPageState page;
    OptionList opts = OptionList::initial();
    opts.set("SWD", "NO");
    bool keep = true;
    tCDictPos cur(1);
    QVERIFY(!onDC_S(page, &cur, keep, entry({"a"}), opts, EntryPage::Other, EntryContext(), true));
    QVERIFY(!keep);   // "SWD" "NO": only dictionary 0 keeps its position
    QVERIFY(page.TreeView1.isEmpty());
    QVERIFY(page.TreeDOx.isEmpty());

    cur.DictNo = 0;
    onDC_S(page, &cur, keep, entry({"a"}), opts, EntryPage::Other, EntryContext(), true);
    QVERIFY(keep);
    onDC_S(page, nullptr, keep, entry({"a"}), opts, EntryPage::Other, EntryContext(), true);
    QVERIFY(!keep);
}

void TestEntryTree::entryReply_dictionaryPage_offersConcRef()
{
    OptionList opts = OptionList::initial();
    opts.set("DTCR", "17");
    QVERIFY(concRefAllowed(true, opts, false));
    QVERIFY(!concRefAllowed(false, opts, false));
    QVERIFY(!concRefAllowed(true, opts, true));
    opts.set("SetFilter", "True");
    QVERIFY(!concRefAllowed(true, opts, false));
    opts.set("SetFilter", "False");
    QVERIFY(concRefAllowed(true, opts, false));
    opts.remove("DTCR");
    QVERIFY(!concRefAllowed(true, opts, false));

    DictPageState page;
    page.concRefShown = true;
    bool keep = false;
    tCDictPos cur(0);
    onDC_S(page, &cur, keep, entry({"a"}), opts, EntryPage::Dictionary, EntryContext(), true);
    QVERIFY(!page.concRefShown);
    opts.set("DTCR", "3");
    onDC_S(page, &cur, keep, entry({"a"}), opts, EntryPage::Dictionary, EntryContext(), true);
    QVERIFY(page.concRefShown);
    QCOMPARE(page.L_SN, QByteArray("1"));
}

void TestEntryTree::concRefTie_setsLevelFromOptions()
{
    tCConcPos conc;
    conc.Level = 2;
    OptionList opts = OptionList::initial();
    opts.set("DTCR", "17");
    opts.set("DTCC", "3");
    opts.set("Char0", QByteArray("\xC9\xCA\xCB"));   // characteristics 1, 2, 3
    ConcRefResult r = applyConcRef(conc, opts);
    QCOMPARE(r.status, ConcRefResult::Applied);
    QCOMPARE(r.charNo, 2);
    QCOMPARE(r.valueNo, 17);
    QCOMPARE(conc.CharNo[2], 2);
    QCOMPARE(conc.ValueNo[2], 17);
    QCOMPARE(conc.FirstLine, -1);
    QCOMPARE(conc.CurLine, -1);

    opts.set("DTCC", "9");   // not in Char0: the number itself
    QCOMPARE(applyConcRef(conc, opts).charNo, 9);

    const tCConcPos before = conc;
    opts.set("DTCR", "x");
    QCOMPARE(applyConcRef(conc, opts).status, ConcRefResult::NotApplicable);
    QCOMPARE(conc, before);

    opts.set("DTCR", "1");
    conc.Level = 6;
    QCOMPARE(applyConcRef(conc, opts).status, ConcRefResult::Failed);
    QCOMPARE(rollbackMessage(),
             ru("Проблемы с выполнением запроса. Выполняется откат к прежнему запросу."));
}

void TestEntryTree::pictureLookup_prefersKartinki_thenGraphics()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.path();
    const QString kart = root + QStringLiteral("/Картинки/5.jpg");
    const QString graph5 = root + QStringLiteral("/graphics/5.jpg");
    const QString graph6 = root + QStringLiteral("/graphics/6.jpg");
    touch(kart);
    touch(graph5);
    touch(graph6);
    QCOMPARE(QFileInfo(findReferencePicture(5, root)).canonicalFilePath(),
             QFileInfo(kart).canonicalFilePath());
    QCOMPARE(QFileInfo(findReferencePicture(6, root)).canonicalFilePath(),
             QFileInfo(graph6).canonicalFilePath());
    QVERIFY(findReferencePicture(7, root).isEmpty());
    QVERIFY(findReferencePicture(0, root).isEmpty());
    QVERIFY(findReferencePicture(-5, root).isEmpty());
    QDir(root).mkpath(QStringLiteral("graphics/8.jpg"));   // a folder is not a picture
    QVERIFY(findReferencePicture(8, root).isEmpty());

    const EntryContext ctx = EntryContext::forDirectory(true, root);
    QCOMPARE(readEntryLine("x$$+P6.jpg,y", ctx).link, -6);
    QCOMPARE(readEntryLine("x$$+P7.jpg,y", ctx).link, 0);
}

QTEST_GUILESS_MAIN(TestEntryTree)
#include "tst_entry_tree.moc"
