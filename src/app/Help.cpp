#include "Help.h"

#include <QDir>

namespace {

QString firstFile(const QDir &dir, const QString &pattern)
{
    const QStringList names = dir.entryList(QStringList{pattern},
                                            QDir::Files | QDir::Hidden | QDir::System,
                                            QDir::Name | QDir::IgnoreCase);
    return names.isEmpty() ? QString() : names.first();
}

} // namespace

QString findHelpFile(const QString &rootFolder)
{
    const QString folder = rootFolder + QStringLiteral("help/");
    const QDir dir(folder);
    if (!dir.exists())
        return QString();
    for (const QString &pattern : {QStringLiteral("*.hlp"), QStringLiteral("*.chm")}) {
        const QString name = firstFile(dir, pattern);
        if (!name.isEmpty())
            return folder + name;
    }
    return QString();
}

HelpKind helpAction(const QString &helpFile)
{
    const QString upper = helpFile.toUpper();
    if (upper.contains(QLatin1String(".HLP")))
        return HelpKind::WinHelp;
    if (upper.contains(QLatin1String(".CHM")))
        return HelpKind::HtmlHelp;
    return HelpKind::None;
}
