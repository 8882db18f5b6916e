// The listing of the corpus folders: every file a start stats for the corpus's
// fingerprint, so it is made with one listing per folder and one stat and one
// access check per file, relative to the open folder, and the folders are listed
// by two threads at once (the walk itself, which decides what is listed, stays in
// order on one).
#include "corpus/Import.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <condition_variable>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace corvus::import {
namespace {

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
// whether it is a link, what stat says of what it leads to, and (a file) whether
// it can be read.
struct Listed {
    QString name;
    QByteArray raw;
    bool dir = false;
    bool link = false;
    bool readable = false;
    struct stat st {};
};

// What a folder holds: its visible files and folders by name, the names that do
// not survive decoding (bytes that are not UTF-8: the list cannot name them, so
// they are reported), and its canonical path. `opened` is false for a folder that
// cannot be read.
struct Listing {
    bool opened = false;
    std::vector<Listed> entries;
    QStringList badNames;
    QString canonical;
};

bool readEntry(int dfd, const dirent *e, Listed &l, QStringList &bad)
{
    l.raw = QByteArray(e->d_name);
    if (l.raw.startsWith('.'))
        return false;   // hidden, and "." and ".."
    l.name = QFile::decodeName(l.raw);
    if (QFile::encodeName(l.name) != l.raw) {
        bad << l.name;
        return false;
    }
    l.link = e->d_type == DT_LNK;
    if (e->d_type == DT_UNKNOWN) {
        struct stat own {};
        if (::fstatat(dfd, l.raw.constData(), &own, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        l.link = S_ISLNK(own.st_mode);
    }
    // Devices, pipes, sockets and dangling links are left out.
    if (::fstatat(dfd, l.raw.constData(), &l.st, 0) != 0 || !(S_ISREG(l.st.st_mode) || S_ISDIR(l.st.st_mode)))
        return false;
    l.dir = S_ISDIR(l.st.st_mode);
    l.readable = !l.dir && ::faccessat(dfd, l.raw.constData(), R_OK, 0) == 0;
    return true;
}

Listing listFolder(const QString &dir)
{
    Listing out;
    const QByteArray local = QFile::encodeName(dir);
    const int dfd = ::access(local.constData(), R_OK | X_OK) == 0
        ? ::open(local.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
        : -1;
    DIR *d = dfd >= 0 ? ::fdopendir(dfd) : nullptr;
    if (!d) {
        if (dfd >= 0)
            ::close(dfd);
        return out;
    }
    out.opened = true;
    while (const dirent *e = ::readdir(d)) {
        Listed l;
        if (readEntry(dfd, e, l, out.badNames))
            out.entries.push_back(std::move(l));
    }
    ::closedir(d);
    std::sort(out.badNames.begin(), out.badNames.end());
    std::sort(out.entries.begin(), out.entries.end(), [](const Listed &a, const Listed &b) { return a.name < b.name; });
    out.canonical = QFileInfo(dir).canonicalFilePath();
    return out;
}

// Folders listed ahead of the walk. The walk takes each folder's listing in its
// order; a second thread walks the same tree from the other end and lists the
// folders nobody has claimed yet, so the two meet in the middle. Each folder is
// listed once, by whichever thread claims it first; the walk waits for a listing
// the other thread is making.
class Prefetch {
public:
    explicit Prefetch(const QStringList &roots) : m_thread([this, roots] { run(roots); }) {}
    ~Prefetch()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_thread.join();
    }

    Listing take(const QString &dir)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        auto it = m_slots.find(dir);
        if (it == m_slots.end()) {
            m_slots[dir].claimedByWalk = true;
            lock.unlock();
            return listFolder(dir);
        }
        m_ready.wait(lock, [&] { return it->second.done; });
        Listing l = std::move(it->second.listing);
        m_slots.erase(it);
        return l;
    }

private:
    struct Slot {
        bool claimedByWalk = false;
        bool done = false;
        Listing listing;
    };

    void run(const QStringList &roots)
    {
        for (auto r = roots.rbegin(); r != roots.rend(); ++r) {
            const QFileInfo fi(*r);
            if (fi.isDir())
                visit(fi.absoluteFilePath(), 0);
        }
    }

    void visit(const QString &dir, int depth)
    {
        if (depth > MaxFolderDepth)
            return;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stop || m_slots.count(dir))
                return;   // the walk has it (and its subfolders) already
            m_slots[dir];
        }
        Listing l = listFolder(dir);
        std::vector<QString> sub;
        for (const Listed &e : l.entries)
            if (e.dir && !e.link)
                sub.push_back(dir + QLatin1Char('/') + e.name);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            Slot &s = m_slots[dir];
            s.listing = std::move(l);
            s.done = true;
        }
        m_ready.notify_all();
        for (auto it = sub.rbegin(); it != sub.rend(); ++it)
            visit(*it, depth + 1);
    }

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::map<QString, Slot> m_slots;
    bool m_stop = false;
    std::thread m_thread;   // last: it starts when everything above is there
};

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

