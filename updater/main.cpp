// LexarE.exe: replaces the client with the new copy the server sent, then starts it.
//
// Started by the client with no arguments, in the client's folder (its own folder):
//   1. waits until the client has ended (the client closes right after starting the
//      updater; while it runs it holds the lock file <folder>/Lexar.lock), at most 60 s;
//   2. copies <folder>/Lexar.ex to a temporary file in the same folder, makes it
//      executable and renames it over <folder>/Lexar, so the client is either the old
//      file or the whole new one, never a half-written mix;
//   3. removes Lexar.ex and starts the client again, detached, in its folder.
// Any failure leaves the old client as it was, writes one line to LexarE.log in the
// user data folder and still starts the (old) client, so the user is not left
// without the program. If the client does not end in time nothing is touched and
// nothing is started.
//
// For tests the folder, the client's file name and the wait can be set by the
// environment: LEXAR_UPDATE_FOLDER, LEXAR_UPDATE_CLIENT, LEXAR_UPDATE_WAIT_MS.
//
// Exit codes: 0 updated, 1 the update failed (old client kept), 2 the client did not end.
#include "model/Cp1251.h"
#include "platform/Folders.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int DefaultWaitMs = 60000;

struct Settings {
    QString folder;       // absolute, no trailing '/'
    QString clientName;   // "Lexar"
    int waitMs = DefaultWaitMs;

    QString clientPath() const { return folder + QLatin1Char('/') + clientName; }
    QString newClientPath() const { return clientPath() + QStringLiteral(".ex"); }
};

Settings settingsFromEnvironment()
{
    Settings s;
    s.folder = qEnvironmentVariable("LEXAR_UPDATE_FOLDER");
    if (s.folder.isEmpty())
        s.folder = QCoreApplication::applicationDirPath();
    s.folder = QDir::cleanPath(QDir(s.folder).absolutePath());
    s.clientName = qEnvironmentVariable("LEXAR_UPDATE_CLIENT");
    if (s.clientName.isEmpty() || s.clientName.contains(QLatin1Char('/')))
        s.clientName = QStringLiteral("Lexar");
    bool ok = false;
    const int wait = qEnvironmentVariableIntValue("LEXAR_UPDATE_WAIT_MS", &ok);
    if (ok && wait >= 0)
        s.waitMs = wait;
    return s;
}

// One dated line appended to LexarE.log in the user data folder; a failure to write
// it is ignored.
void logLine(const QString &text)
{
    QFile log(platform::userDataFolder() + QStringLiteral("LexarE.log"));
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss "))
        + text + QLatin1Char('\n');
    log.write(cp1251::encode(line));
}

// The client holds <folder>/<client>.lock (a QLockFile) while it runs. The lock is
// free once the client has ended; a lock left by a client that died is stale and
// taken over.
bool waitForClientEnd(const Settings &s)
{
    QLockFile lock(s.clientPath() + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);   // however long the client has run, its lock holds
    if (!lock.tryLock(s.waitMs))
        return lock.error() != QLockFile::LockFailedError;   // only a held lock means "running"
    lock.unlock();   // the new client takes it when it starts
    return true;
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Makes the rename durable; failures are not fatal (the rename itself is done).
void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Puts the new client in place of the old one. On failure the old file is untouched
// and `error` says why.
bool replaceClient(const Settings &s, QString *error)
{
    const QString source = s.newClientPath();
    const QString target = s.clientPath();
    const QFileInfo si(source);
    if (!si.exists()) {
        *error = QStringLiteral("нет файла новой версии %1").arg(source);
        return false;
    }
    if (!si.isFile()) {
        *error = QStringLiteral("%1 не является файлом").arg(source);
        return false;
    }
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("не удалось открыть %1: %2").arg(source, in.errorString());
        return false;
    }
    if (in.size() == 0) {
        *error = QStringLiteral("файл новой версии %1 пуст").arg(source);
        return false;
    }

    QTemporaryFile temp(s.folder + QStringLiteral("/.") + s.clientName + QStringLiteral(".update-XXXXXX"));
    if (!temp.open()) {
        *error = QStringLiteral("не удалось создать временный файл в %1: %2").arg(s.folder, temp.errorString());
        return false;
    }
    qint64 copied = 0;
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        if (temp.write(chunk) != chunk.size()) {
            *error = QStringLiteral("не удалось записать %1: %2").arg(temp.fileName(), temp.errorString());
            return false;
        }
        copied += chunk.size();
    }
    if (in.error() != QFileDevice::NoError || copied != in.size()) {
        *error = QStringLiteral("не удалось прочитать %1: %2").arg(source, in.errorString());
        return false;
    }
    if (!temp.flush() || ::fsync(temp.handle()) != 0) {
        *error = QStringLiteral("не удалось записать %1 на диск: %2").arg(temp.fileName(), errnoText());
        return false;
    }

    // The old client's permissions, with execution wherever reading is allowed.
    QFileDevice::Permissions perms = QFileInfo::exists(target)
        ? QFile::permissions(target)
        : (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    perms |= QFileDevice::ReadOwner | QFileDevice::ReadUser | QFileDevice::ExeOwner | QFileDevice::ExeUser;
    if (perms & QFileDevice::ReadGroup)
        perms |= QFileDevice::ExeGroup;
    if (perms & QFileDevice::ReadOther)
        perms |= QFileDevice::ExeOther;
    if (!temp.setPermissions(perms)) {
        *error = QStringLiteral("не удалось сделать %1 исполняемым: %2").arg(temp.fileName(), temp.errorString());
        return false;
    }
    temp.close();

    if (std::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(target).constData()) != 0) {
        *error = QStringLiteral("не удалось заменить %1: %2").arg(target, errnoText());
        return false;
    }
    temp.setAutoRemove(false);   // it is the client now
    syncFolder(s.folder);

    if (!QFile::remove(source))
        logLine(QStringLiteral("Не удалось удалить %1").arg(source));
    return true;
}

void startClient(const Settings &s)
{
    if (!QProcess::startDetached(s.clientPath(), {}, s.folder))
        logLine(QStringLiteral("Не удалось запустить клиент %1").arg(s.clientPath()));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const Settings s = settingsFromEnvironment();

    if (!waitForClientEnd(s)) {
        logLine(QStringLiteral("Клиент %1 не завершился за %2 с; обновление не выполнено.")
                    .arg(s.clientPath())
                    .arg(s.waitMs / 1000.0));
        return 2;
    }
    QString error;
    const bool updated = replaceClient(s, &error);
    if (updated)
        logLine(QStringLiteral("Клиент %1 обновлён.").arg(s.clientPath()));
    else
        logLine(QStringLiteral("Обновление не выполнено, прежняя версия клиента сохранена: %1").arg(error));
    if (QFileInfo(s.clientPath()).isFile())
        startClient(s);
    return updated ? 0 : 1;
}
