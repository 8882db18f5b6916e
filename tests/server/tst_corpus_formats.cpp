// Annotated corpora read from their interchange formats (vertical text, CoNLL-U),
// and the cleaning of word forms at import.
#include "concordance/Query.h"
#include "corpus/AnnotatedText.h"
#include "corpus/Charset.h"
#include "corpus/TextCleaning.h"
#include "support/CorpusFixture.h"

#include <QTemporaryDir>
#include <QTest>

using namespace corvus;
using corpusfixture::cp;

namespace {

// "form/lemma/pos" of each token, "|" after a sentence end, "||" after a paragraph
// end, "_" for a token joined to the one before.
std::string render(const annotated::Document &d)
{
    std::string out;
    for (const annotated::Token &t : d.tokens) {
        if (!out.empty())
            out += t.spaceBefore ? " " : "_";
        out += t.form + "/" + t.lemma + "/" + t.pos;
        out += std::string(size_t(t.breakAfter), '|');
    }
    return out;
}

} // namespace

class TestCorpusFormats : public QObject {
    Q_OBJECT
private slots:
    void vrt_documentsTokensBoundariesAndBadLines()
    {
        QString error;
        const auto layout = annotated::parseVrtDeclaration(
            "# my corpus\ncolumns=word,lemma,pos\nattribute.genre=\xD0\x96\xD0\xB0\xD0\xBD\xD1\x80\n", &error);
        QVERIFY2(layout, qPrintable(error));
        QCOMPARE(layout->columns, 3);
        QCOMPARE(layout->attributeNames.at(0).second, QStringLiteral("Жанр"));
        const std::string text = cp("<text author=\"Пушкин\" title=\"A &amp; B\" genre='стихи'>\n"
                                    "<p>\n<s>\n"
                                    "Мороз\tмороз\tS\n"
                                    "и\tи\tCONJ\n"
                                    "солнце\n"                        // one column: skipped
                                    "(\t(\tPUNCT\n"
                                    "день\tдень\tS\n"
                                    ")\t)\tPUNCT\n"
                                    "!\t!\tPUNCT\n"
                                    "</s>\n</p>\n</text>\n"
                                    "<text author=\"Тютчев\">\nГроза\tгроза\tS\n</text>\n");
        const annotated::Parsed p = annotated::readVrt(text, *layout);
        QCOMPARE(p.documents.size(), size_t(2));
        const annotated::Document &d = p.documents[0];
        QCOMPARE(*d.attribute("author"), cp("Пушкин"));
        QCOMPARE(*d.attribute("title"), std::string("A & B"));
        QCOMPARE(*d.attribute("genre"), cp("стихи"));
        QCOMPARE(render(d), cp("Мороз/мороз/S и/и/CONJ (/(/PUNCT_день/день/S_)/)/PUNCT_!/!/PUNCT||"));
        QCOMPARE(p.skipped.size(), size_t(1));
        QCOMPARE(p.skipped[0].line, 6);
        QCOMPARE(render(p.documents[1]), cp("Гроза/гроза/S"));

        QVERIFY(!annotated::parseVrtDeclaration("columns=lemma,pos\n", &error));
        QVERIFY(error.contains(QStringLiteral("word")));
        QVERIFY(!annotated::parseVrtDeclaration("genre\n", &error));
        QVERIFY(!annotated::parseVrtDeclaration("attribute.x=y\n", &error));
    }

