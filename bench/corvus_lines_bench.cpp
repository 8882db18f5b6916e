// Concordance lines, text pages and the usage grid of the corpus server, answered
// in process from the request bytes the client sends, for the most frequent word
// form of the corpus:
//
// - the first page of lines in each of the six sort sequences with an empty cache
//   (selection, sort keys, partial ordering of the page);
// - a later page just after the first (the full order still being finished in
//   the background) and once the full order is cached;
// - every word of the prose texts: the first page, the four after it, the last and
//   the middle page; the first page with the centre word first;
// - the full sort itself, a text page ("CT_W"), a full-text page ("CT_T"), a grid
//   page ("CT_D") and the export of every line ("PrintConc") of a rarer word.
//
// Prints the median, the 95th percentile and the maximum of the wall-clock time and
// of the answering thread's CPU time.
//
//   corvus_lines_bench [corpus folder] [--cache DIR] [--repeat N]
//
// The corpus defaults to ../shared/corpus/ruslit beside the project; without it the
// benchmark says so and exits 0.
#include "BenchCorpus.h"
#include "concordance/Lines.h"
#include "concordance/Query.h"
#include "model/Cp1251.h"
#include "wire/ReplyRecords.h"
#include "wire/RequestWriter.h"
#include "dictionary/CorpusDictionary.h"
#include "service/CorvusService.h"
#include "wire/RequestReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

using namespace corvus;
using namespace corvus::conc;
using bench::Timing;

