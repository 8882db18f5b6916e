// The index built from a small corpus written by the test: texts and their
// metadata from both formats and both encodings, tokens and their flags, display
// forms, the lexicons with their three orders, postings, and lemmas: hunspell's,
// and the morphology's with parts of speech and features.
#include "corpus/Charset.h"
#include "corpus/Corpus.h"
#include "corpus/Lemmatiser.h"
#include "corpus/Morphology.h"
#include "support/CorpusFixture.h"

#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace corvus;
using corpusfixture::cp;
using corpusfixture::cpb;
using corpusfixture::u8;

class TstCorpusIndex : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    std::shared_ptr<const Corpus> m_c;   // lemmatised as the server does by default
    std::shared_ptr<const Corpus> m_h;   // the same files lemmatised with hunspell
    std::shared_ptr<const Corpus> m_morph;   // the morphology's sentences (with its data only)

    uint32_t form(const char *utf8) const { return m_c->findForm(cp(utf8)); }
    uint32_t lemma(const char *utf8) const { return m_c->findLemma(cp(utf8)); }
    // The first text whose title is the given one.
    const TextInfo *textTitled(const char *utf8) const
    {
        for (uint32_t i = 0; i < m_c->textCount(); ++i)
            if (m_c->text(i).title == cpb(utf8))
                return &m_c->text(i);
        return nullptr;
    }
    // The token number of the n-th occurrence of a form (display text as typed).
    uint32_t tokenOf(const char *utf8, int n = 0) const
    {
        const uint32_t f = form(utf8);
        if (f == kNone || m_c->forms().postings(f).size() <= size_t(n))
            return kNone;
        return m_c->forms().postings(f)[size_t(n)];
    }
    bool haveDictionary() const { return !Corpus::defaultDictionaryPath().isEmpty(); }

    static std::shared_ptr<const Corpus> load(const QStringList &paths, const QString &cacheDir, bool morphology,
                                              QString *error)
    {
        CorpusOptions o;
        o.paths = paths;
        o.cacheDir = cacheDir;
        o.useMorphology = morphology;
#ifdef CORVUS_TEST_MORPH_DIR
        o.morphology = QStringLiteral(CORVUS_TEST_MORPH_DIR);
#endif
        return Corpus::load(o, error);
    }
    // The first occurrence of a form in a corpus.
    static uint32_t firstToken(const Corpus &c, const char *utf8)
    {
        const uint32_t f = c.findForm(cp(utf8));
        return f == kNone || c.forms().postings(f).empty() ? kNone : c.forms().postings(f)[0];
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        const QString lit = m_tmp.path() + QStringLiteral("/lit");
        const QString fort = m_tmp.path() + QStringLiteral("/fort");
        corpusfixture::writeUtf8(lit, QStringLiteral("poems/Пушкин/Зимнее утро.txt"),
                                 "Мороз и солнце; день чудесный!\n"
                                 "Ещё ты дремлешь, друг прелестный —\n"
                                 "Пора, красавица, проснись:\n");
        corpusfixture::writeUtf8(lit, QStringLiteral("poems/Пушкин/info.csv"), "name,year\nЗимнее утро,1829\n");
        corpusfixture::write1251(lit, QStringLiteral("prose/Гоголь/Нос.txt"),
                                 "Марта 25 числа случилось в Петербурге необыкновенно странное происшествие.\r\n"
                                 "Ель, ёж, ежевика и Ёлка стояли за столами; кракозябрус молчал.\r\n");
        corpusfixture::write1251(lit, QStringLiteral("prose/Гоголь/info.csv"), "name,year\n\"Нос\",1832-1833\n");
        corpusfixture::writeUtf8(lit, QStringLiteral("extra/deep/nested/Заметка.txt"),
                                 "Кто-то сказал: «д'Артаньян». ЕЩЁ РАЗ!");
        corpusfixture::writeUtf8(fort, QStringLiteral("mysli"),
                                 "Любовь — это всё.\n\t\t-- Автор Первый\n%\n"
                                 "Столами и столом.\n\t\t— Автор Второй\n%\n");
        corpusfixture::writeUtf8(fort, QStringLiteral("mysli.u8"), "Дубликат.\n%\n");
        corpusfixture::writeUtf8(fort, QStringLiteral("mysli.dat"), "\x02\x00\x00\x00");
        QString error;
        m_c = corpusfixture::build({lit, fort}, m_tmp.path() + QStringLiteral("/cache"), &error);
        QVERIFY2(m_c, qPrintable(error));
        m_h = load({lit, fort}, m_tmp.path() + QStringLiteral("/cache-hunspell"), false, &error);
        QVERIFY2(m_h, qPrintable(error));
#ifdef CORVUS_TEST_MORPH_DIR
        const QString morph = m_tmp.path() + QStringLiteral("/morph");
        corpusfixture::writeUtf8(morph, QStringLiteral("prose/Автор/Один.txt"),
                                 "Души были мне дороже. Тебя не было десять лет.\n"
                                 "Он идёт, она идет.\n\n"
                                 "Шмурдяков пришёл. У Шмурдякова был брат. Мы пошли к Шмурдякову "
                                 "и говорили со Шмурдяковым о Шмурдякове.\n"
                                 "В 1999 году вышел Windows.\n"
                                 "Я видел его дом и знаю его.\n"
                                 "Их дом стоял у реки, и мой брат жил в нём; я знал их всех.\n"
                                 "В 1999 г. он прошёл 10 км пешком.\n");
        m_morph = load({morph}, m_tmp.path() + QStringLiteral("/cache-morph"), true, &error);
        QVERIFY2(m_morph, qPrintable(error));
#endif
    }

    void texts_metadataFromFoldersInfoCsvAndFortunes()
    {
        QCOMPARE(m_c->textCount(), 5u);
        // Corpus order: roots as given, files by path.
        QCOMPARE(m_c->text(0).title, cpb("Заметка"));
        QCOMPARE(m_c->text(1).title, cpb("Зимнее утро"));
        QCOMPARE(m_c->text(2).title, cpb("Нос"));

        const TextInfo &note = m_c->text(0);
        QCOMPARE(note.author, cpb("nested"));
        QCOMPARE(note.kind, TextKind::Prose);
        QCOMPARE(note.yearFrom, int16_t(0));
        QCOMPARE(note.source, cpb("lit/extra/deep/nested/Заметка.txt"));

        const TextInfo &winter = m_c->text(1);
        QCOMPARE(winter.author, cpb("Пушкин"));
        QCOMPARE(winter.kind, TextKind::Verse);
        QCOMPARE(winter.yearFrom, int16_t(1829));
        QCOMPARE(winter.yearTo, int16_t(1829));
        QCOMPARE(winter.wordCount, 13u);
        QCOMPARE(winter.entry, 0u);

        const TextInfo &nose = m_c->text(2);
        QCOMPARE(nose.author, cpb("Гоголь"));
        QCOMPARE(nose.kind, TextKind::Prose);
        QCOMPARE(nose.yearFrom, int16_t(1832));
        QCOMPARE(nose.yearTo, int16_t(1833));

        // The fortune collection: one text per attributed entry; the .u8 twin
        // and the .dat index are not read.
        QCOMPARE(m_c->text(3).title, cpb("mysli, № 1"));
        QCOMPARE(m_c->text(3).author, cpb("Автор Первый"));
        QCOMPARE(m_c->text(3).entry, 1u);
        QCOMPARE(m_c->text(4).author, cpb("Автор Второй"));
        QCOMPARE(m_c->text(4).source, cpb("fort/mysli"));
        QCOMPARE(form("дубликат"), kNone);
        QCOMPARE(form("автор"), kNone);   // attributions are not text

        // Texts are consecutive token ranges; every token knows its text.
        uint32_t next = 0;
        for (uint32_t i = 0; i < m_c->textCount(); ++i) {
            const TextInfo &t = m_c->text(i);
            QCOMPARE(t.firstToken, next);
            next += t.tokenCount;
            QCOMPARE(m_c->textOf(t.firstToken), i);
            QCOMPARE(m_c->textOf(t.firstToken + t.tokenCount - 1), i);
            QCOMPARE(m_c->positionInText(t.firstToken + 1), 1u);
        }
        QCOMPARE(next, m_c->tokenCount());
    }

    void tokens_encodingsAreDecoded()
    {
        // The 1251 file reads the same as UTF-8 would.
        QVERIFY(form("происшествие") != kNone);
        QVERIFY(form("ёж") != kNone);
        QVERIFY(form("петербурге") != kNone);
        QCOMPARE(m_c->forms().count(form("столами")), 2u);   // 1251 prose and UTF-8 fortune
    }

    void tokens_verseLineEndsAndFlags()
    {
        const TextInfo &winter = *textTitled("Зимнее утро");
        QByteArray ends;
        for (uint32_t t = winter.firstToken; t < winter.firstToken + winter.tokenCount; ++t)
            if (m_c->isVerseLineEnd(t))
                ends += u8(m_c->display(t)) + ' ';
        QCOMPARE(ends, QByteArray("! — : "));

        // Prose keeps line ends but has no verse lines.
        const TextInfo &nose = *textTitled("Нос");
        const uint32_t dot = nose.firstToken + 9;
        QCOMPARE(u8(m_c->display(dot)), QByteArray("."));
        QVERIFY(m_c->isPunct(dot));
        QVERIFY(m_c->tokenFlags(dot) & kLineEnd);
        QVERIFY(!m_c->isVerseLineEnd(dot));
        QVERIFY(!(m_c->tokenFlags(dot) & kSpaceBefore));
        QVERIFY(m_c->tokenFlags(dot - 1) & kSpaceBefore);
        QCOMPARE(m_c->lemmaOf(dot), kNone);
        QVERIFY(m_c->formOf(dot) >= m_c->forms().size());
        QCOMPARE(u8(m_c->punctText(m_c->formOf(dot))), QByteArray("."));
    }

    void display_keepsCaseAndSpelling()
    {
        QCOMPARE(u8(m_c->display(tokenOf("ещё", 0))), QByteArray("ЕЩЁ"));   // "Заметка" comes first
        QCOMPARE(u8(m_c->display(tokenOf("ещё", 1))), QByteArray("Ещё"));
        QCOMPARE(u8(m_c->display(tokenOf("кто-то"))), QByteArray("Кто-то"));
        QCOMPARE(u8(m_c->display(tokenOf("д'артаньян"))), QByteArray("д'Артаньян"));
        QCOMPARE(u8(m_c->display(tokenOf("ёлка"))), QByteArray("Ёлка"));
        QCOMPARE(u8(m_c->display(tokenOf("мороз"))), QByteArray("Мороз"));

        const TextInfo &winter = *textTitled("Зимнее утро");
        QCOMPARE(m_c->displayRange(winter.firstToken, winter.tokenCount),
                 cpb("Мороз и солнце; день чудесный!\nЕщё ты дремлешь, друг прелестный —\nПора, красавица, проснись:"));
        // Clipped to the text.
        QCOMPARE(m_c->displayRange(winter.firstToken + winter.tokenCount - 2, 100), cpb("проснись:"));
        QCOMPARE(m_c->displayRange(m_c->tokenCount(), 5), QByteArray());
        const TextInfo &note = m_c->text(0);
        QCOMPARE(m_c->displayRange(note.firstToken, note.tokenCount), cpb("Кто-то сказал: «д'Артаньян». ЕЩЁ РАЗ!"));
    }

    void lexicon_lookupFoldsCaseButKeepsYo()
    {
        const uint32_t esche = form("ещё");
        QVERIFY(esche != kNone);
        QCOMPARE(form("ЕЩЁ"), esche);
        QCOMPARE(form("Ещё"), esche);
        QCOMPARE(form("еще"), kNone);
        QCOMPARE(m_c->forms().count(esche), 2u);
        QCOMPARE(u8(m_c->forms().text(esche)), QByteArray("ещё"));
        QCOMPARE(form("несуществующее"), kNone);
        QCOMPARE(m_c->forms().find(""), kNone);
    }

    void lexicon_alphabeticalIdsWithYoAfterYe()
    {
        const Lexicon &f = m_c->forms();
        for (uint32_t i = 0; i + 1 < f.size(); ++i)
            QVERIFY2(charset::compareAlpha(f.text(i), f.text(i + 1)) < 0, u8(f.text(i)).constData());
        QVERIFY(form("ежевика") < form("ель"));
        QVERIFY(form("ель") < form("ёж"));
        QVERIFY(form("ёж") < form("ёлка"));
        QVERIFY(form("ёлка") < form("за"));
        // Digits after every Cyrillic word.
        QCOMPARE(form("25"), f.size() - 1);
        // Prefix search.
        const auto yo = f.prefixRange(cp("ё"));
        QCOMPARE(yo.second - yo.first, 2u);
        QCOMPARE(u8(f.text(yo.first)), QByteArray("ёж"));
        const auto all = f.prefixRange("");
        QCOMPARE(all.first, 0u);
        QCOMPARE(all.second, f.size());
        const auto none = f.prefixRange(cp("щщ"));
        QCOMPARE(none.first, none.second);
    }

    void lexicon_reverseAndFrequencyOrders()
    {
        const Lexicon &f = m_c->forms();
        for (uint32_t r = 0; r + 1 < f.size(); ++r) {
            QVERIFY(charset::compareReverse(f.text(f.byReverse(r)), f.text(f.byReverse(r + 1))) < 0);
            QCOMPARE(f.reverseRank(f.byReverse(r)), r);
            const uint32_t a = f.byFrequency(r), b = f.byFrequency(r + 1);
            QVERIFY(f.count(a) > f.count(b) || (f.count(a) == f.count(b) && a < b));
            QCOMPARE(f.frequencyRank(a), r);
        }
        QVERIFY(f.reverseRank(form("столами")) < f.reverseRank(form("столом")));
        QVERIFY(f.count(f.byFrequency(0)) >= 2);
        // Words ending in "ами".
        const auto ami = f.suffixRankRange(cp("ами"));
        QCOMPARE(ami.second - ami.first, 1u);
        QCOMPARE(f.byReverse(ami.first), form("столами"));
    }

    void postings_listEveryOccurrenceInOrder()
    {
        uint64_t total = 0;
        const Lexicon &f = m_c->forms();
        for (uint32_t id = 0; id < f.size(); ++id) {
            const auto p = f.postings(id);
            QCOMPARE(p.size(), size_t(f.count(id)));
            for (size_t i = 0; i < p.size(); ++i) {
                QCOMPARE(m_c->formOf(p[i]), id);
                if (i)
                    QVERIFY(p[i - 1] < p[i]);
            }
            total += p.size();
        }
        QCOMPARE(total, m_c->wordCount());
        uint64_t words = 0;
        for (uint32_t i = 0; i < m_c->textCount(); ++i)
            words += m_c->text(i).wordCount;
        QCOMPARE(words, m_c->wordCount());

        const Lexicon &l = m_c->lemmas();
        uint64_t lemmaTotal = 0;
        for (uint32_t id = 0; id < l.size(); ++id) {
            for (uint32_t t : l.postings(id))
                QCOMPARE(m_c->lemmaOf(t), id);
            lemmaTotal += l.count(id);
            for (uint32_t fid : m_c->formsOfLemma(id))
                QCOMPARE(m_c->lemmaOfForm(fid), id);
        }
        QCOMPARE(lemmaTotal, m_c->wordCount());
    }

    void lemmas_fromHunspellOrTheFormItself()
    {
        if (!haveDictionary())
            QSKIP("hunspell-ru is not installed");
        // Without the morphology: a lemma per form, no types, no parts of speech.
        const Corpus &h = *m_h;
        QVERIFY(!h.annotated());
        QCOMPARE(h.stats().lemmatiser, QStringLiteral("hunspell-ru (без частей речи)"));
        QVERIFY(h.stats().report.contains(QStringLiteral("\nЛемматизация: hunspell-ru (без частей речи).\n")));
        const uint32_t stol = h.findLemma(cp("стол"));
        QVERIFY(stol != kNone);
        QCOMPARE(h.lemmaOfForm(h.findForm(cp("столами"))), stol);
        QCOMPARE(h.lemmaOfForm(h.findForm(cp("столом"))), stol);
        QCOMPARE(h.lemmas().count(stol), 3u);
        QCOMPARE(h.formsOfLemma(stol).size(), size_t(2));
        QVERIFY(h.lemmaKnown(firstToken(h, "столами")));
        QCOMPARE(h.posOfType(h.typeOf(firstToken(h, "столами"))), std::string_view());
        // A proper name is found through its capitalised spelling.
        QCOMPARE(u8(h.lemmas().text(h.lemmaOfForm(h.findForm(cp("петербурге"))))), QByteArray("петербург"));
        // Unknown words and numbers: the form is its own lemma, flagged unknown.
        const uint32_t kr = h.findForm(cp("кракозябрус"));
        QCOMPARE(u8(h.lemmas().text(h.lemmaOfForm(kr))), QByteArray("кракозябрус"));
        QVERIFY(!(h.forms().flags(kr) & kLemmaKnown));
        QVERIFY(h.forms().flags(kr) & kCyrillic);
        QVERIFY(!h.lemmaKnown(firstToken(h, "кракозябрус")));
        QVERIFY(!h.lemmaKnown(firstToken(h, "25")));
        QVERIFY(!(h.forms().flags(h.findForm("25")) & kCyrillic));
    }

    void morphology_lemmasAndPartsOfSpeechOfEveryToken_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("lemma");
        QTest::addColumn<QString>("pos");
        QTest::addColumn<bool>("known");
        const auto row = [](const char *form, const char *lemma, const char *pos, bool known) {
            QTest::newRow(form) << QString::fromUtf8(form) << QString::fromUtf8(lemma) << QString::fromUtf8(pos)
                                << known;
        };
        // What a spelling dictionary's stems miss: suppletion, pronouns, homonyms.
        row("души", "душа", "NOUN", true);
        row("были", "быть", "AUX", true);
        row("мне", "я", "PRON", true);
        row("тебя", "ты", "PRON", true);
        row("лет", "год", "NOUN", true);
        // "ё" written and left out: one lemma.
        row("идёт", "идти", "VERB", true);
        row("идет", "идти", "VERB", true);
        // An unknown surname: one lemma in every case, predicted from its endings and
        // shown as its headword.
        row("шмурдяков", "шмурдяков", "PROPN", true);
        row("шмурдякова", "шмурдяков", "PROPN", true);
        row("шмурдякову", "шмурдяков", "PROPN", true);
        row("шмурдяковым", "шмурдяков", "PROPN", true);
        row("шмурдякове", "шмурдяков", "PROPN", true);
        // Numbers and Latin words stand for themselves.
        row("1999", "1999", "NUM", false);
        row("windows", "windows", "X", false);
    }

    void morphology_lemmasAndPartsOfSpeechOfEveryToken()
    {
#ifndef CORVUS_TEST_MORPH_DIR
        QSKIP("the morphology dictionary is not in the build");
#else
        QFETCH(QString, form);
        QFETCH(QString, lemma);
        QFETCH(QString, pos);
        QFETCH(bool, known);
        const Corpus &c = *m_morph;
        const uint32_t t = firstToken(c, form.toUtf8().constData());
        QVERIFY(t != kNone);
        QCOMPARE(u8(c.lemmas().text(c.lemmaOf(t))), lemma.toUtf8());
        QCOMPARE(QByteArray(c.posOfType(c.typeOf(t)).data(), qsizetype(c.posOfType(c.typeOf(t)).size())),
                 pos.toUtf8());
        QCOMPARE(c.lemmaKnown(t), known);
#endif
    }

    // One form, two readings chosen by their neighbours: the build hands the
    // analyser whole sentences and keeps what it chose for each token.
    void morphology_readingsChosenInContext()
    {
#ifndef CORVUS_TEST_MORPH_DIR
        QSKIP("the morphology dictionary is not in the build");
#else
        const Corpus &c = *m_morph;
        const Span<uint32_t> his = c.forms().postings(c.findForm(cp("его")));
        QCOMPARE(his.size(), size_t(2));
        const auto pos = [&](uint32_t t) { return QByteArray(c.posOfType(c.typeOf(t)).data(), qsizetype(c.posOfType(c.typeOf(t)).size())); };
        QCOMPARE(u8(c.lemmas().text(c.lemmaOf(his[0]))), QByteArray("его"));
        QCOMPARE(pos(his[0]), QByteArray("DET"));
        QCOMPARE(u8(c.lemmas().text(c.lemmaOf(his[1]))), QByteArray("он"));
        QCOMPARE(pos(his[1]), QByteArray("PRON"));
#endif
    }

    // The build chooses for every token what the analyser chooses over the same
    // sentences on its own.
    void morphology_buildAgreesWithTheAnalyser()
    {
#ifndef CORVUS_TEST_MORPH_DIR
        QSKIP("the morphology dictionary is not in the build");
#else
        const Corpus &c = *m_morph;
        QString error;
        auto dict = morph::Dictionary::open(QStringLiteral(CORVUS_TEST_MORPH_DIR), &error);
        QVERIFY2(dict, qPrintable(error));
        const morph::Analyser analyser(dict);
        std::vector<std::vector<morph::Reading>> readings(c.tokenCount());
        std::vector<std::string> texts(c.tokenCount());
        std::vector<morph::Analyser::Token> tokens(c.tokenCount());
        for (uint32_t t = 0; t < c.tokenCount(); ++t) {
            const std::string &text = texts[t] = c.display(t);
            if (c.isPunct(t)) {
                tokens[t].punct = text;
                continue;
            }
            analyser.analyse(charset::fold(text), readings[t]);
            tokens[t].readings = readings[t].data();
            tokens[t].count = uint32_t(readings[t].size());
            tokens[t].capital = charset::isUpper(uint8_t(text[0]));
        }
        std::vector<uint32_t> choice(tokens.size());
        analyser.choose(tokens.data(), tokens.size(), choice.data());
        int words = 0;
        for (uint32_t t = 0; t < c.tokenCount(); ++t) {
            if (c.isPunct(t))
                continue;
            ++words;
            const morph::Reading &r = readings[t][choice[t]];
            QCOMPARE(u8(c.lemmas().text(c.lemmaOf(t))), u8(r.lemma));
            QCOMPARE(c.posOfType(c.typeOf(t)), std::string_view(morph::uposName(r.upos)));
        }
        QCOMPARE(words, 64);
#endif
    }

    void morphology_typesLemmasAndTheReport()
    {
#ifndef CORVUS_TEST_MORPH_DIR
        QSKIP("the morphology dictionary is not in the build");
#else
        const Corpus &c = *m_morph;
        QVERIFY(c.annotated());
        QCOMPARE(c.stats().lemmatiser,
                 QStringLiteral("словарь OpenCorpora 0.92, ревизия 394551 (части речи и грамматические признаки)"));
        QVERIFY2(c.stats().report.contains(QStringLiteral("\nЛемматизация: словарь OpenCorpora 0.92, ревизия 394551 "
                                                          "(части речи и грамматические признаки).\n")),
                 qPrintable(c.stats().report));
        QCOMPARE(c.featsOfType(c.typeOf(firstToken(c, "души"))), std::string_view("Animacy=Inan|Case=Nom|Gender=Fem|Number=Plur"));
        // Both spellings of "идёт" under one lemma, with the forms of the surname.
        const uint32_t go = c.findLemma(cp("идти"));
        QCOMPARE(c.lemmas().count(go), 2u);
        QCOMPARE(c.formsOfLemma(go).size(), size_t(2));
        QCOMPARE(c.formsOfLemma(c.findLemma(cp("шмурдяков"))).size(), size_t(5));
        // "быть": были, было, был.
        const uint32_t be = c.findLemma(cp("быть"));
        QCOMPARE(c.lemmas().count(be), 3u);
        QCOMPARE(c.lemmaOccurrences(be).size(), size_t(3));
        // Punctuation has no type; every word's type is one of its form's.
        for (uint32_t t = 0; t < c.tokenCount(); ++t) {
            if (c.isPunct(t)) {
                QCOMPARE(c.lemmaOf(t), kNone);
                continue;
            }
            QCOMPARE(c.formOfType(c.typeOf(t)), c.formOf(t));
            QVERIFY(!c.posOfType(c.typeOf(t)).empty());
        }
        // The same from the cache file.
        QString error;
        const auto again = load({m_tmp.path() + QStringLiteral("/morph")}, m_tmp.path() + QStringLiteral("/cache-morph"),
                                true, &error);
        QVERIFY2(again && again->stats().fromCache, qPrintable(error));
        for (uint32_t t = 0; t < c.tokenCount(); ++t) {
            QCOMPARE(again->lemmaOf(t), c.lemmaOf(t));
            if (!c.isPunct(t))
                QCOMPARE(again->featsOfType(again->typeOf(t)), c.featsOfType(c.typeOf(t)));
        }
#endif
    }

    void lemmatiser_directCalls()
    {
        if (!haveDictionary())
            QSKIP("hunspell-ru is not installed");
        QString error;
        auto lem = Lemmatiser::open(Corpus::defaultDictionaryPath(), &error);
        QVERIFY2(lem, qPrintable(error));
        QCOMPARE(lem->lemma(cp("столами")), std::optional<std::string>(cp("стол")));
        // Several stems: the form itself wins when it is one of them.
        QCOMPARE(lem->lemma(cp("мой")), std::optional<std::string>(cp("мой")));
        QCOMPARE(lem->lemma(cp("кто-то")), std::optional<std::string>(cp("кто-то")));
        QCOMPARE(lem->lemma(cp("москвы")), std::optional<std::string>(cp("москва")));
        QVERIFY(!lem->lemma(cp("абырвалгус")));
        QVERIFY(!lem->lemma(""));
        QVERIFY(lem->known(cp("Москва")));

        QVERIFY(!Lemmatiser::open(m_tmp.path() + QStringLiteral("/nothing"), &error));
        QVERIFY2(error.startsWith(QStringLiteral("Не удалось открыть словарь hunspell")), qPrintable(error));
    }

    void lemmatiser_dictionaryInKoi8r()
    {
        // A dictionary whose SET line says KOI8-R: words go to it and come back
        // through that code page.
        const QString dir = m_tmp.path() + QStringLiteral("/koi8");
        QStringEncoder koi8("KOI8-R");
        if (!koi8.isValid())
            QSKIP("this Qt has no KOI8-R codec");
        auto write = [&](const char *name, const char *utf8) {
            corpusfixture::writeBytes(dir, QString::fromLatin1(name), koi8.encode(QString::fromUtf8(utf8)));
        };
        write("mini.aff", "SET KOI8-R\nSFX A Y 2\nSFX A 0 ами .\nSFX A 0 ом .\n");
        write("mini.dic", "2\nстол/A\nёлка\n");
        QString error;
        auto lem = Lemmatiser::open(dir + QStringLiteral("/mini"), &error);
        QVERIFY2(lem, qPrintable(error));
        QCOMPARE(lem->lemma(cp("столами")), std::optional<std::string>(cp("стол")));
        QCOMPARE(lem->lemma(cp("столом")), std::optional<std::string>(cp("стол")));
        QCOMPARE(lem->lemma(cp("ёлка")), std::optional<std::string>(cp("ёлка")));
        QVERIFY(!lem->lemma(cp("стулом")));
    }

    void summary_namesCounts()
    {
        const QString s = m_c->summary();
        QVERIFY2(s.contains(QStringLiteral("текстов — 5")), qPrintable(s));
        QVERIFY2(s.contains(QStringLiteral("«lit, fort»")), qPrintable(s));
    }
};

QTEST_GUILESS_MAIN(TstCorpusIndex)
#include "tst_corpus_index.moc"
