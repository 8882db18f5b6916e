// The morphology of plain text: lemmas and parts of speech chosen in context, the
// lemma conventions, a floor of accuracy on a small annotated sample, and the
// dictionary's files refused when damaged, never read out of bounds.
#include "../../bench/MorphAccuracy.h"
#include "corpus/MorphDictionary.h"
#include "corpus/Morphology.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace corvus;

namespace {

std::string cp(const char *utf8) { return charset::utf8ToCp1251(utf8); }
QString u8(const std::string &cp1251) { return charset::toQString(cp1251); }

// A hand-annotated sample in CoNLL-U (lemma and part of speech as the reference
// corpora give them): prose and verse.
const char kSample[] = R"(# text = Души были мне дороже всего на свете.
1	Души	душа	NOUN	_	_
2	были	быть	AUX	_	_
3	мне	я	PRON	_	_
4	дороже	дорого	ADV	_	_
5	всего	всё	PRON	_	_
6	на	на	ADP	_	_
7	свете	свет	NOUN	_	_
8	.	.	PUNCT	_	_

# text = Тебя не было здесь десять лет, и люди забыли твоё имя.
1	Тебя	ты	PRON	_	_
2	не	не	PART	_	_
3	было	быть	AUX	_	_
4	здесь	здесь	ADV	_	_
5	десять	десять	NUM	_	_
6	лет	год	NOUN	_	_
7	,	,	PUNCT	_	_
8	и	и	CCONJ	_	_
9	люди	человек	NOUN	_	_
10	забыли	забыть	VERB	_	_
11	твоё	твой	DET	_	_
12	имя	имя	NOUN	_	_
13	.	.	PUNCT	_	_

# text = Он идёт домой по дороге, которую проложили его деды.
1	Он	он	PRON	_	_
2	идёт	идти	VERB	_	_
3	домой	домой	ADV	_	_
4	по	по	ADP	_	_
5	дороге	дорога	NOUN	_	_
6	,	,	PUNCT	_	_
7	которую	который	PRON	_	_
8	проложили	проложить	VERB	_	_
9	его	его	DET	_	_
10	деды	дед	NOUN	_	_
11	.	.	PUNCT	_	_

# text = Я помню чудное мгновенье: передо мной явилась ты.
1	Я	я	PRON	_	_
2	помню	помнить	VERB	_	_
3	чудное	чудный	ADJ	_	_
4	мгновенье	мгновенье	NOUN	_	_
5	:	:	PUNCT	_	_
6	передо	передо	ADP	_	_
7	мной	я	PRON	_	_
8	явилась	явиться	VERB	_	_
9	ты	ты	PRON	_	_
10	.	.	PUNCT	_	_

# text = Стихи Ахматовой читали в лучших залах города.
1	Стихи	стих	NOUN	_	_
2	Ахматовой	Ахматова	PROPN	_	_
3	читали	читать	VERB	_	_
4	в	в	ADP	_	_
5	лучших	лучший	ADJ	_	_
6	залах	зал	NOUN	_	_
7	города	город	NOUN	_	_
8	.	.	PUNCT	_	_

# text = Написанное письмо лежало на столе, а читающий его старик молчал.
1	Написанное	написать	VERB	_	_
2	письмо	письмо	NOUN	_	_
3	лежало	лежать	VERB	_	_
4	на	на	ADP	_	_
5	столе	стол	NOUN	_	_
6	,	,	PUNCT	_	_
7	а	а	CCONJ	_	_
8	читающий	читать	VERB	_	_
9	его	он	PRON	_	_
10	старик	старик	NOUN	_	_
11	молчал	молчать	VERB	_	_
12	.	.	PUNCT	_	_

# text = Мороз и солнце; день чудесный! Ещё ты дремлешь, друг прелестный.
1	Мороз	мороз	NOUN	_	_
2	и	и	CCONJ	_	_
3	солнце	солнце	NOUN	_	_
4	;	;	PUNCT	_	_
5	день	день	NOUN	_	_
6	чудесный	чудесный	ADJ	_	_
7	!	!	PUNCT	_	_
8	Ещё	ещё	ADV	_	_
9	ты	ты	PRON	_	_
10	дремлешь	дремать	VERB	_	_
11	,	,	PUNCT	_	_
12	друг	друг	NOUN	_	_
13	прелестный	прелестный	ADJ	_	_
14	.	.	PUNCT	_	_
)";

} // namespace

