// Concurrent load on Corvus.exe over loopback TCP: N clients (default 50), each
// registering and then making M requests (default 200) one after the other. The mix:
// dictionary requests ("DC_C", "DC_CC", "DC_W", "DC_S", also for the most used
// headwords) and, when the server offers them, value-list pages ("CN_W"), the
// whole-list export ("CN_W" "FULL", long) and context lines ("CT_N", of other values
// and of the most frequent ones). Prints the errors, the server's resident memory
// before and after the load, the median, 95th percentile and maximum per kind, each
// kind alone, and how the requests that cost at most 1 ms alone fare under load,
// with an export in flight and without.
//
//   corvus_load_bench [corpus folder] [--clients N] [--requests M] [--server PATH]
//                     [--cache DIR] [--without LABEL]...
//
// --without drops a kind from the mix by its label as printed ("CN_W full", ...), to
// see what it costs the others.
//
// The corpus defaults to ../shared/corpus/ruslit beside the project; without it the
// benchmark says so and exits 0. The server is Corvus.exe beside this program; it is
// started with --port 0 --no-local and stopped at the end.
#include "BenchCommon.h"
#include "BenchConn.h"
#include "model/CommaList.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"
#include "wire/ReplyReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <vector>

namespace {

using bench::Clock;
using bench::Conn;
using bench::msSince;

struct Tagged {
    QByteArray tag;
    QByteArray body;
    tCConcPos conc;
    tCDictPos dict{-1};
    OptionList options;
    char mark = ' ';
};

Tagged readTagged(const QByteArray &text, const tCConcPos &conc = tCConcPos(),
                  const OptionList &options = OptionList::initial())
{
    Tagged t;
    t.conc = conc;
    t.options = options;
    const replyreader::ReplyRead r = replyreader::readReply(text, t.conc, t.dict, t.options);
    if (r.found) {
        t.tag = r.tag;
        t.body = r.body;
        t.mark = r.mark;
    }
    return t;
}

QByteArray utf8(const QByteArray &cp1251Text)
{
    return cp1251::decode(cp1251Text.left(160)).toUtf8();
}

// The four numbers of every list element ("text" 0x04 "$(" a,b,c,d 0x04 ")$").
struct Element {
    QByteArray text;
    std::array<qint64, 4> n{};
};
std::vector<Element> elements(const QByteArray &body)
{
    std::vector<Element> out;
    qsizetype from = 0;
    qsizetype textStart = 0;
    while (true) {
        const qsizetype open = body.indexOf("\x04$(", from);
        if (open < 0)
            break;
        const qsizetype close = body.indexOf("\x04)$", open + 3);
        if (close < 0)
            break;
        const QList<QByteArray> nums = body.mid(open + 3, close - open - 3).split(',');
        Element e;
        e.text = body.mid(textStart, open - textStart);
        if (e.text.startsWith(','))
            e.text.remove(0, 1);
        for (int i = 0; i < 4 && i < nums.size(); ++i)
            e.n[size_t(i)] = nums[i].trimmed().toLongLong();
        out.push_back(e);
        from = close + 3;
        textStart = from;
    }
    return out;
}

// ------------------------------------------------------------------ the request mix

enum class Kind { Short, Medium, Long };

struct Template {
    QByteArray label;   // e.g. "DC_W", "CT_N long"
    QByteArray tag;     // the reply expected
    QByteArray bytes;
    Kind kind = Kind::Short;
};

struct Mix {
    std::vector<Template> items;
    std::vector<double> weights;
    void add(std::vector<Template> t, double weight)
    {
        if (t.empty())
            return;
        const double each = weight / double(t.size());
        for (Template &x : t) {
            items.push_back(std::move(x));
            weights.push_back(each);
        }
    }
};

QByteArray dcRequest(const QByteArray &tag, const tCDictPos &pos)
{
    return requests::wire(tag, requests::dictParams(pos, OptionList::initial()));
}

// An exchange during the preparation; aborts the benchmark on a broken connection.
Tagged ask(Conn &c, const QByteArray &request, const tCConcPos &conc = tCConcPos(),
           const OptionList &options = OptionList::initial())
{
    QByteArray why;
    if (!c.send(request)) {
        std::fprintf(stderr, "corvus_load_bench: send failed during preparation\n");
        std::exit(1);
    }
    const auto r = c.reply(120000, &why);
    if (!r) {
        std::fprintf(stderr, "corvus_load_bench: %s during preparation\n", why.constData());
        std::exit(1);
    }
    return readTagged(*r, conc, options);
}

// Dictionary requests: random headwords of each dictionary for the four tags, and the
// entries of the most used headwords of the corpus dictionary (found by walking its
// pairs), the largest entries.
void addDictionary(Conn &c, Mix &mix, std::mt19937 &rng)
{
    std::vector<Template> lists[3];
    std::vector<Template> entries;
    std::vector<Template> heavy;
    for (int d = 0; d < 2; ++d) {
        tCDictPos pos(d);
        const Tagged t = ask(c, dcRequest("DC_C", pos));
        if (t.tag != "DC_C")
            continue;
        const std::vector<Element> letters = elements(t.body);
        if (letters.empty() || letters[0].n[0] <= 0)
            continue;
        const int headwords = int(letters[0].n[0]);
        std::printf("  dictionary %d: %d headwords, %zu letters\n", d, headwords, letters.size() - 1);
        std::uniform_int_distribution<int> pick(0, headwords - 1);
        const QByteArray tags[3] = {"DC_C", "DC_CC", "DC_W"};
        for (int i = 0; i < 100; ++i) {
            tCDictPos p(d);
            p.LetterNo = 0;
            p.PairNo = 0;
            p.WordMode = 'A';
            p.WordNo = pick(rng);
            for (int k = 0; k < 3; ++k)
                lists[k].push_back({tags[k], tags[k], dcRequest(tags[k], p), Kind::Short});
            entries.push_back({"DC_S", "DC_S", dcRequest("DC_S", p), Kind::Medium});
        }
        if (d != 0)
            continue;
        // Every pair's headwords with their uses.
        std::vector<std::pair<qint64, qint64>> uses;   // (uses, headword number from 1)
        for (size_t l = 1; l < letters.size(); ++l) {
            for (qint64 pair = 0; pair < letters[l].n[3]; ++pair) {
                tCDictPos p(d);
                p.LetterNo = qint32(letters[l].n[2]);
                p.PairNo = qint32(pair);
                p.WordMode = 'R';
                p.WordNo = 0;
                const Tagged w = ask(c, dcRequest("DC_W", p));
                for (const Element &e : elements(w.body))
                    uses.emplace_back(e.n[1], e.n[0]);
            }
        }
        const size_t top = std::min<size_t>(30, uses.size());
        std::partial_sort(uses.begin(), uses.begin() + qsizetype(top), uses.end(), std::greater<>());
        for (size_t i = 0; i < top; ++i) {
            tCDictPos p(d);
            p.WordMode = 'A';
            p.WordNo = qint32(uses[i].second - 1);
            heavy.push_back({"DC_S heavy", "DC_S", dcRequest("DC_S", p), Kind::Medium});
        }
        if (top > 0)
            std::printf("  most used headwords: %zu, uses %lld .. %lld\n", top,
                        static_cast<long long>(uses[0].first), static_cast<long long>(uses[top - 1].first));
    }
    mix.add(lists[0], 0.08);
    mix.add(lists[1], 0.10);
    mix.add(lists[2], 0.15);
    mix.add(entries, 0.17);
    mix.add(heavy, 0.05);
}

// The group's default characteristic in a "name - pattern" line: the "X", else the
// first rank "1", else the first member.
int groupDefault(const QByteArray &pattern)
{
    if (const qsizetype x = pattern.indexOf('X'); x >= 0)
        return int(x);
    if (const qsizetype one = pattern.indexOf('1'); one >= 0)
        return int(one);
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] >= '2' && pattern[i] <= '9')
            return int(i);
    }
    return -1;
}

