// The corpus cache file reader. A valid cache of a small corpus is made once; each
// input patches it (offset, bytes; optionally a new length) and, unless it says
// otherwise, puts a matching checksum and size into the header, so that the reader
// gets past the checksum to the checks of the sections, ids and offsets. A cache
// the reader accepts is then used: every token shown, every value and posting read,
// the concordance engine built over it and a selection made.
// Invariants: nothing crashes or reads outside the file; a file the reader accepts
// is safe to serve from.
//
// The start also makes pairs of lemmatisers on two threads at the same instant, as
// the index build does: hunspell's shared tables must not leak (the leak check at
// the fuzzer's exit would report them).
#include "concordance/Query.h"
#include "corpus/Corpus.h"
#include "corpus/CorpusData.h"
#include "corpus/Lemmatiser.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

QTemporaryDir *dir = nullptr;
QByteArray pristine;
QByteArray fingerprint;
QString patchedPath;

void write(const QString &path, const char *utf8)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile f(path);
    check(f.open(QIODevice::WriteOnly));
    f.write(utf8);
}

void makeCache()
{
    dir = new QTemporaryDir;
    check(dir->isValid());
    std::atexit([] { delete dir; });
    const QString root = dir->path() + QStringLiteral("/corpus");
    write(root + QStringLiteral("/prose/Гоголь/Нос.txt"),
          "Марта 25 числа случилось в Петербурге необыкновенно-странное происшествие. "
          "Цирюльник Иван Яковлевич, живущий на Вознесенском проспекте, проснулся довольно рано.\n");
    write(root + QStringLiteral("/стихи/Тютчев/Весна.txt"),
          "Люблю грозу в начале мая,\nКогда весенний, первый гром,\nКак бы резвяся и играя,\n"
          "Грохочет в небе голубом.\n");
    write(root + QStringLiteral("/fortunes/ru"), "Век живи — век учись.\n%\nЯблоко от яблони...\n\t-- Народ\n%\n");
    // An annotated file makes the index keep word types, parts of speech, features
    // and a further text attribute.
    write(root + QStringLiteral("/Гоголь/Сталь.conllu"),
          "# newdoc id = d1\n# newdoc genre = повесть\n"
          "1\tСтали\tсталь\tNOUN\t_\tCase=Nom\t_\t_\t_\t_\n"
          "2\tстали\tстать\tVERB\t_\tTense=Past\t_\t_\t_\tSpaceAfter=No\n"
          "3\t.\t.\tPUNCT\t_\t_\t_\t_\t_\t_\n\n");
    corvus::CorpusOptions o;
    o.paths = {root};
    o.cacheDir = dir->path() + QStringLiteral("/cache");
    o.threads = 2;   // two lemmatisers made at once, as the server does
    QString error;
    const auto corpus = corvus::Corpus::load(o, &error);
    check(corpus && !corpus->stats().cacheFile.isEmpty());
    QFile f(corpus->stats().cacheFile);
    check(f.open(QIODevice::ReadOnly));
    pristine = f.readAll();
    check(pristine.size() > 64);
    fingerprint = pristine.mid(16, 32);
    patchedPath = dir->path() + QStringLiteral("/patched.idx");
}

void lemmatisersAtOnce()
{
    const QString base = dir->path() + QStringLiteral("/mini");
    write(base + QStringLiteral(".aff"), "SET UTF-8\nSFX A Y 1\nSFX A 0 а .\n");
    write(base + QStringLiteral(".dic"), "2\nдом/A\nкот/A\n");
    for (int round = 0; round < 200; ++round) {
        std::atomic<int> ready{0};
        const auto make = [&] {
            ++ready;
            while (ready.load() < 2) {
            }
            QString error;
            check(corvus::Lemmatiser::open(base, &error) != nullptr);
        };
        std::thread a(make), b(make);
        a.join();
        b.join();
    }
}

void use(const corvus::Corpus &c)
{
    QByteArray shown;
    for (uint32_t t = 0; t < c.tokenCount(); ++t) {
        c.appendDisplay(t, shown);
        const corvus::TextInfo &ti = c.text(c.textOf(t));
        check(t >= ti.firstToken && t - ti.firstToken < ti.tokenCount);
        if (!c.isPunct(t)) {
            (void)c.lemmaOf(t);
            const uint32_t type = c.typeOf(t);
            check(type < c.typeCount() && c.formOfType(type) == c.formOf(t));
            shown += QByteArray(c.posOfType(type).data(), qsizetype(c.posOfType(type).size()));
            shown += QByteArray(c.featsOfType(type).data(), qsizetype(c.featsOfType(type).size()));
            (void)c.lemmas().text(c.lemmaOfType(type));
        }
    }
    uint64_t typed = 0;
    for (uint32_t type = 0; type < c.typeCount(); ++type)
        typed += c.typeTokenCount(type);
    check(typed == c.wordCount());
    for (uint32_t text = 0; text < c.textCount(); ++text)
        for (uint32_t k = 0; k < c.attributeCount(); ++k)
            shown += c.textAttribute(text, k) + c.attributeCaption(k);
    for (const corvus::Lexicon *lx : {&c.forms(), &c.lemmas()}) {
        for (uint32_t v = 0; v < lx->size(); ++v) {
            shown += QByteArray(lx->text(v).data(), qsizetype(lx->text(v).size()));
            for (const uint32_t t : lx->postings(v))
                check(t < c.tokenCount());
            (void)lx->byReverse(lx->reverseRank(v));
            (void)lx->byFrequency(lx->frequencyRank(v));
        }
    }
    (void)c.summary();
    const auto engine = std::make_shared<const corvus::conc::ConcEngine>(
        std::shared_ptr<const corvus::Corpus>(&c, [](const corvus::Corpus *) {}));
    tCConcPos conc;
    conc.Level = 1;
    conc.CharNo[1] = corvus::conc::kCharLemma;
    conc.ValueNo[1] = 0;
    (void)engine->select(conc, OptionList::initial());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    makeCache();
    lemmatisersAtOnce();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t mode = data[0];
    QByteArray file = pristine;
    size_t at = 1;
    if (mode & 2) {
        // A new length: shorter, or longer by up to 255 bytes.
        const uint32_t n = at + 2 <= size ? uint32_t(data[at] | data[at + 1] << 8) : 0;
        at += 2;
        file.resize(n % qsizetype(pristine.size() + 256));
    }
    while (at + 4 <= size && !file.isEmpty()) {
        // A patch: offset (3 bytes), length (1 byte), the bytes.
        const size_t offset = size_t(data[at] | data[at + 1] << 8 | data[at + 2] << 16) % size_t(file.size());
        const size_t length = data[at + 3];
        at += 4;
        for (size_t i = 0; i < length && at < size && offset + i < size_t(file.size()); ++i)
            file[qsizetype(offset + i)] = char(data[at++]);
    }
    if (!(mode & 1) && file.size() >= 64) {
        const uint64_t sum = corvus::CacheFile::checksum(file.constData() + 64, size_t(file.size() - 64));
        const uint64_t length = uint64_t(file.size());
        std::memcpy(file.data() + 48, &sum, 8);
        std::memcpy(file.data() + 56, &length, 8);
    }
    {
        QFile out(patchedPath);
        check(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        check(out.write(file) == file.size());
    }
    QString why;
    const auto corpus = corvus::CacheFile::read(patchedPath, fingerprint, &why);
    check(corpus || !why.isEmpty());
    if (corpus)
        use(*corpus);
    return 0;
}
