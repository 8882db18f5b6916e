// Saving the buffer onto what a folder may hold: read-only files, hard links,
// symbolic links (to a file, to nothing), folders, and the failures of a full disk
// or a denied right, made through the save's system calls.
#include "text/core/BufferOps.h"
#include "text/core/BufferSave.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace textcore;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

struct stat statOf(const QString &path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

// What one save appends for the lines {"new"} under `shownPath`.
QByteArray saved(const QString &shownPath)
{
    return QFile::encodeName(shownPath) + "\r\nnew\r\n=============\r\n";
}

int failReserve(int, off_t, off_t) { return ENOSPC; }
int okReserve(int, off_t, off_t) { return 0; }
ssize_t failWrite(int, const void *, size_t, off_t)
{
    errno = ENOSPC;
    return -1;
}
// Writes half of what it is given, then the disk is full.
ssize_t halfThenFull(int fd, const void *data, size_t size, off_t offset)
{
    static bool wrote = false;
    if (wrote) {
        wrote = false;
        errno = ENOSPC;
        return -1;
    }
    wrote = true;
    return ::pwrite(fd, data, size / 2, offset);
}
int denyOpen(const char *, int, mode_t)
{
    errno = EACCES;
    return -1;
}
// A folder that takes no new files: only opening an existing file succeeds.
int denyCreate(const char *path, int flags, mode_t mode)
{
    if (flags & O_CREAT) {
        errno = EACCES;
        return -1;
    }
    return ::open(path, flags, mode);
}

} // namespace

class TestBufferSave : public QObject {
    Q_OBJECT

    QString name(const QTemporaryDir &dir, const char *file) { return dir.filePath(QLatin1String(file)); }

private slots:
    void cleanup() { resetSaveCalls(); }

    void readOnlyFile_refusedAndLeftAsItWas_data()
    {
        QTest::addColumn<bool>("append");
        QTest::newRow("replace") << false;
        QTest::newRow("append") << true;
    }
    void readOnlyFile_refusedAndLeftAsItWas()
    {
        QFETCH(bool, append);
        QTemporaryDir dir;
        const QString path = name(dir, "ro.txt");
        writeFile(path, "old");
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        QCOMPARE(saveBuffer(path, {"new"}, append),
                 QStringLiteral("Не удалось сохранить файл %1: файл только для чтения").arg(path));
        QCOMPARE(readAll(path), QByteArray("old"));
        QCOMPARE(statOf(path).st_mode & 0777, mode_t(0440));
    }

    void hardLink_writtenInPlace_bothNamesSeeTheText()
    {
        QTemporaryDir dir;
        const QString a = name(dir, "a.txt");
        const QString b = name(dir, "b.txt");
        writeFile(a, "old\r\n");
        QCOMPARE(::link(QFile::encodeName(a).constData(), QFile::encodeName(b).constData()), 0);
        const ino_t inode = statOf(a).st_ino;
        QCOMPARE(saveBuffer(a, {"new"}, false), QString());
        QCOMPARE(readAll(b), saved(a));
        QCOMPARE(saveBuffer(b, {"new"}, true), QString());
        QCOMPARE(readAll(a), saved(a) + saved(b));
        QCOMPARE(statOf(a).st_ino, inode);
        QCOMPARE(statOf(a).st_nlink, nlink_t(2));
    }

