#pragma once
// Replacing a file so that readers see either the old bytes or all the new ones.
#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace platform {

// Writes `bytes` to a new temporary file beside `path`, flushes it to disk, gives it
// `permissions` and renames it over `path`. The rename replaces the directory entry
// itself: a symbolic link at `path` is replaced, never followed, and a failure at
// any step leaves whatever was at `path` untouched and removes the temporary file.
// Returns an empty string on success, else a Russian description naming the file.
QString writeFileAtomically(const QString &path, const QByteArray &bytes,
                            QFileDevice::Permissions permissions = QFileDevice::ReadOwner
                                | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                | QFileDevice::ReadOther);

} // namespace platform
