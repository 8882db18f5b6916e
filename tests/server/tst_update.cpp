// Client self-update: the version comparison and the "U" mark on the replies to an
// older client, the "CL_E"/"CL_B" replies carrying the update folder's files byte for
// byte (read back with the client's own reader), "ZERO" without an update folder or
// over the local link, folders the server refuses at start, the same over loopback
// TCP with Corvus.exe, and the updater LexarE.exe replacing a dummy client.
#include "support/CorvusProcess.h"

#include "model/Cp1251.h"
#include "wire/ReplyAssembler.h"
#include "wire/ReplyReader.h"
#include "service/CorvusService.h"
#include "service/UpdateOffer.h"
#include "wire/RequestReader.h"

#include <QLockFile>
#include <QtTest>
#include <functional>
#include <QRandomGenerator>

using namespace corvustest;

namespace {

QByteArray ru(const char *s)
{
    return cp1251::ru(s);
}

void writeFile(const QString &path, const QByteArray &bytes,
               QFileDevice::Permissions perms = QFileDevice::ReadOwner | QFileDevice::WriteOwner)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
    f.close();
    QVERIFY(f.setPermissions(perms));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Executable-like bytes: an ELF start, then pseudo-random bytes without '$', so no
// reply marker can occur by chance; `extra` is put in the middle.
QByteArray fakeExecutable(qsizetype size, quint32 seed, const QByteArray &extra = {})
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator rng(seed);
    for (char &c : bytes) {
        c = char(rng.bounded(256));
        if (c == '$')
            c = '%';
    }
    bytes.replace(0, 4, QByteArrayLiteral("\x7f" "ELF"));
    bytes.replace(size / 2, extra.size(), extra);
    return bytes;
}

struct UpdateFolder {
    QTemporaryDir dir;
    QByteArray client = fakeExecutable(200 * 1024, 1, QByteArrayLiteral("$CL_B="));
    QByteArray updater = fakeExecutable(50 * 1024, 2);

    explicit UpdateFolder(const QByteArray &version = QByteArrayLiteral("1.4.13.0\n"))
    {
        writeFile(path(QStringLiteral("Lexar")), client);
        writeFile(path(QStringLiteral("LexarE")), updater);
        writeFile(path(QStringLiteral("VERSION")), version);
    }
    QString path(const QString &name = {}) const
    {
        return name.isEmpty() ? dir.path() : dir.path() + QLatin1Char('/') + name;
    }
};

wirerequest::Request request(const QByteArray &bytes)
{
    const wirerequest::Result r = wirerequest::parse(bytes, true);
    return r.request;
}

// The reply as the client assembles and reads it: (mark, tag, body).
struct ClientView {
    bool ok = false;
    char mark = ' ';
    QByteArray tag;
    QByteArray body;
};
ClientView clientRead(const QByteArray &wireReply)
{
    ClientView v;
    ReplyAssembler a;
    const QList<ReplyAssembler::Item> items = a.feed(wireReply);
    if (items.size() != 1 || !items[0].ok || a.isIncomplete())
        return v;
    tCConcPos conc;
    tCDictPos dict;
    OptionList options;
    const replyreader::ReplyRead r = replyreader::readReply(items[0].reply, conc, dict, options);
    v.ok = r.found;
    v.mark = r.mark;
    v.tag = r.tag;
    v.body = r.body;
    return v;
}

QString updaterExecutable()
{
    QString dir = qEnvironmentVariable("LEXAR_BIN_DIR");
    if (dir.isEmpty())
        dir = QStringLiteral(".");
    return dir + QStringLiteral("/LexarE.exe");
}

const QFileDevice::Permissions Exec = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
    | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;

bool waitForFile(const QString &path, int ms = 10000)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        if (QFileInfo(path).size() > 0)
            return true;
        QThread::msleep(20);
    }
    return false;
}

// A client folder for the updater: the old client (a script writing "old" into
// "marker" in its working folder) and the new one, not yet executable.
struct ClientFolder {
    QTemporaryDir dir;
    QTemporaryDir home;
    QByteArray oldClient = "#!/bin/sh\necho old > marker\n";
    QByteArray newClient = "#!/bin/sh\necho new > marker\n";

    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
    QString logPath() const { return home.path() + QStringLiteral("/VELTA/LexarE.log"); }

