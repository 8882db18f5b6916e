#include "corpus/Import.h"

#include "corpus/Charset.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvus::import {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == char(0xA0); }

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (isBlank(s.front()) || s.front() == '\n'))
        s.remove_prefix(1);
    while (!s.empty() && (isBlank(s.back()) || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool parseInt(std::string_view s, int &v)
{
    if (s.empty() || s.size() > 4)
        return false;
    v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    return true;
}

// Extensions that never hold a text of the corpus.
bool skippedExtension(const QString &suffix)
{
    static const QSet<QString> skip = {
        QStringLiteral("dat"), QStringLiteral("csv"), QStringLiteral("md"), QStringLiteral("jpg"),
        QStringLiteral("jpeg"), QStringLiteral("png"), QStringLiteral("gif"), QStringLiteral("bmp"),
        QStringLiteral("pdf"), QStringLiteral("zip"), QStringLiteral("gz"), QStringLiteral("bz2"),
        QStringLiteral("xz"), QStringLiteral("7z"), QStringLiteral("rar"), QStringLiteral("doc"),
        QStringLiteral("docx"), QStringLiteral("rtf"), QStringLiteral("odt"), QStringLiteral("exe"),
        QStringLiteral("dll"), QStringLiteral("so"), QStringLiteral("html"), QStringLiteral("htm"),
        QStringLiteral("xml"), QStringLiteral("json"), QStringLiteral("ini"), QStringLiteral("idx"),
    };
    return skip.contains(suffix.toLower());
}

void warn(QStringList *warnings, const QString &line)
{
    if (warnings)
        *warnings << line;
}

// One entry of a folder that is a file or a folder (links followed): its name,
// whether it is a link, and what stat says of what it leads to.
struct Listed {
    QString name;
    QByteArray raw;
    bool dir = false;
    bool link = false;
    struct stat st {};
};

// The visible files and folders of an open folder, by name, from one listing and
// one stat each (relative to the folder, so no path is looked up again). Names
// that do not survive decoding (bytes that are not UTF-8) cannot be named in the
// list, so they are reported instead; devices, pipes, sockets and dangling links
// are left out.
std::vector<Listed> listFolder(int dfd, const QString &dir, QStringList *warnings)
{
    std::vector<Listed> out;
    QStringList bad;
    DIR *d = ::fdopendir(::dup(dfd));
    if (!d)
        return out;
    while (const dirent *e = ::readdir(d)) {
        Listed l;
        l.raw = QByteArray(e->d_name);
        if (l.raw.startsWith('.'))
            continue;   // hidden, and "." and ".."
        l.name = QFile::decodeName(l.raw);
        if (QFile::encodeName(l.name) != l.raw) {
            bad << l.name;
            continue;
        }
        l.link = e->d_type == DT_LNK;
        if (e->d_type == DT_UNKNOWN) {
            struct stat own {};
            if (::fstatat(dfd, l.raw.constData(), &own, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            l.link = S_ISLNK(own.st_mode);
        }
        if (::fstatat(dfd, l.raw.constData(), &l.st, 0) != 0 || !(S_ISREG(l.st.st_mode) || S_ISDIR(l.st.st_mode)))
            continue;
        l.dir = S_ISDIR(l.st.st_mode);
        out.push_back(std::move(l));
    }
    ::closedir(d);
    std::sort(bad.begin(), bad.end());
    for (const QString &name : bad)
        warn(warnings, QStringLiteral("Имя файла или папки корпуса не в кодировке UTF-8, пропущено: %1/%2")
                           .arg(dir, name));
    std::sort(out.begin(), out.end(), [](const Listed &a, const Listed &b) { return a.name < b.name; });
    return out;
}

// What the fingerprint of the corpus takes from a listed file (following links):
// size, times, identity and mode.
void takeStat(const struct stat &st, SourceFile &f)
{
    f.size = qint64(st.st_size);
    f.mtime = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    f.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    f.ctimeNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    f.inode = quint64(st.st_ino);
    f.permissions = int(st.st_mode & 07777);
}

// The kind of a file by its name; false for a file that is never a text.
bool kindOf(const QString &name, const QString &folder, SourceFile &f)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString suffix = dot < 0 ? QString() : name.mid(dot + 1);
    const QString lower = suffix.toLower();
    if (name.compare(QStringLiteral("info.csv"), Qt::CaseInsensitive) == 0) {
        f.kind = FileKind::InfoCsv;
    } else if (name.compare(QStringLiteral("vrt.conf"), Qt::CaseInsensitive) == 0) {
        f.kind = FileKind::VrtDeclaration;
    } else if (lower == QStringLiteral("txt") || lower == QStringLiteral("vrt") || lower == QStringLiteral("conllu")) {
        f.kind = lower == QStringLiteral("txt") ? FileKind::PlainText
            : lower == QStringLiteral("vrt")    ? FileKind::Vrt
                                                : FileKind::Conllu;
        f.baseName = name.left(dot);
    } else {
        if (skippedExtension(suffix))
            return false;
        if (suffix == QStringLiteral("u8") && QFileInfo::exists(folder + QLatin1Char('/') + name.left(dot)))
            return false;
        f.kind = FileKind::Candidate;
        f.baseName = name;
    }
    return true;
}

// A listed file of `folder` (open as `dfd`, or -1 for a root given as a file).
// canonicalDir: the canonical path of the folder when known (a file that is no
// link then needs no resolving of its own).
void addFile(const Listed &e, int dfd, const QString &folder, const QString &canonicalDir, const QString &relative,
             const QStringList &folders, std::vector<SourceFile> &files, QSet<QString> &seen, QStringList *warnings)
{
    SourceFile f;
    f.path = folder + QLatin1Char('/') + e.name;
    const QString canonical = canonicalDir.isEmpty() || e.link ? QFileInfo(f.path).canonicalFilePath()
                                                              : canonicalDir + QLatin1Char('/') + e.name;
    if (canonical.isEmpty() || seen.contains(canonical) || !kindOf(e.name, folder, f))
        return;
    const bool readable = dfd >= 0 ? ::faccessat(dfd, e.raw.constData(), R_OK, 0) == 0
                                   : ::access(QFile::encodeName(f.path).constData(), R_OK) == 0;
    if (!readable) {
        warn(warnings, QStringLiteral("Не удалось прочитать файл корпуса: %1").arg(f.path));
        return;
    }
    takeStat(e.st, f);
    seen.insert(canonical);
    f.relative = relative;
    f.folder = folder;
    f.folders = folders;
    files.push_back(std::move(f));
}

void scanFolder(const QString &dir, const QString &relative, const QStringList &folders,
                std::vector<SourceFile> &files, QSet<QString> &seen, int depth, QStringList *warnings)
{
    if (depth > MaxFolderDepth) {
        warn(warnings, QStringLiteral("Папка корпуса вложена глубже %1 уровней, пропущена: %2")
                           .arg(MaxFolderDepth)
                           .arg(dir));
        return;
    }
    const QByteArray local = QFile::encodeName(dir);
    const int dfd = ::access(local.constData(), R_OK | X_OK) == 0
        ? ::open(local.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
        : -1;
    if (dfd < 0) {
        warn(warnings, QStringLiteral("Нет доступа к папке корпуса: %1").arg(dir));
        return;
    }
    const std::vector<Listed> entries = listFolder(dfd, dir, warnings);
    const QString canonicalDir = QFileInfo(dir).canonicalFilePath();
    // Files of a folder before its subfolders, both by name.
    for (const Listed &e : entries)
        if (!e.dir)
            addFile(e, dfd, dir, canonicalDir, relative + QLatin1Char('/') + e.name, folders, files, seen, warnings);
    ::close(dfd);
    for (const Listed &e : entries) {
        if (e.dir && !e.link) {
            QStringList sub = folders;
            sub << e.name;
            scanFolder(dir + QLatin1Char('/') + e.name, relative + QLatin1Char('/') + e.name, sub, files, seen,
                       depth + 1, warnings);
        }
    }
}

} // namespace

bool parseYear(std::string_view s, YearRange &year)
{
    s = trim(s);
    int a = 0, b = 0;
    size_t dash = s.find('-');
    size_t dashLen = 1;
    for (char d : {char(0x96), char(0x97)}) {
        if (dash == std::string_view::npos) {
            dash = s.find(d);
        }
    }
    if (dash == std::string_view::npos) {
        if (!parseInt(s, a) || a < 1 || s.size() != 4)
            return false;
        year.from = year.to = int16_t(a);
        return true;
    }
    const std::string_view l = trim(s.substr(0, dash)), r = trim(s.substr(dash + dashLen));
    if (l.size() != 4 || r.size() != 4 || !parseInt(l, a) || !parseInt(r, b) || b < a)
        return false;
    year.from = int16_t(a);
    year.to = int16_t(b);
    return true;
}

bool scanRoots(const QStringList &roots, std::vector<SourceFile> &files, QString *error, QStringList *warnings)
{
    QSet<QString> seen;
    for (const QString &root : roots) {
        const QFileInfo fi(root);
        if (!fi.exists()) {
            if (error)
                *error = QStringLiteral("Папка корпуса не найдена: %1").arg(root);
            return false;
        }
        if (!fi.isReadable() || (fi.isDir() && !fi.isExecutable())) {
            if (error)
                *error = QStringLiteral("Нет доступа к корпусу: %1").arg(root);
            return false;
        }
        const QString name = fi.fileName().isEmpty() ? QStringLiteral("corpus") : fi.fileName();
        if (fi.isDir()) {
            scanFolder(fi.absoluteFilePath(), name, QStringList{name}, files, seen, 0, warnings);
        } else {
            Listed e;
            e.name = fi.fileName();
            e.link = fi.isSymLink();
            if (::stat(QFile::encodeName(fi.absoluteFilePath()).constData(), &e.st) == 0 && S_ISREG(e.st.st_mode))
                addFile(e, -1, fi.absolutePath(), QString(), name, QStringList{fi.dir().dirName()}, files, seen,
                        warnings);
        }
    }
    return true;
}

bool looksLikeText(std::string_view bytes)
{
    const size_t n = std::min<size_t>(bytes.size(), size_t(64) << 10);
    size_t control = 0;
    for (size_t i = 0; i < n; ++i) {
        const auto c = uint8_t(bytes[i]);
        if (c == 0)
            return false;
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v' && c != 0x1A)
            || c == 0x7F)
            ++control;
    }
    return control * 100 <= n;
}

int kindOfFolderName(const QString &name)
{
    const QString n = name.toLower();
    static const QStringList verse = {QStringLiteral("poems"), QStringLiteral("poetry"), QStringLiteral("verse"),
                                      QStringLiteral("verses"), QStringLiteral("стихи"), QStringLiteral("поэзия"),
                                      QStringLiteral("стихотворения")};
    static const QStringList prose = {QStringLiteral("prose"), QStringLiteral("проза")};
    if (verse.contains(n))
        return 1;
    if (prose.contains(n))
        return 0;
    return -1;
}

namespace {

// Splits one CSV line into fields ("" inside quotes is a quote); *open tells
// whether a quote was left open at the end of the line.
QStringList csvFields(const QString &line, bool *open = nullptr)
{
    QStringList out;
    QString cur;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
                    cur += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cur += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            out << cur.trimmed();
            cur.clear();
        } else {
            cur += c;
        }
    }
    out << cur.trimmed();
    if (open)
        *open = quoted;
    return out;
}

} // namespace

