// Byte-level text of the corpus: encoding detection and conversion to 1251,
// folding, the Russian alphabetical and reverse orders, and the tokeniser.
#include "corpus/Charset.h"
#include "corpus/Tokeniser.h"
#include "dictionary/HeadwordIndex.h"
#include "support/CorpusFixture.h"

#include <QTest>

#include <algorithm>
#include <vector>

using namespace corvus;
using corpusfixture::cp;

namespace {

struct Tok {
    std::string text;
    bool punct;
    bool space;
    int breaks;
};

std::vector<Tok> tokens(const std::string &cp1251)
{
    std::vector<Tok> out;
    Tokeniser tk(cp1251);
    RawToken t;
    while (tk.next(t))
        out.push_back({std::string(t.text), t.punct, t.spaceBefore, tk.lineBreaksAfter()});
    return out;
}

QByteArray joined(const std::vector<Tok> &toks)
{
    QByteArray out;
    for (const Tok &t : toks)
        out += QByteArray::fromStdString(charset::cp1251ToUtf8(t.text)) + (t.punct ? "/p" : "") + "|";
    return out;
}

} // namespace

class TstCorpusText : public QObject {
    Q_OBJECT
private slots:
    void detect_utf8AsciiBomAnd1251()
    {
        QCOMPARE(charset::detect("plain ascii"), charset::Encoding::Utf8);
        QCOMPARE(charset::detect("\xEF\xBB\xBF\xD0\x94\xD0\xB0"), charset::Encoding::Utf8);
        QCOMPARE(charset::detect(cp("Мороз и солнце")), charset::Encoding::Cp1251);
        // Cyrillic in 1251 is never valid UTF-8 as a whole.
        QCOMPARE(charset::detect(cp("Ёлки-палки, ёж")), charset::Encoding::Cp1251);
        QCOMPARE(charset::detect("\xD0"), charset::Encoding::Cp1251);   // truncated sequence
        // One stray byte in a long UTF-8 text does not make it 1251.
        std::string mostly;
        for (int i = 0; i < 20; ++i)
            mostly += "Мороз и солнце; день чудесный! ";
        mostly += "\xFF";
        QCOMPARE(charset::detect(mostly), charset::Encoding::Utf8);
        QCOMPARE(charset::detect(cp("Ёлки") + "\xD0\x94"), charset::Encoding::Cp1251);
    }

    void toCp1251_convertsLineEndsAccentsAndUnknowns()
    {
        // CR LF and lone CR become LF; the stress mark vanishes; ѣ becomes е;
        // an emoji and a malformed byte become '?'; the BOM is dropped.
        const std::string in = "\xEF\xBB\xBF" "за\xCC\x81мок\r\nхлѣбъ\rок \xF0\x9F\x98\x80 \xFF";
        std::string out;
        charset::toCp1251(in, charset::Encoding::Utf8, out);
        QCOMPARE(QByteArray::fromStdString(out), QByteArray::fromStdString(cp("замок\nхлебъ\nок ? ?")));
        // Long ASCII runs (copied eight bytes at a time) with a CR inside and a
        // letter right after them.
        out.clear();
        charset::toCp1251("1\tabcdefgh\t_\t_\t_\r\n2\tdefghijk\tжук\r", charset::Encoding::Utf8, out);
        QCOMPARE(QByteArray::fromStdString(out), QByteArray::fromStdString(cp("1\tabcdefgh\t_\t_\t_\n2\tdefghijk\tжук\n")));
        // Known 1251 bytes pass unchanged except CR and the soft hyphen.
        const std::string raw = cp("пере") + "\xAD" + cp("нос\r\n«ёж» — №5");
        QCOMPARE(QByteArray::fromStdString(charset::toCp1251(raw)), QByteArray::fromStdString(cp("перенос\n«ёж» — №5")));
    }

    void roundTrip_utf8And1251()
    {
        const char *s = "Съешь же ещё этих мягких французских булок — «№ 1»…";
        QCOMPARE(QByteArray::fromStdString(charset::cp1251ToUtf8(cp(s))), QByteArray(s));
        QCOMPARE(charset::toQString(cp(s)), QString::fromUtf8(s));
        QCOMPARE(charset::toCp1251(QString::fromUtf8(s)), corpusfixture::cpb(s));
    }

    void fold_lowersKeepsYoAndNormalisesApostrophe()
    {
        QCOMPARE(charset::fold(cp("ЁЛКА Ежик O’Brien")), cp("ёлка ежик o'brien"));
        QCOMPARE(charset::fold(charset::fold(cp("ПРИВЕТ"))), cp("привет"));
    }