    // Runs LexarE.exe on the folder; its exit code (-1: it did not end). `during`
    // runs once the updater has started.
    int runUpdater(int waitMs = 2000, const std::function<void()> &during = {})
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LEXAR_UPDATE_FOLDER"), dir.path());
        env.insert(QStringLiteral("LEXAR_UPDATE_WAIT_MS"), QString::number(waitMs));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path());
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(home.path());   // not the client's folder: the updater must use its own
        p.start(updaterExecutable(), {});
        if (!p.waitForStarted())
            return -1;
        if (during)
            during();
        if (!p.waitForFinished(waitMs + 20000) || p.exitStatus() != QProcess::NormalExit)
            return -1;
        return p.exitCode();
    }
    QStringList entries() const
    {
        QStringList e = QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
        e.sort();
        return e;
    }
};

} // namespace

class TestUpdate : public QObject {
    Q_OBJECT

private slots:
    // ------------------------------------------------------------ versions, mark

    void compareVersions_numericByComponent_data()
    {
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<int>("expected");
        QTest::newRow("older build") << QByteArray("1.4.12.0") << QByteArray("1.4.13.0") << -1;
        QTest::newRow("9 before 10") << QByteArray("1.4.9.0") << QByteArray("1.4.10.0") << -1;
        QTest::newRow("equal") << QByteArray("1.4.13.0") << QByteArray("1.4.13.0") << 0;
        QTest::newRow("missing part is 0") << QByteArray("1.4.13") << QByteArray("1.4.13.0") << 0;
        QTest::newRow("leading zeros") << QByteArray("01.004.13") << QByteArray("1.4.13") << 0;
        QTest::newRow("newer") << QByteArray("2.0") << QByteArray("1.99.99.99") << 1;
        QTest::newRow("longer than 64 bits") << QByteArray("1.99999999999999999999999") << QByteArray("1.4") << 1;
        QTest::newRow("trailing dot") << QByteArray("1.4.") << QByteArray("1.4") << 0;
    }
    void compareVersions_numericByComponent()
    {
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        QFETCH(int, expected);
        QCOMPARE(update::compareVersions(a, b), expected);
        QCOMPARE(update::compareVersions(b, a), -expected);
    }

    void versionPrefix_digitsAndDotsBeforeName()
    {
        QCOMPARE(update::versionPrefix("1.4.12.0" + ru("Пользователь")), QByteArray("1.4.12.0"));
        QCOMPARE(update::versionPrefix(ru("Пользователь")), QByteArray());
        QCOMPARE(update::versionPrefix("1.4.12.0"), QByteArray("1.4.12.0"));
    }

    void withMark_insertsBeforeTagAndGrowsCount()
    {
        QCOMPARE(update::withMark("##7###$NM=abc", 'U'), QByteArray("##8###U$NM=abc"));
        QCOMPARE(update::withMark("##9###$DC=abcde", 'U'), QByteArray("##10###U$DC=abcde"));
        QCOMPARE(update::withMark("$NM=abc", 'U'), QByteArray("U$NM=abc"));
    }

    // ------------------------------------------------------------ the service