    void symbolicLink_writtenThroughToItsFile()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        const QString target = name(dir, "sub/t.txt");
        const QString link = name(dir, "l.txt");
        writeFile(target, "old\r\n");
        QVERIFY(QFile::link(target, link));
        const ino_t inode = statOf(target).st_ino;
        QCOMPARE(saveBuffer(link, {"new"}, true), QString());
        QCOMPARE(readAll(target), "old\r\n" + saved(link));
        QCOMPARE(saveBuffer(link, {"new"}, false), QString());
        QCOMPARE(readAll(target), saved(link));
        QVERIFY(S_ISLNK(statOf(link).st_mode));
        QCOMPARE(statOf(target).st_ino, inode);
        QCOMPARE(QDir(dir.filePath(QStringLiteral("sub"))).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("t.txt")});
    }

    void danglingLinkAndFolder_refused()
    {
        QTemporaryDir dir;
        const QString link = name(dir, "l.txt");
        QVERIFY(QFile::link(name(dir, "missing.txt"), link));
        QCOMPARE(saveBuffer(link, {"new"}, false),
                 QStringLiteral("Не удалось сохранить файл %1: символическая ссылка ведёт к несуществующему файлу")
                     .arg(link));
        QVERIFY(!QFile::exists(name(dir, "missing.txt")));
        QVERIFY(S_ISLNK(statOf(link).st_mode));
        const QString folder = name(dir, "folder");
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QCOMPARE(saveBuffer(folder, {"new"}, false),
                 QStringLiteral("Не удалось сохранить файл %1: это папка, а не файл").arg(folder));
        const QString nowhere = name(dir, "no/such.txt");
        QCOMPARE(saveBuffer(nowhere, {"new"}, false),
                 QStringLiteral("Не удалось сохранить файл %1: такой папки нет").arg(nowhere));
    }

    // A full disk and a denied right, on each way of writing: the old text stays, no
    // temporary file is left, the message names the reason.
    void systemFailures_namedAndOldTextKept_data()
    {
        QTest::addColumn<int>("failure");   // 0 reserve, 1 write, 2 half a write, 3 open
        QTest::addColumn<bool>("hardLink"); // written in place
        QTest::addColumn<bool>("append");
        QTest::addColumn<QString>("reason");
        const QString full = QStringLiteral("на диске нет места");
        const QString denied = QStringLiteral("нет прав на запись");
        QTest::newRow("replace: no space reserved") << 0 << false << false << full;
        QTest::newRow("replace: write fails") << 1 << false << false << full;
        QTest::newRow("append: half written") << 2 << false << true << full;
        QTest::newRow("in place: no space reserved") << 0 << true << false << full;
        QTest::newRow("in place append: half written") << 2 << true << true << full;
        QTest::newRow("replace: open denied") << 3 << false << false << denied;
        QTest::newRow("in place: open denied") << 3 << true << true << denied;
    }
    void systemFailures_namedAndOldTextKept()
    {
        QFETCH(int, failure);
        QFETCH(bool, hardLink);
        QFETCH(bool, append);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = name(dir, "f.txt");
        writeFile(path, "old text\r\n");
        if (hardLink)
            QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(name(dir, "g.txt")).constData()), 0);
        SaveCalls &calls = saveCalls();
        if (failure == 0)
            calls.reserve = failReserve;
        else if (failure == 1)
            calls.pwrite = failWrite;
        else if (failure == 2)
            calls.pwrite = halfThenFull;
        else
            calls.open = denyOpen;
        if (failure == 1 || failure == 2)
            calls.reserve = okReserve;   // the disk seemed to have room
        QCOMPARE(saveBuffer(path, {"new"}, append),
                 QStringLiteral("Не удалось сохранить файл %1: %2").arg(path, reason));
        QCOMPARE(readAll(path), QByteArray("old text\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), hardLink ? 2 : 1);
    }

    // A folder that takes no new file, holding a file the user may write: the file is
    // written in place, as the user could by hand.
    void closedFolder_writableFile_writtenInPlace()
    {
        QTemporaryDir dir;
        const QString path = name(dir, "f.txt");
        writeFile(path, "old\r\n");
        const ino_t inode = statOf(path).st_ino;
        saveCalls().open = denyCreate;
        QCOMPARE(saveBuffer(path, {"new"}, false), QString());
        QCOMPARE(readAll(path), saved(path));
        QCOMPARE(statOf(path).st_ino, inode);
        // A new file there cannot be made.
        const QString fresh = name(dir, "new.txt");
        QCOMPARE(saveBuffer(fresh, {"new"}, false),
                 QStringLiteral("Не удалось сохранить файл %1: нет прав на запись").arg(fresh));
    }

    // A plain file is replaced through a renamed new file that keeps its rights.
    void plainFile_replacedWithItsRights()
    {
        QTemporaryDir dir;
        const QString path = name(dir, "f.txt");
        writeFile(path, "old\r\n");
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(saveBuffer(path, {"new"}, false), QString());
        QCOMPARE(readAll(path), saved(path));
        QCOMPARE(statOf(path).st_mode & 0777, mode_t(0600));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("f.txt")});
    }
};

QTEST_APPLESS_MAIN(TestBufferSave)
#include "tst_buffer_save.moc"
