// A very large value list ("CN_W") through the client's reply path, as the socket
// channel delivers it: the bytes fed to the reply assembler in 64 KiB reads, the
// tag and the framed records read, and the whole-list export written into the
// buffer's line list. The wire bytes are made on the fly, read by read, so that the
// peak resident memory (VmHWM above the figure before the first read) is the
// client's own. No corpus, no window.
#include "BenchCommon.h"

#include "concordance/core/ConcExport.h"
#include "model/ConcPos.h"
#include "model/DictPos.h"
#include "model/OptionList.h"
#include "text/core/Buffer.h"
#include "wire/ReplyAssembler.h"
#include "wire/ReplyReader.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

// The value list's elements, made in order: "value0000001, x" + the reference of
// four numbers, separated by ";" and a line break (or by "," with --comma).
class ListSource {
public:
    ListSource(qint64 bytes, bool comma) : m_target(bytes), m_comma(comma) {}

    // The next read of at most `max` bytes of the whole reply text (header included);
    // empty at the end.
    QByteArray next(qsizetype max)
    {
        while (m_pending.size() < max && !m_done)
            produce();
        const QByteArray out = m_pending.left(max);
        m_pending.remove(0, out.size());
        return out;
    }
    qint64 bodyBytes() const { return m_target; }

private:
    QByteArray element(qint64 i) const
    {
        QByteArray e = "value" + QByteArray::number(i).rightJustified(7, '0') + ", x\x04$(";
        e += QByteArray::number(i) + ',' + QByteArray::number(i % 97 + 1) + ',' + QByteArray::number(i) + ','
             + QByteArray::number(i) + "\x04)$";
        e += m_comma ? QByteArray(",") : QByteArray(";\n");
        return e;
    }
    void produce()
    {
        if (!m_started) {
            // The reply is made to the announced size: its elements, then padding in
            // the last value's separator run (zeros end the list for the reader).
            m_started = true;
            m_pending = "##" + QByteArray::number(m_target) + "###$CN_W=";
            m_sent = 6;
            return;
        }
        QByteArray e = element(m_index++);
        if (m_sent + e.size() >= m_target) {
            e = QByteArray(m_target - m_sent, '\0');
            m_done = true;
        }
        m_sent += e.size();
        m_pending += e;
    }

    qint64 m_target;
    bool m_comma;
    bool m_started = false;
    bool m_done = false;
    qint64 m_sent = 0;
    qint64 m_index = 0;
    QByteArray m_pending;
};

struct Outcome {
    qint64 replyBytes = 0;
    qint64 lines = 0;
};

Outcome run(const QString &stage, qint64 bytes, bool comma)
{
    ListSource source(bytes, comma);
    ReplyAssembler assembler;
    QByteArray reply;
    for (QByteArray chunk = source.next(65536); !chunk.isEmpty(); chunk = source.next(65536)) {
        for (ReplyAssembler::Item &item : assembler.feed(chunk))
            reply = std::move(item.reply);
    }
    Outcome out;
    out.replyBytes = reply.size();
    if (stage == QLatin1String("wire"))
        return out;
    tCConcPos conc;
    tCDictPos dict(-1);
    OptionList options;
    replyreader::ReplyRead read = replyreader::readReply(reply, conc, dict, options);
    if (stage == QLatin1String("read"))
        return out;
    textcore::Buffer buffer;
    out.lines = conccore::writeListExport(buffer, read.body, false, conccore::FilterRows{}, true);
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString stage = QStringLiteral("export");
    int megabytes = 200;
    bool comma = false;
    for (int i = 1; i < args.size(); ++i) {
        if (bench::option(args, i, "--stage", stage) || bench::option(args, i, "--mb", megabytes))
            continue;
        if (args[i] == QLatin1String("--comma")) {
            comma = true;
            continue;
        }
        std::fprintf(stderr, "usage: lexar_reply_bench [--stage wire|read|export] [--mb N] [--comma]\n");
        return 2;
    }
    const long before = bench::peakRssKb();
    QElapsedTimer clock;
    clock.start();
    const Outcome out = run(stage, qint64(megabytes) * 1024 * 1024, comma);
    const double seconds = double(clock.elapsed()) / 1000.0;
    const double peakMb = double(bench::peakRssKb() - before) / 1024.0;
    const double replyMb = double(out.replyBytes) / (1024.0 * 1024.0);
    std::printf("stage %s: reply %.1f MB, %lld export lines, %.2f s, peak above start %.0f MB (%.2fx the reply)\n",
                qPrintable(stage), replyMb, static_cast<long long>(out.lines), seconds, peakMb,
                replyMb > 0 ? peakMb / replyMb : 0.0);
    return 0;
}
