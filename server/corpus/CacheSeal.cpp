// The seal of a cache file: a small file beside it ("<cache>.seal") that vouches
// for one file as it is on disk, so that a start maps it and serves at once instead
// of reading all of it again. It is written by whoever has just seen the whole
// file's content good: the writer, after reading back what it wrote, or the full
// check. It names the file by what changes whenever the file is replaced or written
// to (device, inode, size, modification and change times) and holds the file's
// header (fingerprint, size, checksum): a copy, a rewrite in place or a new file
// under the old name no longer matches, and gets the full check again.
//
// What a seal does not catch is damage below the file system (the times stay as
// they were) or a change within one tick of the file system's clock after the seal
// was written; the readers of the mapped arrays stay within the mapping whatever
// they read, so such a file answers wrongly but cannot crash a query.
#include "corpus/CacheHasher.h"
#include "corpus/CorpusData.h"

#include <QFile>
#include <QSaveFile>

#include <fcntl.h>

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace corvus {

namespace {

constexpr char kSealMagic[8] = {'C', 'O', 'R', 'V', 'S', 'E', 'A', 'L'};
constexpr uint32_t kSealVersion = 1;
constexpr size_t kHeaderBytes = 64;
constexpr size_t kBodyHashAt = 48;

struct SealRecord {
    char magic[8];
    uint32_t version;
    uint32_t reserved;
    uint64_t device, inode, size;
    int64_t modified, modifiedNs, changed, changedNs;
    unsigned char header[kHeaderBytes];
};
static_assert(sizeof(SealRecord) == 16 + 24 + 32 + kHeaderBytes, "seal layout");

// The record the seal of the open file `fd` holds; false when it cannot be told.
bool recordOf(int fd, SealRecord &r)
{
    std::memset(&r, 0, sizeof r);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < off_t(kHeaderBytes))
        return false;
    std::memcpy(r.magic, kSealMagic, 8);
    r.version = kSealVersion;
    r.device = uint64_t(st.st_dev);
    r.inode = uint64_t(st.st_ino);
    r.size = uint64_t(st.st_size);
    r.modified = st.st_mtim.tv_sec;
    r.modifiedNs = st.st_mtim.tv_nsec;
    r.changed = st.st_ctim.tv_sec;
    r.changedNs = st.st_ctim.tv_nsec;
    return ::pread(fd, r.header, kHeaderBytes, 0) == ssize_t(kHeaderBytes);
}

bool writeRecord(const QString &cachePath, const SealRecord &r)
{
    QSaveFile f(CacheFile::sealPath(cachePath));
    return f.open(QIODevice::WriteOnly) && f.write(reinterpret_cast<const char *>(&r), sizeof r) == qint64(sizeof r)
        && f.commit();
}

} // namespace

QString CacheFile::sealPath(const QString &cachePath)
{
    return cachePath + QStringLiteral(".seal");
}

bool CacheFile::sealVerified(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    SealRecord r;
    bool ok = recordOf(fd, r);
    // The whole body read back through the file, not through what was written
    // from memory, in pieces: nothing of it stays in this process.
    uint64_t stored = 0;
    std::memcpy(&stored, r.header + kBodyHashAt, 8);
    std::vector<char> piece(size_t(1) << 20);
    CacheHasher hasher;
    for (uint64_t at = kHeaderBytes; ok && at < r.size;) {
        const ssize_t got = ::pread(fd, piece.data(), size_t(std::min<uint64_t>(piece.size(), r.size - at)), off_t(at));
        ok = got > 0;
        if (ok)
            hasher.add(piece.data(), size_t(got));
        at += ok ? uint64_t(got) : 0;
    }
    ok = ok && hasher.result() == stored && writeRecord(path, r);
    ::close(fd);
    return ok;
}

bool CacheFile::seal(const Corpus &corpus)
{
    const CorpusData &d = *corpus.m_data;
    SealRecord r;
    return d.mapping && !d.cachePath.isEmpty() && recordOf(d.mapping->fd(), r) && writeRecord(d.cachePath, r);
}

bool CacheFile::sealed(const Corpus &corpus)
{
    const CorpusData &d = *corpus.m_data;
    if (!d.mapping || d.cachePath.isEmpty())
        return false;
    SealRecord now, stored;
    QFile f(sealPath(d.cachePath));
    if (!recordOf(d.mapping->fd(), now) || !f.open(QIODevice::ReadOnly)
        || f.read(reinterpret_cast<char *>(&stored), sizeof stored) != qint64(sizeof stored) || !f.atEnd())
        return false;
    return std::memcmp(&now, &stored, sizeof now) == 0;
}

bool CacheFile::remove(const QString &path)
{
    QFile::remove(sealPath(path));
    return QFile::remove(path);
}

} // namespace corvus
