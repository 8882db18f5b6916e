// Corvus.exe over the local link, as the client starts it (no --port), in a
// temporary home: it listens before the corpus is loaded and answers requests that
// came early after "Server is Ready"; "RegisterMe" (plain) gets "INFO"; requests
// and replies are encoded; it writes the start signal; "CLOSE" from the last
// client ends it, and so does idleness after the last client went away; SIGTERM and
// SIGINT end it cleanly; a file or a folder at the socket path is refused and kept.
#include "support/CorvusProcess.h"

#include "model/Cp1251.h"
#include "wire/RequestWriter.h"
#include "net/LocalLink.h"
#include "platform/Folders.h"
#include "wire/ReplyAssembler.h"
#include "platform/StartSignal.h"

#include <QSignalSpy>
#include <QtTest>

#include <csignal>

using namespace corvustest;

class TestProtocolLocalLink : public QObject {
    Q_OBJECT

    TinyCorpus corpus;

    QProcessEnvironment homeEnv(const QTemporaryDir &home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
        return env;
    }

    QStringList args(const QString &idle)
    {
        return {QStringLiteral("--corpus"), corpus.path(), QStringLiteral("--cache"), corpus.cacheDir(),
                QStringLiteral("--dict"), writeTinyThesaurus(corpus.root()), QStringLiteral("--idle-exit"), idle};
    }

    // Points this test process's QStandardPaths at the same home as the server.
    void useHome(const QTemporaryDir &home)
    {
        qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    }

    // Opens the link, retrying while the server is not yet listening.
    bool open(LocalLink &link)
    {
        link.setLink(QStringLiteral("Corvus"));
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            if (link.openLink(QString()))
                return true;
            QTest::qWait(20);
        }
        return false;
    }

    // The next message that is not "Server is Ready"... or any message at all.
    QByteArray nextMessage(QSignalSpy &spy, int timeoutMs = 20000)
    {
        if (spy.isEmpty() && !spy.wait(timeoutMs))
            return {};
        return spy.takeFirst().at(0).toByteArray();
    }

