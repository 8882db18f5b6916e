#include "FileSearch.h"

#include <QDir>
#include <QFileInfo>
#include <QQueue>

#include <algorithm>

namespace platform {

namespace {

QString withSlash(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

} // namespace

QStringList searchFiles(const QString &root, const QString &patterns, char kind)
{
    QStringList result;
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return result;

    QStringList nameFilters;
    for (const QString &p : patterns.split(QLatin1Char(','))) {
        const QString pattern = p.trimmed();
        if (!pattern.isEmpty())
            nameFilters.append(pattern);
    }
    if (nameFilters.isEmpty())
        return result;

    // The folder list: the root and breadth-first every folder below it.
    QStringList folders;
    QQueue<QString> pending;
    pending.enqueue(withSlash(root));
    while (!pending.isEmpty() && folders.size() < MaxSearchFolders) {
        const QString folder = pending.dequeue();
        folders.append(folder);
        const QStringList subFolders = QDir(folder).entryList(
            QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks,
            QDir::Name | QDir::IgnoreCase);
        for (const QString &name : subFolders)
            pending.enqueue(folder + name + QLatin1Char('/'));
    }
    std::sort(folders.begin(), folders.end(), [](const QString &a, const QString &b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });

    QDir::Filters filters = QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
    if (kind == 'F')
        filters |= QDir::Files;
    else if (kind == 'D')
        filters |= QDir::Dirs;
    else
        filters |= QDir::Files | QDir::Dirs;

    for (const QString &folder : folders) {
        QDir dir(folder);
        for (const QString &pattern : nameFilters) {
            const QStringList names =
                dir.entryList(QStringList{pattern}, filters, QDir::Name | QDir::IgnoreCase);
            for (const QString &name : names)
                result.append(folder + name);
        }
    }
    return result;
}

} // namespace platform
