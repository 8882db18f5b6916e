// The self-update against a scripted server: update files are written and the updater
// started only as answers to the requests the user confirmed; the files are replaced
// atomically; a leftover updater is removed at the next start in the socket mode; a
// copy in a folder it may not change (an installed package, a read-only folder) refuses.
#include "app/SelfUpdate.h"
#include "support/WebSession.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace {

const QByteArray NewClient = QByteArray("\x7f" "ELF new client\0\x01\x02", 19);
const QByteArray Updater = "#!/bin/sh\nexit 0\n";

// Every entry under `folder` with its size: what a refused update must leave as it was.
QStringList listing(const QString &folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        entries << it.filePath() + QLatin1Char(' ') + QString::number(it.fileInfo().size());
    }
    entries.sort();
    return entries;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A reply marked "U" (the mark stands right before the "$", after the length header).
QByteArray marked(const QByteArray &tag, const QByteArray &body)
{
    const QByteArray text = "U$" + tag + "=" + body;
    return "##" + QByteArray::number(text.size()) + "###" + text;
}

// Sends an "INFO" after the replies under test and waits until it is shown: every
// earlier reply has been handled by then.
bool drain(WebSession &s, const QByteArray &marker)
{
    s.peer.replyFramed("INFO", marker);
    return QTest::qWaitFor([&] { return s.form->windowTitle().endsWith(cp1251::decode(marker)); },
                           5000);
}

} // namespace

