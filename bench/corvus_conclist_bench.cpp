// Concordance value lists of the corpus server ("CN_W"), answered in process from
// the request bytes the client sends: pages of the unfiltered lists in the three
// orders, pages under two fixed levels, pages with a co-occurrence row, each
// split into the first page of a list (computed) and later pages (from the cache),
// and the whole word-form list for an export ("FULL"). Prints the median, the 95th
// percentile and the maximum.
//
//   corvus_conclist_bench [corpus folder] [--cache DIR] [--queries N]
//
// The corpus defaults to ../shared/corpus/ruslit beside the project; without it the
// benchmark says so and exits 0.
#include "BenchCorpus.h"
#include "concordance/Query.h"
#include "concordance/ValueList.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"
#include "service/CorvusService.h"
#include "wire/RequestReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

using namespace corvus;
using namespace corvus::conc;
using bench::peakRssKb;
using bench::Timing;

namespace {

tCConcPos position(int level, int listChar)
{
    tCConcPos c;
    c.Level = level;
    c.CharNo[size_t(level)] = listChar;
    c.ValueNo[size_t(level)] = -1;
    for (auto &m : c.Move)
        m = ' ';
    return c;
}

OptionList pageOptions(const char *sort)
{
    OptionList o = OptionList::initial();
    o.set("LBC_W_Max", "30");
    o.set("SortD", sort);
    o.set("TabType", "CONC2");
    o.set("SortSeq", "CLR");
    o.set("ConcWidth", "5");
    return o;
}

// A value of a characteristic among its `top` most frequent.
uint32_t frequentValue(const Characteristic &c, std::mt19937 &rng, uint32_t top)
{
    const uint32_t n = std::min<uint32_t>(top, c.valueCount());
    return c.frequencyOrder()[std::uniform_int_distribution<uint32_t>(0, n - 1)(rng)];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    CorpusOptions co;
    int queries = 200;
    QString corpusPath = bench::defaultCorpus();
    for (int i = 0; i < args.size(); ++i) {
        if (!bench::option(args, i, "--cache", co.cacheDir) && !bench::option(args, i, "--queries", queries))
            corpusPath = args[i];
    }
    if (!bench::corpusPresent("corvus_conclist_bench", corpusPath))
        return 0;
    const std::shared_ptr<const Corpus> corpus = bench::loadCorpus(co, corpusPath);
    if (!corpus)
        return 1;
    const long rssBefore = peakRssKb();
    QElapsedTimer clock;
    clock.start();
    auto engine = std::make_shared<const ConcEngine>(corpus);
    std::printf("concordance engine built in %.2f s; peak RSS %ld -> %ld kB\n", double(clock.elapsed()) / 1000.0,
                rssBefore, peakRssKb());
    for (int i = 0; i < engine->characteristicCount(); ++i)
        std::printf("  %d %s: %u values\n", i,
                    cp1251::decode(engine->characteristic(i).name()).toUtf8().constData(),
                    engine->characteristic(i).valueCount());

    CorvusService service(CorpusFacts{"bench", corpus->wordCount(), corpus->textCount()}, {});
    registerListHandlers(service, engine);
    auto answer = [&](tCConcPos conc, const OptionList &options, QByteArray *replyOut = nullptr) {
        const QByteArray wire = requests::wire("CN_W", requests::concParams(conc, options));
        const bench::Stopwatch watch;
        const wirerequest::Result r = wirerequest::parse(wire, true);
        const ServiceOutcome out = service.handle(r.request, SessionInfo{});
        const Timing ms = watch.elapsed();
        if (!out.reply.contains("$CN_W=")) {
            std::fprintf(stderr, "unexpected reply: %s\n", out.reply.left(200).constData());
            std::exit(1);
        }
        if (replyOut)
            *replyOut = out.reply;
        return ms;
    };

    std::mt19937 rng(20240611);
    const char *orders[] = {"A", "B", "Q"};
    std::map<std::string, std::vector<Timing>> first, later;

    // (1) Unfiltered lists: the first request of each (char, order) computes it;
    // then pages at selected values, typed prefixes and thumb positions.
    for (int ch = 0; ch < engine->characteristicCount(); ++ch) {
        for (const char *o : orders) {
            const std::string name = std::string("plain ") + o;
            first[name].push_back(answer(position(1, ch), pageOptions(o)));
            for (int i = 0; i < queries / 10; ++i) {
                tCConcPos c = position(1, ch);
                OptionList opts = pageOptions(o);
                const uint32_t n = engine->characteristic(ch).valueCount();
                switch (i % 3) {
                case 0: c.ValueNo[1] = qint32(std::uniform_int_distribution<uint32_t>(0, n - 1)(rng)); break;
                case 1: opts.set("ConcSBarW", QByteArray::number(int(rng() % 101))); break;
                default:
                    c.ValueNo[1] = qint32(std::uniform_int_distribution<uint32_t>(0, n - 1)(rng));
                    c.Move[1] = '+';
                    break;
                }
                later[name].push_back(answer(c, opts));
            }
        }
    }
    // Typed prefixes in the word-form list (the first bytes of frequent forms).
    for (int i = 0; i < queries; ++i) {
        tCConcPos c = position(1, kCharForm);
        const std::string_view f = corpus->forms().text(frequentValue(engine->characteristic(kCharForm), rng, 20000));
        c.Request[1] = QByteArray(f.data(), qsizetype(std::min<size_t>(f.size(), 1 + rng() % 4)));
        later["plain A, typed prefix"].push_back(answer(c, pageOptions("A")));
    }

    // (2) Two fixed levels: author and kind, lemma and author, kind and year; the
    // list of word forms, lemmas or authors; then two later pages.
    const int pairs[][3] = {{kCharAuthor, kCharKind, kCharForm},  {kCharLemma, kCharAuthor, kCharForm},
                            {kCharKind, kCharDecade, kCharLemma}, {kCharLemma, kCharKind, kCharAuthor},
                            {kCharAuthor, kCharEnding, kCharForm}};
    const char *pairNames[] = {"author+kind: forms", "lemma+author: forms", "kind+decade: lemmas",
                               "lemma+kind: authors", "author+ending: forms"};
    std::map<std::string, std::vector<Timing>> byPair;
    for (int i = 0; i < queries; ++i) {
        const size_t pairNo = size_t(i) % (sizeof pairs / sizeof pairs[0]);
        const auto &p = pairs[pairNo];
        tCConcPos c = position(3, p[2]);
        for (int k = 0; k < 2; ++k) {
            c.Mark[size_t(k + 1)] = 'Y';
            c.CharNo[size_t(k + 1)] = p[k];
            c.ValueNo[size_t(k + 1)] = qint32(frequentValue(engine->characteristic(p[k]), rng, 300));
        }
        const char *o = orders[i % 3];
        QByteArray reply;
        const Timing ms = answer(c, pageOptions(o), &reply);
        first[std::string("two fixed levels ") + o].push_back(ms);
        byPair[pairNames[pairNo]].push_back(ms);
        OptionList next = pageOptions(o);
        next.set("ConcSBarW", "50");
        later[std::string("two fixed levels ") + o].push_back(answer(c, next));
        c.Move[3] = '+';
        later[std::string("two fixed levels ") + o].push_back(answer(c, pageOptions(o)));
    }

    // (3) Co-occurrence: a fixed lemma among the 2000 most frequent, the word forms
    // within 1 to 5 words to the right or left.
    for (int i = 0; i < queries; ++i) {
        tCConcPos c = position(2, kCharForm);
        c.Mark[1] = 'Y';
        c.CharNo[1] = kCharLemma;
        c.ValueNo[1] = qint32(frequentValue(engine->characteristic(kCharLemma), rng, 2000));
        c.Distance[2] = int(1 + rng() % 5) * (rng() % 2 ? 1 : -1);
        first["co-occurrence A"].push_back(answer(c, pageOptions("A")));
        c.Move[2] = '+';
        later["co-occurrence A"].push_back(answer(c, pageOptions("A")));
    }
    // The heaviest co-occurrence: the most frequent lemma within 5 words.
    for (int d : {5, -5}) {
        tCConcPos c = position(2, kCharForm);
        c.Mark[1] = 'Y';
        c.CharNo[1] = kCharLemma;
        c.ValueNo[1] = qint32(engine->characteristic(kCharLemma).frequencyOrder()[0]);
        c.Distance[2] = d;
        first["co-occurrence, top lemma, |d|=5"].push_back(answer(c, pageOptions("Q")));
    }

    bench::reportTimings("First page of a list (computed):", first, 30);
    bench::reportTimings("Later pages (list cached):", later, 30);
    bench::reportTimings("First pages under two fixed levels, by filter:", byPair, 30);

    // (4) The whole word-form list for an export.
    std::map<std::string, std::vector<Timing>> full;
    qsizetype fullBytes = 0;
    for (const char *o : orders) {
        OptionList opts = pageOptions(o);
        opts.set("ListPos", "FULL");
        QByteArray reply;
        for (int i = 0; i < 3; ++i)
            full[std::string("FULL word forms ") + o].push_back(answer(position(1, kCharForm), opts, &reply));
        fullBytes = reply.size();
    }
    bench::reportTimings("Export of the whole word-form list:", full, 30);
    std::printf("  reply size %.1f MB; peak RSS %ld kB\n", double(fullBytes) / 1e6, peakRssKb());
    return 0;
}
