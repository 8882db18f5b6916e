#pragma once
// What the benchmarks share: their command-line options and default corpus, the
// CPU and memory figures they print, and the quantiles of the times they measure.
// QtCore only, so that every benchmark can use it whatever it links.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLatin1String>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace bench {

#ifdef LEXAR_SOURCE_DIR
// The corpus when none is named: ../shared/corpus/ruslit beside the project.
inline QString defaultCorpus()
{
    return QStringLiteral(LEXAR_SOURCE_DIR "/../shared/corpus/ruslit");
}
#endif

// Whether the corpus is there; when it is not, says that the benchmark `name` is
// skipped (the benchmark then exits with success).
inline bool corpusPresent(const char *name, const QString &corpus)
{
    if (QFileInfo::exists(corpus))
        return true;
    std::printf("%s: corpus %s not found; skipped.\n", name, qPrintable(QDir::cleanPath(corpus)));
    return false;
}

// Reads the option `name` with its value at args[i] and moves i onto the value;
// false, with nothing changed, when args[i] is not that option followed by a value.
inline bool option(const QStringList &args, int &i, const char *name, QString &value)
{
    if (args[i] != QLatin1String(name) || i + 1 >= args.size())
        return false;
    value = args[++i];
    return true;
}
// The same for a count (at least 1).
inline bool option(const QStringList &args, int &i, const char *name, int &value)
{
    QString text;
    if (!option(args, i, name, text))
        return false;
    value = std::max(1, text.toInt());
    return true;
}

// A "Name:  123 kB" field of /proc/<process>/status ("self" or a process id), in kB;
// -1 when unknown.
inline long statusKb(const QString &process, const QByteArray &field)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(process));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Peak resident memory of this process (VmHWM) in kB; -1 when unknown.
inline long peakRssKb()
{
    return statusKb(QStringLiteral("self"), "VmHWM");
}

// Resident memory of another process (VmRSS), in MB; -1 when unknown.
inline double rssMb(qint64 pid)
{
    const long kb = statusKb(QString::number(pid), "VmRSS");
    return kb < 0 ? -1 : double(kb) / 1024.0;
}

// CPU time of the calling thread, in milliseconds.
inline double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// The value at quantile q (0..1) of sorted, non-empty values.
inline double quantile(const std::vector<double> &sorted, double q)
{
    return sorted[std::min(sorted.size() - 1, size_t(q * double(sorted.size())))];
}

// Wall-clock and CPU time of one request, in milliseconds.
struct Timing {
    double wall = 0;
    double cpu = 0;
};

// Times the calling thread from its construction on.
class Stopwatch {
public:
    Stopwatch() : m_cpu0(threadCpuMs()) { m_wall.start(); }
    Timing elapsed() const { return Timing{double(m_wall.nsecsElapsed()) / 1e6, threadCpuMs() - m_cpu0}; }

private:
    double m_cpu0;
    QElapsedTimer m_wall;
};

// A table of the times per case: count, median, 95th percentile and maximum of the
// wall-clock time, 95th percentile and maximum of the CPU time. Wall-clock figures
// grow on a machine shared with other work; the CPU time of the answering thread
// much less, so both are printed. `title` may be null; `caseWidth` is the width of
// the first column.
inline void reportTimings(const char *title, const std::map<std::string, std::vector<Timing>> &times,
                          int caseWidth)
{
    if (title)
        std::printf("%s\n", title);
    std::printf("  %-*s %6s %9s %9s %9s %9s %9s\n", caseWidth, "case", "count", "median", "p95", "max", "cpu p95",
                "cpu max");
    for (const auto &[name, v] : times) {
        if (v.empty())
            continue;
        std::vector<double> wall, cpu;
        for (const Timing &t : v) {
            wall.push_back(t.wall);
            cpu.push_back(t.cpu);
        }
        std::sort(wall.begin(), wall.end());
        std::sort(cpu.begin(), cpu.end());
        std::printf("  %-*s %6zu %9.3f %9.3f %9.3f %9.3f %9.3f\n", caseWidth, name.c_str(), v.size(),
                    quantile(wall, 0.5), quantile(wall, 0.95), wall.back(), quantile(cpu, 0.95), cpu.back());
    }
    std::printf("  (milliseconds)\n");
}

} // namespace bench
