#include "CorvusProcess.h"

#include "model/ConcPos.h"
#include "model/Cp1251.h"
#include "model/DictPos.h"
#include "model/OptionList.h"
#include "wire/ReplyReader.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace corvustest {

QString corvusExecutable()
{
    QString dir = qEnvironmentVariable("LEXAR_BIN_DIR");
    if (dir.isEmpty())
        dir = QStringLiteral(".");
    return dir + QStringLiteral("/Corvus.exe");
}

namespace {

bool writeFile(const QString &path, const QString &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write(text.toUtf8()) >= 0;
}

} // namespace

TinyCorpus::TinyCorpus()
{
    if (!m_dir.isValid())
        return;
    const QString base = path();
    writeFile(base + QStringLiteral("/info.csv"),
              QStringLiteral("name,year,author,title\n"
                             "lesa,1901,Иванов,Леса и поля\n"
                             "doma,1902,Петров,Дома\n"
                             "elki,1903,Иванов,Ёлки\n"));
    writeFile(base + QStringLiteral("/lesa.txt"),
              QStringLiteral("Лес шумел. В лесу было темно, и лес молчал.\n"
                             "За лесом лежало поле, за полем был бор.\n"
                             "Мы шли лесом до самого вечера.\n"));
    writeFile(base + QStringLiteral("/doma.txt"),
              QStringLiteral("Дом стоял у дороги. Дома было тепло.\n"
                             "Мы пришли домой, и в доме горел свет.\n"
                             "Еда была на столе, а за окном ель и ёлка.\n"));
    writeFile(base + QStringLiteral("/elki.txt"),
              QStringLiteral("Ёлка росла в лесу. Ёж спал под ёлкой.\n"
                             "Ель и ёлка — одно дерево. Лес был рад.\n"));
}

CorvusProcess::~CorvusProcess()
{
    stop();
}

bool CorvusProcess::start(const QStringList &args, const QProcessEnvironment &env, int timeoutMs)
{
    m_process.setProcessEnvironment(env);
    m_process.setProgram(corvusExecutable());
    m_process.setArguments(args);
    m_process.start();
    if (!m_process.waitForStarted(10000))
        return false;
    const bool tcp = args.contains(QStringLiteral("--port"));
    static const QRegularExpression listening(QStringLiteral("Corvus listening on (\\S+):(\\d+)"));
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (m_process.state() == QProcess::NotRunning)
            return false;
        m_process.waitForReadyRead(100);
        m_stdout += QString::fromLocal8Bit(m_process.readAllStandardOutput());
        if (tcp) {
            const auto m = listening.match(m_stdout);
            if (m.hasMatch()) {
                m_port = quint16(m.captured(2).toUInt());
                return true;
            }
        } else if (m_stdout.contains(QStringLiteral("Corvus ready on local link"))) {
            return true;
        }
    }
    return false;
}

QString CorvusProcess::stderrText()
{
    m_stderr += QString::fromLocal8Bit(m_process.readAllStandardError());
    return m_stderr;
}

std::optional<int> CorvusProcess::waitForExit(int timeoutMs)
{
    // The test's own sockets (a local link's last poke) need the event loop meanwhile.
    QDeadlineTimer deadline(timeoutMs);
    while (m_process.state() != QProcess::NotRunning) {
        if (deadline.hasExpired())
            return std::nullopt;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        m_process.waitForFinished(20);
    }
    return m_process.exitCode();
}

void CorvusProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

RunResult runCorvus(const QStringList &args, int timeoutMs, const QProcessEnvironment &env)
{
    RunResult r;
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(corvusExecutable(), args);
    if (!p.waitForStarted(10000))
        return r;
    r.finished = p.waitForFinished(timeoutMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.exitCode = p.exitCode();
    r.stdoutText = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.stderrText = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

bool WireClient::connectTo(quint16 port, int timeoutMs)
{
    m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!m_socket.waitForConnected(timeoutMs)) {
        m_error = m_socket.errorString();
        return false;
    }
    return true;
}

bool WireClient::send(const QByteArray &bytes)
{
    if (m_socket.write(bytes) != bytes.size())
        return false;
    return m_socket.waitForBytesWritten(5000);
}

std::optional<QByteArray> WireClient::take()
{
    if (m_buffer.isEmpty())
        return std::nullopt;
    if (!m_buffer.startsWith("##")) {
        m_error = QStringLiteral("reply without length header: ")
            + QString::fromLatin1(m_buffer.left(40).toPercentEncoding());
        return std::nullopt;
    }
    const qsizetype hashes = m_buffer.indexOf("###", 2);
    if (hashes < 0)
        return std::nullopt;
    bool ok = false;
    const qsizetype count = m_buffer.mid(2, hashes - 2).toLongLong(&ok);
    if (!ok) {
        m_error = QStringLiteral("bad length header");
        return std::nullopt;
    }
    const qsizetype start = hashes + 3;
    if (m_buffer.size() - start < count)
        return std::nullopt;
    QByteArray reply = m_buffer.mid(start, count);
    m_buffer.remove(0, start + count);
    return reply;
}

std::optional<QByteArray> WireClient::nextReply(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (true) {
        if (auto r = take())
            return r;
        if (!m_error.isEmpty() || deadline.hasExpired())
            return std::nullopt;
        if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
            if (m_socket.state() != QAbstractSocket::ConnectedState && m_socket.bytesAvailable() == 0) {
                m_error = QStringLiteral("connection closed");
                return std::nullopt;
            }
            continue;
        }
        m_buffer += m_socket.readAll();
    }
}

bool WireClient::silentFor(int ms)
{
    if (!m_buffer.isEmpty())
        return false;
    if (m_socket.waitForReadyRead(ms))
        return false;
    return m_socket.bytesAvailable() == 0;
}

TaggedReply readTagged(const QByteArray &reply)
{
    TaggedReply t;
    tCConcPos conc;
    tCDictPos dict(-1);
    OptionList options;
    const replyreader::ReplyRead r = replyreader::readReply(reply, conc, dict, options);
    if (!r.found)
        return t;
    t.tag = r.tag;
    t.body = r.body;
    t.hasDictPos = r.recordsSeen.dictPos;
    t.hasOptions = r.recordsSeen.options;
    t.dict = dict;
    t.options = options;
    return t;
}

} // namespace corvustest

namespace corvustest {

QString writeTinyThesaurus(const QString &folder)
{
    const QString path = folder + QStringLiteral("/th_tiny.dat");
    writeFile(path, QStringLiteral("UTF-8\n"
                                   "лес|1\n(синоним)|бор|роща\n"
                                   "бор|1\n(синоним)|лес\n"
                                   "ель|1\n(синоним)|ёлка\n"
                                   "ёлка|1\n(синоним)|ель|ёлочка\n"
                                   "дом|2\n(синоним)|жилище\n(связанный термин)|дорога\n"));
    return path;
}

} // namespace corvustest
