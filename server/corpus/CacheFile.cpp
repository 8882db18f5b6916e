#include "corpus/CorpusData.h"
#include "corpus/CacheHasher.h"
#include "corpus/MappingGuard.h"
#include "corpus/TextCleaning.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>

namespace corvus {
// Every array of the index with its section id: the one list that both the writer
// and the reader walk, so the two cannot disagree.
template <typename F>
void CacheFile::visitArrays(Corpus &c, F &&f)
{
    f(1, c.m_tokens);
    f(4, c.m_formLemma);
    f(5, c.m_lemmaFormOffsets);
    f(6, c.m_lemmaForms);
    f(7, c.m_punctChars);
    f(8, c.m_punctOffsets);
    f(9, c.m_surfaceTokens);
    f(50, c.m_surfaceOffsets);
    f(51, c.m_surfaceChars);
    visitLexicon(10, c.m_forms, f);
    visitLexicon(30, c.m_lemmas, f);
    f(60, c.m_tokenTypes);
    f(61, c.m_typeForm);
    f(62, c.m_typeLemma);
    f(63, c.m_typePos);
    f(64, c.m_typeFeats);
    f(65, c.m_typeFlags);
    f(66, c.m_typeCount);
    f(68, c.m_tagChars);
    f(69, c.m_tagOffsets);
}

namespace {

const char kMagic[8] = {'C', 'O', 'R', 'V', 'U', 'S', 'I', 'X'};

struct Header {
    char magic[8];
    uint32_t version;
    uint32_t sectionCount;
    unsigned char fingerprint[32];
    uint64_t bodyHash;   // of everything after the header
    uint64_t fileSize;
};
static_assert(sizeof(Header) == 64, "cache header layout");

struct Section {
    uint32_t id;
    uint32_t elemSize;
    uint64_t offset;
    uint64_t count;
};
static_assert(sizeof(Section) == 24, "cache section layout");

enum : uint32_t { kTexts = 100, kScalars = 101, kWarnings = 102, kDigest = 103, kAttributes = 104 };
// Ids from here on are the tables of the layers above the index.
constexpr uint32_t kFirstTableId = 1000;

} // namespace

template <typename F>
void CacheFile::visitLexicon(uint32_t base, Lexicon &lex, F &&f)
{
    f(base + 0, lex.m_chars);
    f(base + 1, lex.m_offsets);
    f(base + 2, lex.m_count);
    f(base + 3, lex.m_flags);
    f(base + 4, lex.m_reverseOrder);
    f(base + 5, lex.m_reverseRank);
    f(base + 6, lex.m_freqOrder);
    f(base + 7, lex.m_freqRank);
    f(base + 8, lex.m_postOffsets);
    f(base + 9, lex.m_postings);
}

namespace {

void putU32(QByteArray &b, uint32_t v) { b.append(reinterpret_cast<const char *>(&v), 4); }
void putBytes(QByteArray &b, const QByteArray &s)
{
    putU32(b, uint32_t(s.size()));
    b.append(s);
}

QByteArray serialiseTexts(const std::vector<TextInfo> &texts)
{
    QByteArray b;
    putU32(b, uint32_t(texts.size()));
    for (const TextInfo &t : texts) {
        putU32(b, t.firstToken);
        putU32(b, t.tokenCount);
        putU32(b, t.wordCount);
        putU32(b, t.entry);
        putU32(b, uint32_t(t.kind));
        putU32(b, uint32_t(uint16_t(t.yearFrom)) | (uint32_t(uint16_t(t.yearTo)) << 16));
        putBytes(b, t.author);
        putBytes(b, t.title);
        putBytes(b, t.source);
        putU32(b, uint32_t(t.attributes.size()));
        for (const TextAttribute &a : t.attributes) {
            putU32(b, a.key);
            putBytes(b, a.value);
        }
    }
    return b;
}

// The keys and captions of the texts' further attributes.
QByteArray serialiseAttributes(const CorpusData &d)
{
    QByteArray b;
    putU32(b, uint32_t(d.attributeKeys.size()));
    for (size_t k = 0; k < d.attributeKeys.size(); ++k) {
        putBytes(b, d.attributeKeys[k]);
        putBytes(b, d.attributeCaptions[k]);
    }
    return b;
}

class Reader {
public:
    Reader(const char *p, size_t n) : m_p(p), m_end(p + n) {}
    bool u32(uint32_t &v)
    {
        if (m_end - m_p < 4)
            return false;
        std::memcpy(&v, m_p, 4);
        m_p += 4;
        return true;
    }
    bool bytes(QByteArray &out)
    {
        uint32_t n;
        if (!u32(n) || uint64_t(m_end - m_p) < n)
            return false;
        out = QByteArray(m_p, qsizetype(n));
        m_p += n;
        return true;
    }
    bool atEnd() const { return m_p == m_end; }

private:
    const char *m_p;
    const char *m_end;
};

bool parseAttributes(const char *p, size_t n, CorpusData &d)
{
    Reader r(p, n);
    uint32_t count;
    if (!r.u32(count) || count > n / 8)
        return false;
    d.attributeKeys.resize(count);
    d.attributeCaptions.resize(count);
    for (uint32_t k = 0; k < count; ++k) {
        if (!r.bytes(d.attributeKeys[k]) || !r.bytes(d.attributeCaptions[k]))
            return false;
        // The builder kept them cleaned; a file written otherwise gets no raw tag
        // onto the wire either.
        d.attributeCaptions[k] = cleaning::cleanCaption(std::move(d.attributeCaptions[k]));
    }
    return r.atEnd();
}

bool parseTexts(const char *p, size_t n, std::vector<TextInfo> &texts, uint32_t maxAttributes)
{
    Reader r(p, n);
    uint32_t count;
    if (!r.u32(count) || count > n / 36)
        return false;
    texts.resize(count);
    for (TextInfo &t : texts) {
        uint32_t kind, years;
        uint32_t attributes = 0;
        if (!r.u32(t.firstToken) || !r.u32(t.tokenCount) || !r.u32(t.wordCount) || !r.u32(t.entry) || !r.u32(kind)
            || !r.u32(years) || kind > 1 || !r.bytes(t.author) || !r.bytes(t.title) || !r.bytes(t.source)
            || !r.u32(attributes) || attributes > maxAttributes)
            return false;
        // Only the attributes the text has, by ascending key: a key out of range
        // or out of order is a damaged file.
        t.attributes.resize(attributes);
        for (size_t i = 0; i < t.attributes.size(); ++i) {
            TextAttribute &a = t.attributes[i];
            if (!r.u32(a.key) || a.key >= maxAttributes || (i > 0 && a.key <= t.attributes[i - 1].key)
                || !r.bytes(a.value))
                return false;
        }
        t.kind = TextKind(kind);
        t.yearFrom = int16_t(uint16_t(years & 0xFFFF));
        t.yearTo = int16_t(uint16_t(years >> 16));
    }
    return r.atEnd();
}

bool writeAll(QSaveFile &f, CacheHasher &h, const void *data, size_t n)
{
    h.add(data, n);
    return f.write(static_cast<const char *>(data), qint64(n)) == qint64(n);
}

uint64_t align8(uint64_t v) { return (v + 7) & ~uint64_t(7); }

// The cheap check of a file: the header's fields but its checksum, and the section
// table.
uint64_t digestOf(const char *header, const char *table, size_t tableBytes)
{
    CacheHasher h;
    h.add(header, 48);
    h.add(header + 56, 8);
    h.add(table, tableBytes);
    return h.result();
}

// What is wrong with a mapped file's header ("truncated", "stale"...), or nullptr:
// magic, version, fingerprint, size and the section table's room; with `full`,
// the checksum of everything after the header.
const char *headerProblem(const char *base, uint64_t size, const QByteArray &fingerprint, bool full, Header &h)
{
    if (size < sizeof(Header))
        return "truncated";
    std::memcpy(&h, base, sizeof h);
    if (std::memcmp(h.magic, kMagic, 8) != 0)
        return "not a cache";
    if (h.version != kIndexFormatVersion)
        return "old format";
    if (fingerprint.size() < 32 || std::memcmp(h.fingerprint, fingerprint.constData(), 32) != 0)
        return "stale";
    if (h.fileSize != size || h.sectionCount == 0 || h.sectionCount > 10000)
        return "truncated";
    const uint64_t tableEnd = sizeof(Header) + uint64_t(h.sectionCount) * sizeof(Section);
    if (tableEnd > size)
        return "truncated";
    if (full) {
        CacheHasher hasher;
        hasher.add(base + sizeof(Header), size_t(size) - sizeof(Header));
        if (hasher.result() != h.bodyHash)
            return "checksum";
    }
    return nullptr;
}

// The section table of a mapped file whose header passed, and its sections as
// spans.
class SectionTable {
public:
    SectionTable(const char *base, uint64_t size, uint32_t count)
        : m_base(base), m_size(size), m_tableEnd(sizeof(Header) + uint64_t(count) * sizeof(Section)), m_table(count)
    {
        std::memcpy(m_table.data(), base + sizeof(Header), count * sizeof(Section));
    }
    const std::vector<Section> &sections() const { return m_table; }
    const char *at(const Section &s) const { return m_base + s.offset; }
    // Whether a section lies inside the file, after the table. Each bound on its
    // own: a sum of two of them could wrap around.
    bool placed(const Section &s) const
    {
        return s.elemSize != 0 && s.elemSize <= 64 && s.offset % s.elemSize == 0 && s.offset >= m_tableEnd
            && s.offset <= m_size && s.count <= m_size && s.count * s.elemSize <= m_size - s.offset;
    }
    // Points the span at section `id`; a section missing, misplaced or of another
    // element size leaves it alone and makes ok() false.
    template <typename S>
    void get(uint32_t id, S &span)
    {
        using T = std::remove_const_t<std::remove_reference_t<decltype(span[0])>>;
        const char *p = nullptr;
        uint64_t n = 0;
        if (!find(id, uint32_t(sizeof(T)), p, n)) {
            m_ok = false;
            return;
        }
        span = S(reinterpret_cast<const T *>(p), size_t(n));
    }
    bool ok() const { return m_ok; }

private:
    bool find(uint32_t id, uint32_t elemSize, const char *&p, uint64_t &count) const
    {
        for (const Section &s : m_table) {
            if (s.id != id)
                continue;
            if (s.elemSize != elemSize || !placed(s))
                return false;
            p = m_base + s.offset;
            count = s.count;
            return true;
        }
        return false;
    }

