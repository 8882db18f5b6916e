// The concordance page of the client against a real Corvus.exe serving a corpus:
//
// - a "CT_N" reply of 100 lines of the most frequent word form shown by the page:
//   parsed, each left context fitted by the width table and measured once, the
//   three columns laid out (target: 5 ms);
// - the export of every line of that word ("PrintConc") from the request to the
//   last line in the buffer's line list, over TCP and over the local link (target:
//   10 s), with the longest pause of the window's event loop while it runs and how
//   often the caption's percentage moved.
//
// The client is the whole main window, offscreen; the server is started from the
// bin folder with the corpus and serves both channels.
//
//   conc_page_bench [corpus folder] [--cache DIR] [--repeat N] [--server PATH] [--page-only]
//
// The corpus defaults to ../shared/corpus/ruslit beside the project; without it the
// benchmark says so and exits 0. The cache folder defaults to one in the system's
// temporary folder, kept between runs.
#include "BenchClient.h"
#include "BenchCommon.h"
#include "app/MainWindow.h"
#include "app/Watchdog.h"
#include "app/SessionController.h"
#include "app/ServerLogPage.h"
#include "app/LocalLinkSession.h"
#include "session/SessionState.h"
#include "session/UiServices.h"
#include "concordance/ConcPage.h"
#include "concordance/ContextPanel.h"
#include "concordance/WordListPanel.h"
#include "dictionary/api/DictionaryLinks.h"
#include "model/Cp1251.h"
#include "net/Channel.h"
#include "net/LocalLink.h"
#include "net/TcpChannel.h"
#include "wire/ReplyAssembler.h"
#include "wire/ReplyReader.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

using benchclient::QuietUi;
using benchclient::configIn;
using benchclient::openOnWord;
using benchclient::waitFor;

struct ExportRun {
    double seconds = 0;
    double writing = 0;   // the lines began to go into the buffer (the caption's first percentage)
    qsizetype replyBytes = 0;
    qsizetype lines = 0;
    qint32 found = 0;
    double longestPauseMs = 0;
    int captionChanges = 0;
    bool cut = false;
};

// The export of every line of the selected value, as the buffer's copy command asks
// for it, until its last line is in the buffer.
ExportRun exportAll(MainWindow &form, Channel *channel)
{
    ExportRun run;
    SessionState &s = form.state();
    ConcPage *page = form.TS_Conc;
    s.Buffer.clear();
    s.Options.set("PrintConc", "True");
    QElapsedTimer clock;
    QMetaObject::Connection size = QObject::connect(channel, &Channel::replyArrived, [&run](const QByteArray &t) {
        if (t.contains("$CT_N="))
            run.replyBytes = t.size();
    });
    QMetaObject::Connection caption = QObject::connect(&form, &QWidget::windowTitleChanged, [&run, &clock] {
        if (run.captionChanges++ == 0)
            run.writing = double(clock.nsecsElapsed()) / 1e9;
    });
    QElapsedTimer gap;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        run.longestPauseMs = qMax(run.longestPauseMs, double(gap.nsecsElapsed()) / 1e6);
        gap.restart();
    });
    clock.start();
    gap.start();
    ticker.start();
    page->Panel3->LBC_WClick(page->LBC_W->currentRow());
    const bool done = waitFor(
        [&] { return s.Options.value("PrintConc") == "False" && s.PendingRequest.isEmpty() && !s.Buffer.isEmpty(); },
        120000);
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    ticker.stop();
    QObject::disconnect(size);
    QObject::disconnect(caption);
    if (!done) {
        std::fprintf(stderr, "conc_page_bench: the export did not complete\n");
        run.seconds = -1;
    }
    run.lines = s.Buffer.size();
    run.found = s.CurrentConcPos ? s.CurrentConcPos->Found[size_t(s.CurrentConcPos->Level)] : 0;
    run.cut = !s.Buffer.isEmpty() && s.Buffer.lines().last().contains(cp1251::ru("выгрузка ограничена"));
    return run;
}

// The same export request on a bare socket: the server's and the transfer's share.
double bareExport(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(5000))
        return -1;
    ReplyAssembler assembler;
    const auto reply = [&](int timeoutMs) -> QByteArray {
        for (;;) {
            if (!socket.waitForReadyRead(timeoutMs))
                return QByteArray();
            const QList<ReplyAssembler::Item> items = assembler.feed(socket.readAll());
            if (!items.isEmpty())
                return items.first().reply;
        }
    };
    reply(5000);   // the greeting
    socket.write("$NM=1.4.12.0bench");
    reply(5000);
    QElapsedTimer clock;
    clock.start();
    socket.write('$' + request);
    const QByteArray r = reply(120000);
    return r.contains("$CT_N=") ? double(clock.nsecsElapsed()) / 1e9 : -1;
}

