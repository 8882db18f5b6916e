#include "corpus/AnnotatedImport.h"
#include "corpus/BuilderPrivate.h"

#include <QElapsedTimer>

#include <algorithm>

#include <sys/stat.h>

namespace corvus {
using namespace builder;

namespace builder {

// Reads a whole file into out, reusing its buffer from file to file: a regular
// file only (the descriptor is checked, not the name, so a link swapped meanwhile
// changes nothing), and never more than the size it has when opened, so a file
// that claims one size and gives endless bytes (/proc, a growing log) costs no
// more than its size.
ReadResult readWhole(QFile &file, std::string &out, qint64 maxSize)
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

} // namespace builder

namespace {

using FolderInfo = QHash<QString, QHash<QString, import::InfoRow>>;

// The rows of each folder's info.csv, by folder; a file that cannot be read and
// the rows that cannot be used are named in the warnings.
FolderInfo readInfoFiles(const std::vector<import::SourceFile> &files, QStringList &warnings)
{
    FolderInfo info;
    for (const auto &f : files) {
        if (f.kind != import::FileKind::InfoCsv)
            continue;
        QFile file(f.path);
        if (!file.open(QIODevice::ReadOnly)) {
            warnings << QStringLiteral("Не удалось прочитать файл описаний: %1").arg(f.path);
            continue;
        }
        std::string bytes;
        if (readWhole(file, bytes, qint64(1) << 24) != ReadResult::Ok) {
            warnings << QStringLiteral("Не удалось прочитать файл описаний: %1").arg(f.path);
            continue;
        }
        std::vector<import::BadRow> bad;
        info.insert(f.folder, import::parseInfoCsv(QByteArray::fromStdString(bytes), &bad));
        std::vector<LineProblem> problems;
        for (const import::BadRow &b : bad)
            problems.push_back({b.line, b.reason});
        reportLines(f.path, problems, warnings);
    }
    return info;
}

// Room for the tokens up front: growing the arrays by copying would double the
// peak memory. Untouched capacity costs address space only (the arrays are large
// enough for the allocator to map them apart). A token takes at least two bytes
// of source text (a letter and a separator) in 1251, four in UTF-8 Cyrillic.
size_t expectedTokens(const std::vector<import::SourceFile> &files)
{
    qint64 total = 0;
    for (const auto &f : files)
        total += import::holdsText(f.kind) ? std::min(f.size, kMaxFileSize) : 0;
    return size_t(std::min<qint64>(total / 2 + 1024, qint64(kMaxTokens)));
}

// A corpus file's bytes in raw; false, with the reason among the warnings, when
// it cannot be read or is no text.
bool readCorpusFile(const import::SourceFile &f, std::string &raw, QStringList &warnings)
{
    QFile file(f.path);
    if (!file.open(QIODevice::ReadOnly)) {
        warnings << QStringLiteral("Не удалось прочитать файл корпуса: %1").arg(f.path);
        return false;
    }
    switch (readWhole(file, raw)) {
    case ReadResult::Ok:
        break;
    case ReadResult::NotRegular:
        warnings << QStringLiteral("Файл корпуса не обычный файл, пропущен: %1").arg(f.path);
        return false;
    case ReadResult::TooLarge:
        warnings << QStringLiteral("Файл корпуса слишком велик, пропущен: %1").arg(f.path);
        return false;
    case ReadResult::Failed:
        warnings << QStringLiteral("Не удалось прочитать файл корпуса: %1").arg(f.path);
        return false;
    }
    if (!import::looksLikeText(raw)) {
        // A candidate without ".txt" is only a guess: no need to mention it.
        if (f.kind != import::FileKind::Candidate)
            warnings << QStringLiteral("Файл корпуса не похож на текст (двоичные данные), "
                                       "пропущен: %1").arg(f.path);
        return false;
    }
    return true;
}

// The kind the nearest folder that names one gives, prose by default.
TextKind kindOfFolders(const QStringList &folders)
{
    for (qsizetype i = folders.size() - 1; i >= 0; --i) {
        const int k = import::kindOfFolderName(folders[i]);
        if (k >= 0)
            return k == 1 ? TextKind::Verse : TextKind::Prose;
    }
    return TextKind::Prose;
}

// The author a file's folder gives: the parent folder unless it is the root or
// names a kind.
QByteArray folderAuthorOf(const import::SourceFile &f)
{
    if (f.folders.size() >= 2 && import::kindOfFolderName(f.folders.back()) < 0)
        return toBytes(f.folders.back());
    return QByteArray();
}

// Adds each saying of a fortunes file as a text of its own, numbered in the
// collection the file is.
void addFortunes(CorpusBuilder &builder, const import::SourceFile &f, std::string_view text, TextKind kind,
                 const QByteArray &source)
{
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
        builder.addText(unit.body, std::move(t));
    }
}

// A plain text's metadata: from its file's name and folders, then from its row
// in the folder's info.csv where there is one.
TextInfo plainTextInfo(const import::SourceFile &f, TextKind kind, const QByteArray &source,
                       const QByteArray &folderAuthor, const FolderInfo &info)
{
    TextInfo t;
    t.kind = kind;
    t.title = toBytes(f.baseName);
    t.source = source;
    t.author = folderAuthor;
    const auto folderInfo = info.constFind(f.folder);
    if (folderInfo == info.constEnd())
        return t;
    const auto row = folderInfo->constFind(f.baseName);
    if (row == folderInfo->constEnd())
        return t;
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
    return t;
}

} // namespace

