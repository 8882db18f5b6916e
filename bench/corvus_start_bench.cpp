// Corvus.exe as a user runs it: the warm start of the process to its first answers
// over TCP, the time from connecting to registered, and the resident memory of the
// server process after the start and after a mixed load.
//
// - Warm start (each of --runs runs): the process is started with its cache ready;
//   the benchmark connects at once (retrying until the port is bound) and times,
//   from the process start, the greeting "RG", the registration "NM", the first
//   page of the word-form list ("CN_W") and the first page of context lines
//   ("CT_N") of the most frequent word form. The resident memory (and its peak) is
//   read after the registration and after the first pages.
// - Connect to registered: 30 connections, each timed from connect() to the "NM"
//   reply.
// - Mixed load: 4 clients make 400 requests each from a mix of every kind the
//   client sends (dictionary lists and entries, value lists in the three orders and
//   with a prefix, context lines of frequent and rarer words in the six sequences,
//   their later pages, text pages, usage grids, an export of lines, the whole
//   word-form list); then the server's VmRSS, RssAnon and RssFile, in MB and per
//   token of the corpus.
//
//   corvus_start_bench [corpus folder] [--server PATH] [--cache DIR] [--runs N] [--sections]
//
// --sections also prints how much of each section of the cache file (by its id in
// the file's section table) is resident after the load.
// The corpus defaults to ../shared/corpus/ruslit beside the project; without it the
// benchmark says so and exits 0. A first start builds the cache when it is missing
// (not timed). The token count comes from the index, loaded from the same cache.
#include "BenchCommon.h"
#include "BenchConn.h"
#include "BenchCorpus.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"
#include "wire/ReplyReader.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <random>
#include <thread>

namespace {

using bench::Clock;
using bench::Conn;
using bench::msSince;

struct Memory {
    double rss = -1, anon = -1, file = -1;   // MB
    double peak = -1;                        // VmHWM, MB
    double cache = 0;                        // MB of the file part: the mapped cache file
};

Memory memoryOf(qint64 pid)
{
    Memory m;
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return m;
    const auto mb = [](const QByteArray &line) {
        return double(line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toLong()) / 1024.0;
    };
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            m.rss = mb(line);
        else if (line.startsWith("VmHWM:"))
            m.peak = mb(line);
        else if (line.startsWith("RssAnon:"))
            m.anon = mb(line);
        else if (line.startsWith("RssFile:"))
            m.file = mb(line);
    }
    // The cache file's share: the Rss of its mappings.
    QFile maps(QStringLiteral("/proc/%1/smaps").arg(pid));
    if (maps.open(QIODevice::ReadOnly)) {
        bool inCache = false;
        for (const QByteArray &line : maps.readAll().split('\n')) {
            if (!line.isEmpty() && !line.contains(':'))
                continue;
            if (line.contains('-') && line.indexOf(' ') > 0 && line.at(0) != ' ' && !line.startsWith("Rss")
                && line.indexOf('-') < line.indexOf(' '))
                inCache = line.endsWith(".idx");
            else if (inCache && line.startsWith("Rss:"))
                m.cache += mb(line);
        }
    }
    return m;
}