    void compareAlpha_russianOrderYoAfterYe()
    {
        std::vector<std::string> words = {cp("42"), cp("zebra"), cp("ёж"), cp("жук"), cp("ель"), cp("apple"),
                                          cp("е"), cp("ежевика"), cp("яма"), cp("ёлка"), cp("ктото"),
                                          cp("кто-то"), cp("кто"), cp("і")};
        std::sort(words.begin(), words.end(),
                  [](const std::string &a, const std::string &b) { return charset::compareAlpha(a, b) < 0; });
        const std::vector<std::string> expected = {cp("е"), cp("ежевика"), cp("ель"), cp("ёж"), cp("ёлка"),
                                                   cp("жук"), cp("кто"), cp("кто-то"), cp("ктото"), cp("яма"),
                                                   cp("і"), cp("apple"), cp("zebra"), cp("42")};
        QCOMPARE(words, expected);
        QCOMPARE(charset::compareAlpha(cp("дом"), cp("дом")), 0);
    }

    void collation_blankFirstAndHeadwordsAgree()
    {
        // One order for the value lists and the dictionary's headwords: a blank
        // before any letter, then the joiners, Russian, other Cyrillic, Latin, digits.
        const char *expected[] = {"С того берега", "С-в", "Сё", "Стихотворения в прозе", "Сэ", "СЯ",
                                  "Ѓ", "Word", "1812"};
        std::vector<std::string> byBytes;
        QStringList headwords;
        for (int i = int(std::size(expected)) - 1; i >= 0; --i) {
            byBytes.push_back(charset::fold(cp(expected[i])));
            headwords.append(QString::fromUtf8(expected[i]));
        }
        std::sort(byBytes.begin(), byBytes.end(),
                  [](const std::string &a, const std::string &b) { return charset::compareAlpha(a, b) < 0; });
        std::sort(headwords.begin(), headwords.end(), [](const QString &a, const QString &b) { return russian::less(a, b); });
        for (size_t i = 0; i < std::size(expected); ++i) {
            QCOMPARE(corpusfixture::u8(byBytes[i]), corpusfixture::u8(charset::fold(cp(expected[i]))));
            QCOMPARE(headwords.at(qsizetype(i)), QString::fromUtf8(expected[i]));
        }
    }

    void compareReverse_ordersByEndings()
    {
        std::vector<std::string> words = {cp("стол"), cp("пол"), cp("стул"), cp("мол"), cp("ол")};
        std::sort(words.begin(), words.end(),
                  [](const std::string &a, const std::string &b) { return charset::compareReverse(a, b) < 0; });
        const std::vector<std::string> expected = {cp("ол"), cp("мол"), cp("пол"), cp("стол"), cp("стул")};
        QCOMPARE(words, expected);
    }

    void tokenise_hyphenApostropheAndYoStayInWords()
    {
        const auto t = tokens(cp("Кто-то пришёл, д'Артаньян — O’Brien! 1812-й из-за"));
        QCOMPARE(joined(t), QByteArray("Кто-то|пришёл|,/p|д'Артаньян|—/p|O’Brien|!/p|1812-й|из-за|"));
        const bool spaces[] = {false, true, false, true, true, true, false, true, true};
        for (size_t i = 0; i < t.size(); ++i)
            QCOMPARE(t[i].space, spaces[i]);
    }

    void tokenise_punctuationRuns()
    {
        const auto t = tokens(cp("Что?! Да... Нет!!! -- конец -слово слово- «(цитата)»…"));
        QCOMPARE(joined(t), QByteArray("Что|?!/p|Да|.../p|Нет|!!!/p|--/p|конец|-/p|слово|слово|-/p|«/p|(/p|"
                                       "цитата|)/p|»/p|…/p|"));
    }

    void tokenise_lineBreaksMarkThePreviousToken()
    {
        const auto t = tokens(cp("  Мой дядя\nсамых честных правил,\r\n\n  \nКогда   \n"));
        QCOMPARE(joined(t), QByteArray("Мой|дядя|самых|честных|правил|,/p|Когда|"));
        QCOMPARE(t[0].space, false);      // leading blanks are not a separation
        QCOMPARE(t[1].breaks, 1);
        QCOMPARE(t[2].space, true);
        QCOMPARE(t[4].breaks, 0);
        QCOMPARE(t[5].breaks, 3);         // CR was not converted here: only LF counts
        QCOMPARE(t[6].breaks, 1);
    }

    void tokenise_emptyAndBlankInputs()
    {
        QVERIFY(tokens("").empty());
        QVERIFY(tokens(" \n\t \n").empty());
        QCOMPARE(joined(tokens(cp("-"))), QByteArray("-/p|"));
        QCOMPARE(joined(tokens(cp("a'"))), QByteArray("a|'/p|"));
    }

    void tokenise_overlongWordIsCut()
    {
        const std::string w(450, char(0xE0));   // "ааа..."
        const auto t = tokens(w + " " + cp("конец"));
        QCOMPARE(t.size(), size_t(4));
        QCOMPARE(t[0].text.size(), size_t(200));
        QCOMPARE(t[1].text.size(), size_t(200));
        QCOMPARE(t[2].text.size(), size_t(50));
        QCOMPARE(t[1].space, false);
    }

    void tokenise_controlBytesAreBlanks()
    {
        const auto t = tokens(std::string("a\x01" "b\x00" "c", 5));
        QCOMPARE(joined(t), QByteArray("a|b|c|"));
    }
};

QTEST_APPLESS_MAIN(TstCorpusText)
#include "tst_corpus_text.moc"