    void olderClient_everyReplyMarked_newerOrUnknownNot()
    {
        UpdateFolder folder;
        QString error;
        auto offer = UpdateOffer::load(folder.path(), &error);
        QVERIFY2(offer, qPrintable(error));
        QCOMPARE(offer->version(), QByteArray("1.4.13.0"));
        CorvusService service(CorpusFacts{}, {});
        service.setUpdateOffer(offer);

        // Registration: the reply already answers the version registered with.
        const ServiceOutcome reg = service.handle(request("$NM=1.4.12.0" + ru("Иван")), SessionInfo{});
        QCOMPARE(reg.clientVersion, QByteArray("1.4.12.0"));
        QCOMPARE(reg.registeredAs, std::optional<QByteArray>(ru("Иван")));
        ClientView v = clientRead(reg.reply);
        QVERIFY(v.ok);
        QCOMPARE(v.tag, QByteArray("NM"));
        QCOMPARE(v.mark, 'U');
        QVERIFY(reg.reply.contains("###U$NM="));

        SessionInfo older;
        older.clientVersion = reg.clientVersion;
        for (const QByteArray &req : {QByteArray("$INFO="), QByteArray("$CN_W=New"), QByteArray("$XX_Y=1")}) {
            v = clientRead(service.handle(request(req), older).reply);
            QVERIFY2(v.ok, req.constData());
            QCOMPARE(v.mark, 'U');
        }
        // Bad bytes answered by the endpoint go through the same marking.
        QCOMPARE(clientRead(service.markedFor(older, CorvusService::badRequest(ru("плохо")))).mark, 'U');

        for (const QByteArray &version : {QByteArray("1.4.13.0"), QByteArray("1.4.13"), QByteArray("1.5"),
                                          QByteArray()}) {
            const ServiceOutcome r = service.handle(request("$NMD=" + version + ru("Иван")), SessionInfo{});
            QCOMPARE(r.clientVersion, version);
            QCOMPARE(clientRead(r.reply).mark, ' ');
            SessionInfo s;
            s.clientVersion = version;
            QCOMPARE(clientRead(service.handle(request("$INFO="), s).reply).mark, ' ');
        }

        // The local link carries no update.
        SessionInfo local = older;
        local.local = true;
        QCOMPARE(clientRead(service.handle(request("$INFO="), local).reply).mark, ' ');
        v = clientRead(service.handle(request("$CL_E=New"), local).reply);
        QCOMPARE(v.tag, QByteArray("ZERO"));
        QVERIFY(v.body.contains(ru("локальной связи")));
    }

    void updateRequests_carryFilesByteForByte()
    {
        UpdateFolder folder;
        QString error;
        auto offer = UpdateOffer::load(folder.path(), &error);
        QVERIFY2(offer, qPrintable(error));
        CorvusService service(CorpusFacts{}, {});
        service.setUpdateOffer(offer);
        SessionInfo older;
        older.clientVersion = "1.4.12.0";

        const QByteArray e = service.handle(request("$CL_E=New"), older).reply;
        // Exact bytes: header counting the mark, the tag and the file.
        QCOMPARE(e, "##" + QByteArray::number(1 + 6 + folder.client.size()) + "###U$CL_E=" + folder.client);
        ClientView v = clientRead(e);
        QCOMPARE(v.tag, QByteArray("CL_E"));
        QCOMPARE(v.body, folder.client);   // the "$CL_B=" inside did not confuse the reader

        v = clientRead(service.handle(request("$CL_B=New"), older).reply);
        QCOMPARE(v.tag, QByteArray("CL_B"));
        QCOMPARE(v.mark, 'U');
        QCOMPARE(v.body, folder.updater);

        // A client that is up to date may still ask: the files, unmarked.
        SessionInfo current;
        current.clientVersion = "1.4.13.0";
        v = clientRead(service.handle(request("$CL_E=New"), current).reply);
        QCOMPARE(v.mark, ' ');
        QCOMPARE(v.body, folder.client);

        // The folder is read once: later changes do not mix versions.
        writeFile(folder.path(QStringLiteral("Lexar")), "changed");
        QCOMPARE(clientRead(service.handle(request("$CL_E=New"), older).reply).body, folder.client);
    }

    void noUpdateFolder_zeroWithReason_noMark()
    {
        CorvusService service(CorpusFacts{}, {});
        SessionInfo older;
        older.clientVersion = "0.1";
        for (const QByteArray &req : {QByteArray("$CL_E=New"), QByteArray("$CL_B=New")}) {
            const ClientView v = clientRead(service.handle(request(req), older).reply);
            QCOMPARE(v.tag, QByteArray("ZERO"));
            QCOMPARE(v.mark, ' ');
            QCOMPARE(v.body, ru("Обновление программы с этого сервера недоступно."));
        }
        QCOMPARE(clientRead(service.handle(request("$NM=0.1" + ru("Иван")), SessionInfo{}).reply).mark, ' ');
    }