class TstCorpusMorphology : public QObject {
    Q_OBJECT
private:
    QString m_folder;
    std::shared_ptr<const morph::Dictionary> m_dict;
    std::unique_ptr<morph::Analyser> m_analyser;

    // Lemma and part of speech of each word of a sentence, "lemma/POS" joined by blanks.
    QString tag(const char *utf8)
    {
        const std::string text = cp(utf8);
        morphacc::ReadingCache cache;
        morphacc::Tagged tagged;
        morphacc::tag(*m_analyser, text, cache, tagged);
        QStringList out;
        for (size_t k = 0; k < tagged.tokens.size(); ++k)
            if (tagged.tokens[k].readings) {
                const morph::Reading &r = tagged.chosen(k);
                out << u8(r.lemma) + QLatin1Char('/') + QLatin1String(morph::uposName(r.upos));
            }
        return out.join(QLatin1Char(' '));
    }

    // A copy of the dictionary's files to damage.
    QString copyDictionary(QTemporaryDir &dir)
    {
        for (const QString &f : QDir(m_folder).entryList(QDir::Files))
            if (!QFile::copy(m_folder + QLatin1Char('/') + f, dir.filePath(f)))
                return QString();
        return dir.path();
    }

private slots:
    void initTestCase()
    {
#ifdef CORVUS_TEST_MORPH_DIR
        m_folder = QStringLiteral(CORVUS_TEST_MORPH_DIR);
        QString error;
        m_dict = morph::Dictionary::open(m_folder, &error);
        QVERIFY2(m_dict, qPrintable(error));
        m_analyser = std::make_unique<morph::Analyser>(m_dict);
#else
        QSKIP("the OpenCorpora dictionary data is not in this build (tools/fetch-dicts.sh)");
#endif
    }

