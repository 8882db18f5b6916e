// Corvus.exe: the corpus server. See docs/server.md for the options.
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
#include <functional>
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

} // namespace

int main(int argc, char *argv[])
{
    // The heap gives memory back: large buffers (an export, the keys of a sort) are
    // mapped on their own and unmapped when freed, whatever sizes came before (the
    // allocator would otherwise raise these limits to the largest buffer freed and
    // keep such buffers in its pools), and few pools serve the request threads.
    ::mallopt(M_MMAP_THRESHOLD, 256 << 10);
    ::mallopt(M_TRIM_THRESHOLD, 1 << 20);
    ::mallopt(M_ARENA_MAX, 2);
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

    Dispatcher dispatcher;
    std::unique_ptr<LocalEndpoint> local;
    std::unique_ptr<TcpEndpoint> tcp;

    // Listen first: a client that started the server on demand connects at once and
    // waits for "Server is Ready"; a busy port is reported before a long load.
    if (options.localLink) {
        local = std::make_unique<LocalEndpoint>(&dispatcher, options.idleExitSeconds);
        if (!local->listen(options.service)) {
            printTo(stderr, QStringLiteral("Corvus: %1").arg(local->errorString()));
            if (options.port < 0)
                return 1;
            printTo(stderr, QStringLiteral("Corvus: работаю без локальной связи."));
            local.reset();
        } else {
            QObject::connect(local.get(), &LocalEndpoint::quitRequested, &app, &QCoreApplication::quit);
        }
    }
    if (options.port >= 0) {
        TcpLimits limits;
        limits.maxConnections = connectionLimitFor(options.maxConnections);
        if (limits.maxConnections < options.maxConnections)
            printTo(stderr, QStringLiteral("Corvus: система разрешает открыть мало файлов: соединений по TCP "
                                           "будет не больше %1.").arg(limits.maxConnections));
        tcp = std::make_unique<TcpEndpoint>(&dispatcher, limits);
        if (!tcp->listen(QHostAddress(options.listenAddress), quint16(options.port))) {
            printTo(stderr, QStringLiteral("Corvus: не удалось открыть порт %1 на %2: %3")
                                .arg(options.port)
                                .arg(options.listenAddress, tcp->errorString()));
            return 1;
        }
    }

    // Loading runs off this thread; so does the full check of a cache file that had
    // the quick check only, while registration is answered already and every other
    // request waits for it. A cache that fails it is removed and everything is
    // loaded again (the index built from the corpus).
    auto loaded = std::make_shared<LoadedService>();
    int exitCode = 0;
    std::unique_ptr<QThread> loader, checker;
    std::function<void()> load;
    const auto checked = [&](bool ok, const QString &why) {
        if (ok) {
            dispatcher.release();
            return;
        }
        printTo(stderr, QStringLiteral("Corvus: кэш индекса повреждён (%1): он удалён, индекс строится заново.")
                            .arg(why));
        QFile::remove(loaded->cacheFile);
        load();
    };
    const auto loadedNow = [&] {
        for (const QString &note : std::as_const(loaded->notes))
            printTo(stderr, QStringLiteral("Corvus: %1").arg(note));
        if (!loaded->service) {
            printTo(stderr, QStringLiteral("Corvus: %1").arg(loaded->error));
            if (local)
                local->failAll(cp1251::encode(loaded->error));
            exitCode = 1;
            // Let the pushed reasons reach the clients.
            QTimer::singleShot(300, &app, &QCoreApplication::quit);
            return;
        }
        const bool wasReady = dispatcher.isReady();
        if (loaded->check)
            dispatcher.hold();
        dispatcher.setService(loaded->service);
        if (!wasReady && local) {
            local->setReady();
            printTo(stdout, QStringLiteral("Corvus ready on local link %1").arg(local->socketPath()));
        }
        if (!wasReady && tcp) {
            tcp->setReady();
            printTo(stdout, QStringLiteral("Corvus listening on %1:%2")
                                .arg(tcp->address().toString())
                                .arg(tcp->port()));
        }
        if (!loaded->check) {
            dispatcher.release();
            return;
        }
        auto result = std::make_shared<std::pair<bool, QString>>(false, QString());
        // At the server's own priority: every request but registration waits for it.
        checker.reset(QThread::create([check = loaded->check, result] {
            result->first = check(&result->second);
        }));
        QObject::connect(checker.get(), &QThread::finished, &app,
                         [&, result] { checked(result->first, result->second); }, Qt::QueuedConnection);
        checker->start();
    };
    load = [&] {
        if (loader)
            loader->wait();
        loader.reset(QThread::create([loaded, options] { *loaded = loadService(options); }));
        QObject::connect(loader.get(), &QThread::finished, &app, loadedNow, Qt::QueuedConnection);
        loader->start();
    };
    load();

    const int rc = app.exec();
    if (checker)
        checker->wait();
    if (loader)
        loader->wait();
    return exitCode != 0 ? exitCode : rc;
}
