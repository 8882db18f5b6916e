// Corvus.exe: the corpus server. See docs/server.md for the options.
#include "corpus/MappingGuard.h"
#include "service/Dispatcher.h"
#include "service/LocalEndpoint.h"
#include "service/ServerOptions.h"
#include "service/ServerSetup.h"
#include "service/StopSignals.h"
#include "service/TcpEndpoint.h"
#include "model/Cp1251.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <malloc.h>
#include <memory>
#include <sys/resource.h>

namespace {

void printTo(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// Descriptors the process may open: the soft limit is raised to the hard one, and
// the connection limit is kept below it with room for the corpus, the cache and
// the local link, so the server refuses clients plainly instead of failing to
// accept them.
int connectionLimitFor(int wanted)
{
    constexpr rlim_t Reserve = 64;
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0)
        return wanted;
    if (files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
        ::getrlimit(RLIMIT_NOFILE, &files);
    }
    if (files.rlim_cur == RLIM_INFINITY || files.rlim_cur >= rlim_t(wanted) + Reserve)
        return wanted;
    return files.rlim_cur > Reserve ? int(files.rlim_cur - Reserve) : 1;
}

// The heap gives memory back: large buffers (an export, the keys of a sort) are
// mapped on their own and unmapped when freed, whatever sizes came before (the
// allocator would otherwise raise these limits to the largest buffer freed and
// keep such buffers in its pools), and few pools serve the request threads.
void returnMemoryToTheSystem()
{
    ::mallopt(M_MMAP_THRESHOLD, 256 << 10);
    ::mallopt(M_TRIM_THRESHOLD, 1 << 20);
    ::mallopt(M_ARENA_MAX, 2);
}

// The server at work: the endpoints on one dispatcher, and the service loaded
// off the main thread.
class ServerRun {
public:
    ServerRun(QCoreApplication &app, const ServerOptions &options) : m_app(app), m_options(options) {}

    // Listen first: a client that started the server on demand connects at once and
    // waits for "Server is Ready"; a busy port is reported before a long load.
    bool listen() { return listenLocal() && listenTcp(); }
    // Loading runs off this thread; so does the full check of a cache file that had
    // the quick check only and no seal, while registration is answered already and
    // every other request waits for it. A cache that fails it is removed and everything is
    // loaded again (the index built from the corpus).
    void load();
    // After the event loop: waits for the threads still running; the exit code.
    int finish(int rc);

private:
    bool listenLocal();
    bool listenTcp();
    void loaded();
    void failLoading();
    void serve();
    void startCheck();
    void checked(bool ok, const QString &why);

