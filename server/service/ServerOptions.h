#pragma once
// The command line of Corvus.exe.
//
//   Corvus.exe [--corpus DIR]... [--port N] [--listen ADDR] [--dict FILE]
//              [--cache DIR] [--no-local] [--service NAME] [--idle-exit SECONDS]
//              [--update-dir DIR] [--max-connections N] [--vrt-columns LIST] [--help]
//
// Without arguments it serves the default corpus over the local link only, which is
// how the client starts it on demand.
#include <QString>
#include <QStringList>

struct ServerOptions {
    QStringList corpusPaths;       // empty: the default corpus
    int port = -1;                 // -1: no TCP; 0: any free port
    QString listenAddress = QStringLiteral("127.0.0.1");
    QString thesaurusPath;         // empty: the installed Russian thesaurus, if any
    bool thesaurusGiven = false;   // --dict was given: a missing file is an error
    QString cacheDir;              // empty: the corpus index's default cache folder
    bool localLink = true;
    QString service = QStringLiteral("Corvus");
    // Local-only serving ends this long after the last local client has gone (or,
    // from the start, while none has come); -1: never. The default depends on
    // whether TCP is served.
    int idleExitSeconds = -1;
    QString updateDir;             // empty: no client update offered
    int maxConnections = 256;      // TCP connections served at once
    QString vrtColumns;            // columns of the corpus's vertical texts; empty: their vrt.conf
    bool help = false;
};

struct ServerOptionsResult {
    bool ok = false;
    ServerOptions options;
    QString error;   // Russian, for stderr
};

// `args` without the program name.
ServerOptionsResult parseServerOptions(const QStringList &args);
// The --help text (Russian).
QString serverUsage();

// Seconds of idleness after which a local-only server ends when --idle-exit is not given.
constexpr int DefaultLocalIdleExitSeconds = 5;
