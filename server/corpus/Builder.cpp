#include "corpus/Charset.h"
#include "corpus/CorpusData.h"
#include "corpus/Lemmatiser.h"
#include "corpus/TextCleaning.h"
#include "corpus/Tokeniser.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <numeric>
#include <optional>
#include <thread>

#ifdef __GLIBC__
#include <malloc.h>
#include <sys/stat.h>
#endif

namespace corvus {
namespace {

constexpr uint32_t kPunctBit = 0x80000000u;
// Token numbers must stay below kNone and below the punctuation bit of the build.
constexpr size_t kMaxTokens = 0x7FFFFF00u;
// A single file larger than this is skipped: it is not a literary text.
constexpr qint64 kMaxFileSize = qint64(1) << 30;

inline uint64_t hashBytes(std::string_view s)
{
    uint64_t h = 0x9E3779B97F4A7C15ull ^ (s.size() * 0xFF51AFD7ED558CCDull);
    const char *p = s.data();
    size_t n = s.size();
    while (n >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * 0xC2B2AE3D27D4EB4Full;
        h ^= h >> 29;
        p += 8;
        n -= 8;
    }
    uint64_t w = 0;
    std::memcpy(&w, p, n);
    h = (h ^ w) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 32;
    h *= 0x165667B19E3779F9ull;
    h ^= h >> 29;
    return h;
}

// Interned strings with dense ids in order of first appearance.
class StringTable {
public:
    StringTable() { rehash(1 << 12); }
    uint32_t intern(std::string_view s)
    {
        const uint64_t h = hashBytes(s);
        const uint32_t tag = uint32_t(h >> 32);
        size_t i = size_t(h) & m_mask;
        for (;;) {
            const uint64_t slot = m_slots[i];
            if (slot == 0)
                break;
            if (uint32_t(slot >> 32) == tag) {
                const uint32_t id = uint32_t(slot) - 1;
                if (view(id) == s)
                    return id;
            }
            i = (i + 1) & m_mask;
        }
        const uint32_t id = uint32_t(m_offsets.size() - 1);
        m_chars.append(s.data(), s.size());
        m_offsets.push_back(uint32_t(m_chars.size()));
        m_hashes.push_back(h);
        m_slots[i] = (uint64_t(tag) << 32) | (id + 1);
        if ((m_offsets.size() - 1) * 2 > m_slots.size())
            rehash(m_slots.size() * 2);
        return id;
    }
    uint32_t size() const { return uint32_t(m_offsets.size() - 1); }
    // Bytes of all the strings together.
    size_t bytes() const { return m_chars.size(); }
    // Frees the hash index once nothing more is interned: view() and size() keep
    // working, intern() must not be called again.
    void dropLookup()
    {
        std::vector<uint64_t>().swap(m_hashes);
        std::vector<uint64_t>().swap(m_slots);
        m_mask = 0;
    }
    // Frees the strings too; the table is empty and unusable afterwards. (Assigning
    // an empty table would not do: a string moved from a short one keeps its buffer.)
    void release()
    {
        dropLookup();
        std::string().swap(m_chars);
        std::vector<uint32_t>{0}.swap(m_offsets);
    }
    std::string_view view(uint32_t id) const
    {
        return std::string_view(m_chars.data() + m_offsets[id], m_offsets[id + 1] - m_offsets[id]);
    }

private:
    void rehash(size_t n)
    {
        m_slots.assign(n, 0);
        m_mask = n - 1;
        for (uint32_t id = 0; id + 1 < m_offsets.size(); ++id) {
            const uint64_t h = m_hashes[id];
            size_t i = size_t(h) & m_mask;
            while (m_slots[i])
                i = (i + 1) & m_mask;
            m_slots[i] = (uint64_t(uint32_t(h >> 32)) << 32) | (id + 1);
        }
    }
    std::string m_chars;
    std::vector<uint32_t> m_offsets{0};
    std::vector<uint64_t> m_hashes;
    std::vector<uint64_t> m_slots;
    size_t m_mask = 0;
};

// The display form rebuilt from the folded value and the case pattern.
void applyCase(std::string_view folded, uint8_t pattern, std::string &out)
{
    out.assign(folded.data(), folded.size());
    if (pattern == kCapital) {
        if (!out.empty())
            out[0] = char(charset::upper(uint8_t(out[0])));
    } else if (pattern == kUpper) {
        for (char &c : out)
            c = char(charset::upper(uint8_t(c)));
    }
}

QByteArray toBytes(const QString &s) { return charset::toCp1251(s); }

// Hands the allocator's free pages back to the system. glibc keeps what is freed
// inside its heaps (file buffers, hash tables, Hunspell's data) resident and
// counted in the process's memory while the index arrays are allocated beside it.
void releaseFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

enum class ReadResult { Ok, NotRegular, TooLarge, Failed };

// Reads a whole file into out, reusing its buffer from file to file: a regular
// file only (the descriptor is checked, not the name, so a link swapped meanwhile
// changes nothing), and never more than the size it has when opened, so a file
// that claims one size and gives endless bytes (/proc, a growing log) costs no
// more than its size.
ReadResult readWhole(QFile &file, std::string &out, qint64 maxSize = kMaxFileSize)
{
    struct stat st {};
    if (::fstat(file.handle(), &st) != 0)
        return ReadResult::Failed;
    if (!S_ISREG(st.st_mode))
        return ReadResult::NotRegular;
    if (st.st_size > maxSize)
        return ReadResult::TooLarge;
    out.resize(size_t(std::max<off_t>(st.st_size, 0)));
    size_t got = 0;
    while (got < out.size()) {
        const qint64 n = file.read(out.data() + got, qint64(out.size() - got));
        if (n < 0)
            return ReadResult::Failed;
        if (n == 0)
            break;
        got += size_t(n);
    }
    out.resize(got);
    return file.error() == QFileDevice::NoError ? ReadResult::Ok : ReadResult::Failed;
}

} // namespace

struct CorpusBuilder::Private {
    CorpusOptions options;
    QString dictionary;
    BuildStats &stats;
    StringTable words, puncts;
    // Form (or punctuation | kPunctBit) and flags of each token. The text of each
    // token follows from the texts' ranges and is filled in by finish().
    std::vector<uint32_t> tokForm;
    std::vector<uint8_t> tokFlags;
    std::vector<uint32_t> surfaceTokens, surfaceOffsets{0};
    std::string surfaceChars;
    std::vector<TextInfo> texts;
    std::string folded, rebuilt, cleaned;   // scratch
    bool overflow = false;

