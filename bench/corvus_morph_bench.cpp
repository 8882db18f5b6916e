// Accuracy of the server's morphology on CoNLL-U treebanks (see MorphAccuracy.h
// for the comparison rules), and the time to open the dictionary and to analyse
// every distinct form.
//
//   corvus_morph_bench [--dictionary <folder>] [--misses N] file.conllu...
//   corvus_morph_bench --corpus <folder> --forms души,были,мне
//       builds the corpus (cold, in a temporary cache) and shows the forms' lemmas
//
// With no files it reads the development sets in ../shared/ud when they are there.
#include "MorphAccuracy.h"

#include "corpus/Corpus.h"
#include "corpus/MorphDictionary.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <map>

// Counts the gold classes of neighbouring tokens and writes them as the context
// model's table.
static int writeTable(const QStringList &files, const QString &out)
{
    using namespace corvus;
    std::map<std::pair<int, int>, int> counts;
    for (const QString &file : files)
        for (const morphacc::Sentence &s : morphacc::readConllu(file)) {
            int prev = morph::Context::punctClass(".");
            for (const morphacc::GoldToken &g : s.tokens) {
                const int c = morphacc::goldClass(g);
                ++counts[{prev, c}];
                prev = c;
            }
        }
    QFile f(out);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::printf("cannot write %s\n", qPrintable(out));
        return 1;
    }
    QByteArray text = "#pragma once\n// Written by corvus_morph_bench --train from the development sets of the\n"
                      "// UD Russian treebanks GSD and Poetry (CC BY-SA 4.0): how often a token of a\n"
                      "// class (part of speech * 8 + case, see MorphContext.h) follows one of another.\n"
                      "#include <cstdint>\n\nnamespace corvus::morph {\n\n"
                      "// {previous class, class, count}\ninline constexpr uint16_t kClassBigrams[][3] = {\n";
    int col = 0;
    for (const auto &[k, v] : counts) {
        text += (col == 0 ? "    " : " ") + QByteArray("{") + QByteArray::number(k.first) + ", " + QByteArray::number(k.second)
                + ", " + QByteArray::number(v) + "},";
        if (++col == 6) {
            text += '\n';
            col = 0;
        }
    }
    text += (col ? "\n" : "") + QByteArray("};\n\n} // namespace corvus::morph\n");
    f.write(text);
    std::printf("%zu class pairs written to %s\n", counts.size(), qPrintable(out));
    return 0;
}