void report(const char *channel, const ExportRun &r)
{
    std::printf("export over %-10s %7.2f s (writing from %.2f s)  reply %6.1f MiB  %7lld buffer lines for %d "
                "lines found%s\n",
                channel, r.seconds, r.writing, double(r.replyBytes) / (1024.0 * 1024.0),
                static_cast<long long>(r.lines), r.found, r.cut ? "  (CUT SHORT)" : "");
    std::printf("  longest pause of the event loop %.0f ms; caption changed %d times\n", r.longestPauseMs,
                r.captionChanges);
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    benchclient::useScratchHome(home.path());
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString corpus = bench::defaultCorpus();
    QString cache = QDir::tempPath() + QStringLiteral("/lexar-bench-cache");
    QString server = QCoreApplication::applicationDirPath() + QStringLiteral("/Corvus.exe");
    int repeat = 50;
    bool pageOnly = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--page-only"))
            pageOnly = true;
        else if (!bench::option(args, i, "--cache", cache) && !bench::option(args, i, "--repeat", repeat)
                 && !bench::option(args, i, "--server", server))
            corpus = args[i];
    }
    if (!bench::corpusPresent("conc_page_bench", corpus))
        return 0;
    if (!QFileInfo(server).isExecutable()) {
        std::fprintf(stderr, "conc_page_bench: server %s not found (build the Corvus target)\n", qPrintable(server));
        return 1;
    }

    QProcess corvus;
    const quint16 port = benchclient::startCorvus(corvus, server, corpus, cache);
    if (port == 0) {
        std::fprintf(stderr, "conc_page_bench: the server did not start\n");
        return 1;
    }
    const QByteArray word = cp1251::ru("и");
    QuietUi ui;
    int status = 0;

    // ---- Over TCP: a page of 100 lines, then the export.
    {
        MainWindow form(configIn(home.path(), home.path(), {"IP=127.0.0.1", "Port=" + QByteArray::number(port)}), ui);
        form.createSecondaryWindows();
        form.show();
        form.session()->B_ConnectClick();
        if (!openOnWord(form, word)) {
            std::fprintf(stderr, "conc_page_bench: the concordance of the word did not open over TCP\n");
            return 1;
        }
        ConcPage *page = form.TS_Conc;
        SessionState &s = form.state();
        QByteArray text;
        QMetaObject::Connection capture = QObject::connect(form.socketChannel(), &Channel::replyArrived,
                                                           [&text](const QByteArray &t) {
                                                               if (t.contains("$CT_N="))
                                                                   text = t;
                                                           });
        s.Options.set("LBC_L_Max", "100");
        page->TS_Conc_C->setRebuild();
        page->contextRequest();
        waitFor([&] { return !text.isEmpty() && s.PendingRequest.isEmpty(); }, 60000);
        QObject::disconnect(capture);
        tCConcPos scratch;
        tCDictPos dict;
        OptionList options;
        const QByteArray body = replyreader::readReply(text, scratch, dict, options).body;
        // The lines only: the dictionary links of the first line ask for nothing.
        struct NoLinks : DictionaryLinks {
            void loadDictLinks(const QByteArray &) override {}
            void clearDictLinks() override {}
            void requestEntry() override {}
        } noLinks;
        const ConcNeighbours real = page->neighbours();
        ConcNeighbours quiet = real;
        quiet.dictionary = &noLinks;
        page->connectNeighbours(quiet);
        std::vector<double> times;
        for (int i = 0; i < repeat; ++i) {
            s.Options = options;
            *s.CurrentConcPos = scratch;
            QElapsedTimer t;
            t.start();
            page->TS_Conc_C->onCT_N(body);
            times.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        page->connectNeighbours(real);
        std::sort(times.begin(), times.end());
        std::printf("\"CT_N\" page of %d lines (%lld bytes) shown: median %.2f ms, p95 %.2f ms, max %.2f ms (%d runs)\n",
                    page->TS_Conc_C->LBC_L->count(), static_cast<long long>(body.size()), bench::quantile(times, 0.5),
                    bench::quantile(times, 0.95), times.back(), repeat);
        if (pageOnly) {
            corvus.terminate();
            corvus.waitForFinished(5000);
            return 0;
        }
        s.Options = options;
        s.Options.set("LBC_L_Max", "30");
        const ExportRun r = exportAll(form, form.socketChannel());
        report("TCP", r);
        // The request as it went out, once more on a bare socket.
        QByteArray sent;
        for (const RequestHistory::Entry &e : s.History.entries)
            if (e.text.startsWith("CT_N=") && e.text.contains("PrintConc=True"))
                sent = e.text;
        std::printf("  the same export on a bare socket (server and transfer): %.2f s\n", bareExport(port, sent));
        status |= r.seconds < 0 || r.cut;
        form.session()->B_ConnectClick();   // disconnect
    }

    // ---- Over the local link: the running server's socket, found in the shared folder.
    {
        MainWindow form(configIn(home.path(), QFileInfo(server).absolutePath(), {}), ui);
        form.createSecondaryWindows();
        form.show();
        if (!openOnWord(form, word)) {
            std::fprintf(stderr, "conc_page_bench: the concordance of the word did not open over the local link\n");
            return 1;
        }
        const ExportRun r = exportAll(form, form.localLink());
        report("local link", r);
        status |= r.seconds < 0 || r.cut;
        form.close();   // "CLOSE" ends the server
    }
    corvus.waitForFinished(10000);
    if (corvus.state() != QProcess::NotRunning) {
        corvus.terminate();
        corvus.waitForFinished(5000);
    }
    return status;
}
