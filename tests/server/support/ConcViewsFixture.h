#pragma once
// A small corpus for the concordance views (lines, text pages, usage grid) and the
// server that serves it in process: the value lists and the views registered on a
// CorvusService with the corpus dictionary, requests composed by the client's own
// request code and replies taken apart by the client's reply reader.
//
// The corpus (hunspell rules written by the test, and no morphology, so every
// lemma is known):
// - prose/Аверин/Т1..Т9: one line each, "X Y Z" around a centre word, for the
//   hand-checked sort orders (Т1 "а еж б", Т2 "а ёж в", Т3 "б еж а", Т4 "б Еж б",
//   Т5 "а ёж а", Т6 "а еж б", Т7 "а ел б"; Т8 "в а еж б"; Т9 "б а ел");
// - poems/Борин/Песня: twelve verse lines with the lemma "дом" in every line
//   (nine times the form "дом");
// - prose/Ветров/Повесть: forty numbered paragraphs with "кот" in each, one of them
//   long enough to wrap, the last ten separated by empty lines.
#include "ServiceCall.h"
#include "concordance/Lines.h"
#include "concordance/Query.h"
#include "concordance/ValueList.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"
#include "wire/ReplyReader.h"
#include "dictionary/CorpusDictionary.h"
#include "service/CorvusService.h"
#include "wire/ReplyWriter.h"
#include "wire/RequestReader.h"
#include "support/CorpusFixture.h"

#include <QTemporaryDir>
#include <QTest>

namespace concfixture {

inline QByteArray ru(const char *s)
{
    return cp1251::ru(s);
}

// A reply as the client has it after its reply reader.
struct Read {
    QByteArray tag;
    QByteArray body;
    tCConcPos conc;
    tCDictPos dict{-1};
    OptionList options;
    replyreader::ReplyRead raw;
};

class ViewsServer {
public:
    QTemporaryDir tmp;
    std::shared_ptr<const corvus::Corpus> corpus;
    std::shared_ptr<const corvus::conc::ConcEngine> engine;
    std::shared_ptr<const corvus::conc::LineEngine> lines;
    std::shared_ptr<CorvusService> service;

    // Builds the corpus and the service; false (with a failed QVERIFY) on error.
    bool start()
    {
        const QString root = tmp.path() + QStringLiteral("/corpus");
        const char *sortTexts[] = {"а еж б", "а ёж в", "б еж а", "б Еж б", "а ёж а",
                                   "а еж б", "а ел б", "в а еж б", "б а ел"};
        for (int i = 0; i < 9; ++i)
            corpusfixture::writeBytes(root, QStringLiteral("prose/Аверин/Т%1.txt").arg(i + 1),
                                      QByteArray(sortTexts[i]) + '\n');
        corpusfixture::writeUtf8(root, QStringLiteral("poems/Борин/Песня.txt"),
                                 "Стоит мой дом,\nи дом высок.\nУ дома сад,\nа в доме свет.\n"
                                 "Дом наш стар,\nно дом хорош.\nВот дом родной,\nи дом большой.\n"
                                 "За домом лес,\nза лесом дом.\nМой дом стоит,\nгде дом отца.\n");
        corpusfixture::writeUtf8(root, QStringLiteral("poems/Борин/info.csv"), "name,year\nПесня,1840\n");
        QByteArray story;
        for (int i = 1; i <= 40; ++i) {
            story += "Абзац " + QByteArray::number(i) + ": " + "кот пришёл домой.";
            if (i == 5)
                story += " Здесь длинный абзац, который не помещается в одну строку текста "
                         "и потому переносится на следующую строку, а кот спит.";
            story += i > 30 ? "\n\n" : "\n";
        }
        corpusfixture::writeUtf8(root, QStringLiteral("prose/Ветров/Повесть.txt"), story.constData());
        const QString dict = tmp.path() + QStringLiteral("/dict");
        corpusfixture::writeUtf8(dict, QStringLiteral("mini.aff"),
                                 "SET UTF-8\nSFX A Y 4\nSFX A 0 а .\nSFX A 0 у .\nSFX A 0 ом .\nSFX A 0 е .\n");
        corpusfixture::writeUtf8(dict, QStringLiteral("mini.dic"), "3\nдом/A\nкот/A\nлес/A\n");

        corvus::CorpusOptions o;
        o.paths = {root};
        o.cacheDir = tmp.path() + QStringLiteral("/cache");
        o.dictionary = dict + QStringLiteral("/mini");
        o.useMorphology = false;   // the lemmas are those of the rules above
        QString error;
        corpus = corvus::Corpus::load(o, &error);
        if (!corpus) {
            QTest::qFail(qPrintable(error), __FILE__, __LINE__);
            return false;
        }
        engine = std::make_shared<const corvus::conc::ConcEngine>(corpus);
        QList<std::shared_ptr<const ServedDictionary>> dictionaries{std::make_shared<const ServedDictionary>(
            std::make_unique<CorpusDictionary>(corpus, nullptr, ru("Словарь корпуса")))};
        lines = std::make_shared<const corvus::conc::LineEngine>(engine, dictionaries);
        service = std::make_shared<CorvusService>(CorpusFacts{"t", corpus->wordCount(), corpus->textCount()},
                                                  dictionaries);
        corvus::conc::registerListHandlers(*service, engine);
        corvus::conc::registerViewHandlers(*service, lines);
        return true;
    }

