// Dictionary reply latency of the corpus server: "DC_C", "DC_CC", "DC_W" and "DC_S"
// for both dictionaries, at headwords spread over each dictionary, measured
// (1) inside the process: request bytes parsed and answered, and (2) end to end over
// loopback TCP through the server's endpoint and thread pool. Prints the median,
// the 95th percentile and the maximum per tag.
//
//   corvus_dict_bench [corpus folder] [--cache DIR] [--requests N]
//
// The corpus defaults to ../shared/corpus/ruslit beside the project; without it the
// benchmark says so and exits 0.
#include "BenchCommon.h"
#include "wire/RequestWriter.h"
#include "service/Dispatcher.h"
#include "service/ServerSetup.h"
#include "service/TcpEndpoint.h"
#include "wire/RequestReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <vector>

namespace {

struct Sample {
    QByteArray tag;
    QByteArray bytes;
};

void report(const char *title, std::map<QByteArray, std::vector<double>> &times)
{
    std::printf("%s\n", title);
    std::printf("  %-6s %8s %10s %10s %10s\n", "tag", "count", "median ms", "p95 ms", "max ms");
    for (auto &[tag, v] : times) {
        std::sort(v.begin(), v.end());
        std::printf("  %-6s %8zu %10.3f %10.3f %10.3f\n", tag.constData(), v.size(), bench::quantile(v, 0.5),
                    bench::quantile(v, 0.95), v.back());
    }
}

// Requests at headwords spread evenly over each dictionary (absolute mode for the
// lists and the entry), the way link clicks and the client's reply chain ask.
std::vector<Sample> makeRequests(const CorvusService &service, int perTag)
{
    std::vector<Sample> out;
    std::mt19937 rng(12345);
    const QList<QByteArray> tags = {"DC_C", "DC_CC", "DC_W", "DC_S"};
    for (int d = 0; d < service.dictionaries().size(); ++d) {
        const HeadwordIndex &idx = service.dictionaries()[d]->dictionary().index();
        if (idx.isEmpty())
            continue;
        std::uniform_int_distribution<int> pick(0, idx.size() - 1);
        for (int i = 0; i < perTag; ++i) {
            for (const QByteArray &tag : tags) {
                tCDictPos pos(d);
                pos.LetterNo = 0;
                pos.PairNo = 0;
                pos.WordMode = 'A';
                pos.WordNo = pick(rng);
                out.push_back({tag, requests::wire(tag, requests::dictParams(pos, OptionList::initial()))});
            }
        }
    }
    std::shuffle(out.begin(), out.end(), rng);
    return out;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    ServerOptions options;
    int perTag = 500;
    QString corpus = bench::defaultCorpus();
    for (int i = 0; i < args.size(); ++i) {
        if (!bench::option(args, i, "--cache", options.cacheDir) && !bench::option(args, i, "--requests", perTag))
            corpus = args[i];
    }
    if (!bench::corpusPresent("corvus_dict_bench", corpus))
        return 0;
    options.corpusPaths = {corpus};

    QElapsedTimer load;
    load.start();
    const LoadedService loaded = loadService(options);
    for (const QString &n : loaded.notes)
        std::printf("%s\n", n.toUtf8().constData());
    if (!loaded.service) {
        std::fprintf(stderr, "%s\n", loaded.error.toUtf8().constData());
        return 1;
    }
    std::printf("service ready in %.2f s; dictionaries:", double(load.elapsed()) / 1000.0);
    for (const auto &d : loaded.service->dictionaries())
        std::printf(" %d headwords;", d->dictionary().index().size());
    std::printf("\n");

    const std::vector<Sample> samples = makeRequests(*loaded.service, perTag);

    // (1) In process: parse + handle, one request at a time.
    std::map<QByteArray, std::vector<double>> inProcess;
    qint64 bytes = 0;
    for (const Sample &s : samples) {
        QElapsedTimer t;
        t.start();
        const wirerequest::Result r = wirerequest::parse(s.bytes);
        const ServiceOutcome out = loaded.service->handle(r.request, SessionInfo{});
        inProcess[s.tag].push_back(double(t.nsecsElapsed()) / 1e6);
        bytes += out.reply.size();
    }
    report("In process (parse + answer):", inProcess);
    std::printf("  reply bytes on average: %lld\n", static_cast<long long>(bytes / qint64(samples.size())));

    // The heaviest entries: the most used headwords of each dictionary.
    std::map<QByteArray, std::vector<double>> heavy;
    for (int d = 0; d < loaded.service->dictionaries().size(); ++d) {
        const Dictionary &dict = loaded.service->dictionaries()[d]->dictionary();
        std::vector<std::pair<qint32, int>> bySize;
        for (int p = 0; p < dict.index().size(); ++p)
            bySize.emplace_back(dict.headwordSize(p), p);
        const size_t top = std::min<size_t>(100, bySize.size());
        std::partial_sort(bySize.begin(), bySize.begin() + qsizetype(top), bySize.end(),
                          [](const auto &a, const auto &b) { return a.first > b.first; });
        for (size_t i = 0; i < top; ++i) {
            tCDictPos pos(d);
            pos.WordMode = 'A';
            pos.WordNo = bySize[i].second;
            const QByteArray bytes = requests::wire("DC_S", requests::dictParams(pos, OptionList::initial()));
            QElapsedTimer t;
            t.start();
            const wirerequest::Result r = wirerequest::parse(bytes);
            loaded.service->handle(r.request, SessionInfo{});
            heavy["DC_S/" + QByteArray::number(d)].push_back(double(t.nsecsElapsed()) / 1e6);
        }
    }
    report("In process, entries of the 100 most used headwords (DC_S/dictionary):", heavy);

    // (2) Over loopback TCP: one client, request after request, through the endpoint.
    Dispatcher dispatcher;
    dispatcher.setService(loaded.service);
    TcpEndpoint endpoint(&dispatcher);
    if (!endpoint.listen(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "listen: %s\n", qPrintable(endpoint.errorString()));
        return 1;
    }
    endpoint.setReady();
    const quint16 port = endpoint.port();
    std::map<QByteArray, std::vector<double>> overTcp;
    bool failed = false;
    QThread *client = QThread::create([&] {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(5000)) {
            failed = true;
            return;
        }
        QByteArray buffer;
        // Reads one reply with its length header.
        auto readReply = [&]() -> bool {
            while (true) {
                const qsizetype h = buffer.indexOf("###");
                if (buffer.startsWith("##") && h > 2) {
                    const qsizetype count = buffer.mid(2, h - 2).toLongLong();
                    if (buffer.size() - h - 3 >= count) {
                        buffer.remove(0, h + 3 + count);
                        return true;
                    }
                }
                if (!socket.waitForReadyRead(10000))
                    return false;
                buffer += socket.readAll();
            }
        };
        if (!readReply()) {   // the greeting
            failed = true;
            return;
        }
        for (const Sample &s : samples) {
            QElapsedTimer t;
            t.start();
            socket.write(s.bytes);
            socket.waitForBytesWritten(5000);
            if (!readReply()) {
                failed = true;
                return;
            }
            overTcp[s.tag].push_back(double(t.nsecsElapsed()) / 1e6);
        }
    });
    QObject::connect(client, &QThread::finished, &app, &QCoreApplication::quit);
    client->start();
    app.exec();
    client->wait();
    delete client;
    if (failed) {
        std::fprintf(stderr, "the TCP client failed\n");
        return 1;
    }
    report("Over loopback TCP (request written to reply read):", overTcp);
    return 0;
}
