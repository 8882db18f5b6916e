#include "Pictures.h"

#include <QDir>
#include <QFileInfo>

namespace dictcore {

QString findReferencePicture(qint32 number, const QString &currentDir)
{
    if (number < 1)
        return QString();
    const QDir dir(currentDir);
    const QString file = QString::number(number) + QStringLiteral(".jpg");
    for (const QString &folder : {QStringLiteral("Картинки"), QStringLiteral("graphics")}) {
        const QString path = dir.filePath(folder + QLatin1Char('/') + file);
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

} // namespace dictcore