    const char *m_base;
    uint64_t m_size, m_tableEnd;
    std::vector<Section> m_table;
    bool m_ok = true;
};

} // namespace

// ---- The mapping ----

std::shared_ptr<FileMapping> FileMapping::open(const QString &path, const char **why)
{
    std::shared_ptr<FileMapping> m(new FileMapping);
    m->m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (m->m_fd < 0) {
        *why = "missing";
        return nullptr;
    }
    struct stat st {};
    if (::fstat(m->m_fd, &st) != 0) {
        *why = "unreadable";
        return nullptr;
    }
    m->m_size = size_t(st.st_size);
    if (m->m_size == 0) {
        *why = "truncated";
        return nullptr;
    }
    void *p = ::mmap(nullptr, m->m_size, PROT_READ, MAP_SHARED, m->m_fd, 0);
    if (p == MAP_FAILED) {
        *why = "cannot map";
        return nullptr;
    }
    m->m_data = static_cast<const char *>(p);
    // Queries read the arrays here and there: no page is mapped for them beyond
    // the one they read.
    ::madvise(p, m->m_size, MADV_RANDOM);
    mappingguard::add(m->m_data, m->m_size);   // the file may be cut short while mapped
    return m;
}

std::shared_ptr<FileMapping> FileMapping::again() const
{
    std::shared_ptr<FileMapping> m(new FileMapping);
    m->m_fd = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    if (m->m_fd < 0)
        return nullptr;
    m->m_size = m_size;
    void *p = ::mmap(nullptr, m->m_size, PROT_READ, MAP_SHARED, m->m_fd, 0);
    if (p == MAP_FAILED)
        return nullptr;
    m->m_data = static_cast<const char *>(p);
    mappingguard::add(m->m_data, m->m_size);
    return m;
}

FileMapping::~FileMapping()
{
    if (m_data) {
        mappingguard::remove(m_data);
        ::munmap(const_cast<char *>(m_data), m_size);
    }
    if (m_fd >= 0)
        ::close(m_fd);
}

// ---- The cache file ----

uint64_t CacheFile::checksum(const void *data, size_t size)
{
    CacheHasher h;
    h.add(data, size);
    return h.result();
}

void CacheFile::attachOwned(Corpus &c)
{
    CorpusData &d = *c.m_data;
    c.m_tokens = d.tokens;
    c.m_formLemma = d.formLemma;
    c.m_lemmaFormOffsets = d.lemmaFormOffsets;
    c.m_lemmaForms = d.lemmaForms;
    c.m_punctChars = Span<char>(d.punctChars.data(), d.punctChars.size());
    c.m_punctOffsets = d.punctOffsets;
    c.m_surfaceTokens = d.surfaceTokens;
    c.m_surfaceOffsets = d.surfaceOffsets;
    c.m_surfaceChars = Span<char>(d.surfaceChars.data(), d.surfaceChars.size());
    c.m_tokenTypes = d.tokenTypes;
    c.m_typeForm = d.typeForm;
    c.m_typeLemma = d.typeLemma;
    c.m_typePos = d.typePos;
    c.m_typeFeats = d.typeFeats;
    c.m_typeFlags = d.typeFlags;
    c.m_typeCount = d.typeCount;
    c.m_tagChars = Span<char>(d.tagChars.data(), d.tagChars.size());
    c.m_tagOffsets = d.tagOffsets;
    auto lex = [](Lexicon &l, LexiconStore &s) {
        l.m_chars = Span<char>(s.chars.data(), s.chars.size());
        l.m_offsets = s.offsets;
        l.m_count = s.count;
        l.m_flags = s.flags;
        l.m_reverseOrder = s.revOrder;
        l.m_reverseRank = s.revRank;
        l.m_freqOrder = s.freqOrder;
        l.m_freqRank = s.freqRank;
        l.m_postOffsets = s.postOffsets;
        l.m_postings = s.postings;
    };
    lex(c.m_forms, d.forms);
    lex(c.m_lemmas, d.lemmas);
    c.m_wordCount = c.m_forms.m_postings.size();
    c.locateTexts();
}

bool CacheFile::write(const Corpus &corpusIn, const QString &path, const QByteArray &fingerprint,
                      const TableWriter *tables, QString *error)
{
    Corpus &c = const_cast<Corpus &>(corpusIn);   // visited read-only
    struct Item {
        uint32_t id;
        uint32_t elemSize;
        const void *data;
        uint64_t count;
    };
    std::vector<Item> items;
    auto add = [&](uint32_t id, auto &span) {
        using T = std::remove_const_t<std::remove_reference_t<decltype(span[0])>>;
        items.push_back({id, uint32_t(sizeof(T)), span.data(), span.size()});
    };
    visitArrays(c, add);
    const QByteArray texts = serialiseTexts(c.m_data->texts);
    items.push_back({kTexts, 1, texts.constData(), uint64_t(texts.size())});
    const QByteArray attributes = serialiseAttributes(*c.m_data);
    items.push_back({kAttributes, 1, attributes.constData(), uint64_t(attributes.size())});
    const uint64_t scalars[2] = {c.m_wordCount, c.m_forms.size()};
    items.push_back({kScalars, 8, scalars, 2});
    const QByteArray warnings = c.m_stats.warnings.join(QLatin1Char('\n')).toUtf8();
    items.push_back({kWarnings, 1, warnings.constData(), uint64_t(warnings.size())});
    uint64_t digest = 0;
    items.push_back({kDigest, 8, &digest, 1});
    if (tables) {
        for (const TableWriter::Item &it : tables->items())
            if (it.id >= kFirstTableId)
                items.push_back({it.id, it.elemSize, it.data, it.count});
    }

    Header h{};
    std::memcpy(h.magic, kMagic, 8);
    h.version = kIndexFormatVersion;
    h.sectionCount = uint32_t(items.size());
    std::memcpy(h.fingerprint, fingerprint.constData(), size_t(std::min<qsizetype>(32, fingerprint.size())));

    std::vector<Section> table;
    uint64_t offset = align8(sizeof(Header) + items.size() * sizeof(Section));
    for (const Item &it : items) {
        table.push_back({it.id, it.elemSize, offset, it.count});
        offset = align8(offset + it.count * it.elemSize);
    }
    h.fileSize = offset;
    digest = digestOf(reinterpret_cast<const char *>(&h), reinterpret_cast<const char *>(table.data()),
                      table.size() * sizeof(Section));

    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("Не удалось записать кэш индекса: %1").arg(path);
        return false;
    }
    CacheHasher hasher;
    bool ok = f.write(reinterpret_cast<const char *>(&h), sizeof h) == qint64(sizeof h);
    uint64_t pos = sizeof(Header);
    const char zeros[8] = {};
    ok = ok && writeAll(f, hasher, table.data(), table.size() * sizeof(Section));
    pos += table.size() * sizeof(Section);
    for (size_t i = 0; ok && i < items.size(); ++i) {
        ok = writeAll(f, hasher, zeros, size_t(table[i].offset - pos));
        pos = table[i].offset;
        const uint64_t bytes = items[i].count * items[i].elemSize;
        ok = ok && writeAll(f, hasher, items[i].data, size_t(bytes));
        pos += bytes;
    }
    ok = ok && writeAll(f, hasher, zeros, size_t(h.fileSize - pos));
    h.bodyHash = hasher.result();
    ok = ok && f.seek(0) && f.write(reinterpret_cast<const char *>(&h), sizeof h) == qint64(sizeof h);
    if (!ok || !f.commit()) {
        if (error)
            *error = QStringLiteral("Не удалось записать кэш индекса: %1").arg(path);
        f.cancelWriting();
        return false;
    }
    // Read back and sealed: the next start trusts it without reading it whole.
    sealVerified(path);
    return true;
}

