#pragma once
// Search of a folder tree for entries by name patterns.
#include <QString>
#include <QStringList>

namespace platform {

// Collects `root` and, breadth-first, every folder below it; sorts that list of
// folders; then, for every folder and every pattern of the comma-separated
// `patterns` (wildcards "*" and "?", letters matched regardless of case), adds the
// full path of each matching entry, in name order. `kind`: ' ' any entry, 'F' files
// only, 'D' folders only (any other letter counts as ' ').
//
// `root` names a folder with or without its trailing "/". Folders reached through
// symbolic links are not entered (a link back up the tree would never end), and the
// walk stops collecting after MaxSearchFolders folders.
QStringList searchFiles(const QString &root, const QString &patterns, char kind);

inline constexpr int MaxSearchFolders = 20000;

} // namespace platform
