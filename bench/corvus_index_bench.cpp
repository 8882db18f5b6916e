// Index benchmark of the corpus server: cold build (import, tokenising,
// lemmatising, indexing, cache write), tokenising and indexing alone, warm start
// from the cache, and peak resident memory per token. Each phase runs in its own
// child process so that its peak RSS (VmHWM) is its own.
//
//   corvus_index_bench <corpus folder> [--dictionary <hunspell base>] [--phase all|tokenise|cold|warm]
#include "BenchCommon.h"
#include "corpus/Corpus.h"
#include "corpus/CorpusData.h"
#include "corpus/Import.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace corvus;

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void memoryLine(uint32_t tokens)
{
    std::printf("  CPU time of the phase (all threads): %.3f s\n", cpuSeconds());
    const long kb = bench::peakRssKb();
    std::printf("  peak RSS (VmHWM): %.1f MB = %.1f bytes per token\n", kb / 1024.0,
                tokens ? kb * 1024.0 / tokens : 0.0);
}

int tokenise(const QString &corpus)
{
    std::vector<import::SourceFile> files;
    QString error;
    if (!import::scanRoots({corpus}, files, &error)) {
        std::fprintf(stderr, "%s\n", error.toUtf8().constData());
        return 1;
    }
    BuildStats stats;
    CorpusOptions options;
    CorpusBuilder builder(options, QString(), stats);
    QElapsedTimer t;
    t.start();
    builder.importFiles(files, &error);
    const double import = t.nsecsElapsed() / 1e9;
    auto c = builder.finish(false);
    const double all = t.nsecsElapsed() / 1e9;
    std::printf("tokenising + indexing (no lemmas): %u texts, %u tokens (%llu words), %u forms\n", c->textCount(),
                c->tokenCount(), static_cast<unsigned long long>(c->wordCount()), c->forms().size());
    std::printf("  read+decode+tokenise+intern: %.3f s = %.2f M tokens/s\n", import, c->tokenCount() / import / 1e6);
    std::printf("  with orders and postings:    %.3f s = %.2f M tokens/s\n", all, c->tokenCount() / all / 1e6);
    memoryLine(c->tokenCount());
    return 0;
}

int load(const QString &corpus, const QString &cacheDir, const QString &dictionary, bool expectWarm)
{
    CorpusOptions options;
    options.paths = QStringList{corpus};
    options.cacheDir = cacheDir;
    options.dictionary = dictionary;
    QString error;
    QElapsedTimer t;
    t.start();
    auto c = Corpus::load(options, &error);
    const double s = t.nsecsElapsed() / 1e9;
    if (!c) {
        std::fprintf(stderr, "load failed: %s\n", error.toUtf8().constData());
        return 1;
    }
    const BuildStats &st = c->stats();
    if (expectWarm != st.fromCache)
        std::printf("  NOTE: expected a %s start\n", expectWarm ? "warm" : "cold");
    if (st.fromCache) {
        std::printf("warm start from cache: %.3f s (%u tokens, %u texts)\n", s, c->tokenCount(), c->textCount());
        std::printf("  cache file: %.1f MB\n", QFileInfo(st.cacheFile).size() / 1048576.0);
    } else {
        std::printf("cold build: %.3f s = %.2f M tokens/s overall\n", s, c->tokenCount() / s / 1e6);
        std::printf("  import %.3f s, lemmas %.3f s, index %.3f s, cache write %.3f s\n", st.importSeconds,
                    st.lemmaSeconds, st.indexSeconds, s - st.importSeconds - st.lemmaSeconds - st.indexSeconds);
        std::printf("  %u texts, %u tokens, %llu words, %u forms, %u lemmas\n", c->textCount(), c->tokenCount(),
                    static_cast<unsigned long long>(c->wordCount()), c->forms().size(), c->lemmas().size());
        for (const QString &w : st.warnings)
            std::printf("  warning: %s\n", w.toUtf8().constData());
        if (!st.cacheWarning.isEmpty())
            std::printf("  warning: %s\n", st.cacheWarning.toUtf8().constData());
    }
    memoryLine(c->tokenCount());
    return 0;
}

template <typename F>
int inChild(F &&f)
{
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        const int rc = f();
        std::fflush(stdout);
        _exit(rc);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QString corpus, dictionary, phase = QStringLiteral("all");
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QStringLiteral("--dictionary") && i + 1 < argc)
            dictionary = QString::fromLocal8Bit(argv[++i]);
        else if (a == QStringLiteral("--phase") && i + 1 < argc)
            phase = QString::fromLocal8Bit(argv[++i]);
        else
            corpus = a;
    }
    if (corpus.isEmpty()) {
        std::fprintf(stderr, "usage: corvus_index_bench <corpus folder> [--dictionary <base>] "
                             "[--phase all|tokenise|cold|warm]\n");
        return 2;
    }
    if (!QFileInfo(corpus).isDir()) {
        std::printf("corpus folder not found: %s -- benchmark skipped\n", corpus.toUtf8().constData());
        return 0;
    }
    std::printf("corpus: %s\n", QFileInfo(corpus).absoluteFilePath().toUtf8().constData());

    QTemporaryDir cache;
    int rc = 0;
    if (phase == QStringLiteral("all") || phase == QStringLiteral("tokenise"))
        rc |= inChild([&] { return tokenise(corpus); });
    if (phase == QStringLiteral("all") || phase == QStringLiteral("cold") || phase == QStringLiteral("warm"))
        rc |= inChild([&] { return load(corpus, cache.path(), dictionary, false); });
    if (phase == QStringLiteral("all") || phase == QStringLiteral("warm"))
        rc |= inChild([&] { return load(corpus, cache.path(), dictionary, true); });
    return rc;
}
