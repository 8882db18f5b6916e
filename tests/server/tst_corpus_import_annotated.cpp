// Corpora of annotated files (vertical text with its column declaration, CoNLL-U)
// loaded as a whole: texts and their metadata, further attributes, what the
// import report says was skipped or assumed, and the cache's dependence on the
// declaration.
#include "corpus/AnnotatedText.h"
#include "corpus/Corpus.h"
#include "support/CorpusFixture.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace corvus;
using corpusfixture::cp;
using corpusfixture::cpb;

class TestCorpusImportAnnotated : public QObject {
    Q_OBJECT
private slots:
    void vrtConlluAndInfoCsv_textsAttributesAndSkippedLines()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/k");
        corpusfixture::writeUtf8(root, QStringLiteral("vrt.conf"), "columns=word,lemma,pos\nattribute.genre=Жанр\n");
        corpusfixture::write1251(root, QStringLiteral("lit/a.vrt"),
                                 "<text author=\"Пушкин\" title=\"Зимнее утро\" year=\"1829\" genre=\"лирика\" "
                                 "kind=\"verse\">\n<s>\nМороз\tмороз\tS\nи\tи\tCONJ\nсолнце\nдень\tдень\tS\n"
                                 "</s>\n</text>\n<text date=\"1830-05-01\" genre=\"повесть\" year=\"давно\">\n"
                                 "Метель\tметель\tS\n</text>\n");
        corpusfixture::writeUtf8(root, QStringLiteral("ud/b.conllu"),
                                 "# newdoc id = d1\n# newdoc genre = news\n# meta::author = Толстой\n"
                                 "# meta::title = Война и мир\n# sent_id = 1\n"
                                 "1-2\tВошёл-то\t_\t_\t_\t_\t_\t_\t_\t_\n"
                                 "1\tВошёл\tвойти\tVERB\t_\tAspect=Perf\t0\troot\t_\t_\n"
                                 "2\tто\tто\tPART\t_\t_\t1\tdiscourse\t_\t_\n"
                                 "3\tушёл\n"
                                 "4\t.\t.\tPUNCT\t_\t_\t1\tpunct\t_\t_\n");
        corpusfixture::writeUtf8(root, QStringLiteral("info.csv"), "name,year\nx,\"1900\ny,когда-то\n");
        corpusfixture::writeBytes(root, QStringLiteral("lit/bad.vrt"), QByteArray(23, 'x').replace("x", "?\n"));
        QString error;
        const auto c = corpusfixture::build({root}, tmp.path() + QStringLiteral("/c"), &error);
        QVERIFY2(c, qPrintable(error));

        const struct {
            const char *title, *author;
            int year;
            TextKind kind;
            const char *source, *genre;
            uint32_t words;
        } texts[] = {
            {"Зимнее утро", "Пушкин", 1829, TextKind::Verse, "k/lit/a.vrt", "лирика", 3},
            {"a, № 2", "lit", 1830, TextKind::Prose, "k/lit/a.vrt", "повесть", 1},
            {"Война и мир", "Толстой", 0, TextKind::Prose, "k/ud/b.conllu", "news", 1},
        };
        QCOMPARE(c->textCount(), 3u);
        for (uint32_t i = 0; i < 3; ++i) {
            const TextInfo &t = c->text(i);
            QCOMPARE(corpusfixture::u8(t.title.toStdString()), QByteArray(texts[i].title));
            QCOMPARE(t.author, cpb(texts[i].author));
            QCOMPARE(int(t.yearFrom), texts[i].year);
            QCOMPARE(t.kind, texts[i].kind);
            QCOMPARE(t.source, cpb(texts[i].source));
            QCOMPARE(c->textAttribute(i, 0), cpb(texts[i].genre));
            QCOMPARE(t.wordCount, texts[i].words);
        }
        QCOMPARE(c->textAttribute(1, 1), QByteArray("1830-05-01"));   // "date" is an attribute too
        QCOMPARE(c->attributeCaption(0), cpb("Жанр"));
        QCOMPARE(c->attributeCaption(1), QByteArray("date"));