// A listed file of `folder`. canonicalDir: the canonical path of the folder when
// known (a file that is no link then needs no resolving of its own).
void addFile(const Listed &e, const QString &folder, const QString &canonicalDir, const QString &relative,
             const QStringList &folders, std::vector<SourceFile> &files, QSet<QString> &seen, QStringList *warnings)
{
    SourceFile f;
    f.path = folder + QLatin1Char('/') + e.name;
    const QString canonical = canonicalDir.isEmpty() || e.link ? QFileInfo(f.path).canonicalFilePath()
                                                              : canonicalDir + QLatin1Char('/') + e.name;
    if (canonical.isEmpty() || seen.contains(canonical) || !kindOf(e.name, folder, f))
        return;
    if (!e.readable) {
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

void scanFolder(Prefetch &prefetch, const QString &dir, const QString &relative, const QStringList &folders,
                std::vector<SourceFile> &files, QSet<QString> &seen, int depth, QStringList *warnings)
{
    if (depth > MaxFolderDepth) {
        warn(warnings, QStringLiteral("Папка корпуса вложена глубже %1 уровней, пропущена: %2")
                           .arg(MaxFolderDepth)
                           .arg(dir));
        return;
    }
    const Listing listing = prefetch.take(dir);
    if (!listing.opened) {
        warn(warnings, QStringLiteral("Нет доступа к папке корпуса: %1").arg(dir));
        return;
    }
    for (const QString &name : listing.badNames)
        warn(warnings, QStringLiteral("Имя файла или папки корпуса не в кодировке UTF-8, пропущено: %1/%2")
                           .arg(dir, name));
    // Files of a folder before its subfolders, both by name.
    for (const Listed &e : listing.entries)
        if (!e.dir)
            addFile(e, dir, listing.canonical, relative + QLatin1Char('/') + e.name, folders, files, seen, warnings);
    for (const Listed &e : listing.entries) {
        if (e.dir && !e.link) {
            QStringList sub = folders;
            sub << e.name;
            scanFolder(prefetch, dir + QLatin1Char('/') + e.name, relative + QLatin1Char('/') + e.name, sub, files,
                       seen, depth + 1, warnings);
        }
    }
}

// A root given as a file rather than a folder.
void addRootFile(const QFileInfo &fi, const QString &name, std::vector<SourceFile> &files, QSet<QString> &seen,
                 QStringList *warnings)
{
    Listed e;
    e.name = fi.fileName();
    e.link = fi.isSymLink();
    const QByteArray local = QFile::encodeName(fi.absoluteFilePath());
    if (::stat(local.constData(), &e.st) != 0 || !S_ISREG(e.st.st_mode))
        return;
    e.readable = ::access(local.constData(), R_OK) == 0;
    addFile(e, fi.absolutePath(), QString(), name, QStringList{fi.dir().dirName()}, files, seen, warnings);
}

} // namespace

bool scanRoots(const QStringList &roots, std::vector<SourceFile> &files, QString *error, QStringList *warnings)
{
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
    }
    Prefetch prefetch(roots);
    QSet<QString> seen;
    for (const QString &root : roots) {
        const QFileInfo fi(root);
        const QString name = fi.fileName().isEmpty() ? QStringLiteral("corpus") : fi.fileName();
        if (fi.isDir())
            scanFolder(prefetch, fi.absoluteFilePath(), name, QStringList{name}, files, seen, 0, warnings);
        else
            addRootFile(fi, name, files, seen, warnings);
    }
    return true;
}

} // namespace corvus::import
