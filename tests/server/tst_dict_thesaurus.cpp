// Reading a thesaurus in the mythes format and serving it as a dictionary: the
// encoding line, malformed entries, synonyms, and entries whose terms link to
// other headwords.
#include "dictionary/core/EntryTree.h"
#include "model/Cp1251.h"
#include "dictionary/DictionaryReplies.h"
#include "service/ServerSetup.h"
#include "dictionary/Thesaurus.h"

#include <QStringEncoder>
#include <QtTest>

namespace {

QByteArray ru(const char *s)
{
    return cp1251::ru(s);
}

const char *const Sample =
    "UTF-8\n"
    "лес|2\n"
    "(синоним)|бор|роща|лес\n"
    "(связанный термин)|дерево\n"
    "бор|1\n"
    "(синоним)|лес|сосняк\n"
    "сломанный|x\n"
    "(синоним)|ничей\n"
    "роща|1\n"
    "(синоним)|Лес|перелесок|бор\n"
    "ёлка|1\n"
    "(синоним)|ель\n";

} // namespace

class TestDictThesaurus : public QObject {
    Q_OBJECT
private slots:
    void parse_entriesAndSenses_malformedCountSkipped()
    {
        QString error;
        const auto t = Thesaurus::parse(QByteArray(Sample), &error);
        QVERIFY2(t, qPrintable(error));
        QStringList words;
        for (const auto &e : t->entries())
            words.append(e.word);
        // "сломанный|x" is no entry; its sense line is no entry either.
        QCOMPARE(words, QStringList({u"лес"_qs, u"бор"_qs, u"роща"_qs, u"ёлка"_qs}));
        QCOMPARE(t->entries()[0].senses.size(), 2);
        QCOMPARE(t->entries()[0].senses[1].kind, u"связанный термин"_qs);
        QCOMPARE(t->entries()[0].senses[1].terms, QStringList({u"дерево"_qs}));
    }

    void synonyms_onlySynonymSenses_withoutTheWordAndRepeats()
    {
        const auto t = Thesaurus::parse(QByteArray(Sample), nullptr);
        QVERIFY(t);
        QCOMPARE(t->synonyms(u"лес"), QStringList({u"бор"_qs, u"роща"_qs}));
        QCOMPARE(t->synonyms(u"РОЩА"), QStringList({u"Лес"_qs, u"перелесок"_qs, u"бор"_qs}));
        QVERIFY(t->synonyms(u"дуб").isEmpty());
    }

    void otherEncoding_namedOnFirstLine_isDecoded()
    {
        QStringEncoder koi("KOI8-R");
        QVERIFY(koi.isValid());
        const QByteArray data = "KOI8-R\n" + QByteArray(koi.encode(u"дом|1\n(синоним)|жилище|кров\n"));
        QString error;
        const auto t = Thesaurus::parse(data, &error);
        QVERIFY2(t, qPrintable(error));
        QCOMPARE(t->entries().value(0).word, u"дом"_qs);
        QCOMPARE(t->synonyms(u"дом"), QStringList({u"жилище"_qs, u"кров"_qs}));
    }

    void unusableFiles_giveRussianReasons_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("unknown encoding") << QByteArray("NO-SUCH-CODEPAGE\nа|1\n(с)|б\n");
        QTest::newRow("no entries") << QByteArray("UTF-8\nпросто текст\n");
        QTest::newRow("binary") << QByteArray("\xEF\xBB\xBFUTF-8\n\x01\x02|\xFF\n");
    }
    void unusableFiles_giveRussianReasons()
    {
        QFETCH(QByteArray, data);
        QString error;
        QVERIFY(!Thesaurus::parse(data, &error));
        QVERIFY(!error.isEmpty());
    }

    void missingFile_givesReasonWithPath()
    {
        QString error;
        QVERIFY(!Thesaurus::load(QStringLiteral("/nonexistent/th.dat"), &error));
        QVERIFY(error.contains(u"/nonexistent/th.dat"));
    }

    void dictionary_entryLinksTermsThatAreHeadwords()
    {
        auto t = std::make_shared<const Thesaurus>(*Thesaurus::parse(QByteArray(Sample), nullptr));
        ServedDictionary d(std::make_unique<ThesaurusDictionary>(t, ru("Тезаурус")));
        const HeadwordIndex &idx = d.dictionary().index();
        // бор, ёлка, лес, роща
        QCOMPARE(idx.text(0), ru("БОР"));
        QCOMPARE(idx.text(1), ru("ЁЛКА"));
        const dictcore::EntryTree tree = dictcore::parseEntryBody(d.entryBody(idx.find(u"лес")), {});
        QStringList shown;
        QList<int> links;
        for (const auto &n : tree.nodes) {
            shown.append(cp1251::decode(n.text));
            links.append(n.link);
        }
        QCOMPARE(shown, QStringList({u"лес"_qs, u"1. синоним"_qs, u"бор -->"_qs, u"роща -->"_qs,
                                     u"лес"_qs, u"2. связанный термин"_qs, u"дерево"_qs}));
        // бор is headword 1, роща 4; the entry's own word and unknown terms get none.
        QCOMPARE(links, QList<int>({0, 0, 1, 4, 0, 0, 0}));
        QCOMPARE(tree.nodes[2].depth, 2);
        QCOMPARE(d.dictionary().headwordSize(idx.find(u"лес")), 4);
        QCOMPARE(d.dictionary().summarySecond(), 10);   // terms of all entries
    }

    void installedThesaurus_loadsAndLinks()
    {
        const QString path = defaultThesaurusPath();
        if (path.isEmpty())
            QSKIP("mythes-ru is not installed");
        QString error;
        const auto t = Thesaurus::load(path, &error);
        QVERIFY2(t, qPrintable(error));
        QVERIFY(t->entries().size() > 10000);
        QVERIFY(t->synonyms(u"абсолютный").contains(u"безусловный"_qs));
        auto shared = std::make_shared<const Thesaurus>(std::move(*t));
        ServedDictionary d(std::make_unique<ThesaurusDictionary>(shared, ru("Тезаурус")));
        const auto &letters = d.dictionary().index().letters();
        QCOMPARE(letters.value(0).text, ru("А"));
        // Ё comes right after Е.
        int ye = -1;
        for (int i = 0; i < letters.size(); ++i) {
            if (letters[i].text == ru("Е"))
                ye = i;
        }
        QVERIFY(ye >= 0);
        QCOMPARE(letters.value(ye + 1).text, ru("Ё"));
        const int place = d.dictionary().index().find(u"абсолютный");
        const dictcore::EntryTree tree = dictcore::parseEntryBody(d.entryBody(place), {});
        bool linked = false;
        for (const auto &n : tree.nodes) {
            if (n.text == ru("безусловный -->"))
                linked = n.link == d.dictionary().index().find(u"безусловный") + 1;
        }
        QVERIFY(linked);
    }
};

QTEST_GUILESS_MAIN(TestDictThesaurus)
#include "tst_dict_thesaurus.moc"
