#pragma once
// Runs the built Corvus.exe for a test (from LEXAR_BIN_DIR, which CTest sets) and
// talks to it over loopback TCP with the client's request bytes.
#include "model/DictPos.h"
#include "model/OptionList.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <optional>

namespace corvustest {

QString corvusExecutable();

// A small corpus of a few Russian texts in a temporary folder, with authors and
// titles from its info.csv.
class TinyCorpus {
public:
    TinyCorpus();
    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path() + QStringLiteral("/tiny"); }
    QString cacheDir() const { return m_dir.path() + QStringLiteral("/cache"); }
    QString root() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

class CorvusProcess {
public:
    ~CorvusProcess();
    // Starts Corvus.exe and waits for the line that says it serves: "Corvus listening
    // on ADDR:PORT" when `args` hold --port, else "Corvus ready on local link".
    bool start(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
               int timeoutMs = 120000);
    quint16 port() const { return m_port; }
    QProcess &process() { return m_process; }
    QString stdoutText() const { return m_stdout; }
    // Everything the server wrote to stderr so far (reading does not use it up: a
    // failure message that reads it must not hide a line from a later check).
    QString stderrText();
    // Waits for the process to end, running this process's event loop meanwhile; its
    // exit code, or nullopt on timeout.
    std::optional<int> waitForExit(int timeoutMs = 10000);
    void stop();

private:
    QProcess m_process;
    QString m_stdout;
    QString m_stderr;
    quint16 m_port = 0;
};

// Runs Corvus.exe to its end (bad arguments, missing corpus...): exit code and stderr.
struct RunResult {
    int exitCode = -1;
    bool finished = false;
    QString stdoutText;
    QString stderrText;
};
RunResult runCorvus(const QStringList &args, int timeoutMs = 30000,
                    const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

// One TCP client. Every reply must carry the length header; a reply without it is
// reported as a failure.
class WireClient {
public:
    bool connectTo(quint16 port, int timeoutMs = 5000);
    bool send(const QByteArray &bytes);
    // The next reply: everything after the header (mark, "$", tag, "=", body).
    std::optional<QByteArray> nextReply(int timeoutMs = 10000);
    // Nothing arrives within the time.
    bool silentFor(int ms);
    QString error() const { return m_error; }
    QTcpSocket &socket() { return m_socket; }

private:
    std::optional<QByteArray> take();

    QTcpSocket m_socket;
    QByteArray m_buffer;
    QString m_error;
};

// The tag and body of a reply text (no header), as the client's reader finds them.
struct TaggedReply {
    QByteArray tag;
    QByteArray body;   // after the framed records
    bool hasDictPos = false;
    bool hasOptions = false;
    tCDictPos dict{-1};
    OptionList options;
};
TaggedReply readTagged(const QByteArray &reply);

} // namespace corvustest

namespace corvustest {

// A small thesaurus (mythes format) for the tiny corpus: лес, бор, ель, ёлка, дом.
QString writeTinyThesaurus(const QString &folder);

} // namespace corvustest
