// The text of an occurrence as a user opens and pages it, the client against a real
// Corvus.exe serving a corpus over TCP:
//
// - opening the "Текст" sub-page from the context lines (the request, the replies
//   that follow and the page of word labels laid out), each time on another page of
//   lines so that the text differs;
// - PgDn in the text view: the page's last word becomes current, the value list
//   follows it and the next page is laid out;
// - the full-text window ("Просмотр текста" over a line) opening, and PgDn in it.
//
// Each time is from the user's action to the page shown and the window idle again.
// The client is the whole main window, offscreen.
//
//   text_page_bench [corpus folder] [--cache DIR] [--repeat N] [--server PATH] [--word WORD]
//
// The corpus defaults to ../shared/corpus/ruslit beside the project; without it the
// benchmark says so and exits 0. The word (default "и") is typed into the value list.
#include "BenchClient.h"
#include "BenchCommon.h"
#include "app/MainWindow.h"
#include "app/PageWiring.h"
#include "app/SessionController.h"
#include "model/Cp1251.h"
#include "net/Channel.h"
#include "net/TcpChannel.h"
#include "text/FullTextWindow.h"
#include "text/TextPanel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

using benchclient::idle;
using benchclient::waitFor;

void press(QWidget *target, Qt::Key key)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &up);
}

// Times `act` until `count` has grown and the window is idle with `shown` true;
// false when that took over a minute.
bool timed(MainWindow &form, const int &count, const std::function<void()> &act, const std::function<bool()> &shown,
           std::vector<double> &times)
{
    const int before = count;
    QElapsedTimer clock;
    clock.start();
    act();
    if (!waitFor([&] { return count > before && idle(form) && shown(); }, 60000)) {
        std::fprintf(stderr, "replies %d (before %d), idle %d, shown %d, last request \"%s\"\n", count, before,
                     int(idle(form)), int(shown()), form.state().History.entries.isEmpty() ? "" : form.state().History.entries.last().text.left(60).constData());
        return false;
    }
    times.push_back(double(clock.nsecsElapsed()) / 1e6);
    return true;
}

void report(const char *what, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("%s: median %.1f ms, p95 %.1f ms, max %.1f ms (%zu runs)\n", what, bench::quantile(times, 0.5),
                bench::quantile(times, 0.95), times.back(), times.size());
}

struct Counts {
    int pages = 0;   // "CT_W" replies
    int plain = 0;   // "CT_T" replies
};

// The three measures on a window showing the concordance of a word.
int measure(MainWindow &form, int repeat, const Counts &n)
{
    ConcPage *page = form.TS_Conc;
    TextPanel *text = form.panels().text;
    FullTextWindow *full = text->fullTextWindow();
    std::vector<double> open, paging, fullOpen, fullPaging;
    for (int i = 0; i < repeat; ++i) {
        page->PageCC->setCurrentWidget(page->TS_Conc_C);
        if (!waitFor([&] { return idle(form); }, 60000))
            return 1;
        press(page->TS_Conc_C->LBC_Wx, Qt::Key_PageDown);   // another page of lines
        if (!waitFor([&] { return idle(form); }, 60000))
            return 1;
        if (!timed(form, n.pages, [&] { page->PageCC->setCurrentWidget(page->TS_Conc_T); },
                   [&] { return text->hasWords(); }, open))
            return 1;
    }
    // Right gives the keyboard to the text, as the user does.
    QWidget *focus = QApplication::focusWidget();
    press(focus ? focus : page->LBC_W, Qt::Key_Right);
    if (!text->zoneHighlighted()) {
        std::fprintf(stderr, "the text view did not take the keyboard\n");
        return 1;
    }
    for (int i = 0; i < repeat; ++i)
        if (!timed(form, n.pages, [&] { press(text->MemoX, Qt::Key_PageDown); }, [&] { return text->hasWords(); },
                   paging))
            return 1;
    for (int i = 0; i < std::max(1, repeat / 4); ++i) {
        if (!timed(form, n.plain, [&] { text->openTextOfLine(form.state().CurrentConcPos->CurLine); },
                   [&] { return full->isVisible(); }, fullOpen))
            return 1;
        for (int k = 0; k < 4; ++k)
            if (!timed(form, n.plain, [&] { press(full->Memo_Text, Qt::Key_PageDown); }, [] { return true; },
                       fullPaging))
                return 1;
        press(full->Memo_Text, Qt::Key_Escape);
        if (!waitFor([&] { return idle(form) && !full->isVisible(); }, 60000))
            return 1;
    }
    report("the \"Текст\" sub-page opened from the lines", open);
    report("PgDn in the text view", paging);
    report("the full-text window opened", fullOpen);
    report("PgDn in the full-text window", fullPaging);
    return 0;
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
    QString word = QStringLiteral("и");
    int repeat = 20;
    for (int i = 0; i < args.size(); ++i)
        if (!bench::option(args, i, "--cache", cache) && !bench::option(args, i, "--repeat", repeat)
            && !bench::option(args, i, "--server", server) && !bench::option(args, i, "--word", word))
            corpus = args[i];
    if (!bench::corpusPresent("text_page_bench", corpus))
        return 0;
    if (!QFileInfo(server).isExecutable()) {
        std::fprintf(stderr, "text_page_bench: server %s not found (build the Corvus target)\n", qPrintable(server));
        return 1;
    }
    QProcess corvus;
    const quint16 port = benchclient::startCorvus(corvus, server, corpus, cache);
    if (port == 0) {
        std::fprintf(stderr, "text_page_bench: the server did not start\n");
        return 1;
    }
    benchclient::QuietUi ui;
    int status = 0;
    {
        MainWindow form(benchclient::configIn(home.path(), home.path(),
                                              {"IP=127.0.0.1", "Port=" + QByteArray::number(port)}),
                        ui);
        form.createSecondaryWindows();
        form.show();
        form.session()->B_ConnectClick();
        if (!benchclient::openOnWord(form, cp1251::encode(word))) {
            std::fprintf(stderr, "text_page_bench: the concordance of the word did not open\n");
            status = 1;
        } else {
            Counts n;
            QObject::connect(form.socketChannel(), &Channel::replyArrived, [&n](const QByteArray &t) {
                n.pages += t.contains("$CT_W=");
                n.plain += t.contains("$CT_T=");
            });
            status = measure(form, repeat, n);
            if (status)
                std::fprintf(stderr, "text_page_bench: a page did not come within a minute\n");
        }
        form.session()->B_ConnectClick();   // disconnect
    }
    corvus.terminate();
    corvus.waitForFinished(10000);
    return status;
}
