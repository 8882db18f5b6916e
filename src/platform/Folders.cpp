#include "Folders.h"

#include <QDir>
#include <QStandardPaths>

namespace platform {

QString userDataFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    const QString folder = base + QStringLiteral("/VELTA/");
    QDir().mkpath(folder);   // a failure leaves the path as computed
    return folder;
}

QString documentsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString localLinkSocketPath(const QString &service)
{
    return userDataFolder() + service + QStringLiteral(".DDES.sock");
}

} // namespace platform