// Resident MB of each section of the mapped cache file (largest first, the first
// `top`): its mapping's pages present in memory (/proc/PID/pagemap) against the
// sections' places in the file's section table.
void printResidentSections(qint64 pid, int top)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return;
    quint64 from = 0, to = 0, fileOffset = 0;
    QString path;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        if (!line.endsWith(".idx"))
            continue;
        const QList<QByteArray> f = line.simplified().split(' ');
        const QList<QByteArray> range = f.value(0).split('-');
        from = range.value(0).toULongLong(nullptr, 16);
        to = range.value(1).toULongLong(nullptr, 16);
        fileOffset = f.value(2).toULongLong(nullptr, 16);
        path = QString::fromLocal8Bit(f.value(5));
        break;
    }
    QFile cache(path);
    const int pagemap = ::open(QStringLiteral("/proc/%1/pagemap").arg(pid).toLocal8Bit().constData(), O_RDONLY);
    if (!from || fileOffset != 0 || !cache.open(QIODevice::ReadOnly) || pagemap < 0) {
        std::printf("  (the cache file's pages cannot be read)\n");
        return;
    }
    const QByteArray header = cache.read(64);
    quint32 sections = 0;
    std::memcpy(&sections, header.constData() + 12, 4);
    const QByteArray table = cache.read(qint64(sections) * 24);
    const quint64 pages = (to - from) / 4096;
    QByteArray bits(qsizetype(pages * 8), '\0');
    const ssize_t got = ::pread(pagemap, bits.data(), size_t(bits.size()), off_t(from / 4096 * 8));
    ::close(pagemap);
    if (got != ssize_t(bits.size()))
        return;
    std::vector<std::pair<double, quint32>> resident;
    for (quint32 i = 0; i < sections && qsizetype(i * 24 + 24) <= table.size(); ++i) {
        quint32 id, elemSize;
        quint64 offset, count;
        std::memcpy(&id, table.constData() + 24 * i, 4);
        std::memcpy(&elemSize, table.constData() + 24 * i + 4, 4);
        std::memcpy(&offset, table.constData() + 24 * i + 8, 8);
        std::memcpy(&count, table.constData() + 24 * i + 16, 8);
        quint64 present = 0;
        for (quint64 p = offset / 4096; p * 4096 < offset + count * elemSize && p < pages; ++p) {
            quint64 entry;
            std::memcpy(&entry, bits.constData() + p * 8, 8);
            present += (entry >> 63) & 1;
        }
        resident.emplace_back(double(present) * 4096.0 / 1048576.0, id);
    }
    std::sort(resident.rbegin(), resident.rend());
    std::printf("  resident sections of the cache file (id: MB):");
    for (int i = 0; i < top && i < int(resident.size()); ++i)
        std::printf(" %u: %.1f%s", resident[size_t(i)].second, resident[size_t(i)].first,
                    i + 1 < top ? "," : "\n");
}

// A free loopback port (bound and released at once).
quint16 freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&a), sizeof a) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

struct Reply {
    QByteArray tag;
    QByteArray body;
    tCConcPos conc;
    OptionList options;
};

Reply read(const QByteArray &text, const tCConcPos &conc, const OptionList &options)
{
    Reply r{QByteArray(), QByteArray(), conc, options};
    tCDictPos dict(-1);
    const replyreader::ReplyRead got = replyreader::readReply(text, r.conc, dict, r.options);
    r.tag = got.tag;
    r.body = got.body;
    return r;
}

std::optional<Reply> ask(Conn &c, const QByteArray &request, const tCConcPos &conc = tCConcPos(),
                         const OptionList &options = OptionList::initial())
{
    QByteArray why;
    if (!c.send(request))
        return std::nullopt;
    const auto text = c.reply(300000, &why);
    if (!text)
        return std::nullopt;
    return read(*text, conc, options);
}

// The value numbers of a reference list's elements (the first of their four numbers).
std::vector<qint32> valueIds(const QByteArray &body)
{
    std::vector<qint32> out;
    for (qsizetype at = body.indexOf("\x04$("); at >= 0; at = body.indexOf("\x04$(", at + 3))
        out.push_back(qint32(body.mid(at + 3, body.indexOf(',', at) - at - 3).toLongLong()));
    return out;
}

OptionList concOptions(const char *seq = "CLR")
{
    OptionList o = OptionList::initial();
    o.set("SortSeq", seq);
    o.set("SortD", "A");
    o.set("LBC_W_Max", "20");
    o.set("LBC_L_Max", "30");
    o.set("LBC_T_Max", "30");
    o.set("LBC_X_Max", "40");
    o.set("ConcWidth", "5");
    o.set("TabType", "CONC2");
    return o;
}

