#pragma once
// Loading what the server serves: the corpus index, the thesaurus and the two
// dictionaries, assembled into a CorvusService. Runs off the endpoints' thread while
// they already listen.
#include "service/CorvusService.h"
#include "service/ServerOptions.h"

#include <QString>
#include <functional>
#include <memory>

struct LoadedService {
    std::shared_ptr<CorvusService> service;   // null on failure
    QString error;                            // Russian, for stderr and the clients
    QStringList notes;                        // Russian progress lines for stderr
    // Set when the service stands on a cache file that had the quick check only and
    // no seal: the full check (every section's content), to pass before anything but
    // registration is answered (Dispatcher::hold()). False, with the reason in
    // Russian, when the cache must not be used.
    std::function<bool(QString *why)> check;
    QString cacheFile;                        // the cache file used or written, "" none
};

// The installed Russian thesaurus (mythes/th_ru_RU_v2.dat under the generic data
// folders), or an empty text.
QString defaultThesaurusPath();

// Checks the paths of the options before anything listens: the corpus folders
// exist and can be read, the default corpus is installed, a given thesaurus file
// can be read. An empty result means fine.
QString checkServerPaths(const ServerOptions &options);

LoadedService loadService(const ServerOptions &options);

// Removes a cache file that failed its check, with its seal.
void removeDamagedCache(const QString &cacheFile);
