// Corvus.exe: the corpus server. See docs/server.md for the options.
#include "service/Dispatcher.h"
#include "service/LocalEndpoint.h"
#include "service/ServerOptions.h"
#include "service/ServerSetup.h"
#include "service/StopSignals.h"
#include "service/TcpEndpoint.h"
#include "model/Cp1251.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QThread>
#include <QTimer>

#include <cstdio>
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

    auto loaded = std::make_shared<LoadedService>();
    QThread *loader = QThread::create([loaded, options] { *loaded = loadService(options); });
    int exitCode = 0;
    QObject::connect(loader, &QThread::finished, &app, [&, loaded] {
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
        dispatcher.setService(loaded->service);
        if (local) {
            local->setReady();
            printTo(stdout, QStringLiteral("Corvus ready on local link %1").arg(local->socketPath()));
        }
        if (tcp) {
            tcp->setReady();
            printTo(stdout, QStringLiteral("Corvus listening on %1:%2")
                                .arg(tcp->address().toString())
                                .arg(tcp->port()));
        }
    });
    loader->start();

    const int rc = app.exec();
    loader->wait();
    delete loader;
    return exitCode != 0 ? exitCode : rc;
}