tCConcPos position(int charNo, qint32 value)
{
    tCConcPos c;
    c.Level = 1;
    c.CharNo[0] = 0;
    c.CharNo[1] = charNo;
    c.ValueNo[1] = value;
    c.FirstLine = -1;
    for (auto &m : c.Move)
        m = ' ';
    return c;
}

QByteArray concRequest(const QByteArray &tag, tCConcPos conc, const OptionList &o)
{
    return requests::wire(tag, requests::concDictParams(conc, tCDictPos(0), o));
}

QByteArray listRequest(int charNo, const char *order, const char *listPos, const QByteArray &prefix = {})
{
    tCConcPos c = position(charNo, -1);
    c.Request[1] = prefix;
    OptionList o = concOptions();
    o.set("SortD", order);
    o.set("ListPos", listPos);
    return concRequest("CN_W", c, o);
}

QByteArray linesRequest(qint32 form, const char *seq, char move = 'B')
{
    tCConcPos c = position(0, form);
    c.Move[0] = move;
    return concRequest("CT_N", c, concOptions(seq));
}

struct StartRun {
    double greeting = 0, registered = 0, list = 0, lines = 0;
    Memory registeredMemory, memory;
};

bool connectSoon(Conn &c, quint16 port, int timeoutMs)
{
    const auto t0 = Clock::now();
    while (msSince(t0) < timeoutMs) {
        if (c.open(port))
            return true;
        c.close();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

QStringList serverArgs(const QString &corpus, const QString &cache, quint16 port)
{
    return {QStringLiteral("--corpus"), corpus, QStringLiteral("--port"), QString::number(port),
            QStringLiteral("--no-local"), QStringLiteral("--cache"), cache};
}

void printTimes(const char *label, std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    std::printf("  %-34s %9.1f %9.1f %9.1f\n", label, bench::quantile(v, 0.5), v.front(), v.back());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString server = QCoreApplication::applicationDirPath() + QStringLiteral("/Corvus.exe");
    QString cache;
    QString corpus = bench::defaultCorpus();
    int runs = 5;
    bool sections = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--sections"))
            sections = true;
        else if (!bench::option(args, i, "--server", server) && !bench::option(args, i, "--cache", cache)
                 && !bench::option(args, i, "--runs", runs))
            corpus = args[i];
    }
    if (!bench::corpusPresent("corvus_start_bench", corpus))
        return 0;
    if (!QFileInfo(server).isExecutable()) {
        std::fprintf(stderr, "corvus_start_bench: server %s not found (build the Corvus target)\n", qPrintable(server));
        return 1;
    }
    QTemporaryDir ownCache;
    if (cache.isEmpty())
        cache = ownCache.path();
    corpus = QFileInfo(corpus).absoluteFilePath();

    // The cache, made by a first start when missing.
    {
        QProcess corvus;
        QElapsedTimer clock;
        clock.start();
        if (bench::startCorvus(corvus, server, corpus, cache) == 0) {
            std::fprintf(stderr, "corvus_start_bench: the server did not start\n");
            return 1;
        }
        bench::stopCorvus(corvus);
        std::printf("first start (cache made or checked): %.2f s\n", double(clock.elapsed()) / 1000.0);
    }
    uint64_t tokens = 0;
    {
        corvus::CorpusOptions co;
        co.cacheDir = cache;
        const auto index = bench::loadCorpus(co, corpus);
        if (!index)
            return 1;
        tokens = index->tokenCount();
    }

    // Warm starts.
    std::vector<StartRun> starts;
    qint32 topForm = -1;
    QProcess corvus;
    quint16 port = 0;
    for (int run = 0; run < runs; ++run) {
        port = freePort();
        corvus.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        corvus.setStandardOutputFile(QProcess::nullDevice());
        const auto t0 = Clock::now();
        corvus.start(server, serverArgs(corpus, cache, port));
        Conn c;
        StartRun r;
        QByteArray why;
        if (!connectSoon(c, port, 60000) || !c.reply(60000, &why)) {
            std::fprintf(stderr, "corvus_start_bench: no greeting (%s)\n", why.constData());
            return 1;
        }
        r.greeting = msSince(t0);
        const auto reg = ask(c, "$NM=" LEXAR_VERSION_TEXT "bench");
        r.registered = msSince(t0);
        // What the start alone made resident; reading it is not counted in the
        // times that follow.
        const auto paused = Clock::now();
        r.registeredMemory = memoryOf(corvus.processId());
        const double pause = msSince(paused);
        const OptionList o = concOptions();
        const auto list = ask(c, listRequest(0, "Q", "TOP"), position(0, -1), o);
        r.list = msSince(t0) - pause;
        if (!reg || reg->tag != "NM" || !list || list->tag != "CN_W" || valueIds(list->body).empty()) {
            std::fprintf(stderr, "corvus_start_bench: registration or word-form list refused\n");
            return 1;
        }
        topForm = valueIds(list->body).front();
        const auto lines = ask(c, linesRequest(topForm, "CLR"));
        r.lines = msSince(t0) - pause;
        if (!lines || lines->tag != "CT_N") {
            std::fprintf(stderr, "corvus_start_bench: context lines refused\n");
            return 1;
        }
        r.memory = memoryOf(corvus.processId());
        if (sections && run + 1 == runs)
            printResidentSections(corvus.processId(), 16);
        starts.push_back(r);
        if (run + 1 < runs)
            bench::stopCorvus(corvus);
    }
    std::printf("\nWarm start of %s, %d runs (ms from the process start):\n", qPrintable(QFileInfo(server).fileName()),
                runs);
    std::printf("  %-34s %9s %9s %9s\n", "", "median", "min", "max");
    std::vector<double> v[4];
    for (const StartRun &r : starts) {
        v[0].push_back(r.greeting);
        v[1].push_back(r.registered);
        v[2].push_back(r.list);
        v[3].push_back(r.lines);
    }
    printTimes("greeting RG", v[0]);
    printTimes("registered (NM answered)", v[1]);
    printTimes("first word-form list page CN_W", v[2]);
    printTimes("first CT_N page, most frequent form", v[3]);
    const Memory started = starts.back().memory;

    // Connect to registered, on the running server.
    std::vector<double> connects;
    for (int i = 0; i < 30; ++i) {
        Conn c;
        QByteArray why;
        const auto t0 = Clock::now();
        if (!c.open(port) || !c.reply(30000, &why) || !ask(c, "$NM=" LEXAR_VERSION_TEXT "bench")) {
            std::fprintf(stderr, "corvus_start_bench: registration failed\n");
            return 1;
        }
        connects.push_back(msSince(t0));
    }
    std::printf("\nConnect to registered, 30 connections (ms):\n");
    std::printf("  %-34s %9s %9s %9s\n", "", "median", "min", "max");
    printTimes("connect, RG, NM answered", connects);

    // The mixed load.
    std::vector<QByteArray> mix;
    {
        Conn c;
        QByteArray why;
        if (!c.open(port) || !c.reply(30000, &why))
            return 1;
        const auto top = ask(c, listRequest(0, "Q", "TOP"), position(0, -1), concOptions());
        std::vector<qint32> frequent = top ? valueIds(top->body) : std::vector<qint32>();
        // Rarer words: a page further down the frequency list.
        tCConcPos further = position(0, -1);
        OptionList fo = concOptions();
        fo.set("SortD", "Q");
        fo.set("ConcSBarW", "3");
        if (const auto r = ask(c, concRequest("CN_W", further, fo), further, fo))
            for (const qint32 id : valueIds(r->body))
                frequent.push_back(id);
        for (const char *order : {"A", "B", "Q"})
            for (int charNo = 0; charNo < 9; ++charNo)
                mix.push_back(listRequest(charNo, order, "TOP"));
        for (const char *prefix : {"\xcf", "\xf1\xf2", "\xe2"})
            mix.push_back(listRequest(0, "A", "", prefix));
        mix.push_back(listRequest(0, "Q", "FULL"));
        const char *seqs[] = {"CLR", "CRL", "LCR", "LRC", "RCL", "RLC"};
        for (size_t i = 0; i < frequent.size(); ++i) {
            const char *seq = seqs[i % 6];
            mix.push_back(linesRequest(frequent[i], seq, 'B'));
            mix.push_back(linesRequest(frequent[i], seq, 'E'));
            const tCConcPos pos = position(0, frequent[i]);
            if (const auto page = ask(c, linesRequest(frequent[i], seq, 'B'), pos, concOptions(seq))) {
                tCConcPos next = page->conc;
                next.Move[0] = '+';
                mix.push_back(concRequest("CT_N", next, page->options));
                mix.push_back(concRequest("CT_W", page->conc, page->options));
                mix.push_back(concRequest("CT_D", page->conc, page->options));
                if (i == 15) {
                    OptionList all = page->options;
                    all.set("PrintConc", "True");
                    mix.push_back(concRequest("CT_N", page->conc, all));
                }
            }
        }
        std::mt19937 rng(20240701);
        for (int d = 0; d < 2; ++d) {
            for (int i = 0; i < 60; ++i) {
                tCDictPos p(d);
                p.LetterNo = 0;
                p.PairNo = 0;
                p.WordMode = 'A';
                p.WordNo = qint32(rng() % 5000);
                for (const char *tag : {"DC_C", "DC_CC", "DC_W", "DC_S"})
                    mix.push_back(requests::wire(tag, requests::dictParams(p, OptionList::initial())));
            }
        }
    }
    std::atomic<int> failed{0};
    const auto loadStart = Clock::now();
    std::vector<std::thread> clients;
    for (int k = 0; k < 4; ++k) {
        clients.emplace_back([&, k] {
            Conn c;
            QByteArray why;
            if (!c.open(port) || !c.reply(30000, &why)) {
                ++failed;
                return;
            }
            std::mt19937 r(uint32_t(k) * 131u + 7u);
            for (int i = 0; i < 400; ++i) {
                const QByteArray &request = mix[r() % mix.size()];
                if (!c.send(request) || !c.reply(300000, &why)) {
                    ++failed;
                    return;
                }
            }
        });
    }
    for (std::thread &t : clients)
        t.join();
    const double loadSeconds = msSince(loadStart) / 1000.0;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const Memory loaded = memoryOf(corvus.processId());
    if (sections)
        printResidentSections(corvus.processId(), 16);
    bench::stopCorvus(corvus);

    std::printf("\nMixed load: 4 clients x 400 requests from %zu kinds in %.1f s, %d failed\n", mix.size(),
                loadSeconds, failed.load());
    std::printf("\nResident memory of the server (%llu tokens):\n", static_cast<unsigned long long>(tokens));
    std::printf("  %-22s %10s %10s %10s %12s %12s %10s\n", "", "VmRSS MB", "anon MB", "file MB", "(cache MB)",
                "B per token", "peak MB");
    for (const auto &[label, m] : {std::make_pair("registered", starts.back().registeredMemory),
                                   std::make_pair("after the first pages", started),
                                   std::make_pair("after the load", loaded)})
        std::printf("  %-22s %10.1f %10.1f %10.1f %12.1f %12.1f %10.1f\n", label, m.rss, m.anon, m.file, m.cache,
                    m.rss * 1048576.0 / double(std::max<uint64_t>(1, tokens)), m.peak);
    return failed.load() == 0 ? 0 : 1;
}
