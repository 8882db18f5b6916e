#pragma once
// Loading the corpus for the benchmarks that answer requests in process.
#include "BenchCommon.h"
#include "corpus/Corpus.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <memory>

namespace bench {

// Loads the corpus at `path` (cache folder as in `options`) and prints its size and
// the time the load took; null, with the error on stderr, when it cannot be loaded.
inline std::shared_ptr<const corvus::Corpus> loadCorpus(corvus::CorpusOptions options, const QString &path)
{
    options.paths = {path};
    QString error;
    QElapsedTimer clock;
    clock.start();
    std::shared_ptr<const corvus::Corpus> corpus = corvus::Corpus::load(options, &error);
    if (!corpus) {
        std::fprintf(stderr, "%s\n", error.toUtf8().constData());
        return nullptr;
    }
    std::printf("corpus: %u texts, %llu words, %u forms, %u lemmas; loaded in %.2f s\n", corpus->textCount(),
                static_cast<unsigned long long>(corpus->wordCount()), corpus->forms().size(),
                corpus->lemmas().size(), double(clock.elapsed()) / 1000.0);
    return corpus;
}

} // namespace bench
