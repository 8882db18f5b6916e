// Hostile clients against a Corvus.exe process over loopback TCP: while one normal
// client pages the context lines ("CT_N", 30 lines) of the most frequent word, N
// clients send K exports of all its lines each ("PrintConc", the widest context)
// and never read a byte, and N more send K such exports and close at once. Prints
// the server's resident memory (before, the peak during the attack, after the
// attackers left) and the normal client's page latency alone and under attack.
//
//   corvus_hostile_bench [corpus folder] [--server PATH] [--cache DIR]
//                        [--deaf N] [--abandon N] [--exports K] [--seconds S]
//   corvus_hostile_bench [corpus folder] --export-only N
//
// --export-only N: no attack; N exports of all the word's lines at the default
// width, one after the other on the normal client, each timed from the request
// to its last byte read, with the server's CPU time, then the server's resident
// memory before the first export and its peak while they ran (VmHWM, started
// afresh before them).
//
// Defaults: 6 deaf and 4 abandoning clients, 32 exports each; the normal client
// pages 100 times alone, then for S = 30 seconds under attack, a page every 50 ms
// (a page that waits longer is one sample, and the next page follows it). The corpus
// defaults to ../shared/corpus/ruslit beside the project; without it the benchmark
// says so and exits 0. --server names another Corvus.exe (an older build, to
// compare).
#include "BenchCommon.h"
#include "BenchConn.h"
#include "model/CommaList.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"
#include "wire/ReplyReader.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

using bench::Clock;
using bench::Conn;
using bench::msSince;

struct Reply {
    QByteArray tag;
    QByteArray body;
    tCConcPos conc;
    OptionList options;
};

// One exchange during the preparation; exits on a broken connection.
Reply ask(Conn &c, const QByteArray &request, const tCConcPos &conc, const OptionList &options)
{
    QByteArray why;
    const auto text = c.send(request) ? c.reply(300000, &why) : std::nullopt;
    if (!text) {
        std::fprintf(stderr, "corvus_hostile_bench: %s during preparation\n", why.constData());
        std::exit(1);
    }
    Reply r{QByteArray(), QByteArray(), conc, options};
    tCDictPos dict(-1);
    const replyreader::ReplyRead read = replyreader::readReply(*text, r.conc, dict, r.options);
    r.tag = read.tag;
    r.body = read.body;
    return r;
}

// The page and the export of the most frequent word form, built as the client's
// chain builds them: "CN_C", "CN_Cx", the value list in frequency order, "CT_N".
bool prepare(Conn &c, QByteArray &page, QByteArray &exportAll, QByteArray &exportDefault)
{
    OptionList o = OptionList::initial();
    o.set("SortSeq", "CLR");
    o.set("LBC_W_Max", "20");
    o.set("LBC_L_Max", "30");
    o.set("ConcWidth", "5");
    o.set("TabType", "CONC2");
    const tCDictPos noDict;
    Reply r = ask(c, requests::wire("CN_C", requests::dictParams(noDict, o)), tCConcPos(), o);
    if (r.tag != "CN_C")
        return false;
    r = ask(c, requests::wire("CN_Cx", requests::concDictParams(r.conc, noDict, r.options)), r.conc, r.options);
    if (r.tag != "CN_Cx")
        return false;
    tCConcPos conc = r.conc;
    o = r.options;
    conc.Level = 1;
    conc.CharNo[1] = 0;   // word forms
    conc.CharNo[0] = 0;   // lines of word forms
    conc.ValueNo[1] = -1;
    o.set("SortD", "Q");
    o.set("ListPos", "TOP");
    r = ask(c, requests::wire("CN_W", requests::concDictParams(conc, noDict, o)), conc, o);
    const qsizetype open = r.body.indexOf("\x04$(");
    if (r.tag != "CN_W" || open < 0)
        return false;
    std::printf("most frequent word form: %s\n", cp1251::decode(r.body.left(open).split(' ').value(0)).toUtf8().constData());
    conc = r.conc;
    conc.ValueNo[1] = r.body.mid(open + 3).split(',').value(0).toInt();
    conc.Move[0] = 'B';
    o = r.options;
    o.remove("ListPos");
    page = requests::wire("CT_N", requests::concDictParams(conc, tCDictPos(0), o));
    o.set("PrintConc", "True");
    exportDefault = requests::wire("CT_N", requests::concDictParams(conc, tCDictPos(0), o));
    o.set("ConcWidth", "25");
    exportAll = requests::wire("CT_N", requests::concDictParams(conc, tCDictPos(0), o));
    return ask(c, page, conc, o).tag == "CT_N";
}

