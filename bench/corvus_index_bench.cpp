// Index benchmark of the corpus server: cold build (import, tokenising,
// lemmatising, indexing, cache write), tokenising and indexing alone, warm start
// from the cache, and peak resident memory per token. Each phase runs in its own
// child process so that its peak RSS (VmHWM) is its own. The phase "annotated"
// writes the corpus as vertical text and as CoNLL-U and times a cold build of each.
//
//   corvus_index_bench <corpus folder> [--dictionary <hunspell base>]
//                      [--morphology <folder> | --no-morphology]
//                      [--phase all|tokenise|cold|warm|annotated] [--converted <folder>]
//
// The builds lemmatise with the morphology dictionary installed beside the
// benchmark (or the one given), with hunspell under --no-morphology.
//
// --converted keeps the converted corpus (folders vrt and conllu) in the folder
// given instead of a temporary one, and uses it without converting again when it
// is there.
#include "BenchCommon.h"
#include "corpus/Corpus.h"
#include "corpus/CorpusData.h"
#include "corpus/Charset.h"
#include "corpus/Import.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

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

// The morphology of the timed builds (CorpusOptions::morphology, useMorphology).
QString g_morphology;
bool g_useMorphology = true;

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
    const double cpu0 = cpuSeconds();
    builder.importFiles(files, &error);
    const double import = t.nsecsElapsed() / 1e9, importCpu = cpuSeconds() - cpu0;
    auto c = builder.finish(false);
    const double all = t.nsecsElapsed() / 1e9;
    std::printf("tokenising + indexing (no lemmas): %u texts, %u tokens (%llu words), %u forms\n", c->textCount(),
                c->tokenCount(), static_cast<unsigned long long>(c->wordCount()), c->forms().size());
    std::printf("  read+decode+tokenise+intern: %.3f s = %.2f M tokens/s; CPU %.3f s = %.2f M tokens/s\n", import,
                c->tokenCount() / import / 1e6, importCpu, c->tokenCount() / importCpu / 1e6);
    std::printf("  with orders and postings:    %.3f s = %.2f M tokens/s\n", all, c->tokenCount() / all / 1e6);
    memoryLine(c->tokenCount());
    return 0;
}

// Corpus::load of one folder, timed; null (and the error on stderr) when it fails.
std::shared_ptr<const Corpus> timedLoad(const QString &folder, const QString &cacheDir, const QString &dictionary,
                                        double *seconds)
{
    CorpusOptions options;
    options.paths = QStringList{folder};
    options.cacheDir = cacheDir;
    options.dictionary = dictionary;
    options.morphology = g_morphology;
    options.useMorphology = g_useMorphology;
    QString error;
    QElapsedTimer t;
    t.start();
    auto c = Corpus::load(options, &error);
    *seconds = t.nsecsElapsed() / 1e9;
    if (!c)
        std::fprintf(stderr, "load failed: %s\n", error.toUtf8().constData());
    return c;
}

