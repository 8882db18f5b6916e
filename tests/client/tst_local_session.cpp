// The main window in the local mode against a scripted server on the local link:
// link set-up, registration, the server's messages, the start signal, the link
// restart and the close.
#include "LocalPeer.h"
#include "app/MainWindow.h"
#include "app/Watchdog.h"
#include "app/SessionController.h"
#include "app/ServerLogPage.h"
#include "app/LocalLinkSession.h"
#include "concordance/ConcPage.h"
#include "model/Cp1251.h"
#include "wire/DdeWire.h"
#include "net/LocalLink.h"
#include "platform/StartSignal.h"
#include "support/AppFixture.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <memory>

using cp1251::ru;

namespace {

struct LocalSession {
    LocalSession()
    {
        // The local server's file must be in the current directory to be chosen.
        QFile exe(home.path() + QStringLiteral("/Corvus.exe"));
        exe.open(QIODevice::WriteOnly);
        exe.close();
        config = home.config({}, false);
        peer.start(QStringLiteral("Corvus"));
    }

    void open()
    {
        form = std::make_unique<MainWindow>(config, ui);
        form->createSecondaryWindows();
        form->GetServerTimer.setInterval(3600 * 1000);   // ticks are driven by the test
        form->show();
        form->GetServerTimer.stop();
        form->TimerForServer.stop();
    }

    // Opens the window and lets the link timer tick once: the link is set up and
    // the registration is poked (the test waits for it to arrive).
    void startLink()
    {
        open();
        form->linkSession()->GetServerTimerTick();
    }

    // True when the client poked nothing after the first `seen` pokes: a marker
    // request is poked straight onto the link and waited for.
    bool nothingPokedSince(int seen)
    {
        if (!form->localLink()->send("INFO", "marker") || !peer.waitForPoke(5000, seen))
            return false;
        return peer.pokes().size() == seen + 1 && peer.pokes().last().text == "$INFO=marker";
    }

    TestHome home;
    Config config;
    RecordingUi ui;
    LocalPeer peer;
    std::unique_ptr<MainWindow> form;
};

} // namespace