std::shared_ptr<Corpus> CacheFile::read(const QString &path, const QByteArray &fingerprint, QString *why,
                                        CacheCheck check)
{
    const char *reason = nullptr;
    std::shared_ptr<FileMapping> mapping = FileMapping::open(path, &reason);
    if (!mapping) {
        if (why)
            *why = QString::fromLatin1(reason);
        return nullptr;
    }
    return readMapped(std::move(mapping), fingerprint, why, check);
}

std::shared_ptr<Corpus> CacheFile::recheck(const Corpus &corpus, QString *why)
{
    const CorpusData &d = *corpus.m_data;
    std::shared_ptr<FileMapping> mapping = d.mapping ? d.mapping->again() : nullptr;
    if (!mapping) {
        if (why)
            *why = QStringLiteral("cannot map");
        return nullptr;
    }
    return readMapped(std::move(mapping), d.fingerprint, why, CacheCheck::Full);
}

std::shared_ptr<Corpus> CacheFile::readMapped(std::shared_ptr<FileMapping> mapping, const QByteArray &fingerprint,
                                              QString *why, CacheCheck check)
{
    auto fail = [&](const char *reason) {
        if (why)
            *why = QString::fromLatin1(reason);
        return std::shared_ptr<Corpus>();
    };
    const bool full = check == CacheCheck::Full;
    const uint64_t size = mapping->size();
    const char *base = mapping->data();
    Header h;
    if (const char *problem = headerProblem(base, size, fingerprint, full, h))
        return fail(problem);

    SectionTable table(base, size, h.sectionCount);
    if (!full) {
        // The checksum of the whole file waits for the full check; this one covers
        // the header and the section table.
        Span<uint64_t> digest;
        table.get(kDigest, digest);
        if (!table.ok() || digest.size() != 1)
            return fail("sections");
        if (digest[0] != digestOf(base, base + sizeof(Header), h.sectionCount * sizeof(Section)))
            return fail("checksum");
    }

    std::shared_ptr<Corpus> c(new Corpus);
    c->m_data = std::make_unique<CorpusData>();
    CorpusData &d = *c->m_data;
    d.mapping = mapping;
    d.fingerprint = fingerprint.left(32);
    Corpus &cc = *c;
    visitArrays(cc, [&](uint32_t id, auto &span) { table.get(id, span); });
    Span<char> texts, attributes;
    Span<uint64_t> scalars;
    table.get(kTexts, texts);
    table.get(kAttributes, attributes);
    table.get(kScalars, scalars);
    if (!table.ok() || scalars.size() != 2)
        return fail("sections");
    if (!parseAttributes(attributes.data(), attributes.size(), d)
        || !parseTexts(texts.data(), texts.size(), d.texts, uint32_t(d.attributeKeys.size())))
        return fail("texts");
    Span<char> warnings;
    table.get(kWarnings, warnings);
    if (!table.ok())
        return fail("sections");
    if (!warnings.empty())
        cc.m_stats.warnings = QString::fromUtf8(warnings.data(), qsizetype(warnings.size())).split(QLatin1Char('\n'));
    d.tables.m_full = full;
    for (const Section &s : table.sections()) {
        if (s.id < kFirstTableId)
            continue;
        if (!table.placed(s))
            return fail("sections");
        d.tables.m_entries.push_back({s.id, s.elemSize, table.at(s), s.count});
    }

    // Sizes first (whatever the check), then every id and offset in range, so that
    // no query can read outside the map.
    if (const char *problem = sizesProblem(cc, scalars, full))
        return fail(problem);
    if (full)
        if (const char *problem = contentsProblem(cc))
            return fail(problem);
    cc.m_wordCount = scalars[0];
    cc.locateTexts();
    return c;
}

} // namespace corvus