    void badFolder_refusedWithReason_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");   // empty: the file is removed
        QTest::addColumn<QString>("reason");
        QTest::newRow("no VERSION") << QStringLiteral("VERSION") << QByteArray() << QStringLiteral("нет файла");
        QTest::newRow("VERSION not a number") << QStringLiteral("VERSION") << QByteArray("1.4.x")
                                              << QStringLiteral("цифр и точек");
        QTest::newRow("VERSION blank") << QStringLiteral("VERSION") << QByteArray(" \n")
                                       << QStringLiteral("цифр и точек");
        QTest::newRow("no updater") << QStringLiteral("LexarE") << QByteArray() << QStringLiteral("нет файла");
        QTest::newRow("client starts with a filler byte")
            << QStringLiteral("Lexar") << QByteArray("\0ELF", 4) << QStringLiteral("без искажений");
        QTest::newRow("client holds an earlier tag")
            << QStringLiteral("Lexar") << QByteArray("\x7f" "ELF...$NM=...") << QStringLiteral("без искажений");
        QTest::newRow("updater holds the client's tag")
            << QStringLiteral("LexarE") << QByteArray("\x7f" "ELF...$CL_E=...") << QStringLiteral("без искажений");
    }
    void badFolder_refusedWithReason()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        UpdateFolder folder;
        if (content.isEmpty())
            QVERIFY(QFile::remove(folder.path(file)));
        else
            writeFile(folder.path(file), content);
        QString error;
        QVERIFY(!UpdateOffer::load(folder.path(), &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
    }

    void emptyFileAndMissingFolder_refused()
    {
        UpdateFolder folder;
        writeFile(folder.path(QStringLiteral("Lexar")), QByteArray());
        QString error;
        QVERIFY(!UpdateOffer::load(folder.path(), &error));
        QVERIFY2(error.contains(QStringLiteral("пуст")), qPrintable(error));
        QVERIFY(!UpdateOffer::load(folder.path(QStringLiteral("nowhere")), &error));
        QVERIFY2(error.contains(QStringLiteral("не найдена")), qPrintable(error));
    }

    // ------------------------------------------------------------ Corvus.exe over TCP

    void overTcp_markFollowsRegistration_filesArriveWhole()
    {
        TinyCorpus corpus;
        QTemporaryDir home;
        QVERIFY(corpus.isValid() && home.isValid());
        UpdateFolder folder;
        // Several reads' worth, so the header matters.
        folder.client = fakeExecutable(3 * 1024 * 1024 + 17, 3);
        writeFile(folder.path(QStringLiteral("Lexar")), folder.client);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
        CorvusProcess corvus;
        const bool started = corvus.start({QStringLiteral("--corpus"), corpus.path(), QStringLiteral("--port"), QStringLiteral("0"),
                               QStringLiteral("--cache"), corpus.cacheDir(), QStringLiteral("--no-local"),
                               QStringLiteral("--dict"), writeTinyThesaurus(corpus.root()),
                               QStringLiteral("--update-dir"), folder.path()},
                              env);
        const QString notes = corvus.stderrText();
        QVERIFY2(started, qPrintable(notes));
        QVERIFY2(notes.contains(QStringLiteral("1.4.13.0")), qPrintable(notes));

        WireClient c;
        QVERIFY(c.connectTo(corvus.port()));
        const auto greeting = c.nextReply();
        QVERIFY(greeting && greeting->startsWith("$RG="));   // no version known yet

        QVERIFY(c.send("$NM=1.4.12.0" + ru("Тестер")));
        auto r = c.nextReply();
        QVERIFY2(r, qPrintable(c.error()));
        QVERIFY(r->startsWith("U$NM="));
        QVERIFY(readTagged(*r).body.startsWith("DICT="));
        QVERIFY(c.send("$INFO="));
        r = c.nextReply();
        QVERIFY(r && r->startsWith("U$INFO="));
        QVERIFY(c.send("%%garbage"));
        r = c.nextReply();
        QVERIFY(r && r->startsWith("U$ZERO="));

        QVERIFY(c.send("$CL_E=New"));
        r = c.nextReply(30000);
        QVERIFY2(r, qPrintable(c.error()));
        QVERIFY(r->startsWith("U$CL_E="));
        QCOMPARE(r->size(), 7 + folder.client.size());
        QVERIFY(r->mid(7) == folder.client);
        QVERIFY(c.send("$CL_B=New"));
        r = c.nextReply(30000);
        QVERIFY(r && r->startsWith("U$CL_B="));
        QVERIFY(r->mid(7) == folder.updater);

        // Registering again with the current version ends the marks.
        QVERIFY(c.send("$NMD=1.4.13.0" + ru("Тестер")));
        r = c.nextReply();
        QVERIFY(r && r->startsWith("$NMD="));
        QVERIFY(c.send("$INFO="));
        r = c.nextReply();
        QVERIFY(r && r->startsWith("$INFO="));
    }

    void corvus_badUpdateFolder_exitsWithMessage()
    {
        TinyCorpus corpus;
        UpdateFolder folder;
        QVERIFY(QFile::remove(folder.path(QStringLiteral("LexarE"))));
        RunResult run = runCorvus({QStringLiteral("--corpus"), corpus.path(), QStringLiteral("--port"),
                                   QStringLiteral("0"), QStringLiteral("--no-local"), QStringLiteral("--cache"),
                                   corpus.cacheDir(), QStringLiteral("--dict"), writeTinyThesaurus(corpus.root()),
                                   QStringLiteral("--update-dir"), folder.path()});
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.stderrText.contains(QStringLiteral("LexarE")), qPrintable(run.stderrText));
        QVERIFY(!run.stdoutText.contains(QStringLiteral("listening")));

        run = runCorvus({QStringLiteral("--corpus"), corpus.path(), QStringLiteral("--port"), QStringLiteral("0"),
                         QStringLiteral("--no-local"), QStringLiteral("--update-dir"), folder.path(QStringLiteral("no"))});
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.stderrText.contains(QStringLiteral("Папка обновления не найдена")), qPrintable(run.stderrText));
    }

    // ------------------------------------------------------------ the updater

    void updater_replacesClient_keepsItExecutable_restartsIt()
    {
        ClientFolder f;
        writeFile(f.path(QStringLiteral("Lexar")), f.oldClient, Exec);
        writeFile(f.path(QStringLiteral("Lexar.ex")), f.newClient);   // as the client wrote it: not executable
        QCOMPARE(f.runUpdater(), 0);
        QCOMPARE(readFile(f.path(QStringLiteral("Lexar"))), f.newClient);
        QCOMPARE(QFile::permissions(f.path(QStringLiteral("Lexar"))) & Exec, Exec);
        QVERIFY(waitForFile(f.path(QStringLiteral("marker"))));
        QCOMPARE(readFile(f.path(QStringLiteral("marker"))), QByteArray("new\n"));
        // Lexar.ex removed, no temporary file left behind.
        QCOMPARE(f.entries(), QStringList({QStringLiteral("Lexar"), QStringLiteral("marker")}));
        QVERIFY(readFile(f.logPath()).contains(cp1251::ru("обновлён")));
    }

    void updater_missingNewClient_keepsOldAndRestartsIt()
    {
        ClientFolder f;
        writeFile(f.path(QStringLiteral("Lexar")), f.oldClient, Exec);
        QCOMPARE(f.runUpdater(), 1);
        QCOMPARE(readFile(f.path(QStringLiteral("Lexar"))), f.oldClient);
        QVERIFY(waitForFile(f.path(QStringLiteral("marker"))));
        QCOMPARE(readFile(f.path(QStringLiteral("marker"))), QByteArray("old\n"));
        const QByteArray log = readFile(f.logPath());
        QVERIFY2(log.contains(cp1251::ru("прежняя версия клиента сохранена")), log.constData());
    }

    void updater_newClientUnreadable_keepsOldIntact()
    {
        ClientFolder f;
        writeFile(f.path(QStringLiteral("Lexar")), f.oldClient, Exec);
        // Root may write anywhere, so a failure is made another way: the new client
        // is a folder.
        QVERIFY(QDir().mkdir(f.path(QStringLiteral("Lexar.ex"))));
        QCOMPARE(f.runUpdater(), 1);
        QCOMPARE(readFile(f.path(QStringLiteral("Lexar"))), f.oldClient);
        QCOMPARE(QFile::permissions(f.path(QStringLiteral("Lexar"))) & Exec, Exec);
        QVERIFY(waitForFile(f.path(QStringLiteral("marker"))));
        QCOMPARE(f.entries(),
                 QStringList({QStringLiteral("Lexar"), QStringLiteral("Lexar.ex"), QStringLiteral("marker")}));
        QVERIFY(readFile(f.logPath()).contains(cp1251::encode(f.path(QStringLiteral("Lexar.ex")))));
    }

    void updater_replaceFails_keepsOldAndNewFiles()
    {
        ClientFolder f;
        // The client's place holds a non-empty folder: the rename over it fails.
        QVERIFY(QDir().mkpath(f.path(QStringLiteral("Lexar/inside"))));
        writeFile(f.path(QStringLiteral("Lexar.ex")), f.newClient);
        QCOMPARE(f.runUpdater(), 1);
        QVERIFY(QFileInfo(f.path(QStringLiteral("Lexar/inside"))).isDir());
        QCOMPARE(readFile(f.path(QStringLiteral("Lexar.ex"))), f.newClient);
        QCOMPARE(f.entries(), QStringList({QStringLiteral("Lexar"), QStringLiteral("Lexar.ex")}));
        QVERIFY(readFile(f.logPath()).contains(cp1251::ru("не удалось заменить")));
    }

    void updater_waitsForRunningClient()
    {
        ClientFolder f;
        writeFile(f.path(QStringLiteral("Lexar")), f.oldClient, Exec);
        writeFile(f.path(QStringLiteral("Lexar.ex")), f.newClient);
        // The running client holds its lock; it ends a moment after the updater started.
        QLockFile running(f.path(QStringLiteral("Lexar.lock")));
        QVERIFY(running.tryLock(0));
        bool replacedWhileRunning = true;
        QCOMPARE(f.runUpdater(10000, [&] {
                     QThread::msleep(300);
                     replacedWhileRunning = readFile(f.path(QStringLiteral("Lexar"))) != f.oldClient;
                     running.unlock();
                 }),
                 0);
        // The old client had finished before its file was replaced.
        QVERIFY(!replacedWhileRunning);
        QCOMPARE(readFile(f.path(QStringLiteral("Lexar"))), f.newClient);
        QVERIFY(waitForFile(f.path(QStringLiteral("marker"))));
    }

    void updater_clientNeverEnds_touchesNothing()
    {
        ClientFolder f;
        writeFile(f.path(QStringLiteral("Lexar")), f.oldClient, Exec);
        writeFile(f.path(QStringLiteral("Lexar.ex")), f.newClient);
        QLockFile running(f.path(QStringLiteral("Lexar.lock")));
        QVERIFY(running.tryLock(0));
        QCOMPARE(f.runUpdater(300), 2);
        QCOMPARE(readFile(f.path(QStringLiteral("Lexar"))), f.oldClient);
        QCOMPARE(readFile(f.path(QStringLiteral("Lexar.ex"))), f.newClient);
        QVERIFY(!QFileInfo::exists(f.path(QStringLiteral("marker"))));
        QVERIFY(readFile(f.logPath()).contains(cp1251::ru("не завершился")));
    }

    void updater_lockOfADeadClient_isTakenOver()
    {
        ClientFolder f;
        writeFile(f.path(QStringLiteral("Lexar")), f.oldClient, Exec);
        writeFile(f.path(QStringLiteral("Lexar.ex")), f.newClient);
        // A lock file naming a process that no longer runs.
        QProcess gone;
        gone.start(QStringLiteral("/bin/true"), {});
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());
        writeFile(f.path(QStringLiteral("Lexar.lock")),
                  QByteArray::number(pid) + "\nLexar\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        QCOMPARE(f.runUpdater(5000), 0);
        QCOMPARE(readFile(f.path(QStringLiteral("Lexar"))), f.newClient);
    }
};

QTEST_GUILESS_MAIN(TestUpdate)
#include "tst_update.moc"