    explicit Private(BuildStats &s) : stats(s) {}

    // The word with its Latin look-alikes made Cyrillic, in cleaned; false (and
    // nothing counted) when the word is not such a mix.
    bool cleanLookAlikes(std::string_view word)
    {
        cleaned.assign(word.data(), word.size());
        if (!cleaning::fixLookAlikes(cleaned))
            return false;
        ++stats.cleaned.lookAlikeWords;
        return true;
    }
};

CorpusBuilder::CorpusBuilder(const CorpusOptions &options, const QString &dictionary, BuildStats &stats)
    : d(new Private(stats))
{
    d->options = options;
    d->dictionary = dictionary;
}

CorpusBuilder::~CorpusBuilder() = default;

uint32_t CorpusBuilder::tokenCount() const { return uint32_t(d->tokForm.size()); }
uint32_t CorpusBuilder::textCount() const { return uint32_t(d->texts.size()); }

void CorpusBuilder::addText(std::string_view body, TextInfo info)
{
    if (d->overflow)
        return;
    const uint8_t *lowerT = charset::lowerTable();
    const bool verse = info.kind == TextKind::Verse;
    info.firstToken = uint32_t(d->tokForm.size());
    uint32_t words = 0;
    Tokeniser tk(body);
    RawToken t;
    while (tk.next(t)) {
        if (d->tokForm.size() >= kMaxTokens) {
            d->overflow = true;
            break;
        }
        uint8_t flags = t.spaceBefore ? kSpaceBefore : 0;
        uint32_t id;
        if (t.punct) {
            id = d->puncts.intern(t.text) | kPunctBit;
            flags |= kPunct;
        } else {
            ++words;
            std::string_view text = t.text;
            std::string &f = d->folded;
            f.resize(text.size());
            bool changed = false;
            uint8_t high = 0, ascii = 0;
            const auto fold = [&] {
                changed = false;
                for (size_t i = 0; i < text.size(); ++i) {
                    const auto c = uint8_t(text[i]);
                    const uint8_t l = c == 0x92 ? uint8_t('\'') : lowerT[c];
                    changed |= l != c;
                    high |= c;
                    ascii |= uint8_t(~c);
                    f[i] = char(l);
                }
            };
            fold();
            // Both a non-ASCII and an ASCII byte: perhaps Cyrillic with Latin
            // look-alikes ("КO"), which is written all Cyrillic.
            if ((high & ascii & 0x80) && d->cleanLookAlikes(text)) {
                text = d->cleaned;
                fold();
            }
            id = d->words.intern(f);
            if (changed) {
                // Capitalised, all capitals, or kept apart.
                uint8_t pattern = kCapital;
                applyCase(f, kCapital, d->rebuilt);
                if (d->rebuilt != text) {
                    pattern = kUpper;
                    applyCase(f, kUpper, d->rebuilt);
                }
                if (d->rebuilt == text) {
                    flags |= pattern;
                } else {
                    flags |= kSurfaceOwn;
                    d->surfaceTokens.push_back(uint32_t(d->tokForm.size()));
                    d->surfaceChars.append(text.data(), text.size());
                    d->surfaceOffsets.push_back(uint32_t(d->surfaceChars.size()));
                }
            }
        }
        const int breaks = tk.lineBreaksAfter();
        if (breaks >= 1)
            flags |= verse ? (kLineEnd | kVerseLineEnd) : kLineEnd;
        if (breaks >= 2)
            flags |= kParagraphEnd;
        d->tokForm.push_back(id);
        d->tokFlags.push_back(flags);
    }
    info.tokenCount = uint32_t(d->tokForm.size()) - info.firstToken;
    if (info.tokenCount == 0)
        return;   // nothing to index: the text is left out
    d->tokFlags.back() |= kLineEnd | kParagraphEnd | (verse ? kVerseLineEnd : 0);
    info.wordCount = words;
    d->texts.push_back(std::move(info));
}

bool CorpusBuilder::importFiles(const std::vector<import::SourceFile> &files, QString *error)
{
    using import::FileKind;
    QElapsedTimer timer;
    timer.start();
    // info.csv per folder.
    QHash<QString, QHash<QString, import::InfoRow>> info;
    for (const auto &f : files) {
        if (f.kind != FileKind::InfoCsv)
            continue;
        QFile file(f.path);
        if (!file.open(QIODevice::ReadOnly)) {
            d->stats.warnings << QStringLiteral("Не удалось прочитать файл описаний: %1").arg(f.path);
            continue;
        }
        std::string bytes;
        if (readWhole(file, bytes, qint64(1) << 24) != ReadResult::Ok) {
            d->stats.warnings << QStringLiteral("Не удалось прочитать файл описаний: %1").arg(f.path);
            continue;
        }
        info.insert(f.folder, import::parseInfoCsv(QByteArray::fromStdString(bytes)));
    }

    // Room for the tokens up front: growing the arrays by copying would double
    // the peak memory. Untouched capacity costs address space only (the arrays are
    // large enough for the allocator to map them apart). A token takes
    // at least two bytes of source text (a letter and a separator) in 1251, four
    // in UTF-8 Cyrillic.
    qint64 total = 0;
    for (const auto &f : files)
        total += f.kind == FileKind::InfoCsv ? 0 : std::min(f.size, kMaxFileSize);
    const size_t expected = size_t(std::min<qint64>(total / 2 + 1024, qint64(kMaxTokens)));
    d->tokForm.reserve(expected);
    d->tokFlags.reserve(expected);

    // One buffer for the file's bytes and one for its 1251 text, reused by every
    // file and freed at the end.
    std::string raw, text;
    for (const auto &f : files) {
        if (f.kind == FileKind::InfoCsv)
            continue;
        if (f.size > kMaxFileSize) {
            d->stats.warnings << QStringLiteral("Файл корпуса слишком велик, пропущен: %1").arg(f.path);
            continue;
        }
        QFile file(f.path);
        if (!file.open(QIODevice::ReadOnly)) {
            d->stats.warnings << QStringLiteral("Не удалось прочитать файл корпуса: %1").arg(f.path);
            continue;
        }
        switch (readWhole(file, raw)) {
        case ReadResult::Ok:
            break;
        case ReadResult::NotRegular:
            d->stats.warnings << QStringLiteral("Файл корпуса не обычный файл, пропущен: %1").arg(f.path);
            continue;
        case ReadResult::TooLarge:
            d->stats.warnings << QStringLiteral("Файл корпуса слишком велик, пропущен: %1").arg(f.path);
            continue;
        case ReadResult::Failed:
            d->stats.warnings << QStringLiteral("Не удалось прочитать файл корпуса: %1").arg(f.path);
            continue;
        }
        if (!import::looksLikeText(raw)) {
            // A candidate without ".txt" is only a guess: no need to mention it.
            if (f.kind == FileKind::PlainText)
                d->stats.warnings << QStringLiteral("Файл корпуса не похож на текст (двоичные данные), "
                                                    "пропущен: %1").arg(f.path);
            continue;
        }
        text.clear();
        charset::toCp1251(raw, charset::detect(raw), text, &d->stats.cleaned);

        const bool fortunes = f.kind == FileKind::Candidate;
        if (fortunes && !import::looksLikeFortunes(text))
            continue;   // not a text of the corpus (no ".txt", no "%" separators)
        ++d->stats.filesRead;

        // Kind: the nearest folder that names one, prose by default.
        TextKind kind = TextKind::Prose;
        for (qsizetype i = f.folders.size() - 1; i >= 0; --i) {
            const int k = import::kindOfFolderName(f.folders[i]);
            if (k >= 0) {
                kind = k == 1 ? TextKind::Verse : TextKind::Prose;
                break;
            }
        }
        const QByteArray source = toBytes(f.relative);

        if (fortunes) {
            const QByteArray collection = toBytes(f.baseName);
            uint32_t n = 0;
            for (const auto &unit : import::splitFortunes(text)) {
                TextInfo t;
                t.kind = kind;
                t.entry = ++n;
                t.author = QByteArray(unit.author.data(), qsizetype(unit.author.size()));
                t.title = collection + ", " + charset::toCp1251(QStringLiteral("№ ")) + QByteArray::number(n);
                t.source = source;
                t.yearFrom = unit.year.from;
                t.yearTo = unit.year.to;
                addText(unit.body, std::move(t));
            }
        } else {
            TextInfo t;
            t.kind = kind;
            t.title = toBytes(f.baseName);
            t.source = source;
            // Author: the parent folder unless it is the root or names a kind.
            if (f.folders.size() >= 2 && import::kindOfFolderName(f.folders.back()) < 0)
                t.author = toBytes(f.folders.back());
            const auto folderInfo = info.constFind(f.folder);
            if (folderInfo != info.constEnd()) {
                const auto row = folderInfo->constFind(f.baseName);
                if (row != folderInfo->constEnd()) {
                    if (row->hasYear) {
                        t.yearFrom = row->year.from;
                        t.yearTo = row->year.to;
                    }
                    if (!row->author.isEmpty())
                        t.author = toBytes(row->author);
                    if (!row->title.isEmpty())
                        t.title = toBytes(row->title);
                    const int k = import::kindOfFolderName(row->kind);
                    if (k >= 0)
                        t.kind = k == 1 ? TextKind::Verse : TextKind::Prose;
                }
            }
            addText(text, std::move(t));
        }
        if (d->overflow) {
            if (error)
                *error = QStringLiteral("Корпус слишком велик: больше %1 словоупотреблений").arg(kMaxTokens);
            return false;
        }
    }
    d->stats.importSeconds = double(timer.nsecsElapsed()) / 1e9;
    return true;
}

namespace {

// Sorts ids 0..n-1 by the comparison, returning order and rank.
template <typename Less>
void orderBy(uint32_t n, Less less, std::vector<uint32_t> &order, std::vector<uint32_t> &rank)
{
    order.resize(n);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), less);
    rank.resize(n);
    for (uint32_t r = 0; r < n; ++r)
        rank[order[r]] = r;
}