// The group code the client stores as "Char" + G: members by rank, + 200.
QByteArray groupCode(const QByteArray &pattern)
{
    QByteArray code;
    for (char d = '1'; d <= '9'; ++d) {
        for (qsizetype i = 0; i < pattern.size(); ++i) {
            if (pattern[i] == d || (d == '1' && pattern[i] == 'X'))
                code.append(char(quint8(200 + i)));
        }
    }
    return code;
}

// Concordance requests, built the way the client's chain builds them: "CN_C",
// "CN_Cx", a "CN_W" page, then "CT_N" for values of that page. Kept only when the
// server answers them with their own tag.
void addConcordance(Conn &c, Mix &mix, bool offered)
{
    if (!offered) {
        std::printf("  concordance: not offered at registration (no \"CONC,\"); dictionary mix only\n");
        return;
    }
    OptionList options = OptionList::initial();
    options.set("SortSeq", "CLR");
    options.set("SortD", "A");
    options.set("LBC_W_Max", "20");
    options.set("LBC_L_Max", "20");
    options.set("ConcWidth", "5");
    options.set("TabType", "CONC2");
    const tCDictPos noDict;
    tCConcPos conc;

    Tagged t = ask(c, requests::wire("CN_C", requests::dictParams(noDict, options)), conc, options);
    if (t.tag != "CN_C") {
        std::printf("  concordance: CN_C answered %s \"%s\"; dictionary mix only\n", t.tag.constData(),
                    utf8(t.body).constData());
        return;
    }
    options = t.options;
    conc = t.conc;
    const QList<QByteArray> chars = commalist::split(t.body);
    std::vector<qint64> charCounts;
    for (qsizetype i = 1; i < chars.size(); i += 2)
        charCounts.push_back(chars[i].toLongLong());

    t = ask(c, requests::wire("CN_Cx", requests::concDictParams(conc, noDict, options)), conc, options);
    if (t.tag != "CN_Cx") {
        std::printf("  concordance: CN_Cx answered %s \"%s\"\n", t.tag.constData(), utf8(t.body).constData());
        return;
    }
    options = t.options;
    conc = t.conc;
    int defaults[2] = {-1, -1};
    const QList<QByteArray> groups = commalist::split(t.body);
    for (qsizetype g = 0; g < groups.size(); ++g) {
        const qsizetype dash = groups[g].indexOf(" - ");
        if (dash < 0)
            continue;
        const QByteArray pattern = groups[g].mid(dash + 3);
        options.set("Char" + QByteArray::number(g), groupCode(pattern));
        if (g < 2)
            defaults[g] = groupDefault(pattern);
    }
    if (defaults[0] < 0 || defaults[1] < 0) {
        std::printf("  concordance: no default characteristic in groups 0 and 1; dictionary mix only\n");
        return;
    }

    // The list of group 0's default on the base of group 1's default.
    conc.Level = 1;
    conc.CharNo[1] = defaults[0];
    conc.CharNo[0] = defaults[1];
    conc.Move[1] = ' ';
    conc.Request[1].clear();
    conc.ValueNo[0] = defaults[0] < int(charCounts.size()) ? qint32(charCounts[size_t(defaults[0])]) : 0;
    conc.ValueNo[1] = -1;
    conc.FirstLine = -1;
    const tCConcPos listStart = conc;

    std::vector<Template> pages;
    std::vector<Template> linesLong;
    std::vector<Template> linesLight;
    int rejected = 0;
    QByteArray firstRejection;
    // Sends a prepared request once; kept when the server answers with its tag.
    auto keep = [&](std::vector<Template> &into, Template tpl, const tCConcPos &q,
                    const OptionList &o) -> std::optional<Tagged> {
        const Tagged r = ask(c, tpl.bytes, q, o);
        if (r.tag == tpl.tag) {
            into.push_back(std::move(tpl));
            return r;
        }
        if (rejected++ == 0)
            firstRejection = tpl.label + ": " + r.tag + " \"" + utf8(r.body) + "\"";
        return std::nullopt;
    };

    struct PageAsk {
        const char *sortD;
        const char *listPos;
        const char *prefix;
        Kind kind = Kind::Short;
    };
    // Pages at the top, at a prefix ("П", "ст*"), at the end, in the three orders, and
    // the whole list for an export ("FULL", a long one).
    const PageAsk asks[] = {
        {"A", "TOP", ""},  {"A", "", "\xcf"},  {"A", "", "\xf1\xf2*"}, {"A", "END", ""},
        {"B", "TOP", ""},  {"Q", "TOP", ""},   {"Q", "NEXT", ""},      {"A", "NEXT", ""},
        {"A", "FULL", "", Kind::Long},
    };
    std::vector<Template> fullLists;
    std::optional<Tagged> frequent;
    std::optional<Tagged> alphabetic;
    for (const PageAsk &a : asks) {
        tCConcPos q = listStart;
        q.Request[1] = QByteArray(a.prefix);
        OptionList o = options;
        o.set("SortD", a.sortD);
        o.set("ListPos", a.listPos);
        const QByteArray bytes = requests::wire("CN_W", requests::concDictParams(q, noDict, o));
        const bool full = a.kind == Kind::Long;
        const std::optional<Tagged> r =
            keep(full ? fullLists : pages, {full ? "CN_W full" : "CN_W", "CN_W", bytes, a.kind}, q, o);
        if (!r)
            continue;
        if (QByteArray(a.sortD) == "Q" && QByteArray(a.listPos) == "TOP")
            frequent = r;
        if (QByteArray(a.prefix) == "\xcf")
            alphabetic = r;
    }
    std::printf("  concordance: %zu CN_W page requests, %zu CN_W whole-list exports", pages.size(),
                fullLists.size());
    mix.add(pages, 0.24);
    mix.add(fullLists, 0.01);

    // Context lines: the most frequent values in all six sequences (long), and values
    // of an alphabetical page (light).
    auto linesFor = [&](const Tagged &page, size_t count, const QList<QByteArray> &seqs, Kind kind,
                        std::vector<Template> &into, const char *label) {
        const std::vector<Element> values = elements(page.body);
        for (size_t i = 0; i < std::min(count, values.size()); ++i) {
            for (const QByteArray &seq : seqs) {
                tCConcPos q = page.conc;
                if (q.Level <= 0)
                    q.Level = 1;
                q.ValueNo[size_t(q.Level)] = qint32(values[i].n[0]);
                q.Move[0] = 'C';
                OptionList o = page.options;
                o.set("SortSeq", seq);
                o.set("TabType", "CONC2");
                o.set("LBCWIndex", QByteArray::number(qulonglong(i)));
                o.remove("ListPos");
                keep(into, {label, "CT_N", requests::wire("CT_N", requests::concDictParams(q, tCDictPos(0), o)), kind},
                     q, o);
            }
        }
    };
    const QList<QByteArray> sequences = {"CLR", "CRL", "LCR", "LRC", "RCL", "RLC"};
    if (frequent)
        linesFor(*frequent, 3, sequences, Kind::Medium, linesLong, "CT_N frequent");
    if (alphabetic)
        linesFor(*alphabetic, 10, {QByteArray("CLR")}, Kind::Medium, linesLight, "CT_N");
    std::printf(", %zu CT_N (most frequent values), %zu CT_N (other values)\n", linesLong.size(), linesLight.size());
    if (rejected > 0)
        std::printf("  concordance: %d prepared requests refused and left out, first: %s\n", rejected,
                    firstRejection.constData());
    mix.add(linesLong, 0.05);
    mix.add(linesLight, 0.15);
}