namespace {

OptionList options(const char *seq)
{
    OptionList o = OptionList::initial();
    o.set("LBC_L_Max", "30");
    o.set("LBC_T_Max", "30");
    o.set("LBC_X_Max", "40");
    o.set("ConcWidth", "5");
    o.set("SortSeq", seq);
    o.set("TabType", "CONC2");
    return o;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    CorpusOptions co;
    int repeat = 5;
    QString corpusPath = bench::defaultCorpus();
    for (int i = 0; i < args.size(); ++i) {
        if (!bench::option(args, i, "--cache", co.cacheDir) && !bench::option(args, i, "--repeat", repeat))
            corpusPath = args[i];
    }
    if (!bench::corpusPresent("corvus_lines_bench", corpusPath))
        return 0;
    const std::shared_ptr<const Corpus> corpus = bench::loadCorpus(co, corpusPath);
    if (!corpus)
        return 1;
    auto engine = std::make_shared<const ConcEngine>(corpus);
    const QList<std::shared_ptr<const ServedDictionary>> dictionaries{std::make_shared<const ServedDictionary>(
        std::make_unique<CorpusDictionary>(corpus, nullptr, cp1251::ru("Словарь корпуса")))};
    auto lines = std::make_shared<const LineEngine>(engine, dictionaries);
    CorvusService service(CorpusFacts{"bench", corpus->wordCount(), corpus->textCount()}, dictionaries);
    registerViewHandlers(service, lines);

    const uint32_t top = corpus->forms().byFrequency(0);
    const uint32_t rarer = corpus->forms().byFrequency(300);
    std::printf("most frequent form: %s, %u occurrences; export word: %s, %u occurrences\n",
                cp1251::decode(QByteArray::fromStdString(std::string(corpus->forms().text(top)))).toUtf8().constData(),
                corpus->forms().count(top),
                cp1251::decode(QByteArray::fromStdString(std::string(corpus->forms().text(rarer)))).toUtf8().constData(),
                corpus->forms().count(rarer));

    const auto position = [](uint32_t form) {
        tCConcPos c;
        c.Level = 1;
        c.CharNo[0] = kCharForm;
        c.CharNo[1] = kCharForm;
        c.ValueNo[1] = qint32(form);
        c.FirstLine = -1;
        for (auto &m : c.Move)
            m = ' ';
        return c;
    };
    // One request: its wall and CPU time; the reply's position and options for the next.
    struct Answer {
        Timing time;
        tCConcPos conc;
        OptionList options;
    };
    const auto ask = [&](const QByteArray &tag, tCConcPos conc, const OptionList &opts) {
        const QByteArray wire = requests::wire(tag, requests::concDictParams(conc, tCDictPos(0), opts));
        const bench::Stopwatch watch;
        const wirerequest::Result r = wirerequest::parse(wire, true);
        const ServiceOutcome out = service.handle(r.request, SessionInfo{});
        Answer a;
        a.time = watch.elapsed();
        if (!out.reply.contains("$" + tag + "=")) {
            std::fprintf(stderr, "unexpected reply: %s\n", out.reply.left(200).constData());
            std::exit(1);
        }
        a.conc = conc;
        a.options = opts;
        const qsizetype h = out.reply.indexOf("###");
        QByteArray body = out.reply.mid(out.reply.indexOf('=', h) + 1);
        tCDictPos dict;
        parseReplyRecords(body, a.conc, dict, a.options);
        a.options.remove("ConcSBar");
        return a;
    };

    std::map<std::string, std::vector<Timing>> times;
    std::mt19937 rng(20240611);
    for (const char *seq : {"CLR", "CRL", "LCR", "LRC", "RCL", "RLC"}) {
        for (int i = 0; i < repeat; ++i) {
            lines->clearCache();
            tCConcPos c = position(top);
            c.Move[0] = 'B';
            const Answer first = ask("CT_N", c, options(seq));
            times[std::string("first page ") + seq].push_back(first.time);
            // At once: the full order is still being finished.
            tCConcPos next = first.conc;
            next.Move[0] = 'C';
            next.CurLine = qint32(1 + rng() % uint32_t(first.conc.Found[1]));
            times["later page, sort running"].push_back(ask("CT_N", next, first.options).time);
        }
        // The full sort on its own, then later pages from the cached order.
        const auto o = lines->order(position(top), options(seq));
        QElapsedTimer t;
        t.start();
        o.order->complete();
        times["full sort (background)"].push_back(Timing{double(t.nsecsElapsed()) / 1e6, 0});
        for (int i = 0; i < repeat * 4; ++i) {
            tCConcPos c = position(top);
            c.Found[0] = qint32(o.signature);
            c.FirstLine = 1;
            c.CurLine = qint32(1 + rng() % o.order->size());
            c.Move[0] = i % 2 ? 'C' : '+';
            const Answer a = ask("CT_N", c, options(seq));
            times["later page, order cached"].push_back(a.time);
            times["text page CT_W"].push_back(ask("CT_W", a.conc, a.options).time);
            OptionList plain = a.options;
            plain.set("LBC_T_End", "-1");
            times["full-text page CT_T"].push_back(ask("CT_T", a.conc, plain).time);
            times["grid page CT_D"].push_back(ask("CT_D", a.conc, a.options).time);
        }
    }
    // A huge selection: every word of the prose texts.
    const Characteristic &kind = engine->characteristic(kCharKind);
    const uint32_t prose = kind.find(cp1251::ru("проза").toStdString());
    if (prose != kNone) {
        for (int i = 0; i < repeat; ++i) {
            lines->clearCache();
            tCConcPos c = position(0);
            c.CharNo[1] = kCharKind;
            c.ValueNo[1] = qint32(prose);
            c.Move[0] = 'B';
            const Answer first = ask("CT_N", c, options("LCR"));
            times["prose words: first page"].push_back(first.time);
            // The pages right after it, one after the other.
            Answer at = first;
            for (int k = 0; k < 4; ++k) {
                at.conc.Move[0] = '+';
                at = ask("CT_N", at.conc, at.options);
                times["prose words: next pages"].push_back(at.time);
            }
            tCConcPos last = first.conc;
            last.Move[0] = 'E';
            times["prose words: last page"].push_back(ask("CT_N", last, first.options).time);
            // A dragged thumb: the middle page, before the full sort.
            OptionList thumb = first.options;
            thumb.set("ConcSBar", "50");
            times["prose words: middle page"].push_back(ask("CT_N", first.conc, thumb).time);
            // Centre first: the first page is ordered from the prose occurrences of
            // the word form that sorts first, tens of thousands of lines.
            lines->clearCache();
            times["prose words, CLR: first page"].push_back(ask("CT_N", c, options("CLR")).time);
            if (i == 0)
                std::printf("prose words: %d lines\n", first.conc.Found[1]);
        }
    }
    for (int i = 0; i < repeat; ++i) {
        OptionList o = options("CLR");
        o.set("PrintConc", "True");
        times["export " + std::to_string(corpus->forms().count(rarer)) + " lines"].push_back(
            ask("CT_N", position(rarer), o).time);
    }
    bench::reportTimings(nullptr, times, 28);
    return 0;
}