private slots:
    void session_readyRegisterRequestsAndClose()
    {
        QTemporaryDir home;
        useHome(home);
        CorvusProcess corvus;
        // Started without waiting: the link is open before the corpus is loaded.
        corvus.process().setProcessEnvironment(homeEnv(home));
        corvus.process().start(corvusExecutable(), args(QStringLiteral("10")));
        QVERIFY(corvus.process().waitForStarted());

        LocalLink link;
        QSignalSpy messages(&link, &LocalLink::itemChanged);
        QVERIFY(open(link));
        // Sent at once, as the client's link set-up does: answered after the ready message.
        QVERIFY(link.send("NM", "1.4.12.0" + cp1251::ru("Локальный")));

        QCOMPARE(nextMessage(messages), QByteArray("Server is Ready"));
        QVERIFY(QFile::exists(platform::StartSignal::startedFilePath(home.path() + QStringLiteral("/data/VELTA/"))));
        QCOMPARE(platform::StartSignalStore(home.path() + QStringLiteral("/config/VELTA/registry.ini")).readStarted(),
                 std::optional<QString>(QStringLiteral("TRUE")));

        const ReplyAssembler::Stripped nm = ReplyAssembler::stripLengthHeader(nextMessage(messages));
        QVERIFY(nm.ok);
        const TaggedReply reg = readTagged(nm.text);
        QCOMPARE(reg.tag, QByteArray("NM"));
        QVERIFY(reg.body.startsWith("DICT="));
        QVERIFY(reg.body.contains(cp1251::ru("Локальный")));

        QVERIFY(link.pokeRaw("RegisterMe"));
        const TaggedReply info = readTagged(ReplyAssembler::stripLengthHeader(nextMessage(messages)).text);
        QCOMPARE(info.tag, QByteArray("INFO"));
        QVERIFY(info.body.startsWith("Corvus "));

        tCDictPos pos(0);
        QVERIFY(link.send("DC_C", requests::dictParams(pos, OptionList::initial())));
        QVERIFY(link.send("DC_S", requests::dictParams(pos, OptionList::initial())));
        QVERIFY(link.send("XYZ", "1"));
        QCOMPARE(readTagged(ReplyAssembler::stripLengthHeader(nextMessage(messages)).text).tag, QByteArray("DC_C"));
        QCOMPARE(readTagged(ReplyAssembler::stripLengthHeader(nextMessage(messages)).text).tag, QByteArray("DC_S"));
        QCOMPARE(readTagged(ReplyAssembler::stripLengthHeader(nextMessage(messages)).text).tag, QByteArray("ZERO"));

        QVERIFY(link.pokeEncoded("CLOSE"));
        const auto code = corvus.waitForExit(10000);
        QVERIFY2(code.has_value(), "the server did not end after CLOSE");
        QCOMPARE(*code, 0);
    }

    void lastClientGone_serverEndsAfterIdlePeriod_socketRemoved()
    {
        QTemporaryDir home;
        useHome(home);
        CorvusProcess corvus;
        QVERIFY2(corvus.start(args(QStringLiteral("1")), homeEnv(home)), qPrintable(corvus.stderrText()));
        LocalLink link;
        QSignalSpy messages(&link, &LocalLink::itemChanged);
        QVERIFY(open(link));
        QCOMPARE(nextMessage(messages), QByteArray("Server is Ready"));
        const QString socket = link.socketPath();
        QVERIFY(QFile::exists(socket));
        link.closeLink();
        const auto code = corvus.waitForExit(10000);
        QVERIFY2(code.has_value(), "the server did not end when idle");
        QCOMPARE(*code, 0);
        QVERIFY(!QFile::exists(socket));
    }

    void secondServer_sameService_refusedWhileFirstRuns()
    {
        QTemporaryDir home;
        useHome(home);
        CorvusProcess first;
        QVERIFY(first.start(args(QStringLiteral("-1")), homeEnv(home)));
        const RunResult second = runCorvus(args(QStringLiteral("-1")), 20000, homeEnv(home));
        QVERIFY(second.finished);
        QCOMPARE(second.exitCode, 1);
        QVERIFY(second.stderrText.contains(QStringLiteral("уже работает")));
    }

    void stopSignal_endsCleanly_socketRemoved_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("name");
        QTest::newRow("SIGTERM") << int(SIGTERM) << QStringLiteral("SIGTERM");
        QTest::newRow("SIGINT") << int(SIGINT) << QStringLiteral("SIGINT");
    }

    void stopSignal_endsCleanly_socketRemoved()
    {
        QFETCH(int, signal);
        QFETCH(QString, name);
        QTemporaryDir home;
        useHome(home);
        CorvusProcess corvus;
        QVERIFY2(corvus.start(args(QStringLiteral("-1")), homeEnv(home)), qPrintable(corvus.stderrText()));
        const QString socket = platform::localLinkSocketPath(QStringLiteral("Corvus"));
        QVERIFY(QFileInfo(socket).exists());
        QCOMPARE(::kill(pid_t(corvus.process().processId()), signal), 0);
        const auto code = corvus.waitForExit(10000);
        QVERIFY2(code.has_value(), "the server did not end on the signal");
        QCOMPARE(*code, 0);
        QCOMPARE(corvus.process().exitStatus(), QProcess::NormalExit);
        QVERIFY(!QFileInfo::exists(socket));
        QVERIFY(corvus.stderrText().contains(name));
    }

    void socketPathTaken_byFileOrFolder_refusedAndKept_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::newRow("file") << false;
        QTest::newRow("folder") << true;
    }

    void socketPathTaken_byFileOrFolder_refusedAndKept()
    {
        QFETCH(bool, folder);
        QTemporaryDir home;
        useHome(home);
        const QString socket = platform::localLinkSocketPath(QStringLiteral("Corvus"));
        QVERIFY(QDir().mkpath(QFileInfo(socket).absolutePath()));
        if (folder) {
            QVERIFY(QDir().mkdir(socket));
        } else {
            QFile f(socket);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("notes");
        }
        const RunResult run = runCorvus(args(QStringLiteral("-1")), 20000, homeEnv(home));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.stderrText.contains(socket), qPrintable(run.stderrText));
        QVERIFY2(run.stderrText.contains(folder ? QStringLiteral("папка") : QStringLiteral("обычный файл")),
                 qPrintable(run.stderrText));
        QVERIFY(!run.stderrText.contains(QStringLiteral("Unknown error")));
        QCOMPARE(QFileInfo(socket).isDir(), folder);
        QCOMPARE(QFileInfo(socket).isFile(), !folder);
    }
};

QTEST_GUILESS_MAIN(TestProtocolLocalLink)
#include "tst_protocol_locallink.moc"