// ------------------------------------------------------------------ measuring

struct Sample {
    int item = 0;
    double ms = 0;
    bool ok = true;
    bool longInFlight = false;   // a long request of another client was being served
};

struct Stats {
    size_t count = 0;
    double median = 0, p95 = 0, p99 = 0, max = 0;
};
Stats stats(std::vector<double> v)
{
    Stats s;
    if (v.empty())
        return s;
    std::sort(v.begin(), v.end());
    s.count = v.size();
    s.median = bench::quantile(v, 0.5);
    s.p95 = bench::quantile(v, 0.95);
    s.p99 = bench::quantile(v, 0.99);
    s.max = v.back();
    return s;
}
void printStats(const char *label, const Stats &s)
{
    std::printf("  %-28s %7zu %10.2f %10.2f %10.2f %10.2f\n", label, s.count, s.median, s.p95, s.p99, s.max);
}
void printHeading()
{
    std::printf("  %-28s %7s %10s %10s %10s %10s\n", "", "count", "median ms", "p95 ms", "p99 ms", "max ms");
}

// What a cheap request costs alone at most.
constexpr double kCheapMs = 1.0;

bool registerClient(Conn &c, quint16 port, QByteArray *why)
{
    if (!c.open(port)) {
        *why = "connect failed";
        return false;
    }
    const auto greeting = c.reply(30000, why);
    if (!greeting || !greeting->startsWith("$RG="))
        return false;
    if (!c.send("$NM=" LEXAR_VERSION_TEXT "bench"))
        return false;
    const auto reg = c.reply(30000, why);
    return reg && readTagged(*reg).tag == "NM";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int clients = 50;
    int perClient = 200;
    QString server = QCoreApplication::applicationDirPath() + QStringLiteral("/Corvus.exe");
    QString cache;
    QList<QByteArray> without;
    QString corpus = bench::defaultCorpus();
    for (int i = 0; i < args.size(); ++i) {
        QString label;
        if (bench::option(args, i, "--without", label))
            without.append(label.toUtf8());
        else if (!bench::option(args, i, "--clients", clients) && !bench::option(args, i, "--requests", perClient)
                 && !bench::option(args, i, "--server", server) && !bench::option(args, i, "--cache", cache))
            corpus = args[i];
    }
    if (!bench::corpusPresent("corvus_load_bench", corpus))
        return 0;
    if (!QFileInfo(server).isExecutable()) {
        std::fprintf(stderr, "corvus_load_bench: server %s not found (build the Corvus target)\n", qPrintable(server));
        return 1;
    }

    // The server.
    QProcess corvus;
    const quint16 port = bench::startCorvus(corvus, server, corpus, cache);
    if (port == 0) {
        std::fprintf(stderr, "corvus_load_bench: the server did not start\n");
        return 1;
    }

    // The request mix, prepared and checked on one connection.
    Mix mix;
    std::mt19937 rng(20240607);
    {
        Conn prep;
        QByteArray why;
        if (!prep.open(port) || !prep.reply(30000, &why)) {
            std::fprintf(stderr, "corvus_load_bench: preparation connection failed\n");
            return 1;
        }
        const Tagged reg = ask(prep, "$NM=" LEXAR_VERSION_TEXT "bench");
        std::printf("preparing the request mix:\n");
        addDictionary(prep, mix, rng);
        addConcordance(prep, mix, reg.body.contains("CONC,"));
    }
    for (size_t i = mix.items.size(); i-- > 0;) {
        if (without.contains(mix.items[i].label)) {
            mix.items.erase(mix.items.begin() + qsizetype(i));
            mix.weights.erase(mix.weights.begin() + qsizetype(i));
        }
    }
    if (mix.items.empty()) {
        std::fprintf(stderr, "corvus_load_bench: no request could be prepared\n");
        return 1;
    }

    // One client alone: the unloaded latency of each prepared request, asked twice
    // (the second time counts: what a first request makes and keeps, such as an
    // order of lines or a whole list, is the load's too).
    std::map<QByteArray, std::vector<double>> alone;
    std::vector<double> cost(mix.items.size(), 0.0);
    {
        Conn c;
        QByteArray why;
        if (!registerClient(c, port, &why)) {
            std::fprintf(stderr, "corvus_load_bench: %s\n", why.constData());
            return 1;
        }
        for (size_t i = 0; i < mix.items.size(); ++i) {
            const Template &t = mix.items[i];
            for (int round = 0; round < 2; ++round) {
                const auto t0 = Clock::now();
                if (!c.send(t.bytes) || !c.reply(120000, &why)) {
                    std::fprintf(stderr, "corvus_load_bench: %s alone\n", why.constData());
                    return 1;
                }
                cost[i] = msSince(t0);
            }
            alone[t.label].push_back(cost[i]);
        }
    }
    const double rssBefore = bench::rssMb(corvus.processId());

    // The load.
    std::atomic<int> longInFlight{0};
    std::vector<std::vector<Sample>> samples(static_cast<size_t>(clients));
    std::vector<QByteArray> failures(static_cast<size_t>(clients));
    std::mutex gate;
    std::condition_variable opened;
    int registered = 0;
    bool go = false;
    std::vector<std::thread> threads;
    Clock::time_point loadStart;
    for (int k = 0; k < clients; ++k) {
        threads.emplace_back([&, k] {
            Conn c;
            QByteArray why;
            const bool ok = registerClient(c, port, &why);
            {
                std::unique_lock<std::mutex> lock(gate);
                ++registered;
                opened.notify_all();
                opened.wait(lock, [&] { return go; });
            }
            if (!ok) {
                failures[size_t(k)] = "registration: " + why;
                return;
            }
            std::mt19937 r(uint32_t(k) * 7919u + 17u);
            std::discrete_distribution<int> pick(mix.weights.begin(), mix.weights.end());
            for (int i = 0; i < perClient; ++i) {
                Sample s;
                s.item = pick(r);
                const Template &t = mix.items[size_t(s.item)];
                const bool isLong = t.kind == Kind::Long;
                s.longInFlight = longInFlight.load() > 0;
                if (isLong)
                    ++longInFlight;
                const auto t0 = Clock::now();
                std::optional<QByteArray> reply;
                if (c.send(t.bytes))
                    reply = c.reply(120000, &why);
                else
                    why = "send failed";
                s.ms = msSince(t0);
                if (isLong)
                    --longInFlight;
                if (!reply) {
                    s.ok = false;
                    samples[size_t(k)].push_back(s);
                    failures[size_t(k)] = why;
                    return;   // the connection is no longer usable
                }
                const Tagged tagged = readTagged(*reply);
                if (tagged.tag != t.tag) {
                    s.ok = false;
                    if (failures[size_t(k)].isEmpty())
                        failures[size_t(k)] = t.label + " answered " + tagged.tag + " \"" + utf8(tagged.body) + "\"";
                }
                samples[size_t(k)].push_back(s);
            }
        });
    }
    {
        std::unique_lock<std::mutex> lock(gate);
        opened.wait(lock, [&] { return registered == clients; });
        loadStart = Clock::now();
        go = true;
        opened.notify_all();
    }
    for (std::thread &t : threads)
        t.join();
    const double loadSeconds = msSince(loadStart) / 1000.0;

    // Results.
    const double rssAfter = bench::rssMb(corvus.processId());
    std::map<QByteArray, std::vector<double>> byLabel;
    std::vector<double> all, cheapBusy, cheapQuiet, cheapAll, longAll;
    size_t errors = 0, total = 0, cheapTemplates = 0;
    for (const double c : cost)
        cheapTemplates += c <= kCheapMs ? 1 : 0;
    for (const auto &list : samples) {
        for (const Sample &s : list) {
            ++total;
            if (!s.ok) {
                ++errors;
                continue;
            }
            const Template &t = mix.items[size_t(s.item)];
            byLabel[t.label].push_back(s.ms);
            all.push_back(s.ms);
            if (cost[size_t(s.item)] <= kCheapMs) {
                cheapAll.push_back(s.ms);
                (s.longInFlight ? cheapBusy : cheapQuiet).push_back(s.ms);
            }
            if (t.kind == Kind::Long)
                longAll.push_back(s.ms);
        }
    }
    std::printf("\n%d clients x %d requests over loopback: %zu requests in %.2f s (%.0f per second), %zu errors\n",
                clients, perClient, total, loadSeconds, double(total) / loadSeconds, errors);
    int failedClients = 0;
    for (const QByteArray &f : failures) {
        if (!f.isEmpty() && failedClients++ < 5)
            std::printf("  error: %s\n", f.constData());
    }
    std::printf("server resident memory (VmRSS): %.1f MB before the load, %.1f MB after it\n", rssBefore, rssAfter);
    std::printf("\nUnder load:\n");
    printHeading();
    printStats("all requests", stats(all));
    for (auto &[label, v] : byLabel)
        printStats(label.constData(), stats(v));
    std::printf("\nOne client alone (each prepared request, its second time):\n");
    printHeading();
    for (auto &[label, v] : alone)
        printStats(label.constData(), stats(v));

    std::printf("\nRequests that cost at most %.0f ms alone (%zu of the %zu prepared) against the exports "
                "(CN_W \"FULL\"):\n",
                kCheapMs, cheapTemplates, mix.items.size());
    printHeading();
    const Stats cheap = stats(cheapAll);
    printStats("cheap, all", cheap);
    printStats("cheap, no export in flight", stats(cheapQuiet));
    printStats("cheap, an export in flight", stats(cheapBusy));
    printStats("exports", stats(longAll));
    if (cheap.count > 0)
        std::printf("  verdict: cheap requests under load: p95 %.2f ms (%s 10 ms)\n", cheap.p95,
                    cheap.p95 <= 10.0 ? "within" : "OVER");

    bench::stopCorvus(corvus);
    return errors == 0 ? 0 : 1;
}