class TestSelfUpdate : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void unrequestedUpdateReplies_writeAndStartNothing()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        // Pushed with and without a mark, before any question and after a No.
        s.peer.replyFramed("CL_B", Updater);
        s.peer.reply(marked("CL_E", NewClient));
        QVERIFY(drain(s, "one"));
        s.ui.answer = false;
        s.form->B_UpdClick();
        s.peer.replyFramed("CL_E", NewClient);
        s.peer.replyFramed("CL_B", Updater);
        QVERIFY(drain(s, "two"));

        QVERIFY(!QFileInfo::exists(s.home.path() + QStringLiteral("/Lexar.ex")));
        QVERIFY(!QFileInfo::exists(s.home.path() + QStringLiteral("/LexarE.exe")));
        QVERIFY(s.ui.started.isEmpty());
        QVERIFY(s.form->isVisible());
        QVERIFY(s.form->sessionLog().contains("Ignored CL_B: no update was requested"));
        QVERIFY(s.form->sessionLog().contains("Ignored CL_E: no update was requested"));
        for (const QByteArray &r : s.peer.requests())
            QVERIFY2(!r.startsWith("$CL_"), r.constData());
    }

    void anotherReplyOrReconnect_endsThePendingUpdate()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        s.form->B_UpdClick();
        QVERIFY(s.peer.waitForRequest(5000, int(s.peer.requests().size()) - 1));
        s.peer.replyFramed("ZERO", cp1251::ru("Обновления нет"));
        s.peer.replyFramed("CL_E", NewClient);
        QVERIFY(drain(s, "late"));
        QVERIFY(!QFileInfo::exists(s.home.path() + QStringLiteral("/Lexar.ex")));
        QCOMPARE(s.form->selfUpdate()->stage(), SelfUpdate::Stage::Idle);
    }

    void confirmedUpdate_writesBothFilesAtomicallyAndStartsTheUpdater()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        // A link at the target is replaced, never written through.
        const QString outside = s.home.path() + QStringLiteral("/outside");
        QFile o(outside);
        QVERIFY(o.open(QIODevice::WriteOnly));
        o.write("keep me");
        o.close();
        QVERIFY(QFile::link(outside, s.home.path() + QStringLiteral("/LexarE.exe")));

        s.peer.reply(marked("RSTR", QByteArray()));
        QTRY_VERIFY(s.form->B_Upd->isEnabled());
        const int seen = int(s.peer.requests().size());
        s.form->B_UpdClick();
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(), QByteArray("$CL_E=New"));
        s.peer.replyFramed("CL_E", NewClient);
        QVERIFY(s.peer.waitForRequest(5000, seen + 1));
        QCOMPARE(s.peer.lastRequest(), QByteArray("$CL_B=New"));
        QCOMPARE(fileBytes(s.home.path() + QStringLiteral("/Lexar.ex")), NewClient);
        s.peer.replyFramed("CL_B", Updater);
        QTRY_VERIFY(!s.form->isVisible());

        const QString updater = s.home.path() + QStringLiteral("/LexarE.exe");
        QCOMPARE(s.ui.started, QStringList{updater});
        QCOMPARE(fileBytes(updater), Updater);
        QVERIFY(!QFileInfo(updater).isSymLink());
        QVERIFY(QFileInfo(updater).isExecutable());
        QVERIFY(QFileInfo(s.home.path() + QStringLiteral("/Lexar.ex")).isExecutable());
        QCOMPARE(fileBytes(outside), QByteArray("keep me"));
        QCOMPARE(QDir(s.home.path()).entryList({QStringLiteral(".Lexar*")}, QDir::Hidden | QDir::Files),
                 QStringList());
    }

    void brokenUpdate_stopsWithAMessageAndSendsNothingMore_data()
    {
        QTest::addColumn<bool>("withHeader");
        QTest::addColumn<bool>("targetIsFolder");
        QTest::addColumn<QString>("message");
        QTest::newRow("reply without its length header")
            << false << false << QStringLiteral("получен от сервера не полностью");
        QTest::newRow("target cannot be replaced")
            << true << true << QStringLiteral("Не удалось записать файл");
    }

    void brokenUpdate_stopsWithAMessageAndSendsNothingMore()
    {
        QFETCH(bool, withHeader);
        QFETCH(bool, targetIsFolder);
        QFETCH(QString, message);
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        if (targetIsFolder)
            QVERIFY(QDir().mkpath(s.home.path() + QStringLiteral("/Lexar.ex/inside")));
        const int seen = int(s.peer.requests().size());
        s.form->B_UpdClick();
        QVERIFY(s.peer.waitForRequest(5000, seen));
        s.peer.replyFramed("CL_E", NewClient, withHeader);
        QTRY_COMPARE(s.ui.messages.size(), 1);
        QVERIFY(nothingSentSince(*s.form, s.peer, seen + 1));   // no "CL_B"
        QVERIFY2(s.ui.messages.first().contains(message), qPrintable(s.ui.messages.first()));
        QCOMPARE(QFileInfo(s.home.path() + QStringLiteral("/Lexar.ex")).isDir(), targetIsFolder);
        QVERIFY(s.form->isVisible());
    }

    void installedCopy_refusesTheUpdateAndWritesNothing_data()
    {
        QTest::addColumn<bool>("packaged");
        QTest::addColumn<QString>("message");
        QTest::newRow("folder marked as the package's") << true << QStringLiteral("из пакета");
        QTest::newRow("read-only folder") << false << QStringLiteral("нельзя записывать");
    }

    void installedCopy_refusesTheUpdateAndWritesNothing()
    {
        QFETCH(bool, packaged);
        QFETCH(QString, message);
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        const QString folder = s.home.path();
        // The package ships its updater; a start must not take it for a leftover.
        QFile shipped(folder + QStringLiteral("/LexarE.exe"));
        QVERIFY(shipped.open(QIODevice::WriteOnly));
        shipped.write(Updater);
        shipped.close();
        if (packaged) {
            QFile marker(folder + QStringLiteral("/Lexar.package"));
            QVERIFY(marker.open(QIODevice::WriteOnly));
        }
        const QFileDevice::Permissions writable = QFile(folder).permissions();
        if (!packaged)
            QVERIFY(QFile(folder).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner
                                                 | QFileDevice::ReadGroup | QFileDevice::ExeGroup));
        const QStringList before = listing(folder);

        s.peer.reply(marked("RSTR", QByteArray()));
        QTRY_VERIFY(s.form->B_Upd->isEnabled());
        const int seen = int(s.peer.requests().size());
        s.form->B_UpdClick();
        s.form->selfUpdate()->postUpdateCleanup();
        const bool quiet = nothingSentSince(*s.form, s.peer, seen);   // no "CL_E"
        const QStringList after = listing(folder);
        QFile(folder).setPermissions(writable);

        QVERIFY(quiet);
        QVERIFY(s.ui.questions.isEmpty());
        QCOMPARE(s.ui.messages.size(), 1);
        QVERIFY2(s.ui.messages.first().contains(message), qPrintable(s.ui.messages.first()));
        QVERIFY2(s.ui.messages.first().contains(QStringLiteral("пакет")),
                 qPrintable(s.ui.messages.first()));
        QCOMPARE(s.form->selfUpdate()->stage(), SelfUpdate::Stage::Idle);
        QCOMPARE(after, before);
        QVERIFY(s.form->isVisible());
    }

    void leftoverUpdater_isRemovedAtStartOnlyInTheSocketMode()
    {
        for (const bool local : {false, true}) {
            TestHome home;
            QFile leftover(home.path() + QStringLiteral("/LexarE.exe"));
            QVERIFY(leftover.open(QIODevice::WriteOnly));
            leftover.close();
            RecordingUi ui;
            MainWindow form(home.config(local ? QList<QByteArray>{"IP=LOCAL"}
                                          : QList<QByteArray>{"IP=127.0.0.1", "Port=1"}),
                        ui);
            form.createSecondaryWindows();
            form.show();
            form.TimerTick();
            QCOMPARE(QFileInfo::exists(leftover.fileName()), local);
            QCOMPARE(form.L1->text().isEmpty(), local);
        }
    }
};

QTEST_MAIN(TestSelfUpdate)
#include "tst_self_update.moc"
