#include "AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

QString failure(const QString &path, const QString &reason)
{
    return QStringLiteral("Не удалось записать файл ") + QDir::toNativeSeparators(path)
           + QStringLiteral(": ") + reason;
}

QString systemReason(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

QString writeFileAtomically(const QString &path, const QByteArray &bytes,
                            QFileDevice::Permissions permissions)
{
    const QFileInfo target(path);
    if (target.fileName().isEmpty())
        return failure(path, QStringLiteral("не задано имя файла"));
    const QString folder = target.absolutePath();
    QTemporaryFile temp(folder + QStringLiteral("/.") + target.fileName()
                        + QStringLiteral(".XXXXXX"));
    if (!temp.open())
        return failure(path, QStringLiteral("нельзя создать временный файл в папке ")
                                 + QDir::toNativeSeparators(folder) + QStringLiteral(" (")
                                 + temp.errorString() + QLatin1Char(')'));
    if (temp.write(bytes) != bytes.size() || !temp.flush())
        return failure(path, temp.errorString());
    if (::fsync(temp.handle()) != 0)
        return failure(path, systemReason(errno));
    if (!temp.setPermissions(permissions))
        return failure(path, temp.errorString());
    temp.close();
    if (std::rename(QFile::encodeName(temp.fileName()).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData())
        != 0)
        return failure(path, systemReason(errno));   // the temporary file is removed
    temp.setAutoRemove(false);
    // The rename itself reaches the disk with the folder's entry.
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return QString();
}

} // namespace platform
