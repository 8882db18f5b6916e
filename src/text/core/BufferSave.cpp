// Saving the buffer into a text file the user chose (textcore::saveBuffer).
//
// What the save may write is what the user could write by hand: a file without
// write rights is refused, not replaced. A plain file is replaced through a new file
// renamed over it, so a failure leaves the old text whole. A file reached through a
// symbolic link, or one with other hard links, is written in place: every name of
// it then shows the new text, as after an editor's save. A symbolic link to nothing
// is refused. Space is reserved before the first byte is written, so a full disk is
// found while the old file is still whole; an append that fails is cut back to the
// old size. Every failure names its reason.
#include "BufferOps.h"
#include "BufferSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace textcore {

namespace {

int openFile(const char *path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int reserveSpace(int fd, off_t offset, off_t length) { return ::posix_fallocate(fd, offset, length); }

constexpr SaveCalls SystemCalls{openFile, ::pwrite, reserveSpace, ::fsync};
SaveCalls g_calls = SystemCalls;

// Rights of a new file: read and write for the owner, read for the others.
constexpr mode_t NewFileMode = 0644;

// Why a call failed, in the user's words.
QString reason(int err)
{
    switch (err) {
    case ENOSPC:
        return QStringLiteral("на диске нет места");
    case EDQUOT:
        return QStringLiteral("превышена дисковая квота");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав на запись");
    case EROFS:
        return QStringLiteral("диск доступен только для чтения");
    case EISDIR:
        return QStringLiteral("это папка, а не файл");
    case ENOENT:
        return QStringLiteral("такой папки нет");
    case ENOTDIR:
        return QStringLiteral("в пути стоит файл вместо папки");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя файла");
    case ELOOP:
        return QStringLiteral("символические ссылки образуют петлю");
    case EFBIG:
        return QStringLiteral("файл слишком велик");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода на диске");
    case ETXTBSY:
        return QStringLiteral("файл занят");
    default:
        return QStringLiteral("системная ошибка %1").arg(err);
    }
}

QString failure(const QString &path, const QString &why)
{
    return QStringLiteral("Не удалось сохранить файл %1: %2").arg(QDir::toNativeSeparators(path), why);
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { release(); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    // Closes now; the error of the close (0 or errno), which may be the disk's.
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int m_fd;
};

// Writes `size` bytes at `offset`, going on after partial writes. 0 or errno.
int writeAll(int fd, const char *data, qint64 size, qint64 offset)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = g_calls.pwrite(fd, data + done, size_t(size - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        done += n;
    }
    return 0;
}

// Room for `length` bytes from `offset`. A file system that cannot reserve space is
// written without it.
int reserve(int fd, qint64 offset, qint64 length)
{
    if (length <= 0)
        return 0;
    const int err = g_calls.reserve(fd, off_t(offset), off_t(length));
    return err == EOPNOTSUPP || err == EINVAL || err == ENODEV ? 0 : err;
}

// Writes `bytes` into the file itself, whose first `keep` bytes are already there (an
// append). Nothing is written until the space is reserved; a failure then cuts the
// file back to `oldSize` when that keeps the old text (an append, or nothing written).
int writeInPlace(const QByteArray &target, const QByteArray &bytes, qint64 keep, qint64 oldSize)
{
    Descriptor fd(g_calls.open(target.constData(), O_WRONLY | O_CLOEXEC, 0));
    if (fd.get() < 0)
        return errno;
    const qint64 length = bytes.size() - keep;
    int err = reserve(fd.get(), keep, length);
    bool touched = false;
    if (err == 0) {
        touched = true;
        err = writeAll(fd.get(), bytes.constData() + keep, length, keep);
    }
    if (err == 0 && ::ftruncate(fd.get(), off_t(bytes.size())) != 0)
        err = errno;
    if (err == 0 && g_calls.fsync(fd.get()) != 0)
        err = errno;
    // Cut back to the old size; should that fail too, the first error is the one
    // the user is told.
    if (err != 0 && (keep > 0 || !touched) && ::ftruncate(fd.get(), off_t(oldSize)) != 0)
        qWarning("Lexar: the buffer's file could not be cut back to its old size");
    const int closed = fd.release();
    return err != 0 ? err : closed;
}

// A new, empty file beside `target` that nobody else has: "." + name + a random tail.
int createTemporary(const QByteArray &target, QByteArray &temp)
{
    const qsizetype slash = target.lastIndexOf('/');
    for (int attempt = 0; attempt < 16; ++attempt) {
        temp = target.left(slash + 1) + '.' + target.mid(slash + 1) + '.'
               + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        const int fd = g_calls.open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Writes a new file beside `target` and renames it over `target`: readers see the
// old text or all of the new one. `mode`, `owner` and `group` are given to the new
// file. `noTemporary` tells that the folder would not take a new file at all.
int replaceFile(const QByteArray &target, const QByteArray &bytes, const struct stat &like, bool *noTemporary)
{
    QByteArray temp;
    Descriptor fd(createTemporary(target, temp));
    if (fd.get() < 0) {
        if (noTemporary)
            *noTemporary = true;
        return errno;
    }
    int err = reserve(fd.get(), 0, bytes.size());
    if (err == 0)
        err = writeAll(fd.get(), bytes.constData(), bytes.size(), 0);
    if (err == 0 && ::fchmod(fd.get(), like.st_mode & 07777) != 0)
        err = errno;
    if (err == 0 && ::fchown(fd.get(), like.st_uid, like.st_gid) != 0 && errno != EPERM)
        err = errno;
    if (err == 0 && g_calls.fsync(fd.get()) != 0)
        err = errno;
    const int closed = fd.release();
    if (err == 0)
        err = closed;
    if (err == 0 && ::rename(temp.constData(), target.constData()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(temp.constData());
        return err;
    }
    // The rename itself reaches the disk with the folder's entry.
    Descriptor folder(::open(target.left(qMax<qsizetype>(1, target.lastIndexOf('/'))).constData(),
                             O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0)
        ::fsync(folder.get());
    return 0;
}

// The file a save writes into: `name` itself or, through a symbolic link, the file it
// names. Empty, with `why` set, when the save must not write there.
QByteArray writableTarget(const QByteArray &name, const struct stat &entry, struct stat &st, QString &why)
{
    QByteArray target = name;
    st = entry;
    if (S_ISLNK(entry.st_mode)) {
        if (::stat(name.constData(), &st) != 0) {
            why = errno == ENOENT ? QStringLiteral("символическая ссылка ведёт к несуществующему файлу")
                                  : reason(errno);
            return QByteArray();
        }
        char *real = ::realpath(name.constData(), nullptr);
        if (!real) {
            why = reason(errno);
            return QByteArray();
        }
        target = real;
        std::free(real);
    }
    if (S_ISDIR(st.st_mode))
        why = reason(EISDIR);
    else if (!S_ISREG(st.st_mode))
        why = QStringLiteral("это не обычный файл");
    else if ((st.st_mode & 0222) == 0)
        why = QStringLiteral("файл только для чтения");
    else if (::access(target.constData(), W_OK) != 0)
        why = errno == EROFS ? reason(EROFS) : QStringLiteral("файл только для чтения (нет прав на запись)");
    return why.isEmpty() ? target : QByteArray();
}

} // namespace

SaveCalls &saveCalls()
{
    return g_calls;
}

void resetSaveCalls()
{
    g_calls = SystemCalls;
}

QString saveBuffer(const QString &path, const QList<QByteArray> &lines, bool append)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QByteArray name = QFile::encodeName(absolute);
    struct stat entry {};
    if (::lstat(name.constData(), &entry) != 0) {
        if (errno != ENOENT)
            return failure(path, reason(errno));
        struct stat fresh {};
        fresh.st_mode = NewFileMode;
        fresh.st_uid = ::geteuid();
        fresh.st_gid = ::getegid();
        const int err = replaceFile(name, saveBytes(QByteArray(), absolute, lines), fresh, nullptr);
        return err != 0 ? failure(path, reason(err)) : QString();
    }
    struct stat st {};
    QString why;
    const QByteArray target = writableTarget(name, entry, st, why);
    if (target.isEmpty())
        return failure(path, why);
    QByteArray old;
    if (append) {
        QFile f(QFile::decodeName(target));
        if (!f.open(QIODevice::ReadOnly))
            return failure(path, QStringLiteral("файл не читается (%1)").arg(f.errorString()));
        old = f.readAll();
        if (f.error() != QFileDevice::NoError)
            return failure(path, QStringLiteral("файл не читается (%1)").arg(f.errorString()));
    }
    const QByteArray bytes = saveBytes(old, absolute, lines);
    int err = 0;
    if (S_ISLNK(entry.st_mode) || st.st_nlink > 1) {
        err = writeInPlace(target, bytes, old.size(), st.st_size);
    } else {
        bool noTemporary = false;
        err = replaceFile(target, bytes, st, &noTemporary);
        // A folder closed to new files, holding a file open to writing: written in
        // place, as the user could.
        if (noTemporary && (err == EACCES || err == EPERM))
            err = writeInPlace(target, bytes, old.size(), st.st_size);
    }
    return err != 0 ? failure(path, reason(err)) : QString();
}

} // namespace textcore