// How a corpus's build lemmatised some forms: each form's tokens by lemma and part
// of speech, and the tokens of the lemma each form has most often.
static int lemmasInCorpus(const QString &folder, const QStringList &forms)
{
    using namespace corvus;
    QTemporaryDir cache;
    CorpusOptions options;
    options.paths << folder;
    options.cacheDir = cache.path();
    QElapsedTimer timer;
    timer.start();
    QString error;
    const auto c = Corpus::load(options, &error);
    if (!c) {
        std::printf("%s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s: %u tokens, built in %.1f s; %s\n", qPrintable(folder), c->tokenCount(),
                double(timer.elapsed()) / 1000, qPrintable(c->stats().lemmatiser));
    for (const QString &f : forms) {
        const uint32_t form = c->findForm(charset::toCp1251(f.toLower()).toStdString());
        if (form == kNone) {
            std::printf("%s: not in the corpus\n", qPrintable(f));
            continue;
        }
        std::map<std::pair<uint32_t, std::string>, uint32_t> byLemma;
        for (const uint32_t t : c->forms().postings(form))
            ++byLemma[{c->lemmaOf(t), std::string(c->posOfType(c->typeOf(t)))}];
        std::printf("%s (%zu):", qPrintable(f), c->forms().postings(form).size());
        for (const auto &[k, n] : byLemma)
            std::printf(" %s/%s %u", charset::cp1251ToUtf8(c->lemmas().text(k.first)).c_str(), k.second.c_str(), n);
        // The lemma most of the tokens have, and a few tokens that have another.
        uint32_t lemma = kNone, most = 0;
        for (const auto &[k, n] : byLemma)
            if (n > most) {
                most = n;
                lemma = k.first;
            }
        std::printf("; lemma %s: %u tokens\n", charset::cp1251ToUtf8(c->lemmas().text(lemma)).c_str(),
                    c->lemmas().count(lemma));
        int shown = 0;
        for (const uint32_t t : c->forms().postings(form)) {
            if (c->lemmaOf(t) == lemma || shown == 5)
                continue;
            ++shown;
            std::string line;
            for (uint32_t k = t >= 4 ? t - 4 : 0; k < std::min(c->tokenCount(), t + 4); ++k)
                line += (k == t ? "[" : "") + c->display(k) + (k == t ? "]" : "") + " ";
            std::printf("    %s-> %s\n", charset::cp1251ToUtf8(line).c_str(),
                        charset::cp1251ToUtf8(c->lemmas().text(c->lemmaOf(t))).c_str());
        }
    }
    return 0;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    using namespace corvus;
    QStringList files;
    QString folder;
    int misses = 0;
    QString train, corpus;
    QStringList forms;
    float weight = -1;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--dictionary") && i + 1 < args.size())
            folder = args[++i];
        else if (args[i] == QStringLiteral("--corpus") && i + 1 < args.size())
            corpus = args[++i];
        else if (args[i] == QStringLiteral("--forms") && i + 1 < args.size())
            forms = args[++i].split(QLatin1Char(','));
        else if (args[i] == QStringLiteral("--train") && i + 1 < args.size())
            train = args[++i];
        else if (args[i] == QStringLiteral("--weight") && i + 1 < args.size())
            weight = args[++i].toFloat();
        else if (args[i] == QStringLiteral("--misses") && i + 1 < args.size())
            misses = args[++i].toInt();
        else
            files << args[i];
    }
    if (files.isEmpty()) {
        const QDir ud(QStringLiteral(LEXAR_SOURCE_DIR "/../shared/ud"));
        for (const QString &f : ud.entryList({QStringLiteral("*.conllu")}, QDir::Files, QDir::Name))
            files << ud.filePath(f);
    }
    if (files.isEmpty()) {
        std::printf("no CoNLL-U files: nothing to measure\n");
        return 0;
    }
    if (!train.isEmpty())
        return writeTable(files, train);
    if (!corpus.isEmpty())
        return lemmasInCorpus(corpus, forms);
    if (folder.isEmpty())
        folder = morph::Dictionary::defaultPath();
    QElapsedTimer timer;
    timer.start();
    QString error;
    auto dict = morph::Dictionary::open(folder, &error);
    if (!dict) {
        std::printf("%s\n", qPrintable(error));
        return 1;
    }
    const double openMs = double(timer.nsecsElapsed()) / 1e6;
    morph::Analyser analyser(dict);
    if (weight >= 0)
        analyser.setContextWeight(weight);
    std::printf("dictionary: %s, opened in %.1f ms\n", qPrintable(dict->description()), openMs);
    for (const QString &file : files) {
        const auto sentences = morphacc::readConllu(file);
        std::map<std::string, int> counts;
        size_t kinds[3] = {0, 0, 0};   // lemma misses: unaligned, chosen wrong, never offered
        timer.restart();
        const morphacc::Score s = morphacc::evaluate(analyser, sentences, [&](const morphacc::GoldToken &g,
                                                                              const std::string &lemma,
                                                                              const char *upos,
                                                                              const morph::Analyser::Token *t) {
            if (!t) {
                ++kinds[0];
            } else if (morphacc::comparable(lemma) != morphacc::comparable(g.lemma)) {
                bool among = false;
                for (uint32_t k = 0; k < t->count; ++k)
                    among = among || morphacc::comparable(t->readings[k].lemma) == morphacc::comparable(g.lemma);
                ++kinds[among ? 1 : 2];
            }
            if (misses > 0)
                ++counts[charset::cp1251ToUtf8(g.form) + " " + charset::cp1251ToUtf8(g.lemma) + " " + g.upos + " -> "
                         + charset::cp1251ToUtf8(lemma) + " " + upos];
        });
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        std::printf("%s: %zu sentences, %zu words (%zu unaligned): lemma %.3f %%, UPOS %.3f %% (%.0f ms)\n",
                    qPrintable(QFileInfo(file).fileName()), sentences.size(), s.words, s.unaligned, s.lemma(),
                    s.upos(), ms);
        std::printf("  wrong lemmas: %zu chosen among the readings, %zu not offered, %zu unaligned\n", kinds[1],
                    kinds[2], kinds[0]);
        std::vector<std::pair<int, std::string>> top;
        for (const auto &[k, v] : counts)
            top.emplace_back(v, k);
        std::sort(top.rbegin(), top.rend());
        for (int i = 0; i < misses && i < int(top.size()); ++i)
            std::printf("  %4d  %s\n", top[size_t(i)].first, top[size_t(i)].second.c_str());
    }
    return 0;
}
