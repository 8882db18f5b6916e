// Reading corpus folders: which files count, info.csv metadata, years, the
// splitting of fortune collections into attributed entries, and files that are
// not texts or cannot be named, skipped and reported.
#include "corpus/Import.h"
#include "support/CorpusFixture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace corvus;
using namespace corvus::import;
using corpusfixture::cp;

class TstCorpusImport : public QObject {
    Q_OBJECT
private slots:
    void parseYear_singleRangeAndGarbage()
    {
        YearRange y;
        QVERIFY(parseYear("1829", y));
        QCOMPARE(y.from, int16_t(1829));
        QCOMPARE(y.to, int16_t(1829));
        QVERIFY(parseYear(" 1862 - 1864 ", y));
        QCOMPARE(y.from, int16_t(1862));
        QCOMPARE(y.to, int16_t(1864));
        QVERIFY(parseYear(cp("1904–1908"), y));   // en dash
        QCOMPARE(y.to, int16_t(1908));
        YearRange untouched;
        for (const char *bad : {"", "18x9", "12345", "1864-1862", "1864-", "-1864", "год", "829"})
            QVERIFY2(!parseYear(bad, untouched), bad);
        QCOMPARE(untouched.from, int16_t(0));
    }

    void infoCsv_quotedNamesAndBothEncodings()
    {
        const char *csv = "name,year\nСоловьиный сад,1915\n\"Мороз, красный нос\",1862-1864\n"
                          "\"Он сказал \"\"нет\"\"\",1900\nБез года,когда-то\n\n";
        for (int enc = 0; enc < 2; ++enc) {
            const QByteArray bytes = enc ? corpusfixture::cpb(csv) : QByteArray(csv);
            std::vector<BadRow> bad;
            const auto rows = parseInfoCsv(bytes, &bad);
            QCOMPARE(rows.size(), 4);
            QCOMPARE(bad.size(), size_t(1));   // the year "когда-то", on line 5
            QCOMPARE(bad[0].line, 5);
            const InfoRow moroz = rows.value(QStringLiteral("Мороз, красный нос"));
            QVERIFY(moroz.hasYear);
            QCOMPARE(moroz.year.from, int16_t(1862));
            QCOMPARE(moroz.year.to, int16_t(1864));
            QCOMPARE(rows.value(QStringLiteral("Он сказал \"нет\"")).year.from, int16_t(1900));
            QVERIFY(rows.contains(QStringLiteral("Без года")));
            QVERIFY(!rows.value(QStringLiteral("Без года")).hasYear);
        }
    }

    void infoCsv_extraColumnsAndHeaderless()
    {
        const auto rows = parseInfoCsv("kind,Title,name,author,year,notes\r\n"
                                       "verse,Зимнее утро,zimnee,А. С. Пушкин,1829,x\r\n");
        const InfoRow r = rows.value(QStringLiteral("zimnee"));
        QCOMPARE(r.title, QStringLiteral("Зимнее утро"));
        QCOMPARE(r.author, QStringLiteral("А. С. Пушкин"));
        QCOMPARE(r.kind, QStringLiteral("verse"));
        QCOMPARE(r.year.from, int16_t(1829));

        const auto plain = parseInfoCsv("Нос,1836\n");
        QCOMPARE(plain.value(QStringLiteral("Нос")).year.from, int16_t(1836));
    }

    void kindOfFolderName_knownNames()
    {
        QCOMPARE(kindOfFolderName(QStringLiteral("poems")), 1);
        QCOMPARE(kindOfFolderName(QStringLiteral("Стихи")), 1);
        QCOMPARE(kindOfFolderName(QStringLiteral("prose")), 0);
        QCOMPARE(kindOfFolderName(QStringLiteral("Gogol")), -1);
    }

    void splitFortunes_attributionsAndUnits()
    {
        const std::string text = cp(
            "Первая мысль.\n\t\t-- Автор Один\n%\n"
            "Вторая\nмысль.\n%\n"
            "\"Цитата один\"\n\t\t\t\t-- Билл Гейтс, 1981\n\"Цитата два\"\n\t\t\t\t-- Билл Гейтс, 1996\n%\n"
            "— Как дела?\n— Хорошо.\n    — неизвестный автор\n%\n%\n   \n%\n"
            "Текст\n\t\t-- Козьма Прутков,\n\t\t   \"Плоды раздумья\"\n%\n"
            "-- Только подпись\n%\n"
            "...\n\t-- Без слов\n%\n"
            "Последняя, без перевода строки");
        const auto units = splitFortunes(text);
        QCOMPARE(units.size(), size_t(8));
        QCOMPARE(std::string(units[0].body), cp("Первая мысль.\n"));
        QCOMPARE(units[0].author, cp("Автор Один"));
        QCOMPARE(std::string(units[1].body), cp("Вторая\nмысль.\n"));
        QVERIFY(units[1].author.empty());
        QCOMPARE(std::string(units[2].body), cp("\"Цитата один\"\n"));
        QCOMPARE(units[2].author, cp("Билл Гейтс"));
        QCOMPARE(units[2].year.from, int16_t(1981));
        QCOMPARE(units[3].author, cp("Билл Гейтс"));
        QCOMPARE(units[3].year.from, int16_t(1996));
        // Unindented dashes are dialogue; the indented one is the attribution,
        // capitalised.
        QCOMPARE(std::string(units[4].body), cp("— Как дела?\n— Хорошо.\n"));
        QCOMPARE(units[4].author, cp("Неизвестный автор"));
        // The continuation line of an attribution is not text.
        QCOMPARE(std::string(units[5].body), cp("Текст\n"));
        QCOMPARE(units[5].author, cp("Козьма Прутков"));
        QCOMPARE(units[5].year.from, int16_t(0));
        // A lone attribution line at the start of an entry is text; an entry
        // without words ("...") is left out; the last entry needs no "%".
        QCOMPARE(std::string(units[6].body), cp("-- Только подпись\n"));
        QVERIFY(units[6].author.empty());
        QCOMPARE(std::string(units[7].body), cp("Последняя, без перевода строки"));
        QVERIFY(units[7].author.empty());
    }

