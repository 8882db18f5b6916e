// The self-update end to end: Corvus.exe offers a newer client from its update folder;
// Lexar sees the mark, asks, stores both files beside itself and starts the updater;
// the real updater replaces the client and starts it; the next start cleans up.
#include "app/MainWindow.h"
#include "app/ServerLogPage.h"
#include "support/AppFixture.h"
#include "support/CorvusServer.h"
#include "support/TestFiles.h"
#include "model/Cp1251.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestE2eUpdate : public QObject {
    Q_OBJECT
private slots:
    void newerClientOffered_isStoredInstalledAndCleanedUp()
    {
        const QString updater = QString::fromLocal8Bit(qgetenv("LEXAR_BIN_DIR")) + QStringLiteral("/LexarE.exe");
        if (!QFile::exists(corvusPath()) || !QFile::exists(updater))
            QSKIP("Corvus.exe or LexarE.exe is not built");
        TestHome home;
        const QString dir = home.path();
        writeFile(dir + QStringLiteral("/corpus/Автор/Текст.txt"), cp1251::ru("Слово за слово.\n"));
        // The update folder: the new client (a script that leaves a mark), the real
        // updater, and a version above the client's.
        const QByteArray newClient = "#!/bin/sh\necho new > \"$(dirname \"$0\")/marker\"\n";
        writeFile(dir + QStringLiteral("/offer/Lexar"), newClient);
        QVERIFY(QFile::copy(updater, dir + QStringLiteral("/offer/LexarE")));
        writeFile(dir + QStringLiteral("/offer/VERSION"), "99.0.0.0\n");
        // The running client's file, which the update replaces.
        writeFile(dir + QStringLiteral("/Lexar"), "#!/bin/sh\necho old > marker\n");

        QProcess corvus;
        const quint16 port = startCorvusOnHome(corvus, dir, {QStringLiteral("--update-dir"), dir + QStringLiteral("/offer")});
        QVERIFY(port);
        const QList<QByteArray> ini{"IP=127.0.0.1", "Port=" + QByteArray::number(port)};
        {
            RecordingUi ui;
            MainWindow form(home.config(ini), ui);
            form.createSecondaryWindows();
            form.show();
            form.B_ConnectClick();
            // The mark after registration; the concordance tab's first requests are
            // answered before the user turns to the update.
            QTRY_VERIFY_WITH_TIMEOUT(form.B_Upd->isEnabled() && form.state().PendingRequest.isEmpty(), 20000);
            form.B_UpdClick();
            QCOMPARE(ui.questions.size(), 1);
            QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), 20000);
            QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join(QLatin1Char('|'))));
            QCOMPARE(ui.started, QStringList{dir + QStringLiteral("/LexarE.exe")});
            QCOMPARE(readAll(dir + QStringLiteral("/Lexar.ex")), newClient);
            QCOMPARE(readAll(dir + QStringLiteral("/LexarE.exe")), readAll(updater));
            QVERIFY(QFileInfo(dir + QStringLiteral("/LexarE.exe")).isExecutable());
        }
        corvus.terminate();
        corvus.waitForFinished(5000);

        // The updater the client started: it replaces the client and starts it.
        QProcess run;
        run.start(dir + QStringLiteral("/LexarE.exe"), {});
        QVERIFY(run.waitForFinished(30000));
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(readAll(dir + QStringLiteral("/Lexar")), newClient);
        QVERIFY(!QFileInfo::exists(dir + QStringLiteral("/Lexar.ex")));
        QTRY_COMPARE(readAll(dir + QStringLiteral("/marker")), QByteArray("new\n"));

        // The next start over the network removes the updater.
        RecordingUi ui;
        MainWindow next(home.config(ini), ui);
        next.createSecondaryWindows();
        next.show();
        next.TimerTick();
        QVERIFY(!QFileInfo::exists(dir + QStringLiteral("/LexarE.exe")));
        QCOMPARE(next.L1->text(), QStringLiteral("Обновление завершено"));
    }
};

QTEST_MAIN(TestE2eUpdate)
#include "tst_e2e_update.moc"