// Fills a lexicon's strings from an interned table in a given order.
void fillStrings(const StringTable &table, const std::vector<uint32_t> &order, LexiconStore &lex)
{
    lex.chars.reserve(table.bytes());
    lex.offsets.reserve(order.size() + 1);
    lex.offsets.assign(1, 0);
    for (uint32_t id : order) {
        const auto v = table.view(id);
        lex.chars.append(v.data(), v.size());
        lex.offsets.push_back(uint32_t(lex.chars.size()));
    }
}

std::string_view lexText(const LexiconStore &lex, uint32_t id)
{
    return std::string_view(lex.chars.data() + lex.offsets[id], lex.offsets[id + 1] - lex.offsets[id]);
}

void buildOrders(LexiconStore &lex)
{
    const uint32_t n = uint32_t(lex.count.size());
    orderBy(n, [&](uint32_t a, uint32_t b) { return charset::compareReverse(lexText(lex, a), lexText(lex, b)) < 0; },
            lex.revOrder, lex.revRank);
    orderBy(n, [&](uint32_t a, uint32_t b) {
        return lex.count[a] != lex.count[b] ? lex.count[a] > lex.count[b] : a < b;
    }, lex.freqOrder, lex.freqRank);
}

// Counting sort without a cursor array. On entry offsets[i + 1] holds the size
// of bucket i; on return it holds the bucket's first slot and serves as its fill
// cursor: once every item is placed it is the end of bucket i, i.e. the start of
// bucket i + 1, and the offsets are final. Returns the number of items.
uint32_t startBuckets(std::vector<uint32_t> &offsets)
{
    offsets[0] = 0;
    uint32_t start = 0;
    for (size_t i = 1; i < offsets.size(); ++i) {
        const uint32_t size = offsets[i];
        offsets[i] = start;
        start += size;
    }
    return start;
}