    void sentences_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *text, const char *expected) {
            QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(expected);
        };
        // Forms a spelling dictionary cannot lemmatise: pronouns, suppletion, homonyms.
        row("suppletion", "Души были мне дороже. Тебя не было десять лет.",
            "душа/NOUN быть/AUX я/PRON дорого/ADV ты/PRON не/PART быть/AUX десять/NUM год/NOUN");
        // "е" for "ё" and "ё" itself: one lemma.
        row("yo", "Он идёт, она идет путём.", "он/PRON идти/VERB она/PRON идти/VERB путём/ADV");
        // A possessive before a noun, the pronoun elsewhere.
        row("possessive", "Я видел его дом и знаю его.", "я/PRON видеть/VERB его/DET дом/NOUN и/CCONJ знать/VERB он/PRON");
        // Participles under their verb; a superlative and a woman's surname their own.
        row("conventions", "Написанное Ахматовой лучшее стихотворение",
            "написать/VERB ахматова/PROPN лучший/ADJ стихотворение/NOUN");
        // Words the dictionary does not know: an unknown surname keeps one headword
        // in every case; a known word behind a prefix; a hyphenated compound.
        row("unknown", "У Шмурдякова был брат, мы говорили со Шмурдяковым.",
            "у/ADP шмурдяков/PROPN быть/AUX брат/NOUN мы/PRON говорить/VERB со/ADP шмурдяков/PROPN");
        row("compounds", "супергерои интернет-магазина", "супергерой/NOUN интернет-магазин/NOUN");
        // An imperative does not win over the adverb it looks like.
        row("imperative", "Пошли домой, прочь отсюда.", "пойти/VERB домой/ADV прочь/ADV отсюда/ADV");
        // An abbreviation with a period stands for its word, without one for itself.
        row("abbreviations", "В 1999 г. он прошёл 10 км пешком.",
            "в/ADP 1999/NUM год/NOUN он/PRON пройти/VERB 10/NUM км/NOUN пешком/ADV");
        // Latin words and numbers stand for themselves.
        row("latin", "В 1999 году вышел Windows", "в/ADP 1999/NUM год/NOUN выйти/VERB windows/X");
    }

    void sentences()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(tag(text.toUtf8().constData()), expected);
    }

    void features()
    {
        std::vector<morph::Reading> r;
        m_analyser->analyse(cp("души"), r);
        QVERIFY(!r.empty());
        QCOMPARE(u8(r[0].lemma), QStringLiteral("душа"));
        QCOMPARE(QString::fromStdString(r[0].feats), QStringLiteral("Animacy=Inan|Case=Gen|Gender=Fem|Number=Sing"));
        // Every form's readings add up to one.
        for (const char *w : {"души", "стекло", "мой", "шмурдякову", "windows"}) {
            m_analyser->analyse(cp(w), r);
            float sum = 0;
            for (const morph::Reading &x : r)
                sum += x.prob;
            QVERIFY2(std::abs(sum - 1.f) < 1e-3f, w);
        }
    }

    // A regression of the lemmatiser or the tagger shows here first.
    void accuracyFloor()
    {
        const auto sentences = morphacc::parseConllu(QByteArray(kSample));
        QCOMPARE(sentences.size(), size_t(7));
        QStringList misses;
        const morphacc::Score s = morphacc::evaluate(*m_analyser, sentences,
                                                     [&](const morphacc::GoldToken &g, const std::string &lemma,
                                                         const char *upos, const morph::Analyser::Token *) {
                                                         misses << u8(g.form) + QStringLiteral(" -> ") + u8(lemma)
                                                                       + QLatin1Char('/') + QLatin1String(upos);
                                                     });
        QCOMPARE(s.words, size_t(61));
        QCOMPARE(s.unaligned, size_t(0));
        QVERIFY2(s.lemma() >= 93.0, qPrintable(misses.join(QStringLiteral(", "))));
        QVERIFY2(s.upos() >= 90.0, qPrintable(misses.join(QStringLiteral(", "))));
    }

    // Missing or damaged files: a Russian error, never a crash or a read outside
    // the files.
    void damagedFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("keep");        // bytes kept, -1: removed
        QTest::addColumn<QString>("message");
        QTest::newRow("words missing") << "words.dawg" << -1 << "Не удалось открыть";
        QTest::newRow("words truncated") << "words.dawg" << 4000 << "повреждён";
        QTest::newRow("words empty") << "words.dawg" << 0 << "Не удалось прочитать";
        QTest::newRow("paradigms truncated") << "paradigms.array" << 3 << "повреждён";
        QTest::newRow("suffixes truncated") << "suffixes.json" << 100 << "повреждён";
        QTest::newRow("probabilities truncated") << "p_t_given_w.intdawg" << 7 << "повреждён";
    }

    void damagedFiles()
    {
        QFETCH(QString, file);
        QFETCH(int, keep);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString folder = copyDictionary(dir);
        QVERIFY(!folder.isEmpty());
        QFile f(dir.filePath(file));
        if (keep < 0)
            QVERIFY(f.remove());
        else
            QVERIFY(f.resize(keep));
        QString error;
        QVERIFY(!morph::Dictionary::open(folder, &error));
        QVERIFY2(error.contains(message), qPrintable(error));
        QVERIFY2(error.contains(file), qPrintable(error));
    }

    // Random damage to the units of a DAWG: either refused at open, or every
    // lookup and prediction stays inside the file (ASan and the check both see it).
    void corruptedUnits()
    {
        QTemporaryDir dir;
        const QString folder = copyDictionary(dir);
        QVERIFY(!folder.isEmpty());
        const QString target = dir.filePath(QStringLiteral("prediction-suffixes-1.dawg"));
        QFile orig(target);
        QVERIFY(orig.open(QIODevice::ReadOnly));
        const QByteArray clean = orig.readAll();
        orig.close();
        QRandomGenerator rng(20261208);
        int refused = 0;
        for (int round = 0; round < 200; ++round) {
            QByteArray bad = clean;
            for (int k = 0; k < 4; ++k)
                bad[int(rng.bounded(4, int(bad.size())))] = char(rng.bounded(256));
            QFile out(target);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(bad);
            out.close();
            QString error;
            auto dict = morph::Dictionary::open(folder, &error);
            if (!dict) {
                ++refused;
                continue;
            }
            std::vector<morph::RawParse> parses;
            for (const char *w : {"пошмурдякал", "бурдякова", "кузявый", "попыхтели"})
                dict->predict(cp(w), parses);
        }
        QVERIFY(refused > 0);   // some damage is always seen
    }
};

QTEST_GUILESS_MAIN(TstCorpusMorphology)
#include "tst_corpus_morphology.moc"