bool CorpusBuilder::importFiles(const std::vector<import::SourceFile> &files, QString *error)
{
    using import::FileKind;
    QElapsedTimer timer;
    timer.start();
    const FolderInfo info = readInfoFiles(files, d->stats.warnings);
    VrtDeclarations declarations;
    if (!declarations.init(d->options.vrtColumns, files, d->stats.warnings, error))
        return false;
    const size_t expected = expectedTokens(files);
    d->tokForm.reserve(expected);
    d->tokFlags.reserve(expected);

    // One buffer for the file's bytes and one for its 1251 text, reused by every
    // file and freed at the end.
    std::string raw, text;
    for (const auto &f : files) {
        if (!import::holdsText(f.kind))
            continue;
        if (f.size > kMaxFileSize) {
            d->stats.warnings << QStringLiteral("Файл корпуса слишком велик, пропущен: %1").arg(f.path);
            continue;
        }
        std::optional<annotated::VrtLayout> layout;
        if (f.kind == FileKind::Vrt) {
            layout = declarations.layoutFor(f, d->stats.warnings, d->stats.notes);
            if (!layout)
                continue;   // its declaration is unreadable: named in the warnings
        }
        if (!readCorpusFile(f, raw, d->stats.warnings))
            continue;
        text.clear();
        charset::toCp1251(raw, charset::detect(raw), text, &d->stats.cleaned);

        const bool fortunes = f.kind == FileKind::Candidate;
        if (fortunes && !import::looksLikeFortunes(text))
            continue;   // not a text of the corpus (no ".txt", no "%" separators)
        ++d->stats.filesRead;

        const TextKind kind = kindOfFolders(f.folders);
        const QByteArray source = toBytes(f.relative);
        const QByteArray folderAuthor = folderAuthorOf(f);
        if (f.kind == FileKind::Vrt || f.kind == FileKind::Conllu)
            addAnnotatedFile(*this, f, text, layout ? &*layout : nullptr, declarations.captionsFor(f), kind,
                             folderAuthor, d->stats.warnings);
        else if (fortunes)
            addFortunes(*this, f, text, kind, source);
        else
            addText(text, plainTextInfo(f, kind, source, folderAuthor, info));
        if (d->overflow) {
            if (error)
                *error = QStringLiteral("Корпус слишком велик: больше %1 словоупотреблений").arg(kMaxTokens);
            return false;
        }
    }
    d->stats.importSeconds = double(timer.nsecsElapsed()) / 1e9;
    return true;
}

} // namespace corvus
