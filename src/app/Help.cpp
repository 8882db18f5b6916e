#include "Help.h"

#include <QDir>

namespace {

QString firstFile(const QDir &dir, const QStringList &patterns)
{
    const QStringList names = dir.entryList(patterns, QDir::Files | QDir::Hidden | QDir::System,
                                            QDir::Name | QDir::IgnoreCase);
    return names.isEmpty() ? QString() : names.first();
}

bool isGuideName(const QString &helpFile)
{
    const QString name = helpFile.mid(helpFile.lastIndexOf(QLatin1Char('/')) + 1);
    return name.endsWith(QLatin1String(".html"), Qt::CaseInsensitive)
        || name.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive);
}

} // namespace

QString findHelpFile(const QString &rootFolder)
{
    const QString folder = rootFolder + QStringLiteral("help/");
    const QDir dir(folder);
    if (!dir.exists())
        return QString();
    const QList<QStringList> kinds{{QStringLiteral("*.hlp")},
                                   {QStringLiteral("*.chm")},
                                   {QStringLiteral("*.html"), QStringLiteral("*.htm")}};
    for (const QStringList &patterns : kinds) {
        const QString name = firstFile(dir, patterns);
        if (!name.isEmpty())
            return folder + name;
    }
    return QString();
}

HelpKind helpAction(const QString &helpFile)
{
    if (helpFile.isEmpty())
        return HelpKind::None;
    if (isGuideName(helpFile))
        return HelpKind::Guide;
    const QString upper = helpFile.toUpper();
    if (upper.contains(QLatin1String(".HLP")))
        return HelpKind::WinHelp;
    if (upper.contains(QLatin1String(".CHM")))
        return HelpKind::HtmlHelp;
    return HelpKind::None;
}