struct Latency {
    std::vector<double> ms;
    int errors = 0;
};

// `count` pages one after the other, or with `seconds`, pages every 50 ms for that long.
Latency pages(Conn &c, const QByteArray &page, int count, int seconds = 0)
{
    Latency l;
    QByteArray why;
    const auto start = Clock::now();
    for (int i = 0; seconds > 0 ? msSince(start) < seconds * 1000.0 : i < count; ++i) {
        const auto t0 = Clock::now();
        if (!c.send(page) || !c.reply(600000, &why)) {
            ++l.errors;
            break;
        }
        l.ms.push_back(msSince(t0));
        if (seconds > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::sort(l.ms.begin(), l.ms.end());
    return l;
}

void printLatency(const char *label, const Latency &l)
{
    if (l.ms.empty()) {
        std::printf("  %-26s no page answered (%d errors)\n", label, l.errors);
        return;
    }
    std::printf("  %-26s %6zu %10.2f %10.2f %10.2f %7d\n", label, l.ms.size(), bench::quantile(l.ms, 0.5),
                bench::quantile(l.ms, 0.95), l.ms.back(), l.errors);
}

double hwmMb(qint64 pid)
{
    const long kb = bench::statusKb(QString::number(pid), "VmHWM");
    return kb < 0 ? -1 : double(kb) / 1024.0;
}

// Starts the process's peak resident memory (VmHWM) afresh from its resident memory now.
bool resetHwm(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/clear_refs").arg(pid));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

// CPU time of a process (all threads), in milliseconds.
double cpuMs(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) * 1000.0 / ticks;
}

// N exports at the default width, one at a time: their times (request to last
// byte read), the server's CPU time for each, and its peak memory meanwhile.
int exportOnly(Conn &c, qint64 pid, const QByteArray &request, int count)
{
    // The start's background work (the cache's full check) first ends: the server
    // idles for half a second (at most a minute of waiting).
    for (int i = 0; i < 120; ++i) {
        const double cpu0 = cpuMs(pid);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        if (cpuMs(pid) - cpu0 < 20)
            break;
    }
    const bool reset = resetHwm(pid);
    std::printf("server resident memory before the exports: %.1f MB%s\n", bench::rssMb(pid),
                reset ? "" : " (its peak could not be reset: the peak below may be the start's)");
    QByteArray why;
    for (int i = 0; i < count; ++i) {
        const double cpu0 = cpuMs(pid);
        const auto t0 = Clock::now();
        const auto reply = c.send(request) ? c.reply(600000, &why) : std::nullopt;
        if (!reply) {
            std::fprintf(stderr, "corvus_hostile_bench: export failed: %s\n", why.constData());
            return 1;
        }
        std::printf("export %d: %8.1f ms, server CPU %7.1f ms, %.1f MiB\n", i + 1, msSince(t0), cpuMs(pid) - cpu0,
                    double(reply->size()) / 1048576.0);
    }
    std::printf("server peak resident memory (VmHWM) during the exports: %.1f MB\n", hwmMb(pid));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    int deaf = 6, abandon = 4, exports = 32, seconds = 30, exportOnlyCount = 0;
    const int pageCount = 100;
    QString server = QCoreApplication::applicationDirPath() + QStringLiteral("/Corvus.exe");
    QString cache;
    QString corpus = bench::defaultCorpus();
    for (int i = 0; i < args.size(); ++i) {
        if (!bench::option(args, i, "--deaf", deaf) && !bench::option(args, i, "--abandon", abandon)
            && !bench::option(args, i, "--exports", exports) && !bench::option(args, i, "--seconds", seconds)
            && !bench::option(args, i, "--server", server) && !bench::option(args, i, "--cache", cache)
            && !bench::option(args, i, "--export-only", exportOnlyCount))
            corpus = args[i];
    }
    if (!bench::corpusPresent("corvus_hostile_bench", corpus))
        return 0;
    if (!QFileInfo(server).isExecutable()) {
        std::fprintf(stderr, "corvus_hostile_bench: server %s not found\n", qPrintable(server));
        return 1;
    }
    QProcess corvus;
    const quint16 port = bench::startCorvus(corvus, server, corpus, cache);
    if (port == 0) {
        std::fprintf(stderr, "corvus_hostile_bench: the server did not start\n");
        return 1;
    }
    const qint64 pid = corvus.processId();

    Conn normal;
    QByteArray why, page, exportAll, exportDefault;
    if (!normal.open(port) || !normal.reply(30000, &why) || !normal.send("$NM=" LEXAR_VERSION_TEXT "bench")
        || !normal.reply(30000, &why) || !prepare(normal, page, exportAll, exportDefault)) {
        std::fprintf(stderr, "corvus_hostile_bench: preparation failed\n");
        bench::stopCorvus(corvus);
        return 1;
    }
    if (exportOnlyCount > 0) {
        const int rc = exportOnly(normal, pid, exportDefault, exportOnlyCount);
        bench::stopCorvus(corvus);
        return rc;
    }
    const Latency alone = pages(normal, page, pageCount);
    const double rssBefore = bench::rssMb(pid);

    // The attack: exports nobody reads, and exports of clients already gone.
    std::atomic<bool> sampling{true};
    std::atomic<double> rssPeak{rssBefore};
    std::thread sampler([&] {
        while (sampling) {
            const double now = bench::rssMb(pid);
            if (now > rssPeak)
                rssPeak = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    QByteArray burst;
    for (int i = 0; i < exports; ++i)
        burst += exportAll;
    std::vector<std::unique_ptr<Conn>> deafClients;
    int refused = 0;
    for (int i = 0; i < deaf + abandon; ++i) {
        auto c = std::make_unique<Conn>();
        if (!c->open(port, 4096) || !c->send(burst)) {
            ++refused;
            continue;
        }
        if (i < deaf)
            deafClients.push_back(std::move(c));   // kept open, never read
    }
    const auto attackStart = Clock::now();
    const Latency attacked = pages(normal, page, 0, seconds);
    const double attackSeconds = msSince(attackStart) / 1000.0;
    const double rssDuring = bench::rssMb(pid);
    deafClients.clear();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    sampling = false;
    sampler.join();
    const double rssAfter = bench::rssMb(pid);

    std::printf("\n%d clients sending %d exports and never reading, %d sending %d exports and closing at once "
                "(%d could not send)\n",
                deaf, exports, abandon, exports, refused);
    std::printf("normal client: pages of 30 lines of the most frequent word form, %d alone, then every 50 ms "
                "for %d s under attack\n\n", pageCount, seconds);
    std::printf("  %-26s %6s %10s %10s %10s %7s\n", "", "pages", "median ms", "p95 ms", "max ms", "errors");
    printLatency("alone", alone);
    printLatency("under attack", attacked);
    std::printf("\nserver resident memory: %.0f MB before, peak %.0f MB during the attack (%.1f s), %.0f MB at "
                "its end, %.0f MB 3 s after the attackers left\n",
                rssBefore, rssPeak.load(), attackSeconds, rssDuring, rssAfter);
    bench::stopCorvus(corvus);
    return attacked.errors == 0 && alone.errors == 0 ? 0 : 1;
}