void startPostings(LexiconStore &lex)
{
    lex.postOffsets.reserve(lex.count.size() + 1);
    lex.postOffsets.assign(1, 0);
    lex.postOffsets.insert(lex.postOffsets.end(), lex.count.begin(), lex.count.end());
    lex.postings.resize(startBuckets(lex.postOffsets));
}

} // namespace

std::shared_ptr<Corpus> CorpusBuilder::finish(bool lemmatise)
{
    QElapsedTimer timer;
    timer.start();
    const uint32_t W = d->words.size();
    // Nothing is interned any more: the tables' hash indexes go, and the pages the
    // import freed (file buffers, outgrown arrays) go back to the system before
    // Hunspell loads its dictionaries.
    d->words.dropLookup();
    d->puncts.dropLookup();
    releaseFreedMemory();

    // 1. Lemmas of the distinct word forms, on several threads (a Hunspell each).
    // Each thread keeps what it found as (form, lemma) records of its own: a few
    // bytes per form instead of a string object per form.
    struct Found {
        std::vector<uint32_t> forms, ends;
        std::string chars;
    };
    std::vector<Found> found;
    std::vector<uint8_t> formFlags(W, 0);
    for (uint32_t i = 0; i < W; ++i)
        for (char c : d->words.view(i))
            if (charset::isCyrillic(uint8_t(c))) {
                formFlags[i] |= kCyrillic;
                break;
            }
    if (lemmatise && !d->dictionary.isEmpty()) {
        const int threads = std::max(1, d->options.threads);
        std::atomic<uint32_t> next{0};
        std::vector<QString> errors(static_cast<size_t>(threads));
        found.resize(static_cast<size_t>(threads));
        auto work = [&](int t) {
            std::unique_ptr<Lemmatiser> lem = Lemmatiser::open(d->dictionary, &errors[size_t(t)]);
            if (!lem)
                return;
            Found &out = found[size_t(t)];
            for (;;) {
                const uint32_t begin = next.fetch_add(512);
                if (begin >= W)
                    break;
                const uint32_t end = std::min(W, begin + 512);
                for (uint32_t i = begin; i < end; ++i) {
                    if (!(formFlags[i] & kCyrillic))
                        continue;
                    if (auto l = lem->lemma(d->words.view(i))) {
                        out.forms.push_back(i);
                        out.chars += *l;
                        out.ends.push_back(uint32_t(out.chars.size()));
                        formFlags[i] |= kLemmaKnown;
                    }
                }
            }
        };
        std::vector<std::thread> pool;
        for (int t = 1; t < threads; ++t)
            pool.emplace_back(work, t);
        work(0);
        for (auto &th : pool)
            th.join();
        // The Hunspell objects are gone, but glibc keeps their freed pages in the
        // threads' arenas.
        releaseFreedMemory();
        bool all = true;
        for (const QString &e : errors)
            all = all && !e.isEmpty();
        if (all && !errors.empty())
            d->stats.warnings << errors.front();
    } else if (lemmatise) {
        d->stats.warnings << QStringLiteral("Словарь hunspell не найден: леммы не определены");
    }
    d->stats.lemmaSeconds = double(timer.nsecsElapsed()) / 1e9;
    timer.restart();

    auto data = std::make_unique<CorpusData>();
    CorpusData &c = *data;

    // 2. Word forms in alphabetical order: id == rank.
    std::vector<uint32_t> formOrder, formRank;
    orderBy(W, [&](uint32_t a, uint32_t b) { return charset::compareAlpha(d->words.view(a), d->words.view(b)) < 0; },
            formOrder, formRank);
    fillStrings(d->words, formOrder, c.forms);
    c.forms.flags.resize(W);
    for (uint32_t r = 0; r < W; ++r)
        c.forms.flags[r] = formFlags[formOrder[r]];
    std::vector<uint8_t>().swap(formFlags);

    // 3. Lemmas: hunspell's, or the form itself. The order of interning does not
    // matter: lemma ids are alphabetical ranks, given below.
    StringTable lemmaTable;
    std::vector<uint32_t> lemmaOfForm(W, kNone);   // by the forms' interning ids
    for (const Found &f : found) {
        uint32_t begin = 0;
        for (size_t k = 0; k < f.forms.size(); ++k) {
            lemmaOfForm[f.forms[k]] = lemmaTable.intern(std::string_view(f.chars).substr(begin, f.ends[k] - begin));
            begin = f.ends[k];
        }
    }
    std::vector<Found>().swap(found);
    for (uint32_t i = 0; i < W; ++i)
        if (lemmaOfForm[i] == kNone)
            lemmaOfForm[i] = lemmaTable.intern(d->words.view(i));
    const uint32_t L = lemmaTable.size();
    std::vector<uint32_t> lemmaOrder, lemmaRank;
    orderBy(L, [&](uint32_t a, uint32_t b) { return charset::compareAlpha(lemmaTable.view(a), lemmaTable.view(b)) < 0; },
            lemmaOrder, lemmaRank);
    fillStrings(lemmaTable, lemmaOrder, c.lemmas);
    c.lemmas.flags.assign(L, 0);
    c.formLemma.resize(W);
    for (uint32_t r = 0; r < W; ++r)
        c.formLemma[r] = lemmaRank[lemmaOfForm[formOrder[r]]];

    // 4. Punctuation strings by bytes, after the word forms.
    const uint32_t P = d->puncts.size();
    std::vector<uint32_t> punctOrder, punctRank;
    orderBy(P, [&](uint32_t a, uint32_t b) { return d->puncts.view(a) < d->puncts.view(b); }, punctOrder, punctRank);
    c.punctChars.reserve(d->puncts.bytes());
    c.punctOffsets.reserve(P + 1);
    c.punctOffsets.assign(1, 0);
    for (uint32_t id : punctOrder) {
        const auto v = d->puncts.view(id);
        c.punctChars.append(v.data(), v.size());
        c.punctOffsets.push_back(uint32_t(c.punctChars.size()));
    }

    // The interned strings are in the lexicons now; free them, and hand their pages
    // back, before the token texts and the postings take their room: those arrays
    // and the tokens' own are most of the index.
    d->words.release();
    d->puncts.release();
    lemmaTable.release();
    std::vector<uint32_t>().swap(lemmaOfForm);
    std::vector<uint32_t>().swap(formOrder);
    std::vector<uint32_t>().swap(lemmaOrder);
    std::vector<uint32_t>().swap(lemmaRank);
    std::vector<uint32_t>().swap(punctOrder);
    releaseFreedMemory();

    // 5. Tokens renumbered, counts.
    if (uint64_t(W) + P > kFormMask)
        return nullptr;   // form ids would not fit beside the flags
    std::vector<uint32_t> tokForm = std::move(d->tokForm);
    std::vector<uint8_t> tokFlags = std::move(d->tokFlags);
    c.texts = std::move(d->texts);
    const uint32_t N = uint32_t(tokForm.size());
    c.forms.count.assign(W, 0);
    c.lemmas.count.assign(L, 0);
    for (uint32_t &f : tokForm) {
        if (f & kPunctBit) {
            f = W + punctRank[f & ~kPunctBit];
        } else {
            f = formRank[f];
            ++c.forms.count[f];
        }
    }
    std::vector<uint32_t>().swap(formRank);
    std::vector<uint32_t>().swap(punctRank);
    for (uint32_t r = 0; r < W; ++r)
        c.lemmas.count[c.formLemma[r]] += c.forms.count[r];

    // 6. Postings in token order.
    startPostings(c.forms);
    startPostings(c.lemmas);
    {
        uint32_t *formCursor = c.forms.postOffsets.data() + 1;
        uint32_t *lemmaCursor = c.lemmas.postOffsets.data() + 1;
        uint32_t *formPostings = c.forms.postings.data();
        uint32_t *lemmaPostings = c.lemmas.postings.data();
        for (uint32_t t = 0; t < N; ++t) {
            const uint32_t f = tokForm[t];
            if (f < W) {
                formPostings[formCursor[f]++] = t;
                lemmaPostings[lemmaCursor[c.formLemma[f]]++] = t;
            }
        }
    }
    // Form and flags in one word per token.
    for (uint32_t t = 0; t < N; ++t)
        tokForm[t] |= uint32_t(tokFlags[t]) << kFormBits;
    c.tokens = std::move(tokForm);
    std::vector<uint8_t>().swap(tokFlags);

    // 7. Reverse and frequency orders.
    buildOrders(c.forms);
    buildOrders(c.lemmas);

    // 8. Forms of each lemma (ascending: the forms are visited in order).
    c.lemmaFormOffsets.assign(L + 1, 0);
    for (uint32_t r = 0; r < W; ++r)
        ++c.lemmaFormOffsets[c.formLemma[r] + 1];
    c.lemmaForms.resize(startBuckets(c.lemmaFormOffsets));
    for (uint32_t r = 0; r < W; ++r)
        c.lemmaForms[c.lemmaFormOffsets[c.formLemma[r] + 1]++] = r;

    // 9. Own display forms.
    c.surfaceTokens = std::move(d->surfaceTokens);
    c.surfaceOffsets = std::move(d->surfaceOffsets);
    c.surfaceChars = std::move(d->surfaceChars);

    std::shared_ptr<Corpus> corpus(new Corpus);
    corpus->m_data = std::move(data);
    CacheFile::attachOwned(*corpus);
    d->stats.indexSeconds = double(timer.nsecsElapsed()) / 1e9;
    return corpus;
}

} // namespace corvus