int load(const QString &corpus, const QString &cacheDir, const QString &dictionary, bool expectWarm)
{
    double s = 0;
    const auto c = timedLoad(corpus, cacheDir, dictionary, &s);
    if (!c)
        return 1;
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
        std::printf("  lemmatiser: %s\n", st.lemmatiser.isEmpty() ? "none" : st.lemmatiser.toUtf8().constData());
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

// A 1251 value inside a double-quoted XML attribute.
std::string xmlValue(const QByteArray &v)
{
    std::string out;
    for (const char c : v) {
        if (c == '&')
            out += "&amp;";
        else if (c == '"')
            out += "&quot;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

bool writeUtf8(const QString &path, const std::string &cp1251)
{
    QFile f(path);
    const std::string utf8 = charset::cp1251ToUtf8(cp1251);
    return f.open(QIODevice::WriteOnly) && f.write(utf8.data(), qint64(utf8.size())) == qint64(utf8.size());
}

// Writes every text of the corpus as a vertical text file (word, lemma, pos) and a
// CoNLL-U file, UTF-8, under out/vrt and out/conllu: the lemma is the folded form,
// the part of speech "X" (punctuation "PUNCT"); a sentence ends after ".", "!",
// "?" and at a paragraph end.
int convert(const QString &corpus, const QString &out)
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
    builder.importFiles(files, &error);
    auto c = builder.finish(false);
    QDir().mkpath(out + QStringLiteral("/vrt"));
    QDir().mkpath(out + QStringLiteral("/conllu"));
    std::string vrt, conllu, form;
    for (uint32_t i = 0; i < c->textCount(); ++i) {
        const TextInfo &t = c->text(i);
        vrt = "<text author=\"" + xmlValue(t.author) + "\" title=\"" + xmlValue(t.title) + "\"";
        conllu = "# newdoc id = t" + std::to_string(i) + "\n# meta::author = " + t.author.toStdString()
            + "\n# meta::title = " + t.title.toStdString() + "\n";
        if (t.yearFrom) {
            vrt += " year=\"" + std::to_string(t.yearFrom) + "\"";
            conllu += "# meta::year = " + std::to_string(t.yearFrom) + "\n";
        }
        vrt += ">\n<p>\n<s>\n";
        int id = 0, sentence = 0;
        const uint32_t end = t.firstToken + t.tokenCount;
        for (uint32_t tok = t.firstToken; tok < end; ++tok) {
            form = c->display(tok);
            const bool punct = c->isPunct(tok);
            const std::string_view lemma = punct ? std::string_view(form) : c->forms().text(c->formOf(tok));
            const char *pos = punct ? "PUNCT" : "X";
            if (id == 0)
                conllu += "# sent_id = " + std::to_string(i) + "-" + std::to_string(++sentence) + "\n";
            const bool joined = tok + 1 < end && !(c->tokenFlags(tok + 1) & kSpaceBefore);
            vrt.append(form).append("\t").append(lemma).append("\t").append(pos).append("\n");
            conllu.append(std::to_string(++id)).append("\t").append(form).append("\t").append(lemma);
            conllu.append("\t").append(pos).append("\t_\t_\t_\t_\t_\t").append(joined ? "SpaceAfter=No" : "_");
            conllu.append("\n");
            const bool paragraph = c->tokenFlags(tok) & kParagraphEnd;
            if (paragraph || (punct && form.find_first_of(".!?") != std::string::npos)) {
                vrt += paragraph ? "</s>\n</p>\n<p>\n<s>\n" : "</s>\n<s>\n";
                conllu += "\n";
                id = 0;
            }
        }
        vrt += "</s>\n</p>\n</text>\n";
        const QString name = QString::number(i);
        if (!writeUtf8(out + QStringLiteral("/vrt/") + name + QStringLiteral(".vrt"), vrt)
            || !writeUtf8(out + QStringLiteral("/conllu/") + name + QStringLiteral(".conllu"), conllu)) {
            std::fprintf(stderr, "cannot write the converted corpus to %s\n", out.toUtf8().constData());
            return 1;
        }
    }
    std::printf("converted: %u texts, %u tokens, to %s/{vrt,conllu}\n", c->textCount(), c->tokenCount(),
                out.toUtf8().constData());
    return 0;
}

// The import of a converted corpus alone (reading, decoding, parsing, interning),
// in wall-clock and CPU time: on a machine shared with other work the CPU time is
// the steadier figure.
int importAnnotated(const QString &folder, const char *format)
{
    std::vector<import::SourceFile> files;
    QString error;
    if (!import::scanRoots({folder}, files, &error)) {
        std::fprintf(stderr, "%s\n", error.toUtf8().constData());
        return 1;
    }
    BuildStats stats;
    CorpusOptions options;
    CorpusBuilder builder(options, QString(), stats);
    QElapsedTimer t;
    t.start();
    const double cpu0 = cpuSeconds();
    if (!builder.importFiles(files, &error)) {
        std::fprintf(stderr, "%s\n", error.toUtf8().constData());
        return 1;
    }
    const double wall = t.nsecsElapsed() / 1e9, cpu = cpuSeconds() - cpu0;
    const uint32_t tokens = builder.tokenCount();
    std::printf("%s import (read+decode+parse+intern): %u texts, %u tokens\n", format, builder.textCount(), tokens);
    std::printf("  %.3f s = %.2f M tokens/s; CPU %.3f s = %.2f M tokens/s\n", wall, tokens / wall / 1e6, cpu,
                tokens / cpu / 1e6);
    return 0;
}

// A cold build of a converted corpus.
int loadAnnotated(const QString &folder, const char *format, const QString &cacheDir, const QString &dictionary)
{
    double s = 0;
    const auto c = timedLoad(folder, cacheDir, dictionary, &s);
    if (!c)
        return 1;
    const BuildStats &st = c->stats();
    std::printf("%s, cold build: %u texts, %u tokens, %llu words, %u forms, %u lemmas\n", format, c->textCount(),
                c->tokenCount(), static_cast<unsigned long long>(c->wordCount()), c->forms().size(),
                c->lemmas().size());
    std::printf("  import %.3f s = %.2f M tokens/s\n", st.importSeconds, c->tokenCount() / st.importSeconds / 1e6);
    std::printf("  whole build: %.3f s = %.2f M tokens/s (lemmas %.3f s, index %.3f s)\n", s,
                c->tokenCount() / s / 1e6, st.lemmaSeconds, st.indexSeconds);
    for (const QString &w : st.warnings)
        std::printf("  warning: %s\n", w.toUtf8().constData());
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
    // The morphology's data is found beside the program (Dictionary::defaultPath).
    QCoreApplication app(argc, argv);
    QString corpus, dictionary, phase = QStringLiteral("all"), convertedDir;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QStringLiteral("--dictionary") && i + 1 < argc)
            dictionary = QString::fromLocal8Bit(argv[++i]);
        else if (a == QStringLiteral("--morphology") && i + 1 < argc)
            g_morphology = QString::fromLocal8Bit(argv[++i]);
        else if (a == QStringLiteral("--no-morphology"))
            g_useMorphology = false;
        else if (a == QStringLiteral("--converted") && i + 1 < argc)
            convertedDir = QFileInfo(QString::fromLocal8Bit(argv[++i])).absoluteFilePath();
        else if (a == QStringLiteral("--phase") && i + 1 < argc)
            phase = QString::fromLocal8Bit(argv[++i]);
        else
            corpus = a;
    }
    if (corpus.isEmpty()) {
        std::fprintf(stderr, "usage: corvus_index_bench <corpus folder> [--dictionary <base>] "
                             "[--morphology <folder> | --no-morphology] "
                             "[--phase all|tokenise|cold|warm|annotated] [--converted <folder>]\n");
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
    if (phase == QStringLiteral("annotated")) {
        QTemporaryDir temporary;
        const QString converted = convertedDir.isEmpty() ? temporary.path() : convertedDir;
        const QString vrtCache = cache.path() + QStringLiteral("/vrt"), conlluCache = cache.path() + QStringLiteral("/conllu");
        if (convertedDir.isEmpty() || !QFileInfo(converted + QStringLiteral("/conllu")).isDir())
            rc |= inChild([&] { return convert(corpus, converted); });
        if (rc == 0) {
            rc |= inChild([&] { return importAnnotated(converted + QStringLiteral("/vrt"), "VRT"); });
            rc |= inChild([&] { return importAnnotated(converted + QStringLiteral("/conllu"), "CoNLL-U"); });
            rc |= inChild([&] {
                return loadAnnotated(converted + QStringLiteral("/vrt"), "VRT", vrtCache, dictionary);
            });
            rc |= inChild([&] {
                return loadAnnotated(converted + QStringLiteral("/conllu"), "CoNLL-U", conlluCache, dictionary);
            });
        }
    }
    return rc;
}
