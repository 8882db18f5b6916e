#include "ProgramFolder.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

ProgramFolder programFolder(const QString &folder)
{
    if (QFileInfo(QDir(folder).filePath(QLatin1String(PackageMarkerName))).exists())
        return ProgramFolder::Packaged;
    const QFileInfo info(folder);
    const QFileDevice::Permissions anyWrite =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (!info.isDir() || !info.isWritable() || !(info.permissions() & anyWrite))
        return ProgramFolder::ReadOnly;
    return ProgramFolder::Writable;
}

} // namespace platform