QHash<QString, InfoRow> parseInfoCsv(const QByteArray &bytes, std::vector<BadRow> *bad)
{
    QHash<QString, InfoRow> rows;
    const std::string text = charset::toCp1251(std::string_view(bytes.constData(), size_t(bytes.size())));
    const QString all = charset::toQString(text);
    const QStringList lines = all.split(QLatin1Char('\n'));
    int colName = 0, colYear = 1, colAuthor = -1, colTitle = -1, colKind = -1;
    bool first = true;
    int lineNo = 0;
    auto report = [&](const QString &reason) {
        if (bad)
            bad->push_back({lineNo, reason});
    };
    for (const QString &raw : lines) {
        ++lineNo;
        if (raw.trimmed().isEmpty())
            continue;
        bool open = false;
        const QStringList f = csvFields(raw, &open);
        if (open) {
            first = false;
            report(QStringLiteral("кавычка не закрыта, строка пропущена"));
            continue;
        }
        if (first) {
            first = false;
            QStringList lower;
            for (const QString &h : f)
                lower << h.toLower();
            if (lower.contains(QStringLiteral("name"))) {
                colName = int(lower.indexOf(QStringLiteral("name")));
                colYear = int(lower.indexOf(QStringLiteral("year")));
                colAuthor = int(lower.indexOf(QStringLiteral("author")));
                colTitle = int(lower.indexOf(QStringLiteral("title")));
                colKind = int(lower.indexOf(QStringLiteral("kind")));
                continue;
            }
        }
        auto field = [&](int col) { return col >= 0 && col < f.size() ? f[col] : QString(); };
        InfoRow row;
        row.name = field(colName);
        if (row.name.isEmpty())
            continue;
        const QString yearText = field(colYear);
        const QByteArray y = charset::toCp1251(yearText);
        row.hasYear = parseYear(std::string_view(y.constData(), size_t(y.size())), row.year);
        if (!row.hasYear && !yearText.isEmpty())
            report(QStringLiteral("год «%1» не год (нужно 1836 или 1862-1864), текст без года").arg(yearText));
        row.author = field(colAuthor);
        row.title = field(colTitle);
        row.kind = field(colKind);
        rows.insert(row.name, row);
    }
    return rows;
}