    void conllu_documentsMultiwordTokensSpacingAndBadLines()
    {
        const std::string text = cp("# newdoc id = d1\n"
                                    "# meta::author = Толстой\n"
                                    "# sent_id = 1\n"
                                    "# text = Вошёл, сказал.\n"
                                    "1\tВошёл\tвойти\tVERB\t_\tAspect=Perf\t0\troot\t_\tSpaceAfter=No\n"
                                    "2\t,\t,\tPUNCT\t_\t_\t1\tpunct\t_\t_\n"
                                    "2.1\tбыл\tбыть\tAUX\t_\t_\t_\t_\t_\t_\n"
                                    "3-4\tсказал-то\t_\t_\t_\t_\t_\t_\t_\tSpaceAfter=No\n"
                                    "3\tсказал\tсказать\tVERB\t_\t_\t1\tconj\t_\t_\n"
                                    "4\tто\tто\tPART\t_\t_\t3\tdiscourse\t_\t_\n"
                                    "5\t.\t.\tPUNCT\t_\t_\t1\tpunct\t_\t_\n"
                                    "x\tплохо\n"
                                    "x-\tплохо\t_\t_\t_\t_\t_\t_\t_\t_\n"
                                    "\n"
                                    "# newpar\n"
                                    "# newdoc\n"
                                    "1\tДа\tда\tPART\t_\t_\t0\troot\t_\t_\n");
        const annotated::Parsed p = annotated::readConllu(text);
        QCOMPARE(p.documents.size(), size_t(2));
        QCOMPARE(*p.documents[0].attribute("id"), std::string("d1"));
        QCOMPARE(*p.documents[0].attribute("author"), cp("Толстой"));
        QCOMPARE(p.documents[0].tokens[0].feats, std::string("Aspect=Perf"));
        QCOMPARE(render(p.documents[0]),
                 cp("Вошёл/войти/VERB_,/,/PUNCT сказал-то/сказать+то/VERB+PART_././PUNCT||"));
        QCOMPARE(render(p.documents[1]), cp("Да/да/PART|"));
        QCOMPARE(p.skipped.size(), size_t(2));
        QCOMPARE(p.skipped[0].line, 12);
        QCOMPARE(p.skipped[1].line, 13);
    }

    void cleaning_lookAlikesAndAccentedLatin()
    {
        const struct {
            const char *in;
            const char *out;
        } words[] = {
            {"КO", "КО"},        // Latin O after a Cyrillic К
            {"MIР", "МІР"},      // Latin M and I in a pre-reform word
            {"cтол", "стол"},
            {"Word", "Word"},    // wholly Latin stays
            {"ФZ", "ФZ"},        // a Latin letter without a twin: left alone
            {"ХХ-й", "ХХ-й"},
            {"XX-й", "ХХ-й"},
        };
        for (const auto &w : words) {
            std::string s = cp(w.in);
            QCOMPARE(cleaning::fixLookAlikes(s), std::string(w.in) != std::string(w.out));
            QCOMPARE(s, cp(w.out));
        }
        QCOMPARE(cleaning::baseLatinLetter(0xE9), 'e');    // é
        QCOMPARE(cleaning::baseLatinLetter(0x1D8), 'u');   // ǘ, two marks deep
        QCOMPARE(cleaning::baseLatinLetter(0x141), 'L');   // Ł, a stroke
        QCOMPARE(cleaning::baseLatinLetter(0x439), '\0');  // й is Cyrillic, not Latin
        QCOMPARE(cleaning::baseLatinLetter(0x41), '\0');
    }

    void import_cleanedWordsTheirEndingAndTheReport()
    {
        QTemporaryDir tmp;
        corpusfixture::writeUtf8(tmp.path(), QStringLiteral("a/Пушкин/t.txt"), "КO и Кo, été Word. XX-й кит\n");
        corpusfixture::writeBytes(tmp.path(), QStringLiteral("a/b.txt"), QByteArray("\0\1\2\0\0\0", 6));
        QString error;
        const auto c = corpusfixture::build({tmp.path() + QStringLiteral("/a")}, tmp.path() + QStringLiteral("/c"),
                                            &error);
        QVERIFY2(c, qPrintable(error));
        QVERIFY(c->findForm(cp("ко")) != kNone);
        QCOMPARE(c->forms().count(c->findForm(cp("ко"))), 2u);
        QVERIFY(c->findForm(cp("ete")) != kNone);
        QVERIFY(c->findForm(cp("word")) != kNone);
        QVERIFY(c->findForm(cp("хх-й")) != kNone);
        QCOMPARE(c->forms().size(), 6u);   // ко и ete word хх-й кит
        QCOMPARE(c->display(0), cp("КО"));
        QCOMPARE(c->display(2), cp("Ко"));
        QCOMPARE(c->stats().cleaned.lookAlikeWords, uint64_t(3));
        QCOMPARE(c->stats().cleaned.foldedLetters, uint64_t(2));

        // The report: per author, per format, what was skipped and replaced; kept
        // beside the cache, and made by a cold build only.
        const QStringList report = c->stats().report.split(QLatin1Char('\n'));
        const QString tally = QStringLiteral("текстов 1, токенов 9, из них словоупотреблений 7");
        QVERIFY2(report.contains(QStringLiteral("  Пушкин: ") + tally), qPrintable(c->stats().report));
        QVERIFY(report.contains(QStringLiteral("  текстовые файлы: ") + tally));
        QVERIFY(report.contains(QStringLiteral("Пропущено (1):")));
        QVERIFY(report.contains(QStringLiteral("Исправлено: слов с латинскими буквами вместо кириллических — 3, "
                                               "латинских букв с диакритикой заменено основной буквой — 2, "
                                               "ударений снято — 0.")));
        QFile kept(c->stats().reportFile);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(kept.readAll()), c->stats().report);
        const auto cached = corpusfixture::build({tmp.path() + QStringLiteral("/a")}, tmp.path() + QStringLiteral("/c"));
        QVERIFY(cached->stats().fromCache && cached->stats().report.isEmpty());

