#pragma once
// What the benchmarks of the client share: a window service that answers every
// question with yes and prints messages, waiting for a condition while the event
// loop runs, a Corvus.exe process started on a corpus, a configuration in a
// scratch folder, and a window opened on the concordance of a word.
#include "app/MainWindow.h"
#include "concordance/ConcPage.h"
#include "concordance/ContextPanel.h"
#include "concordance/WordListPanel.h"
#include "session/Config.h"
#include "session/SessionState.h"
#include "session/UiServices.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>

#include <cstdio>
#include <functional>

namespace benchclient {

class QuietUi : public UiServices {
public:
    void message(QWidget *, const QString &text) override
    {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    }
    bool askYesNo(QWidget *, const QString &) override { return true; }
    bool openFile(const QString &) override { return false; }
    bool startDetached(const QString &) override { return false; }
    std::optional<QFont> chooseFont(QWidget *, const QFont &) override { return std::nullopt; }
};

// Before the application object: offscreen unless told otherwise, and the data,
// configuration and cache folders under `home`, where the client and the server
// also find the local link's socket.
inline void useScratchHome(const QString &home)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    for (const char *var : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(var, QFile::encodeName(home + QLatin1Char('/') + QLatin1String(var)));
}

inline bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

inline bool idle(MainWindow &form)
{
    return form.state().PendingRequest.isEmpty();
}

// A window registered with the server, its concordance tab open on the value
// `word` (typed into the list), its first lines shown.
inline bool openOnWord(MainWindow &form, const QByteArray &word)
{
    ConcPage *page = form.TS_Conc;
    if (!waitFor([&] { return page->TS_Conc_C->LBC_Wx->count() > 0 && idle(form); }, 120000))
        return false;
    for (const char c : word)
        page->Panel3->typeChar(c);
    const conccore::WordEntry *e = nullptr;
    return waitFor([&] {
               e = page->Panel3->selectedEntry();
               return idle(form) && e && e->text == word && page->TS_Conc_C->LBC_Wx->count() > 0;
           },
                   60000);
}

// Corvus.exe serving `corpus` on a port of its choice; the port, 0 when it did not
// start (the process is then left to the caller to end).
inline quint16 startCorvus(QProcess &corvus, const QString &server, const QString &corpus, const QString &cache)
{
    corvus.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    corvus.start(server, {QStringLiteral("--corpus"), corpus, QStringLiteral("--cache"), cache, QStringLiteral("--port"),
                          QStringLiteral("0")});
    QElapsedTimer clock;
    clock.start();
    quint16 port = 0;
    QByteArray out;
    static const QRegularExpression listening(QStringLiteral("listening on \\S+:(\\d+)"));
    while (port == 0 && corvus.state() != QProcess::NotRunning && clock.elapsed() < 900000) {
        corvus.waitForReadyRead(1000);
        out += corvus.readAllStandardOutput();
        const QRegularExpressionMatch m = listening.match(QString::fromLatin1(out));
        if (m.hasMatch())
            port = quint16(m.captured(1).toUInt());
    }
    if (port != 0)
        std::printf("server ready on port %u after %.1f s\n", port, double(clock.elapsed()) / 1000.0);
    return port;
}

// The configuration of a window whose Cnfg.ini in `home` holds `ini` (none: no file).
inline Config configIn(const QString &home, const QString &currentDir, const QList<QByteArray> &ini)
{
    if (!ini.isEmpty()) {
        QFile f(home + QStringLiteral("/Cnfg.ini"));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            f.write("[1]\r\n");
            for (const QByteArray &l : ini)
                f.write(l + "\r\n");
        }
    } else {
        QFile::remove(home + QStringLiteral("/Cnfg.ini"));
    }
    return Config::load(home, currentDir, [](const QString &) { return true; });
}

} // namespace benchclient