    void splitFortunes_crlfFilesAndNoSeparator()
    {
        // Line ends are converted on import; a file without "%" is one unit.
        const auto one = splitFortunes(cp("Одна строка\nи вторая\n\t\t-- Автор\n"));
        QCOMPARE(one.size(), size_t(1));
        QCOMPARE(one[0].author, cp("Автор"));
        QVERIFY(looksLikeFortunes(cp("a\n%\nb")));
        QVERIFY(looksLikeFortunes("%  \nb"));
        QVERIFY(!looksLikeFortunes("100% sure\n"));
        QVERIFY(splitFortunes("").empty());
        QVERIFY(splitFortunes("%\n%\n%").empty());
    }

    void scanRoots_selectsTextsAndSkipsDuplicates()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/root");
        corpusfixture::writeUtf8(root, QStringLiteral("a.txt"), "Текст");
        corpusfixture::writeUtf8(root, QStringLiteral("info.csv"), "name,year\na,1900\n");
        corpusfixture::writeUtf8(root, QStringLiteral("sub/deeper/b.TXT"), "Текст");
        corpusfixture::writeUtf8(root, QStringLiteral(".hidden.txt"), "Текст");
        corpusfixture::writeUtf8(root, QStringLiteral(".git/c.txt"), "Текст");
        corpusfixture::writeUtf8(root, QStringLiteral("fort"), "a\n%\nb\n");
        corpusfixture::writeUtf8(root, QStringLiteral("fort.dat"), "\x01\x02%\n");
        corpusfixture::writeUtf8(root, QStringLiteral("fort.u8"), "a\n%\nb\n");
        corpusfixture::writeUtf8(root, QStringLiteral("lonely.u8"), "a\n%\nb\n");
        corpusfixture::writeUtf8(root, QStringLiteral("notes.md"), "a\n%\n");
        corpusfixture::writeUtf8(root, QStringLiteral("pic.jpg"), "a\n%\n");
        QVERIFY(QFile::link(root + QStringLiteral("/fort"), root + QStringLiteral("/fort2")));