    QCoreApplication &m_app;
    const ServerOptions &m_options;
    Dispatcher m_dispatcher;
    std::unique_ptr<LocalEndpoint> m_local;
    std::unique_ptr<TcpEndpoint> m_tcp;
    std::shared_ptr<LoadedService> m_loaded = std::make_shared<LoadedService>();
    int m_exitCode = 0;
    std::unique_ptr<QThread> m_loader, m_checker;
};

// The local link; when it cannot open and TCP is served, the server goes on without it.
bool ServerRun::listenLocal()
{
    if (!m_options.localLink)
        return true;
    m_local = std::make_unique<LocalEndpoint>(&m_dispatcher, m_options.idleExitSeconds);
    if (!m_local->listen(m_options.service)) {
        printTo(stderr, QStringLiteral("Corvus: %1").arg(m_local->errorString()));
        if (m_options.port < 0)
            return false;
        printTo(stderr, QStringLiteral("Corvus: работаю без локальной связи."));
        m_local.reset();
    } else {
        QObject::connect(m_local.get(), &LocalEndpoint::quitRequested, &m_app, &QCoreApplication::quit);
    }
    return true;
}

bool ServerRun::listenTcp()
{
    if (m_options.port < 0)
        return true;
    TcpLimits limits;
    limits.maxConnections = connectionLimitFor(m_options.maxConnections);
    if (limits.maxConnections < m_options.maxConnections)
        printTo(stderr, QStringLiteral("Corvus: система разрешает открыть мало файлов: соединений по TCP "
                                       "будет не больше %1.").arg(limits.maxConnections));
    m_tcp = std::make_unique<TcpEndpoint>(&m_dispatcher, limits);
    if (!m_tcp->listen(QHostAddress(m_options.listenAddress), quint16(m_options.port))) {
        printTo(stderr, QStringLiteral("Corvus: не удалось открыть порт %1 на %2: %3")
                            .arg(m_options.port)
                            .arg(m_options.listenAddress, m_tcp->errorString()));
        return false;
    }
    return true;
}

void ServerRun::load()
{
    if (m_loader)
        m_loader->wait();
    m_loader.reset(QThread::create([loaded = m_loaded, options = m_options] { *loaded = loadService(options); }));
    QObject::connect(m_loader.get(), &QThread::finished, &m_app, [this] { loaded(); }, Qt::QueuedConnection);
    m_loader->start();
}

void ServerRun::loaded()
{
    for (const QString &note : std::as_const(m_loaded->notes))
        printTo(stderr, QStringLiteral("Corvus: %1").arg(note));
    if (!m_loaded->service) {
        failLoading();
        return;
    }
    serve();
    if (!m_loaded->check) {
        m_dispatcher.release();
        return;
    }
    startCheck();
}

// Nothing to serve: the clients waiting on the local link are told why, and the
// server ends.
void ServerRun::failLoading()
{
    printTo(stderr, QStringLiteral("Corvus: %1").arg(m_loaded->error));
    if (m_local)
        m_local->failAll(cp1251::encode(m_loaded->error));
    m_exitCode = 1;
    // Let the pushed reasons reach the clients.
    QTimer::singleShot(300, &m_app, &QCoreApplication::quit);
}

// The loaded service goes to the dispatcher (held while its cache file is checked);
// the first time, the endpoints say they are ready.
void ServerRun::serve()
{
    const bool wasReady = m_dispatcher.isReady();
    if (m_loaded->check)
        m_dispatcher.hold();
    m_dispatcher.setService(m_loaded->service);
    if (!wasReady && m_local) {
        m_local->setReady();
        printTo(stdout, QStringLiteral("Corvus ready on local link %1").arg(m_local->socketPath()));
    }
    if (!wasReady && m_tcp) {
        m_tcp->setReady();
        printTo(stdout, QStringLiteral("Corvus listening on %1:%2")
                            .arg(m_tcp->address().toString())
                            .arg(m_tcp->port()));
    }
}

void ServerRun::startCheck()
{
    auto result = std::make_shared<std::pair<bool, QString>>(false, QString());
    // At the server's own priority: every request but registration waits for it.
    m_checker.reset(QThread::create([check = m_loaded->check, result] {
        result->first = check(&result->second);
    }));
    QObject::connect(m_checker.get(), &QThread::finished, &m_app,
                     [this, result] { checked(result->first, result->second); }, Qt::QueuedConnection);
    m_checker->start();
}

void ServerRun::checked(bool ok, const QString &why)
{
    if (ok) {
        m_dispatcher.release();
        return;
    }
    printTo(stderr, QStringLiteral("Corvus: кэш индекса повреждён (%1): он удалён, индекс строится заново.")
                        .arg(why));
    removeDamagedCache(m_loaded->cacheFile);
    // The check may have failed on pages the file lost under it (blanks, see
    // MappingGuard.h): the index built again maps a file of its own.
    corvus::mappingguard::reset();
    load();
}

int ServerRun::finish(int rc)
{
    if (m_checker)
        m_checker->wait();
    if (m_loader)
        m_loader->wait();
    return m_exitCode != 0 ? m_exitCode : rc;
}

} // namespace

int main(int argc, char *argv[])
{
    returnMemoryToTheSystem();
    QCoreApplication app(argc, argv);

    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    const ServerOptionsResult parsed = parseServerOptions(args);
    if (!parsed.ok) {
        printTo(stderr, QStringLiteral("Corvus: %1\nСправка: Corvus.exe --help").arg(parsed.error));
        return 2;
    }
    const ServerOptions &options = parsed.options;
    if (options.help) {
        printTo(stdout, serverUsage());
        return 0;
    }
    if (const QString problem = checkServerPaths(options); !problem.isEmpty()) {
        printTo(stderr, QStringLiteral("Corvus: %1").arg(problem));
        return 1;
    }

    StopSignals stopSignals;
    if (stopSignals.install()) {
        QObject::connect(&stopSignals, &StopSignals::stopRequested, &app, [&app](const QString &name) {
            printTo(stderr, QStringLiteral("Corvus: получен сигнал %1, работа завершается.").arg(name));
            app.quit();
        });
    }

    ServerRun server(app, options);
    if (!server.listen())
        return 1;
    server.load();
    return server.finish(app.exec());
}