class TestLocalSession : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void noConfig_isLocalModeWithCorvusCandidate()
    {
        LocalSession s;
        QCOMPARE(s.config.ConnectionMode, QByteArray("LOCAL"));
        QCOMPARE(s.config.LocalServerName, QStringLiteral("Corvus"));
        QCOMPARE(s.config.LocalServerFile, QStringLiteral("Corvus.exe"));
    }

    void linkTick_opensLinkAndPokesEncodedRegistration()
    {
        LocalSession s;
        s.open();
        QVERIFY(!s.form->B_Connect->isVisible());
        QVERIFY(s.form->linkSession()->linkPending());
        // The local server starts with the session: it loads until it registers us.
        const QLabel *note = s.form->serverLogPage()->L_Loading;
        QVERIFY(!note->isHidden());
        QCOMPARE(note->text(), QStringLiteral("ВЫПОЛНЯЕТСЯ ЗАГРУЗКА КОРПУСА ТЕКСТОВ..."));
        s.form->linkSession()->GetServerTimerTick();
        QVERIFY(!s.form->linkSession()->linkPending());
        QVERIFY(s.form->linkSession()->linked());
        QVERIFY(!note->isHidden());
        QCOMPARE(note->text(), QStringLiteral("ВЫПОЛНЯЕТСЯ ЗАГРУЗКА КОРПУСА ТЕКСТОВ..."));
        QVERIFY(s.peer.waitForPoke(5000, 0));
        const LocalPeer::Poke first = s.peer.pokes().first();
        QVERIFY(first.encoded);
        QCOMPARE(first.raw, ddewire::encode("$NM=1.4.12.0" + ru("Пользователь")));
        QCOMPARE(s.form->TS_Conc->LBC_W->count(), 2);
        QCOMPARE(s.form->TS_Conc->LBC_W->item(1)->text(), QStringLiteral("<  ЗАГРУЗКА СЛОВАРЯ >0"));
        QVERIFY(s.form->sessionLog().contains("setlink"));
        QVERIFY(s.form->sessionLog().contains("END_SEND"));
        // The next tick sees the link set and stops its timer.
        s.form->GetServerTimer.start();
        s.form->linkSession()->GetServerTimerTick();
        QVERIFY(!s.form->GetServerTimer.isActive());
    }

    void serverReady_isAnsweredWithPlainRegisterMe()
    {
        LocalSession s;
        s.startLink();
        QVERIFY(s.peer.waitForPoke(5000, 0));
        s.peer.push("Server is Ready");
        QVERIFY(s.peer.waitForPoke(5000, 1));
        const LocalPeer::Poke reg = s.peer.pokes().at(1);
        QCOMPARE(reg.raw, QByteArray("RegisterMe"));
        QCOMPARE(s.form->linkSession()->localServerState(), QByteArray("Server is Ready"));
        QVERIFY(s.form->sessionLog().contains("Server is Ready"));
    }

    void registrationReply_overTheLink_showsTabs()
    {
        LocalSession s;
        s.startLink();
        QVERIFY(s.peer.waitForPoke(5000, 0));
        s.peer.push("$NM=DICT=A,B,END,CONC,MES=" + ru("Привет") + "   ");
        QTRY_COMPARE(s.form->serverLogPage()->L1->text(), QStringLiteral("Привет"));   // trailing spaces removed
        QVERIFY(s.form->PageC->isTabVisible(s.form->PageC->indexOf(s.form->TS_Conc)));
        QCOMPARE(s.form->state().DictPosList.size(), 2);
        QVERIFY(s.form->sessionLog().contains("Server Info ..."));
        QCOMPARE(s.form->linkSession()->localServerState(), QByteArray("IS"));
        QVERIFY(s.form->serverLogPage()->L_Loading->isHidden());
    }

    void spacesOnlyMessage_isIgnored()
    {
        LocalSession s;
        s.startLink();
        QVERIFY(s.peer.waitForPoke(5000, 0));
        s.peer.push("     ");
        QVERIFY(s.nothingPokedSince(1));   // no registration repeated
        QCOMPARE(s.form->linkSession()->localServerState(), QByteArray());
    }

    void closeMessage_fromServer_closesWindow()
    {
        LocalSession s;
        s.startLink();
        QVERIFY(s.peer.waitForPoke(5000, 0));
        s.peer.push("CLOSE");
        QTRY_VERIFY(!s.form->isVisible());
    }

    void close_afterServerSpoke_pokesEncodedClose_andSavesLog()
    {
        LocalSession s;
        s.startLink();
        QVERIFY(s.peer.waitForPoke(5000, 0));
        s.peer.push("Server is Ready");
        QVERIFY(s.peer.waitForPoke(5000, 1));
        s.form->close();
        QVERIFY(s.peer.waitForPoke(5000, 2));
        QCOMPARE(s.peer.pokes().at(2).raw, ddewire::encode("CLOSE"));
        s.form->saveSessionLog();
        QFile log(s.config.UserDataFolder + QStringLiteral("Timers.Log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("Server is Ready"));
    }

    void close_beforeServerSpoke_sendsNoClose()
    {
        LocalSession s;
        s.startLink();
        QVERIFY(s.peer.waitForPoke(5000, 0));
        s.form->close();
        QVERIFY(s.nothingPokedSince(1));
    }

    void startSignal_restartsTheLinkAndRegistersAgain()
    {
        LocalSession s;
        s.startLink();
        QVERIFY(s.peer.waitForPoke(5000, 0));
        QVERIFY(platform::StartSignal::signalStarted(s.config.UserDataFolder));
        s.form->TimerForServer.start();
        s.form->linkSession()->TimerForServerTick();
        QVERIFY(!s.form->TimerForServer.isActive());
        QVERIFY(s.form->sessionLog().contains(" 116=116 Pro"));
        QVERIFY(s.form->sessionLog().contains("Restart DDE =116 Beg"));
        QVERIFY(s.form->sessionLog().contains("Restart DDE =116 END"));
        QVERIFY(s.peer.waitForPoke(5000, 1));
        QCOMPARE(s.peer.pokes().at(1).text, "$NM=1.4.12.0" + ru("Пользователь"));
    }

    void f5_afterRegistration_doesNotRestart()
    {
        LocalSession s;
        s.startLink();
        QVERIFY(s.peer.waitForPoke(5000, 0));
        s.peer.push("$NM=DICT=A,END,CONC,");
        QTRY_VERIFY(s.form->PageC->isTabVisible(s.form->PageC->indexOf(s.form->TS_Conc)));
        // The concordance tab opens and asks for its characteristics.
        QVERIFY(s.peer.waitForPoke(5000, 1));
        QVERIFY(s.peer.pokes().at(1).text.startsWith("$CN_C="));
        QTest::keyClick(s.form.get(), Qt::Key_F5);
        QVERIFY(s.form->sessionLog().contains("Restart DDE =116 Beg"));
        QVERIFY(!s.form->sessionLog().contains("Restart DDE =116 END"));
        QVERIFY(s.nothingPokedSince(2));
    }

    void noLocalServerFile_isExplainedOnceNamingTheFolder()
    {
        TestHome home;   // no Corvus.exe in the folder
        RecordingUi ui;
        MainWindow form(home.config({}, false), ui);
        form.createSecondaryWindows();
        form.show();
        form.GetServerTimer.stop();
        form.linkSession()->GetServerTimerTick();
        form.linkSession()->GetServerTimerTick();
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY(ui.messages[0].contains(QStringLiteral("Corvus.exe")));
        QVERIFY(ui.messages[0].contains(home.path()));
        QCOMPARE(form.serverLogPage()->L1->text(), ui.messages[0]);
        QCOMPARE(form.serverLogPage()->L_Loading->text(),
                 QStringLiteral("Локальный сервер не найден. Запустите Lexar из папки программы (где лежит "
                                "Corvus.exe) или укажите сервер в Cnfg.ini (IP, Port)."));
    }

    void linkThatCannotOpen_isTriedOnce_thenTheTimerStops()
    {
        TestHome home;
        QFile exe(home.path() + QStringLiteral("/Corvus.exe"));   // present, but no server runs
        QVERIFY(exe.open(QIODevice::WriteOnly));
        exe.close();
        RecordingUi ui;
        MainWindow form(home.config({}, false), ui);
        form.createSecondaryWindows();
        form.localLink()->setStartWait(100);
        form.show();
        form.GetServerTimer.stop();
        form.GetServerTimer.start(3600 * 1000);
        form.linkSession()->GetServerTimerTick();
        QVERIFY(form.linkSession()->linked());
        QVERIFY(!form.linkSession()->linkPending());
        QVERIFY(form.state().idleForKeys);   // the registration could not go out
        QCOMPARE(form.serverLogPage()->L_Loading->text(),
                 QStringLiteral("Локальный сервер не отвечает: Corvus.exe не запустился или не открыл связь. "
                                "Нажмите F5, чтобы попробовать ещё раз."));
        form.linkSession()->GetServerTimerTick();
        QVERIFY(!form.GetServerTimer.isActive());
    }

    void noServerCandidate_linkTickLogsGetAndSlowsDown()
    {
        TestHome home;
        RecordingUi ui;
        MainWindow form(home.config({}, false), ui);
        form.createSecondaryWindows();
        form.show();
        form.linkSession()->GetServerTimerTick();
        QVERIFY(form.sessionLog().contains("get"));
        QCOMPARE(form.GetServerTimer.interval(), 1000);
        QVERIFY(form.linkSession()->linkPending());
    }

    void timerLogLine_listsTheTickingTimerFirst()
    {
        LocalSession s;
        s.open();
        s.form->GetServerTimer.start(100);
        s.form->linkSession()->GetServerTimerTick();
        const QByteArray first = s.form->sessionLog().lines().value(0);
        QVERIFY2(first.contains(" : GetServerTimer=100,Timer=0,ITimer=0,InfoTimer=0,"), first.constData());
        QVERIFY(first.endsWith(ru("начало")));
    }
};

QTEST_MAIN(TestLocalSession)
#include "tst_local_session.moc"