    // The text with a title.
    uint32_t textNamed(const char *utf8) const
    {
        const QByteArray title = ru(utf8);
        for (uint32_t t = 0; t < corpus->textCount(); ++t)
            if (corpus->text(t).title == title)
                return t;
        return corvus::kNone;
    }
    // The n-th token of a text.
    uint32_t tokenIn(const char *title, uint32_t n) const { return corpus->text(textNamed(title)).firstToken + n; }
    uint32_t formId(const char *utf8) const { return corpus->findForm(corpusfixture::cp(utf8)); }
    uint32_t value(int charNo, const char *utf8) const
    {
        return engine->characteristic(charNo).find(corpusfixture::cp(utf8));
    }

    // A position with the value `valueNo` of `charNo` selected at level 1, on the base.
    static tCConcPos position(int charNo, uint32_t valueNo, int base = corvus::conc::kCharForm)
    {
        tCConcPos c;
        c.Level = 1;
        c.CharNo[0] = base;
        c.CharNo[1] = charNo;
        c.ValueNo[1] = qint32(valueNo);
        c.FirstLine = -1;
        for (auto &m : c.Move)
            m = ' ';
        return c;
    }

    static OptionList options(int pageLines = 5, int width = 2, const char *seq = "CLR")
    {
        OptionList o = OptionList::initial();
        o.set("LBC_L_Max", QByteArray::number(pageLines));
        o.set("ConcWidth", QByteArray::number(width));
        o.set("SortSeq", seq);
        o.set("TabType", "CONC2");
        return o;
    }

    QByteArray send(const QByteArray &wire) const { return corvustest::handleWire(*service, wire); }
    static QByteArray unframe(const QByteArray &reply) { return corvustest::unframe(reply); }

    // Sends `tag` as the client does (position, dictionary position, options) and
    // applies the reply to copies of the client's state.
    Read request(const QByteArray &tag, tCConcPos conc, OptionList options, tCDictPos dict = tCDictPos(0)) const
    {
        tCConcPos sent = conc;
        const QByteArray wire = requests::wire(tag, requests::concDictParams(sent, dict, options));
        Read out;
        out.conc = conc;
        out.options = options;
        out.raw = replyreader::readReply(unframe(send(wire)), out.conc, out.dict, out.options);
        out.tag = out.raw.tag;
        out.body = out.raw.body;
        return out;
    }
};

} // namespace concfixture