        // The file's lemmas and parts of speech; a multiword token's joined.
        const struct {
            uint32_t token;
            const char *lemma, *pos;
        } tokens[] = {{0, "мороз", "S"}, {2, "день", "S"}, {3, "метель", "S"}, {4, "войти+то", "VERB+PART"}};
        for (const auto &t : tokens) {
            QCOMPARE(corpusfixture::u8(c->lemmas().text(c->lemmaOf(t.token))), QByteArray(t.lemma));
            QCOMPARE(c->posOfType(c->typeOf(t.token)), std::string_view(t.pos));
        }

        // Lines and rows not read, each with its file and line, in the report; the
        // texts per format.
        const QString report = c->stats().report;
        const QStringList lines = report.split(QLatin1Char('\n'));
        const QString lit = root + QStringLiteral("/lit/a.vrt"), ud = root + QStringLiteral("/ud/b.conllu"),
                      info = root + QStringLiteral("/info.csv");
        for (const QString &line : {
                 info + QStringLiteral(", строка 2: кавычка не закрыта, строка пропущена"),
                 info + QStringLiteral(", строка 3: год «когда-то» не год (нужно 1836 или 1862-1864), текст без года"),
                 lit + QStringLiteral(", строка 5: столбцов 1, а нужно не меньше 3"),
                 lit + QStringLiteral(", строка 9: год «давно» не год, текст без года"),
                 ud + QStringLiteral(", строка 9: столбцов 2, а нужно 10"),
                 root + QStringLiteral("/lit/bad.vrt, строка 20: столбцов 1, а нужно не меньше 3"),
                 root + QStringLiteral("/lit/bad.vrt: и ещё 3 строки"),
                 QStringLiteral("VRT: текстов 2, токенов 4, из них словоупотреблений 4"),
                 QStringLiteral("CoNLL-U: текстов 1, токенов 2, из них словоупотреблений 1"),
             })
            QVERIFY2(lines.contains(QStringLiteral("  ") + line), qPrintable(line + QStringLiteral("\n---\n") + report));
        QVERIFY(!report.contains(QStringLiteral("приняты")));
    }

    // The columns: the command line's, else the nearest vrt.conf's, else assumed
    // and said so; changing the declaration rebuilds the index.
    void longDocument_readInPartsStaysOneText()
    {
        // More tokens than one part holds, a paragraph end just before the part's
        // boundary, and a second text after it.
        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/k");
        const int words = int(annotated::kPartTokens) + 10;
        QByteArray vrt = "<text title=\"long\">\n";
        for (int i = 0; i < words; ++i) {
            vrt += i % 2 ? "b\tb\tX\n" : "a\ta\tY\n";
            if (i == int(annotated::kPartTokens) - 2)
                vrt += "</p>\n";
        }
        vrt += "</text>\n<text title=\"short\">\nc\tc\tZ\n</text>\n";
        corpusfixture::writeBytes(root, QStringLiteral("big.vrt"), vrt);
        QString error;
        const auto c = corpusfixture::build({root}, tmp.path() + QStringLiteral("/c"), &error);
        QVERIFY2(c, qPrintable(error));
        QCOMPARE(c->textCount(), 2u);
        QCOMPARE(c->text(0).wordCount, uint32_t(words));
        QCOMPARE(c->text(1).firstToken, uint32_t(words));
        const uint32_t boundary = uint32_t(annotated::kPartTokens) - 1;
        for (uint32_t t : {boundary - 1, boundary, boundary + 1})
            QCOMPARE(bool(c->tokenFlags(t) & kParagraphEnd), t == boundary - 1);
        QCOMPARE(c->posOfType(c->typeOf(boundary + 4)), std::string_view("X"));
    }

    void vrtColumns_optionOverDeclarationOverDefault()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/k"), cache = tmp.path() + QStringLiteral("/c");
        corpusfixture::writeUtf8(root, QStringLiteral("a/t.vrt"), "Мороз\tS\tмороз\n");
        CorpusOptions o;
        o.paths = QStringList{root};
        o.cacheDir = cache;
        QString error;
        const struct {
            const char *conf;      // written to vrt.conf unless nullptr
            const char *option;
            bool fromCache;
            bool noted;            // the report says the columns were assumed
            const char *lemma, *pos;
        } steps[] = {
            {nullptr, "", false, true, "s", "мороз"},
            {nullptr, "", true, false, "s", "мороз"},
            {"columns=word,pos,lemma\n", "", false, false, "мороз", "S"},
            {nullptr, "word,lemma", false, false, "s", ""},
            {nullptr, "word,lemma", true, false, "s", ""},
        };
        for (const auto &s : steps) {
            if (s.conf)
                corpusfixture::writeUtf8(root, QStringLiteral("vrt.conf"), s.conf);
            o.vrtColumns = QString::fromUtf8(s.option);
            const auto c = Corpus::load(o, &error);
            QVERIFY2(c, qPrintable(error));
            QVERIFY2(c->stats().fromCache == s.fromCache, qPrintable(c->stats().cacheMiss));
            QCOMPARE(c->stats().report.contains(QStringLiteral("приняты word,lemma,pos")), s.noted);
            QCOMPARE(corpusfixture::u8(c->lemmas().text(c->lemmaOf(0))), QByteArray(s.lemma));
            QCOMPARE(corpusfixture::u8(c->posOfType(c->typeOf(0))), QByteArray(s.pos));
        }

        // An unreadable declaration: its files are left out and named.
        corpusfixture::writeUtf8(root, QStringLiteral("a/vrt.conf"), "columns=lemma\n");
        corpusfixture::writeUtf8(root, QStringLiteral("b.txt"), "Текст\n");
        o.vrtColumns.clear();
        const auto c = Corpus::load(o, &error);
        QVERIFY2(c, qPrintable(error));
        QCOMPARE(c->textCount(), 1u);
        QVERIFY(c->stats().warnings.join(QLatin1Char('\n')).contains(root + QStringLiteral("/a/t.vrt")));
        o.vrtColumns = QStringLiteral("lemma,pos");
        QVERIFY(!Corpus::load(o, &error));
        QVERIFY(error.contains(QStringLiteral("--vrt-columns")));
    }

    // A text keeps only the attributes it has: a thousand texts, each with a key
    // of its own, cost a thousand values (in memory and in the cache file), not
    // half a million empty ones. A key given twice keeps its last value.
    void sparseKeys_eachTextKeepsOnlyItsOwn_alsoFromTheCache()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/k"), cache = tmp.path() + QStringLiteral("/c");
        QByteArray vrt = "<text genre=\"a\" genre=\"b\">\nx\tx\tS\n</text>\n";
        for (int i = 1; i < 1000; ++i)
            vrt += "<text key" + QByteArray::number(i) + "=\"v" + QByteArray::number(i) + "\">\nx\tx\tS\n</text>\n";
        corpusfixture::writeBytes(root, QStringLiteral("s.vrt"), vrt);
        for (const bool fromCache : {false, true}) {
            QString error;
            const auto c = corpusfixture::build({root}, cache, &error);
            QVERIFY2(c, qPrintable(error));
            QCOMPARE(c->stats().fromCache, fromCache);
            QCOMPARE(c->textCount(), 1000u);
            QCOMPARE(c->attributeCount(), 1000u);
            QCOMPARE(c->attributeKey(999), QByteArray("key999"));
            QCOMPARE(c->text(0).attributes, (std::vector<TextAttribute>{{0, "b"}}));
            QCOMPARE(c->text(1).attributes, (std::vector<TextAttribute>{{1, "v1"}}));
            QCOMPARE(c->text(999).attributes, (std::vector<TextAttribute>{{999, "v999"}}));
            QCOMPARE(c->textAttribute(999, 999), QByteArray("v999"));
            QCOMPARE(c->textAttribute(999, 998), QByteArray());
            QCOMPARE(c->textAttribute(0, 0), QByteArray("b"));
            // Values for every key below a text's highest would be 4 bytes each in
            // the file: 2 MB.
            QVERIFY2(QFileInfo(c->stats().cacheFile).size() < 1000000,
                     qPrintable(QString::number(QFileInfo(c->stats().cacheFile).size())));
        }
    }

    // One text with more keys than a text may have: the first 64 are kept, the
    // rest named in the report with the text's line.
    void manyKeysInOneText_boundedAndReported()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/k");
        QByteArray vrt = "<s>\n<text";
        for (int i = 0; i < 70; ++i)
            vrt += " k" + QByteArray::number(i) + "=\"" + QByteArray::number(i) + "\"";
        vrt += ">\nx\tx\tS\n</text>\n";
        corpusfixture::writeBytes(root, QStringLiteral("m.vrt"), vrt);
        QString error;
        const auto c = corpusfixture::build({root}, tmp.path() + QStringLiteral("/c"), &error);
        QVERIFY2(c, qPrintable(error));
        QCOMPARE(c->attributeCount(), 64u);
        QCOMPARE(c->text(0).attributes.size(), size_t(64));
        QCOMPARE(c->text(0).attributes.back(), (TextAttribute{63, "63"}));
        const QString line = QStringLiteral("  ") + root
                             + QStringLiteral("/m.vrt, строка 2: у текста больше 64 атрибутов, лишние (6) пропущены");
        QVERIFY2(c->stats().report.split(QLatin1Char('\n')).contains(line), qPrintable(c->stats().report));
    }

    // Captions (and keys standing for them) go on the wire: what could form a tag,
    // a link marker or a record is replaced as the import reads them.
    void hostileCaptions_cleanedAtImport()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/k");
        corpusfixture::writeBytes(root, QStringLiteral("vrt.conf"),
                                  "columns=word\nattribute.genre=$NM=DICT=x,MES=y\nattribute.src=a\x04$(1)$`b\x01\n");
        corpusfixture::writeBytes(root, QStringLiteral("h.vrt"),
                                  "<text genre=\"g\" src=\"s\" $RG=\"r\">\nx\n</text>\n");
        QString error;
        const auto c = corpusfixture::build({root}, tmp.path() + QStringLiteral("/c"), &error);
        QVERIFY2(c, qPrintable(error));
        const struct {
            const char *key, *caption;
        } expected[] = {
            {"genre", "\xA4NM=DICT=x,MES=y"},
            {"src", "a \xA4(1)\xA4'b "},
            {"$RG", "\xA4RG"},
        };
        QCOMPARE(c->attributeCount(), 3u);
        for (uint32_t k = 0; k < 3; ++k) {
            QCOMPARE(c->attributeKey(k), QByteArray(expected[k].key));
            QCOMPARE(c->attributeCaption(k), QByteArray(expected[k].caption));
        }
    }

    // A vrt.conf over the size a declaration may have: the report says the limit.
    void vrtConfOverOneMiB_reportNamesTheLimit()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/k");
        corpusfixture::writeBytes(root, QStringLiteral("vrt.conf"),
                                  "columns=word\n" + QByteArray(1 << 20, '#'));
        corpusfixture::writeBytes(root, QStringLiteral("t.txt"), "Текст\n");
        QString error;
        const auto c = corpusfixture::build({root}, tmp.path() + QStringLiteral("/c"), &error);
        QVERIFY2(c, qPrintable(error));
        const QString line = QStringLiteral("Описание столбцов VRT не прочитано: ") + root
                             + QStringLiteral("/vrt.conf: файл больше предела в 1 МиБ");
        QVERIFY2(c->stats().warnings.contains(line), qPrintable(c->stats().warnings.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestCorpusImportAnnotated)
#include "tst_corpus_import_annotated.moc"
