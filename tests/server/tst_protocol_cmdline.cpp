// The command line of Corvus.exe: options as parsed, and the process's answers to
// bad arguments, a missing corpus, an unreadable thesaurus and a busy port (a
// clear message on stderr and a non-zero exit, before anything is served).
#include "support/CorvusProcess.h"

#include "service/ServerOptions.h"

#include <QTcpServer>
#include <QtTest>

using namespace corvustest;

class TestProtocolCmdline : public QObject {
    Q_OBJECT
private slots:
    void noArguments_defaultCorpusLocalOnly_exitsWhenIdle()
    {
        const ServerOptionsResult r = parseServerOptions({});
        QVERIFY(r.ok);
        QVERIFY(r.options.corpusPaths.isEmpty());
        QCOMPARE(r.options.port, -1);
        QVERIFY(r.options.localLink);
        QCOMPARE(r.options.service, QStringLiteral("Corvus"));
        QCOMPARE(r.options.idleExitSeconds, DefaultLocalIdleExitSeconds);
    }

    void everyOption_parsed()
    {
        const ServerOptionsResult r = parseServerOptions(
            {QStringLiteral("--corpus"), QStringLiteral("a"), QStringLiteral("--corpus=b"),
             QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--listen"), QStringLiteral("::1"),
             QStringLiteral("--dict"), QStringLiteral("th.dat"), QStringLiteral("--cache"), QStringLiteral("c"),
             QStringLiteral("--service=VELTe"), QStringLiteral("--no-local"), QStringLiteral("--max-connections=9"),
             QStringLiteral("--vrt-columns=word,pos,lemma")});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.options.corpusPaths, QStringList({QStringLiteral("a"), QStringLiteral("b")}));
        QCOMPARE(r.options.port, 0);
        QCOMPARE(r.options.listenAddress, QStringLiteral("::1"));
        QCOMPARE(r.options.thesaurusPath, QStringLiteral("th.dat"));
        QVERIFY(r.options.thesaurusGiven);
        QCOMPARE(r.options.cacheDir, QStringLiteral("c"));
        QCOMPARE(r.options.service, QStringLiteral("VELTe"));
        QVERIFY(!r.options.localLink);
        QCOMPARE(r.options.maxConnections, 9);
        QCOMPARE(r.options.vrtColumns, QStringLiteral("word,pos,lemma"));
        // Serving TCP, the server never ends for idleness unless told.
        QCOMPARE(r.options.idleExitSeconds, -1);
    }

    void badArguments_refusedWithReason_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown") << QStringList{QStringLiteral("--frobnicate")};
        QTest::newRow("missing value") << QStringList{QStringLiteral("--port")};
        QTest::newRow("port text") << QStringList{QStringLiteral("--port"), QStringLiteral("http")};
        QTest::newRow("port range") << QStringList{QStringLiteral("--port"), QStringLiteral("70000")};
        QTest::newRow("address") << QStringList{QStringLiteral("--listen"), QStringLiteral("localhost:1")};
        QTest::newRow("nothing to serve") << QStringList{QStringLiteral("--no-local")};
        QTest::newRow("idle") << QStringList{QStringLiteral("--idle-exit"), QStringLiteral("soon")};
        QTest::newRow("positional") << QStringList{QStringLiteral("corpus")};
        QTest::newRow("connections") << QStringList{QStringLiteral("--max-connections"), QStringLiteral("0")};
        QTest::newRow("vrt columns") << QStringList{QStringLiteral("--vrt-columns"), QStringLiteral("lemma,pos")};
    }
    void badArguments_refusedWithReason()
    {
        QFETCH(QStringList, args);
        const ServerOptionsResult r = parseServerOptions(args);
        QVERIFY(!r.ok);
        QVERIFY(!r.error.isEmpty());

        const RunResult run = runCorvus(args);
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.stderrText.contains(r.error));
    }

    void help_listsEveryOption()
    {
        const RunResult run = runCorvus({QStringLiteral("--help")});
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        for (const char *opt : {"--corpus", "--port", "--listen", "--dict", "--cache", "--no-local",
                                "--service", "--idle-exit", "--max-connections", "--vrt-columns", "--help"})
            QVERIFY2(run.stdoutText.contains(QLatin1String(opt)), opt);
    }

    void missingCorpus_exitsWithMessage()
    {
        QTemporaryDir dir;
        const QString missing = dir.path() + QStringLiteral("/nowhere");
        const RunResult run = runCorvus({QStringLiteral("--corpus"), missing, QStringLiteral("--port"),
                                         QStringLiteral("0"), QStringLiteral("--no-local")});
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.stderrText.contains(QStringLiteral("Папка корпуса не найдена")));
        QVERIFY(run.stderrText.contains(missing));
        QVERIFY(!run.stdoutText.contains(QStringLiteral("listening")));
    }

    void corpusWithoutTexts_exitsWithMessage()
    {
        TinyCorpus corpus;
        QTemporaryDir empty;
        const RunResult run = runCorvus({QStringLiteral("--corpus"), empty.path(), QStringLiteral("--port"),
                                         QStringLiteral("0"), QStringLiteral("--no-local"), QStringLiteral("--cache"),
                                         corpus.cacheDir()});
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(!run.stderrText.trimmed().isEmpty(), qPrintable(run.stderrText));
        QVERIFY(!run.stdoutText.contains(QStringLiteral("listening")));
    }

    void unreadableThesaurus_exitsWithMessage()
    {
        TinyCorpus corpus;
        const QString missing = corpus.root() + QStringLiteral("/no.dat");
        const RunResult run = runCorvus({QStringLiteral("--corpus"), corpus.path(), QStringLiteral("--dict"), missing,
                                         QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--no-local")});
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.stderrText.contains(missing));
    }

    void busyPort_exitsWithMessage()
    {
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::LocalHost, 0));
        TinyCorpus corpus;
        const RunResult run = runCorvus({QStringLiteral("--corpus"), corpus.path(), QStringLiteral("--port"),
                                         QString::number(occupant.serverPort()), QStringLiteral("--no-local"),
                                         QStringLiteral("--cache"), corpus.cacheDir()});
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.stderrText.contains(QString::number(occupant.serverPort())));
        QVERIFY(run.stderrText.contains(QStringLiteral("не удалось открыть порт")));
    }
};

QTEST_GUILESS_MAIN(TestProtocolCmdline)
#include "tst_protocol_cmdline.moc"
