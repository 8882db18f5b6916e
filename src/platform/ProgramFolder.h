#pragma once
// Whether the program may change the folder it runs from. A package manager owns an
// installed copy's folder: the package puts a marker file there, and the program then
// leaves every file in it alone, whoever runs it (root included).
#include <QString>

namespace platform {

enum class ProgramFolder {
    Writable,   // a copy the user keeps: the program may replace its own files
    Packaged,   // the marker file is there: only the package manager changes the folder
    ReadOnly,   // this user may not write the folder, or its permissions let nobody write
};

// The marker an installed package puts beside the executable.
inline const char PackageMarkerName[] = "Lexar.package";

// `folder` ends with "/" or not. A folder whose permission bits have no write bit at
// all counts as read-only even for root, who could write it anyway.
ProgramFolder programFolder(const QString &folder);

} // namespace platform
