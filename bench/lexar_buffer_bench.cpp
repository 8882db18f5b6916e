// The buffer window with a large buffer: opening it (loading the text once and the
// first paint), writing a user's edit back, an export arriving while it is open,
// opening it again unchanged and after an export, and saving the buffer
// atomically. Offscreen; no corpus needed.
#include "BenchCommon.h"

#include "app/Config.h"
#include "app/PageHost.h"
#include "app/SessionState.h"
#include "app/UiServices.h"
#include "text/BufferWindow.h"
#include "text/core/BufferOps.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextCursor>

namespace {

class QuietUi : public UiServices {
public:
    void message(QWidget *, const QString &) override {}
    bool askYesNo(QWidget *, const QString &) override { return true; }
    bool openFile(const QString &) override { return true; }
    bool startDetached(const QString &) override { return true; }
};

class Host : public PageHost {
public:
    SessionState &state() override { return m_state; }
    const Config &config() const override { return m_config; }
    UiServices &ui() override { return m_ui; }
    void SendToServer(const QByteArray &, const QByteArray &) override {}
    void startReplay(const QList<int> &, const QByteArray &, const QByteArray &) override {}
    void RollBack() override {}
    void showProgress(const QByteArray &, bool) override {}
    void closeProgress() override {}
    void setStatusText(const QString &) override {}

private:
    SessionState m_state;
    Config m_config;
    QuietUi m_ui;
};

// A concordance export line of about 90 bytes (1251).
QByteArray exportLine(int n)
{
    return "     " + QByteArray::number(n)
           + " \xe8 \xe2\xee\xf2 \xee\xed \xe2\xe8\xe4\xe8\xf2 \xe4\xee\xec, || \xe8 \xf1\xe0\xe4  "
             "\xe4\xee\xec  \xf1\xf2\xee\xe8\xf2 \xed\xe0 \xe3\xee\xf0\xe5.";
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int lines = 240000;
    int repeat = 5;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (!bench::option(args, i, "--lines", lines) && !bench::option(args, i, "--repeat", repeat)) {
            std::printf("usage: lexar_buffer_bench [--lines N] [--repeat N]\n");
            return 2;
        }
    }
    QTemporaryDir dir;
    std::map<std::string, std::vector<bench::Timing>> times;
    for (int r = 0; r < repeat; ++r) {
        Host host;
        QList<QByteArray> text;
        text.reserve(lines);
        for (int i = 0; i < lines; ++i)
            text.append(exportLine(i + 1));
        host.state().Buffer.append(text);
        BufferWindow window;
        window.attach(host);
        {
            bench::Stopwatch w;
            window.showBuffer();
            app.processEvents();
            window.repaint();
            times["open and paint"].push_back(w.elapsed());
        }
        window.LB->moveCursor(QTextCursor::End);
        window.LB->insertPlainText(QStringLiteral("!"));
        {
            bench::Stopwatch w;
            window.commitEdits();
            times["edit written back"].push_back(w.elapsed());
        }
        {
            bench::Stopwatch w;
            host.state().Buffer.append(QList<QByteArray>{exportLine(0), exportLine(1)});
            app.processEvents();
            times["export while open"].push_back(w.elapsed());
        }
        window.close();
        {
            bench::Stopwatch w;
            window.showBuffer();
            app.processEvents();
            window.repaint();
            times["open again, unchanged"].push_back(w.elapsed());
        }
        window.close();
        host.state().Buffer.append(QList<QByteArray>{"*", exportLine(2), exportLine(3)});
        host.state().Buffer.setLine(host.state().Buffer.size() - 3, "**");
        {
            bench::Stopwatch w;
            window.showBuffer();
            app.processEvents();
            window.repaint();
            times["open after an export"].push_back(w.elapsed());
        }
        {
            bench::Stopwatch w;
            textcore::saveBuffer(dir.filePath(QStringLiteral("buffer.txt")), host.state().Buffer.lines(), false);
            times["save (atomic)"].push_back(w.elapsed());
        }
        window.close();
    }
    std::printf("buffer of %d lines, peak RSS %ld kB\n", lines, bench::peakRssKb());
    bench::reportTimings(nullptr, times, 20);
    return 0;
}