        std::vector<SourceFile> files;
        QString error;
        QVERIFY(scanRoots({root}, files, &error));
        QStringList got;
        for (const auto &f : files)
            got << f.relative + QLatin1Char(':') + QString::number(int(f.kind));
        QCOMPARE(got, (QStringList{QStringLiteral("root/a.txt:0"), QStringLiteral("root/fort:1"),
                                   QStringLiteral("root/info.csv:2"), QStringLiteral("root/lonely.u8:1"),
                                   QStringLiteral("root/sub/deeper/b.TXT:0")}));
        const SourceFile &b = files.back();
        QCOMPARE(b.baseName, QStringLiteral("b"));
        QCOMPARE(b.folders, (QStringList{QStringLiteral("root"), QStringLiteral("sub"), QStringLiteral("deeper")}));
        QCOMPARE(b.size, qint64(10));
    }

    void scanRoots_sameFileThroughLinkedFolders_listedOnce()
    {
        QTemporaryDir tmp;
        const QString real = tmp.path() + QStringLiteral("/real");
        corpusfixture::writeUtf8(real, QStringLiteral("a.txt"), "Текст");
        corpusfixture::writeUtf8(tmp.path(), QStringLiteral("other/b.txt"), "Текст");
        QVERIFY(QFile::link(real, tmp.path() + QStringLiteral("/alias")));
        QVERIFY(QFile::link(real + QStringLiteral("/a.txt"), tmp.path() + QStringLiteral("/other/c.txt")));
        std::vector<SourceFile> files;
        QVERIFY(scanRoots({real, tmp.path() + QStringLiteral("/alias"), tmp.path() + QStringLiteral("/other")}, files,
                          nullptr));
        QStringList got;
        for (const auto &f : files)
            got << f.relative;
        QCOMPARE(got, (QStringList{QStringLiteral("real/a.txt"), QStringLiteral("other/b.txt")}));
        QCOMPARE(files[0].size, qint64(10));
        QVERIFY(files[0].mtime > 0 && files[0].inode != 0 && files[0].permissions != 0);
    }

    // The folders are listed by two threads at once: whichever lists a folder, the
    // files come in one order (a folder's files by name, then its subfolders), and a
    // file reached twice through a link is listed where the walk first reaches it.
    void scanRoots_manyFolders_listedInOrderEveryTime()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/root");
        QStringList expected;
        for (const char *top : {"a", "b", "c"})
            for (int mid = 0; mid < 6; ++mid) {
                const QString dir = QStringLiteral("%1/m%2").arg(QLatin1String(top)).arg(mid);
                for (const char *file : {"x.txt", "y.txt"}) {
                    corpusfixture::writeUtf8(root, dir + QLatin1Char('/') + QLatin1String(file), "Текст");
                    expected << QStringLiteral("root/") + dir + QLatin1Char('/') + QLatin1String(file);
                }
                corpusfixture::writeUtf8(root, dir + QStringLiteral("/deep/z.txt"), "Текст");
                expected << QStringLiteral("root/") + dir + QStringLiteral("/deep/z.txt");
            }
        // c/m5/x.txt again through a link in a folder the walk reaches first.
        QVERIFY(QDir().mkpath(root + QStringLiteral("/a/m0/deep/more")));
        QVERIFY(QFile::link(root + QStringLiteral("/c/m5/x.txt"), root + QStringLiteral("/a/m0/deep/more/w.txt")));
        expected.insert(expected.indexOf(QStringLiteral("root/a/m0/deep/z.txt")) + 1,
                        QStringLiteral("root/a/m0/deep/more/w.txt"));
        expected.removeAll(QStringLiteral("root/c/m5/x.txt"));
        for (int run = 0; run < 25; ++run) {
            std::vector<SourceFile> files;
            QVERIFY(scanRoots({root}, files, nullptr));
            QStringList got;
            for (const auto &f : files)
                got << f.relative;
            QCOMPARE(got, expected);
        }
    }

    void scanRoots_missingRootIsAnError()
    {
        std::vector<SourceFile> files;
        QString error;
        QVERIFY(!scanRoots({QStringLiteral("/nonexistent/corpus/folder")}, files, &error));
        QVERIFY2(error.startsWith(QStringLiteral("Папка корпуса не найдена: ")), qPrintable(error));
    }

    void hostileFiles_skippedAndReported()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/corpus");
        corpusfixture::writeUtf8(root, QStringLiteral("prose/Автор/Хороший.txt"), "Хороший текст.\n");
        // A link to a file that lists no size and whose bytes never end.
        QVERIFY(QFile::link(QStringLiteral("/proc/self/pagemap"), root + QStringLiteral("/prose/Автор/Бездна.txt")));
        // A picture named as a text.
        corpusfixture::writeBytes(root, QStringLiteral("prose/Автор/Картинка.txt"),
                                  QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + QByteArray(500, '\x01'));
        // A name that is not UTF-8.
        const QByteArray raw = QFile::encodeName(root + QStringLiteral("/prose/")) + "\xff\xfe.txt";
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "text\n", 5), ssize_t(5));
        ::close(fd);
        // A text 41 folders deep.
        QString deep = QStringLiteral("prose");
        for (int i = 0; i < 41; ++i)
            deep += QStringLiteral("/п");
        corpusfixture::writeUtf8(root, deep + QStringLiteral("/Глубокий.txt"), "Глубокий текст.\n");

        QString error;
        const auto cold = corpusfixture::build({root}, tmp.path() + QStringLiteral("/cache"), &error);
        QVERIFY2(cold, qPrintable(error));
        QCOMPARE(cold->textCount(), 1u);
        const QString lines = cold->stats().warnings.join(u'\n');
        QVERIFY2(lines.contains(QStringLiteral("не похож на текст")) && lines.contains(QStringLiteral("Картинка.txt")),
                 qPrintable(lines));
        QVERIFY2(lines.contains(QStringLiteral("не в кодировке UTF-8")), qPrintable(lines));
        QVERIFY2(lines.contains(QStringLiteral("вложена глубже 32")), qPrintable(lines));

        // A start from the cache reports the same.
        const auto warm = corpusfixture::build({root}, tmp.path() + QStringLiteral("/cache"));
        QVERIFY(warm && warm->stats().fromCache);
        QCOMPARE(warm->stats().warnings, cold->stats().warnings);
    }

    void looksLikeText_textsInBothEncodingsNotBinaries()
    {
        QVERIFY(looksLikeText("Мороз и солнце;\r\n\tдень чудесный!\f\x1a"));
        QVERIFY(looksLikeText(cp("Мороз и солнце")));
        QVERIFY(!looksLikeText(std::string_view("text\0text", 9)));
        QVERIFY(!looksLikeText("\x01\x02\x03 some text around the control bytes"));
    }
};

QTEST_APPLESS_MAIN(TstCorpusImport)
#include "tst_corpus_import.moc"
