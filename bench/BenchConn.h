#pragma once
// What the benchmarks that talk to a Corvus.exe process share: starting it on a
// corpus with TCP on a free port, and a blocking loopback client that reads replies
// by their length header. QtCore only.
#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// A blocking loopback client that reads replies by their length header.
class Conn {
public:
    Conn() = default;
    Conn(const Conn &) = delete;
    Conn &operator=(const Conn &) = delete;
    ~Conn() { close(); }
    // receiveBuffer > 0: the socket's receive buffer, set before connecting (a
    // small one makes a client that does not read felt at once).
    bool open(quint16 port, int receiveBuffer = 0)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (m_fd < 0)
            return false;
        const int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (receiveBuffer > 0)
            ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return ::connect(m_fd, reinterpret_cast<const sockaddr *>(&a), sizeof a) == 0;
    }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_buf.clear();
    }
    bool send(const QByteArray &bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(m_fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }
    // The next reply without its header, or nothing (closed, malformed, timed out).
    std::optional<QByteArray> reply(int timeoutMs, QByteArray *why)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (m_buf.startsWith("##")) {
                const qsizetype h = m_buf.indexOf("###", 2);
                if (h > 2) {
                    bool ok = false;
                    const qsizetype count = m_buf.mid(2, h - 2).toLongLong(&ok);
                    if (!ok) {
                        *why = "bad length header";
                        return std::nullopt;
                    }
                    if (m_buf.size() - h - 3 >= count) {
                        QByteArray text = m_buf.mid(h + 3, count);
                        m_buf.remove(0, h + 3 + count);
                        return text;
                    }
                }
            } else if (m_buf.size() >= 2) {
                *why = "reply without a length header";
                return std::nullopt;
            }
            const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
            if (left <= 0) {
                *why = "timed out";
                return std::nullopt;
            }
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, left) <= 0)
                continue;
            char chunk[65536];
            const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
            if (n <= 0) {
                *why = "connection closed";
                return std::nullopt;
            }
            m_buf.append(chunk, qsizetype(n));
        }
    }

private:
    int m_fd = -1;
    QByteArray m_buf;
};

// Starts `server` on `corpus` with TCP on a free port and no local link, and waits
// for it to say where it listens; the port, or 0 when it did not start.
inline quint16 startCorvus(QProcess &corvus, const QString &server, const QString &corpus, const QString &cache)
{
    QStringList args{QStringLiteral("--corpus"), corpus, QStringLiteral("--port"), QStringLiteral("0"),
                     QStringLiteral("--no-local")};
    if (!cache.isEmpty())
        args << QStringLiteral("--cache") << cache;
    corvus.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    corvus.start(server, args);
    QByteArray out;
    static const QRegularExpression listening(QStringLiteral("Corvus listening on \\S+:(\\d+)"));
    while (corvus.state() != QProcess::NotRunning && clock.elapsed() < 900000) {
        corvus.waitForReadyRead(1000);
        out += corvus.readAllStandardOutput();
        const QRegularExpressionMatch m = listening.match(QString::fromLatin1(out));
        if (m.hasMatch()) {
            std::printf("server ready on port %s after %.1f s\n", qPrintable(m.captured(1)),
                        double(clock.elapsed()) / 1000.0);
            return quint16(m.captured(1).toUInt());
        }
    }
    corvus.kill();
    corvus.waitForFinished();
    return 0;
}

// Stops the server started by startCorvus().
inline void stopCorvus(QProcess &corvus)
{
    corvus.terminate();
    if (!corvus.waitForFinished(10000)) {
        corvus.kill();
        corvus.waitForFinished();
    }
}

} // namespace bench
