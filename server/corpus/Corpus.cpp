#include "corpus/Corpus.h"

#include "corpus/Charset.h"
#include "corpus/CorpusData.h"
#include "corpus/ImportReport.h"
#include "corpus/MorphDictionary.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <sys/stat.h>

namespace corvus {

// ---- Lexicon ----

uint32_t Lexicon::find(std::string_view folded) const
{
    uint32_t lo = 0, hi = size();
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        const int c = charset::compareAlpha(text(mid), folded);
        if (c == 0)
            return mid;
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return kNone;
}

namespace {

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(std::string_view s, std::string_view suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

std::pair<uint32_t, uint32_t> Lexicon::prefixRange(std::string_view prefix) const
{
    // Values with the prefix are contiguous in alphabetical order: they follow
    // every smaller value that lacks it.
    uint32_t lo = 0, hi = size();
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (charset::compareAlpha(text(mid), prefix) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    const uint32_t first = lo;
    hi = size();
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (startsWith(text(mid), prefix))
            lo = mid + 1;
        else
            hi = mid;
    }
    return {first, lo};
}

std::pair<uint32_t, uint32_t> Lexicon::suffixRankRange(std::string_view suffix) const
{
    uint32_t lo = 0, hi = size();
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (charset::compareReverse(text(byReverse(mid)), suffix) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    const uint32_t first = lo;
    hi = size();
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (endsWith(text(byReverse(mid)), suffix))
            lo = mid + 1;
        else
            hi = mid;
    }
    return {first, lo};
}

// ---- Corpus ----

Corpus::Corpus() = default;
Corpus::~Corpus() = default;

void Corpus::locateTexts()
{
    CorpusData &d = *m_data;
    const uint32_t T = uint32_t(d.texts.size());
    d.textStarts.resize(T);
    for (uint32_t i = 0; i < T; ++i)
        d.textStarts[i] = d.texts[i].firstToken;
    // The text of the first token of each block of 2^kTextBlockBits tokens, and the
    // last text after them, so that a token's text lies between two neighbours.
    const size_t blocks = (size_t(tokenCount()) >> kTextBlockBits) + 1;
    d.textAtBlock.assign(blocks + 1, T > 0 ? T - 1 : 0);
    uint32_t text = 0;
    for (size_t b = 0; b < blocks && T > 0; ++b) {
        const uint64_t first = uint64_t(b) << kTextBlockBits;
        while (text + 1 < T && d.textStarts[text + 1] <= first)
            ++text;
        d.textAtBlock[b] = text;
    }
    m_textStarts = d.textStarts;
    m_textAtBlock = d.textAtBlock;
}

const TableReader &Corpus::tables() const
{
    return m_data->tables;
}

QString Corpus::cachePath() const
{
    return m_data->cachePath;
}

std::shared_ptr<const Corpus> Corpus::recheck(QString *why) const
{
    return CacheFile::recheck(*this, why);
}

bool Corpus::sealCache() const
{
    return CacheFile::seal(*this);
}

bool Corpus::removeCache(const QString &path)
{
    return CacheFile::remove(path);
}

bool Corpus::writeCache(const TableWriter &tables, QString *error) const
{
    if (m_data->cachePath.isEmpty())
        return false;
    QDir().mkpath(QFileInfo(m_data->cachePath).absolutePath());
    return CacheFile::write(*this, m_data->cachePath, m_data->fingerprint, &tables, error);
}

uint32_t Corpus::textCount() const { return uint32_t(m_data->texts.size()); }
const TextInfo &Corpus::text(uint32_t id) const
{
    static const TextInfo none;
    return id < m_data->texts.size() ? m_data->texts[id] : none;
}

uint32_t Corpus::positionInText(uint32_t token) const
{
    return token - text(textOf(token)).firstToken;
}

bool Corpus::lemmaKnown(uint32_t token) const
{
    const uint32_t f = formOf(token);
    return f < m_forms.size() && lemmaKnownOfType(typeOf(token));
}

bool Corpus::lemmaKnownOfType(uint32_t type) const
{
    if (m_tokenTypes.empty())
        return m_forms.flags(type) & kLemmaKnown;
    return type < m_typeFlags.size() && (m_typeFlags[type] & kLemmaKnown);
}

uint32_t Corpus::attributeCount() const { return uint32_t(m_data->attributeKeys.size()); }
const QByteArray &Corpus::attributeKey(uint32_t k) const { return m_data->attributeKeys[k]; }
const QByteArray &Corpus::attributeCaption(uint32_t k) const { return m_data->attributeCaptions[k]; }

QByteArray Corpus::textAttribute(uint32_t text, uint32_t k) const
{
    const std::vector<TextAttribute> &values = this->text(text).attributes;
    const auto it = std::lower_bound(values.begin(), values.end(), k,
                                     [](const TextAttribute &a, uint32_t key) { return a.key < key; });
    return it != values.end() && it->key == k ? it->value : QByteArray();
}

Table<uint32_t> Corpus::lemmaOccurrences(uint32_t lemma) const
{
    // A form of an annotated corpus may stand for other lemmas elsewhere.
    if (annotated())
        return m_lemmas.postings(lemma);
    const Span<uint32_t> forms = formsOfLemma(lemma);
    if (forms.size() == 1)
        return m_forms.postings(forms[0]);
    // The forms' ascending lists merged two at a time, the shortest first, so that
    // the long list of a frequent form is passed over once.
    std::vector<Span<uint32_t>> lists;
    for (const uint32_t f : forms)
        lists.push_back(m_forms.postings(f));
    std::sort(lists.begin(), lists.end(), [](const Span<uint32_t> &a, const Span<uint32_t> &b) {
        return a.size() < b.size();
    });
    std::vector<uint32_t> merged, next;
    for (const Span<uint32_t> &list : lists) {
        next.resize(merged.size() + list.size());
        std::merge(merged.begin(), merged.end(), list.begin(), list.end(), next.begin());
        merged.swap(next);
    }
    return Table<uint32_t>(std::move(merged));
}

std::string_view Corpus::punctText(uint32_t formId) const
{
    const uint32_t p = formId - m_forms.size();
    if (formId < m_forms.size() || p + 1 >= m_punctOffsets.size())
        return {};
    const uint32_t from = m_punctOffsets[p], to = m_punctOffsets[p + 1];
    if (from > to || to > m_punctChars.size())
        return {};
    return std::string_view(m_punctChars.data() + from, to - from);
}

std::string_view Corpus::displayBytes(uint32_t token, uint8_t *casePattern) const
{
    const uint8_t flags = tokenFlags(token);
    const uint32_t f = formOf(token);
    *casePattern = kLower;
    if (flags & kPunct)
        return punctText(f);
    if (flags & kSurfaceOwn) {
        const auto it = std::lower_bound(m_surfaceTokens.begin(), m_surfaceTokens.end(), token);
        if (it != m_surfaceTokens.end() && *it == token) {
            const size_t i = size_t(it - m_surfaceTokens.begin());
            const uint32_t from = m_surfaceOffsets[i], to = m_surfaceOffsets[i + 1];
            if (from <= to && to <= m_surfaceChars.size())
                return std::string_view(m_surfaceChars.data() + from, to - from);
        }
    }
    *casePattern = flags & kCaseMask;
    return m_forms.text(f);
}

void Corpus::applyCase(char *bytes, size_t size, uint8_t casePattern)
{
    if (casePattern == kCapital && size > 0) {
        bytes[0] = char(charset::upper(uint8_t(bytes[0])));
    } else if (casePattern == kUpper) {
        for (size_t i = 0; i < size; ++i)
            bytes[i] = char(charset::upper(uint8_t(bytes[i])));
    }
}

void Corpus::appendDisplay(uint32_t token, QByteArray &out) const
{
    uint8_t pattern = kLower;
    const std::string_view v = displayBytes(token, &pattern);
    const qsizetype start = out.size();
    out.append(v.data(), qsizetype(v.size()));
    if (pattern != kLower)
        applyCase(out.data() + start, v.size(), pattern);
}

std::string Corpus::display(uint32_t token) const
{
    QByteArray b;
    appendDisplay(token, b);
    return b.toStdString();
}

QByteArray Corpus::displayRange(uint32_t first, uint32_t count) const
{
    QByteArray out;
    if (first >= tokenCount() || count == 0)
        return out;
    const uint32_t text = textOf(first);
    const TextInfo &ti = m_data->texts[text];
    const uint32_t end = std::min<uint64_t>(uint64_t(first) + count, uint64_t(ti.firstToken) + ti.tokenCount);
    for (uint32_t t = first; t < end; ++t) {
        const uint8_t flags = tokenFlags(t);
        if (t > first && (flags & kSpaceBefore) && !(tokenFlags(t - 1) & kLineEnd))
            out.append(' ');
        appendDisplay(t, out);
        if (t + 1 < end) {
            if (flags & kParagraphEnd)
                out.append("\n\n");
            else if (flags & kLineEnd)
                out.append('\n');
        }
    }
    return out;
}

uint32_t Corpus::findForm(std::string_view s) const { return m_forms.find(charset::fold(s)); }
uint32_t Corpus::findLemma(std::string_view s) const { return m_lemmas.find(charset::fold(s)); }

QString Corpus::summary() const
{
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    QStringList names;
    for (const QString &p : m_paths)
        names << QFileInfo(p).fileName();
    uint32_t known = 0;
    for (uint32_t f = 0; f < m_forms.size(); ++f)
        known += (m_forms.flags(f) & kLemmaKnown) ? 1 : 0;
    return QStringLiteral("Корпус «%1»: текстов — %2, словоупотреблений — %3, словоформ — %4 "
                          "(с леммой из словаря — %5), лемм — %6.")
        .arg(names.join(QStringLiteral(", ")), ru.toString(textCount()), ru.toString(qulonglong(m_wordCount)),
             ru.toString(m_forms.size()), ru.toString(known), ru.toString(m_lemmas.size()));
}

QString Corpus::defaultCorpusPath()
{
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("games/fortunes/ru"),
                                  QStandardPaths::LocateDirectory);
}

QString Corpus::defaultDictionaryPath()
{
    for (const QString &dir : {QStringLiteral("hunspell"), QStringLiteral("myspell"), QStringLiteral("myspell/dicts")}) {
        const QString dic = QStandardPaths::locate(QStandardPaths::GenericDataLocation, dir + QStringLiteral("/ru_RU.dic"));
        if (!dic.isEmpty())
            return dic.left(dic.size() - 4);
    }
    return QString();
}

QString Corpus::morphologyFolder(const CorpusOptions &options)
{
    if (!options.useMorphology)
        return QString();
    return options.morphology.isEmpty() ? morph::Dictionary::defaultPath() : options.morphology;
}

QString Corpus::defaultCacheDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/corvus");
}

namespace {

void addFileStamp(QCryptographicHash &h, const QString &path)
{
    // One stat, its numbers as they are (no time zone looked up): size, times to
    // the nanosecond and identity; a missing file stamps as size -1.
    struct stat st {};
    const bool there = ::stat(QFile::encodeName(path).constData(), &st) == 0;
    const qint64 fields[] = {there ? qint64(st.st_size) : -1, there ? qint64(st.st_mtim.tv_sec) : 0,
                             there ? qint64(st.st_mtim.tv_nsec) : 0, there ? qint64(st.st_ctim.tv_sec) : 0,
                             there ? qint64(st.st_ctim.tv_nsec) : 0, there ? qint64(st.st_ino) : 0};
    h.addData(path.toUtf8());
    h.addData(QByteArrayView(reinterpret_cast<const char *>(fields), qsizetype(sizeof fields)));
}

// What a load reads and where its cache is kept.
struct LoadSources {
    QStringList roots;
    std::vector<import::SourceFile> files;
    QStringList scanWarnings;
    QString dictionary;      // hunspell's base path
    QByteArray fingerprint;  // what the cache must match
    QString cachePath;       // empty: no cache
};

QString noTextsError(const QStringList &roots)
{
    return QStringLiteral("В корпусе нет ни одного текста: %1").arg(roots.join(QStringLiteral(", ")));
}

// The corpus folders: the options' own, made absolute, or the default corpus;
// none, with the error, when that is not installed.
QStringList corpusRoots(const CorpusOptions &options, QString &err)
{
    QStringList roots;
    if (options.paths.isEmpty()) {
        const QString def = Corpus::defaultCorpusPath();
        if (def.isEmpty()) {
            err = QStringLiteral("Корпус по умолчанию не найден: не установлен пакет fortunes-ru "
                                 "(папка games/fortunes/ru)");
            return roots;
        }
        roots << def;
    } else {
        for (const QString &p : options.paths)
            roots << QFileInfo(p).absoluteFilePath();
    }
    return roots;
}

// The hunspell dictionary: the options' own, which must be there, or the default
// one (none when it is not installed). False, with the error, when the given one
// is missing.
bool findDictionary(const CorpusOptions &options, QString &dictionary, QString &err)
{
    dictionary = options.dictionary;
    if (dictionary.isEmpty()) {
        dictionary = Corpus::defaultDictionaryPath();
    } else if (!QFileInfo::exists(dictionary + QStringLiteral(".dic"))
               || !QFileInfo::exists(dictionary + QStringLiteral(".aff"))) {
        err = QStringLiteral("Словарь hunspell не найден: %1").arg(dictionary);
        return false;
    }
    return true;
}

// What the index depends on: format version, options, every file's stamp.
QByteArray indexFingerprint(const CorpusOptions &options, const LoadSources &s)
{
    QCryptographicHash fp(QCryptographicHash::Sha256);
    fp.addData(QByteArray::number(kIndexFormatVersion));
    fp.addData(s.roots.join(QLatin1Char('\n')).toUtf8());
    addFileStamp(fp, s.dictionary + QStringLiteral(".aff"));
    addFileStamp(fp, s.dictionary + QStringLiteral(".dic"));
    // The morphology's files, so that new data tags the corpus again.
    const QString morphology = Corpus::morphologyFolder(options);
    fp.addData(QByteArrayView("morphology="));
    fp.addData(morphology.toUtf8());
    fp.addData(QByteArrayView("\n"));
    if (!morphology.isEmpty())
        for (const char *name : {"words.dawg", "p_t_given_w.intdawg", "paradigms.array", "prediction-suffixes-0.dawg",
                                 "prediction-suffixes-1.dawg", "prediction-suffixes-2.dawg", "suffixes.json",
                                 "gramtab-opencorpora-int.json", "grammemes.json", "meta.json"})
            addFileStamp(fp, morphology + QLatin1Char('/') + QLatin1String(name));
    // The vrt.conf files are among the files below; the option is not.
    fp.addData(QByteArrayView("vrt-columns="));
    fp.addData(options.vrtColumns.trimmed().toUtf8());
    fp.addData(QByteArrayView("\n"));
    // Every file's path and stamp in one buffer: a start lists every file of the
    // corpus.
    QByteArray stamps;
    stamps.reserve(qsizetype(s.files.size()) * 120);
    for (const auto &f : s.files) {
        stamps += f.relative.toUtf8();
        const qint64 fields[] = {qint64(f.kind), f.size, f.mtime, f.mtimeNs, f.ctimeNs, qint64(f.inode),
                                 qint64(f.permissions)};
        stamps += '\0';
        stamps.append(reinterpret_cast<const char *>(fields), qsizetype(sizeof fields));
    }
    // A fast checksum of them (this list is 100 bytes a file), not SHA-256 of it
    // all: it tells a changed corpus, no adversary is in play.
    const uint64_t sum = CacheFile::checksum(stamps.constData(), size_t(stamps.size()));
    fp.addData(QByteArrayView(reinterpret_cast<const char *>(&sum), qsizetype(sizeof sum)));
    return fp.result();
}

// The cache file of these roots with this dictionary.
QString cachePathOf(const CorpusOptions &options, const QStringList &roots, const QString &dictionary)
{
    const QString dir = options.cacheDir.isEmpty() ? Corpus::defaultCacheDir() : options.cacheDir;
    const QByteArray key = QCryptographicHash::hash((roots.join(QLatin1Char('\n')) + QLatin1Char('\n') + dictionary).toUtf8(),
                                                    QCryptographicHash::Sha1).toHex().left(16);
    return dir + QStringLiteral("/corpus-") + QString::fromLatin1(key) + QStringLiteral(".idx");
}

// The roots, their files (at least one text among them), the dictionary, the
// fingerprint and the cache's place; false, with the error, when a load cannot go
// on.
bool gatherSources(const CorpusOptions &options, LoadSources &s, QString &err)
{
    s.roots = corpusRoots(options, err);
    if (s.roots.isEmpty())
        return false;
    if (!import::scanRoots(s.roots, s.files, &err, &s.scanWarnings))
        return false;
    const bool anyText = std::any_of(s.files.begin(), s.files.end(), [](const import::SourceFile &f) {
        return import::holdsText(f.kind);
    });
    if (!anyText) {
        err = noTextsError(s.roots);
        return false;
    }
    if (!findDictionary(options, s.dictionary, err))
        return false;
    s.fingerprint = indexFingerprint(options, s);
    if (options.useCache)
        s.cachePath = cachePathOf(options, s.roots, s.dictionary);
    return true;
}

// Writes the import report beside the cache: its file's name, or empty when it
// could not be written.
QString saveImportReport(const QString &cachePath, const QString &report)
{
    QDir().mkpath(QFileInfo(cachePath).absolutePath());
    QSaveFile file(importReportPath(cachePath));
    if (file.open(QIODevice::WriteOnly) && file.write(report.toUtf8()) >= 0 && file.commit())
        return file.fileName();
    return QString();
}

} // namespace

std::shared_ptr<const Corpus> Corpus::load(const CorpusOptions &options, QString *error)
{
    QElapsedTimer timer;
    timer.start();
    QString dummy;
    QString &err = error ? *error : dummy;
    LoadSources s;
    if (!gatherSources(options, s, err))
        return nullptr;

    QString cacheMiss;
    if (options.useCache) {
        QString why;
        if (auto cached = CacheFile::read(s.cachePath, s.fingerprint, &why,
                                          options.deferCheck ? CacheCheck::Quick : CacheCheck::Full)) {
            cached->m_data->cachePath = s.cachePath;
            cached->m_paths = s.roots;
            cached->m_stats.fromCache = true;
            cached->m_stats.checkDeferred = options.deferCheck && !CacheFile::sealed(*cached);
            // The scan's warnings are new; the build's came with the cache.
            cached->m_stats.warnings = s.scanWarnings + cached->m_stats.warnings;
            cached->m_stats.cacheFile = s.cachePath;
            cached->m_stats.seconds = double(timer.nsecsElapsed()) / 1e9;
            return cached;
        }
        cacheMiss = why;
    }

    BuildStats stats;
    stats.cacheMiss = cacheMiss;
    stats.warnings = s.scanWarnings;
    CorpusBuilder builder(options, s.dictionary, stats);
    if (!builder.importFiles(s.files, &err))
        return nullptr;
    if (builder.textCount() == 0) {
        err = noTextsError(s.roots);
        return nullptr;
    }
    std::shared_ptr<Corpus> corpus = builder.finish(true);
    if (!corpus) {
        err = QStringLiteral("В корпусе слишком много разных словоформ и знаков препинания: больше %1.")
                  .arg(kFormMask);
        return nullptr;
    }
    corpus->m_paths = s.roots;
    // The build's own warnings (skipped files) are kept in the cache, so a start
    // from it reports them too.
    corpus->m_stats.warnings = stats.warnings.mid(s.scanWarnings.size());
    if (options.useCache) {
        corpus->m_data->cachePath = s.cachePath;
        corpus->m_data->fingerprint = s.fingerprint;
        if (!options.deferWrite) {
            QDir().mkpath(QFileInfo(s.cachePath).absolutePath());
            QString werr;
            if (CacheFile::write(*corpus, s.cachePath, s.fingerprint, nullptr, &werr))
                stats.cacheFile = s.cachePath;
            else
                stats.cacheWarning = werr;
        }
    }
    stats.seconds = double(timer.nsecsElapsed()) / 1e9;
    corpus->m_stats = stats;
    // The import report, kept beside the cache: the cache has only the warnings.
    corpus->m_stats.report = importReport(*corpus);
    if (!s.cachePath.isEmpty()) {
        const QString reportFile = saveImportReport(s.cachePath, corpus->m_stats.report);
        if (!reportFile.isEmpty())
            corpus->m_stats.reportFile = reportFile;
    }
    return corpus;
}

} // namespace corvus