bool looksLikeFortunes(std::string_view s)
{
    size_t pos = 0;
    while (pos < s.size()) {
        size_t end = s.find('\n', pos);
        if (end == std::string_view::npos)
            end = s.size();
        if (trim(s.substr(pos, end - pos)) == "%")
            return true;
        pos = end + 1;
    }
    return false;
}

namespace {

// The author text after an attribution marker, or false when the line is not one.
bool attribution(std::string_view line, std::string_view &rest)
{
    size_t i = 0;
    while (i < line.size() && isBlank(line[i]))
        ++i;
    const bool indented = i > 0;
    std::string_view s = line.substr(i);
    size_t markLen = 0;
    if (s.substr(0, 2) == "--")
        markLen = 2;
    else if (indented && !s.empty() && (s[0] == char(0x97) || s[0] == char(0x96)))
        markLen = 1;
    else
        return false;
    s.remove_prefix(markLen);
    if (!s.empty() && !isBlank(s[0]))
        return false;
    rest = trim(s);
    return !rest.empty();
}

bool hasWord(std::string_view s)
{
    for (char c : s)
        if (charset::isLetter(uint8_t(c)) || charset::isDigit(uint8_t(c)))
            return true;
    return false;
}

} // namespace

std::vector<FortuneUnit> splitFortunes(std::string_view s)
{
    std::vector<FortuneUnit> units;
    size_t unitStart = 0;   // first byte of the current unit's body
    bool inUnit = false;
    bool afterAttribution = false;
    auto close = [&](size_t end, std::string_view author) {
        if (inUnit) {
            FortuneUnit u;
            u.body = s.substr(unitStart, end - unitStart);
            if (hasWord(u.body)) {
                std::string_view name = author;
                const size_t comma = name.find(',');
                if (comma != std::string_view::npos) {
                    YearRange y;
                    if (parseYear(name.substr(comma + 1), y))
                        u.year = y;
                    name = trim(name.substr(0, comma));
                }
                u.author = std::string(name);
                if (!u.author.empty())
                    u.author[0] = char(charset::upper(uint8_t(u.author[0])));
                units.push_back(std::move(u));
            }
        }
        inUnit = false;
    };

    size_t pos = 0;
    while (pos <= s.size()) {
        size_t end = s.find('\n', pos);
        if (end == std::string_view::npos)
            end = s.size();
        const std::string_view line = s.substr(pos, end - pos);
        std::string_view author;
        if (trim(line) == "%") {
            close(pos, {});
            afterAttribution = false;
        } else if (inUnit && attribution(line, author)) {
            close(pos, author);
            afterAttribution = true;
        } else if (afterAttribution && !line.empty() && isBlank(line[0])) {
            // continuation of the attribution ("   \"Book title\"")
        } else if (!trim(line).empty() || inUnit) {
            if (!inUnit) {
                inUnit = true;
                unitStart = pos;
            }
            afterAttribution = false;
        }
        if (end == s.size())
            break;
        pos = end + 1;
    }
    close(s.size(), {});
    return units;
}

} // namespace corvus::import