        // The ending is the last two letters: the hyphen does not count.
        const conc::ConcEngine engine(c);
        const conc::Characteristic &ending = engine.characteristic(conc::kCharEnding);
        QCOMPARE(corpusfixture::u8(ending.text(ending.valueOf(7))), QByteArray("хй"));
        QCOMPARE(corpusfixture::u8(ending.text(ending.valueOf(8))), QByteArray("ит"));
    }

    void import_stressMarksDroppedCountedAndNamed()
    {
        // Combining accents go (the word is the word without them), counted, and
        // the first words that had them are named once each in the report.
        QTemporaryDir tmp;
        corpusfixture::writeUtf8(tmp.path(), QStringLiteral("a/t.txt"),
                                 "О\u0301блако над за\u0301мком; му\u0301ка и мука\u0301, "
                                 "cafe\u0301 и по-ру\u0301сски.\n");
        QString error;
        const auto c = corpusfixture::build({tmp.path() + QStringLiteral("/a")}, tmp.path() + QStringLiteral("/c"),
                                            &error);
        QVERIFY2(c, qPrintable(error));
        QCOMPARE(c->forms().count(c->findForm(cp("мука"))), 2u);
        QCOMPARE(c->display(0), cp("Облако"));
        QVERIFY(c->findForm(cp("по-русски")) != kNone);
        QCOMPARE(c->stats().cleaned.stressMarks, uint64_t(6));
        QCOMPARE(c->stats().cleaned.stressedWords,
                 (std::vector<std::string>{cp("облако"), cp("замком"), cp("мука"), "cafe", cp("по-русски")}));
        const QStringList report = c->stats().report.split(QLatin1Char('\n'));
        QVERIFY2(report.contains(QStringLiteral("Исправлено: слов с латинскими буквами вместо кириллических — 0, "
                                                "латинских букв с диакритикой заменено основной буквой — 0, "
                                                "ударений снято — 6.")),
                 qPrintable(c->stats().report));
        QVERIFY(report.contains(
            QStringLiteral("  ударения сняты, например, в словах: облако, замком, мука, cafe, по-русски.")));
    }

    void import_stressedWordsListStopsAtTwenty()
    {
        QTemporaryDir tmp;
        QByteArray text;
        for (int i = 0; i < 30; ++i)
            text += "сло\u0301во" + QByteArray::number(i) + ' ';
        corpusfixture::writeUtf8(tmp.path(), QStringLiteral("a/t.txt"), text.constData());
        corpusfixture::writeUtf8(tmp.path(), QStringLiteral("a/u.txt"), "ещё сло\u0301во\n");
        const auto c = corpusfixture::build({tmp.path() + QStringLiteral("/a")}, tmp.path() + QStringLiteral("/c"));
        QVERIFY(c);
        QCOMPARE(c->stats().cleaned.stressMarks, uint64_t(31));
        QCOMPARE(c->stats().cleaned.stressedWords.size(), size_t(20));
        QCOMPARE(c->stats().cleaned.stressedWords.front(), cp("слово0"));
        QCOMPARE(c->stats().cleaned.stressedWords.back(), cp("слово19"));
    }
};

QTEST_GUILESS_MAIN(TestCorpusFormats)
#include "tst_corpus_formats.moc"
