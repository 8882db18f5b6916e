#pragma once
// Stand-ins for the shell folders of the user profile.
#include <QString>

namespace platform {

// "Local AppData" + "/VELTA/": the generic data location (follows XDG_DATA_HOME),
// created when missing; always ends with "/". Holds "Timers.Log", "Started" and the
// local link's socket.
QString userDataFolder();
// "Personal": the documents location, without a sub-folder.
QString documentsFolder();
// The local link's socket for a service: userDataFolder() + service + ".DDES.sock".
QString localLinkSocketPath(const QString &service);

} // namespace platform
