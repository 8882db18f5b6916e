// The main window against a scripted server over a real loopback socket: connect,
// greeting, registration, dictionaries, session messages, keys while a reply is
// awaited, stalled replies and disconnects, and the buffer kept across them and
// across runs.
#include "TcpPeer.h"
#include "app/MainWindow.h"
#include "app/Watchdog.h"
#include "app/SessionController.h"
#include "app/ServerLogPage.h"
#include "app/LocalLinkSession.h"
#include "app/ProgressWindow.h"
#include "concordance/ConcPage.h"
#include "dictionary/DictPage.h"
#include "text/BufferKeeper.h"
#include "model/Cp1251.h"
#include "model/OptionList.h"
#include "wire/RequestWriter.h"
#include "net/TcpChannel.h"
#include "support/AppFixture.h"
#include "support/TestFiles.h"
#include "support/WebSession.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <functional>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <memory>

using cp1251::ru;


// Every text a widget of the application shows: captions, labels, fields, combo box
// items, the cells of every item view (trees included), window titles.
QStringList shownTexts()
{
    QStringList out;
    const std::function<void(const QAbstractItemModel *, const QModelIndex &)> cells =
        [&](const QAbstractItemModel *model, const QModelIndex &parent) {
            for (int r = 0; r < model->rowCount(parent); ++r) {
                for (int c = 0; c < model->columnCount(parent); ++c) {
                    const QModelIndex i = model->index(r, c, parent);
                    out << i.data(Qt::DisplayRole).toString();
                    if (c == 0)
                        cells(model, i);
                }
            }
        };
    for (QWidget *w : QApplication::allWidgets()) {
        out << w->windowTitle() << w->toolTip();
        if (auto *l = qobject_cast<QLabel *>(w))
            out << l->text();
        else if (auto *b = qobject_cast<QAbstractButton *>(w))
            out << b->text();
        else if (auto *e = qobject_cast<QLineEdit *>(w))
            out << e->text();
        else if (auto *p = qobject_cast<QPlainTextEdit *>(w))
            out << p->toPlainText();
        else if (auto *t = qobject_cast<QTextEdit *>(w))
            out << t->toPlainText();
        else if (auto *v = qobject_cast<QAbstractItemView *>(w); v && v->model())
            cells(v->model(), QModelIndex());
        if (auto *box = qobject_cast<QComboBox *>(w)) {
            for (int i = 0; i < box->count(); ++i)
                out << box->itemText(i);
        }
    }
    return out;
}

class TestSession : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void firstShow_webMode_showsOnlyGeneralTab()
    {
        WebSession s;
        QCOMPARE(s.form->serverLogPage()->E_User->text(), QStringLiteral("Пользователь"));
        QCOMPARE(s.form->B_Connect->text(), QStringLiteral("Подключиться к серверу"));
        QCOMPARE(s.form->M_Conn->text(), s.form->B_Connect->text());
        QVERIFY(!s.form->serverLogPage()->B_Upd->isEnabled());
        // Nothing loads before the user connects: the start page says what to press.
        QVERIFY(!s.form->serverLogPage()->L_Loading->isHidden());
        QCOMPARE(s.form->serverLogPage()->L_Loading->text(),
                 QStringLiteral("Нет подключения к серверу. Нажмите «Подключиться к серверу» в меню «Файл»."));
        QVERIFY(s.tabVisible(s.form->serverLogPage()));
        QVERIFY(!s.tabVisible(s.form->TS_Dict));
        QVERIFY(!s.tabVisible(s.form->TS_Conc));
        QVERIFY(!s.tabVisible(s.form->TS_Chat));
        QVERIFY(s.form->windowTitle().startsWith(QStringLiteral("ОРВАН (")));
        // "1=2", then the dictionary reset's "SWD" and the concordance reset's
        // "DictSearcType" ("DST" defaults to ticked).
        QCOMPARE(s.form->state().Options.entries(),
                 (QList<QByteArray>{"1=2", "SWD=NO", "DictSearcType=H"}));
    }

    void connect_greeting_sendsRegistrationNameExactly()
    {
        WebSession s;
        s.form->session()->B_ConnectClick();
        QCOMPARE(s.form->session()->connectState(), 1);
        QCOMPARE(s.form->B_Connect->text(), QStringLiteral("...ждите"));
        QCOMPARE(s.form->M_Conn->text(), QStringLiteral("...ждите"));
        QVERIFY(s.form->SB_Panel0->text().startsWith(QStringLiteral("Идет соединение с 127.0.0.1:")));
        QVERIFY(!s.form->serverLogPage()->E_User->isEnabled());
        QCOMPARE(s.form->serverLogPage()->L_Loading->text(),
                 QStringLiteral("Подключение к серверу 127.0.0.1:%1 …").arg(s.peer.port()));
        QVERIFY(s.peer.waitForClient());
        QTRY_COMPARE(s.form->session()->connectState(), 2);
        QCOMPARE(s.form->B_Connect->text(), QStringLiteral("Отключиться"));
        QCOMPARE(s.form->SB_Panel0->text(), QStringLiteral("Сервер на связи"));
        // Connected: the server loads its corpus until its registration reply.
        QVERIFY(!s.form->serverLogPage()->L_Loading->isHidden());
        QCOMPARE(s.form->serverLogPage()->L_Loading->text(), QStringLiteral("ВЫПОЛНЯЕТСЯ ЗАГРУЗКА КОРПУСА ТЕКСТОВ..."));
        QVERIFY(s.peer.waitForRequest(5000, 0));
        QCOMPARE(s.peer.requests().first(), "$NM=1.4.12.0" + ru("Пользователь"));
        QCOMPARE(s.form->TS_Conc->LBC_W->item(0)->text(), QStringLiteral("<        ИДЁТ       >"));
        QCOMPARE(s.form->state().PendingRequest, ru("Запрос не завершён"));
    }

    void registration_setsMessageDictionariesAndTabs()
    {
        WebSession s;
        QVERIFY(s.registerWith(withOptions("SL_Count=12345,SS=YES", RegisteredBody)));
        QCOMPARE(s.form->serverLogPage()->L1->text(), QStringLiteral("Добро пожаловать"));
        QVERIFY(s.form->serverLogPage()->L_Loading->isHidden());
        // "Текст" is there from the start, beside "Контекст".
        QVERIFY(s.form->TS_Conc->PageCC->isTabVisible(
            s.form->TS_Conc->PageCC->indexOf(s.form->TS_Conc->TS_Conc_T)));
        QVERIFY(s.tabVisible(s.form->TS_Dict));
        QVERIFY(s.tabVisible(s.form->TS_Conc));
        QVERIFY(!s.tabVisible(s.form->TS_Chat));
        QCOMPARE(s.form->PageC->currentWidget(), s.form->TS_Conc);
        const QList<DictEntry> &dicts = s.form->state().DictPosList;
        QCOMPARE(dicts.size(), 2);
        QCOMPARE(dicts[1].name, ru("Тезаурус корпуса"));
        QCOMPARE(dicts[1].pos.DictNo, 1);
        QCOMPARE(s.form->TS_Dict->CB_Dict->count(), 2);
        QCOMPARE(s.form->state().CurDict, 0);
        QVERIFY(s.form->TS_Conc->PageCC->isTabVisible(
            s.form->TS_Conc->PageCC->indexOf(s.form->TS_Conc->TS_Conc_D)));
        QVERIFY(s.form->windowTitle().endsWith(QStringLiteral(" Объём корпуса текстов 12345")));

        // The corpus size is appended once, however many replies carry it.
        s.peer.replyFramed("RSTR", withOptions("SL_Count=12345", QByteArray()));
        s.peer.replyFramed("ZERO", "after");   // handled after the "RSTR"
        QTRY_COMPARE(s.ui.messages.size(), 1);
        QCOMPARE(s.form->windowTitle().count(QStringLiteral("Объём корпуса")), 1);
    }

    void registration_dictWithoutEnd_takesNamesToEndOfBody()
    {
        WebSession s;
        QVERIFY(s.registerWith("CONC,DICT=A,B,C"));
        QCOMPARE(s.form->state().DictPosList.size(), 3);
        QCOMPARE(s.form->state().DictPosList[2].name, QByteArray("C"));
    }

    void secondRegistration_appendsOnlyNewNames()
    {
        WebSession s;
        QVERIFY(s.registerWith("DICT=A,END,CONC,"));
        s.form->state().DictPosList[0].pos.LetterNo = 7;
        s.form->ReplyHandler("$NM=DICT=A,B,END,CONC,");
        QCOMPARE(s.form->state().DictPosList.size(), 2);
        QCOMPARE(s.form->state().DictPosList[0].pos.LetterNo, 7);
        QCOMPARE(s.form->state().DictPosList[1].pos.DictNo, 1);
    }

    void registrationWithoutDict_retriesNmdThenFallsBackToFict()
    {
        WebSession s;
        s.form->session()->B_ConnectClick();
        QVERIFY(s.peer.waitForClient());
        QVERIFY(s.peer.waitForRequest(5000, 0));
        int nmd = 0;
        for (int i = 0; i < 60; ++i) {
            const int seen = int(s.peer.requests().size());
            s.peer.replyFramed("NM", "MES=wait");
            if (i < 59) {
                QVERIFY(s.peer.waitForRequest(5000, seen));
                QCOMPARE(s.peer.lastRequest(), "$NMD=1.4.12.0" + ru("Пользователь"));
                ++nmd;
            } else {
                QTRY_COMPARE(s.form->state().DictPosList.size(), 1);
            }
        }
        QCOMPARE(nmd, 59);
        QCOMPARE(s.form->state().registrationRetries, 60);
        QCOMPARE(s.form->state().DictPosList[0].name, QByteArray("FICT"));
        QCOMPARE(s.form->state().DictPosList[0].pos.DictNo, 0);
        QVERIFY(s.form->sessionLog().contains("Send on NMD NMD_C=59"));
    }

    void info_replacesEarlierInfo()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        const QString base = cp1251::decode(s.form->session()->baseCaption());
        s.form->ReplyHandler("$INFO=Corvus 1");
        QCOMPARE(s.form->windowTitle(), base + QStringLiteral("   +Corvus 1"));
        s.form->ReplyHandler("$INFO=Corvus 2");
        QCOMPARE(s.form->windowTitle(), base + QStringLiteral("   +Corvus 2"));
    }

    void markU_enablesUpdateButton_nextReplyDisables()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        s.form->ReplyHandler("U$RSTR=");
        QVERIFY(s.form->serverLogPage()->B_Upd->isEnabled());
        s.form->ReplyHandler("x$RSTR=");
        QVERIFY(!s.form->serverLogPage()->B_Upd->isEnabled());
        s.form->ReplyHandler("U$RSTR=");
        s.form->ReplyHandler("$RSTR=");
        QVERIFY(!s.form->serverLogPage()->B_Upd->isEnabled());
    }

    void zero_showsBodyInMessageBox()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        s.form->ReplyHandler("$ZERO=" + ru("Нет такого слова"));
        QCOMPARE(s.ui.messages, QStringList{QStringLiteral("Нет такого слова")});
    }

    void replyWithoutKnownTag_sendsRegistrationAgain()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        const int seen = int(s.peer.requests().size());
        s.peer.reply("$XX=garbage");
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(), "$NM=1.4.12.0" + ru("Пользователь"));
    }

    void replyRecords_updateDictionaryPositionAndCurrentDictionary()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        tCDictPos p(1);
        p.LetterNo = 3;
        p.PairNo = 2;
        p.WordNo = 5;
        s.form->ReplyHandler("$DC=" + p.framed());
        QCOMPARE(s.form->state().CurDict, 1);
        QCOMPARE(s.form->state().DictPosList[1].pos, p);
        // A position beyond the list extends it with unnamed dictionaries.
        tCDictPos far(4);
        far.WordNo = 0;
        s.form->ReplyHandler("$DC=" + far.framed());
        QCOMPARE(s.form->state().DictPosList.size(), 5);
        QCOMPARE(s.form->state().DictPosList[3].pos.DictNo, 3);
        QCOMPARE(s.form->state().CurDict, 4);
        // The client version travels back in level 0 after every reply.
        QCOMPARE(s.form->state().CurrentConcPos->Request[0], QByteArray("1.4.12"));
    }

    void lbcwIndexOption_selectsRowAndIsCleared()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        s.form->TS_Conc->LBC_W->clear();
        s.form->TS_Conc->LBC_W->addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        s.form->ReplyHandler("$RSTR=" + withOptions("1=2,LBCWIndex=2", QByteArray()));
        QCOMPARE(s.form->TS_Conc->LBC_W->currentRow(), 2);
        QVERIFY(!s.form->state().Options.has("LBCWIndex"));
    }

    void connectWhileConnecting_changesNothing()
    {
        WebSession s;
        s.form->session()->B_ConnectClick();
        QCOMPARE(s.form->session()->connectState(), 1);
        s.form->session()->B_ConnectClick();   // state 1: nothing happens
        QCOMPARE(s.form->session()->connectState(), 1);
        QTRY_COMPARE(s.form->session()->connectState(), 2);
    }

    void brokenDictionaryRecord_farBeyondTheList_isIgnored()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        tCDictPos far(2000000000);
        far.WordNo = 0;
        s.form->ReplyHandler("$DC=" + far.framed());
        QCOMPARE(s.form->state().DictPosList.size(), 2);
        QCOMPARE(s.form->state().CurDict, 0);
    }

    void failedSend_leavesTheKeysAndCursorFree()
    {
        WebSession s;   // not connected: nothing can go out
        s.form->SendToServer("INFO", QByteArray());
        QVERIFY(s.form->state().idleForKeys);
        QVERIFY(s.form->state().PendingRequest.isEmpty());
        QCOMPARE(s.form->cursor().shape(), Qt::ArrowCursor);
    }

    void disconnect_discardsSession()
    {
        WebSession s;
        QVERIFY(s.registerWith(withOptions("SS=YES", RegisteredBody)));
        s.form->ReplyHandler("U$RSTR=");
        s.form->session()->B_ConnectClick();
        QCOMPARE(s.form->session()->connectState(), 0);
        QCOMPARE(s.form->B_Connect->text(), QStringLiteral("Подключиться"));
        QCOMPARE(s.form->SB_Panel0->text(), QStringLiteral("Связь прервана пользователем"));
        QVERIFY(!s.form->serverLogPage()->B_Upd->isEnabled());
        QVERIFY(s.form->state().DictPosList.isEmpty());
        QVERIFY(!s.form->state().CurrentConcPos);
        QVERIFY(!s.tabVisible(s.form->TS_Dict));
        QVERIFY(!s.tabVisible(s.form->TS_Conc));
        QVERIFY(s.form->serverLogPage()->E_User->isEnabled());
        QVERIFY(!s.form->serverLogPage()->L_Loading->isHidden());
        QCOMPARE(s.form->serverLogPage()->L_Loading->text(),
                 QStringLiteral("Нет подключения к серверу. Нажмите «Подключиться» в меню «Файл»."));
    }

    void keysWhileReplyAwaited_doNothing()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        QListWidget *list = s.form->TS_Conc->LBC_W;
        list->clear();
        list->addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        list->setCurrentRow(0);
        s.form->SendToServer("INFO", QByteArray());
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentRow(), 0);
        QVERIFY(s.form->sessionLog().contains("Restart DDE " + ru("Запрос не завершён") + " 40=40 Pro"));
        s.peer.replyFramed("INFO", "x");
        QTRY_VERIFY(s.form->state().PendingRequest.isEmpty());
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentRow(), 1);
    }

    void stalledReply_isAbandonedAndFreesTheKeys()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        s.form->socketChannel()->setStallTimeout(200);
        s.form->SendToServer("INFO", QByteArray());
        s.peer.stall(TcpPeer::framed("INFO", QByteArray(100, 'x')), 20);
        QTRY_VERIFY(!s.form->SB_Panel0->text().isEmpty()
                    && s.form->SB_Panel0->text().contains(QStringLiteral("не получен")));
        QVERIFY(s.form->state().PendingRequest.isEmpty());
        QVERIFY(s.form->state().idleForKeys);
        // The next reply is read afresh.
        s.peer.replyFramed("INFO", "after");
        QTRY_VERIFY(s.form->windowTitle().endsWith(QStringLiteral("+after")));
    }

    void oversizedAnnouncedLength_isRejected()
    {
        // A length of twelve digits cannot be skipped: the connection is closed and
        // the status bar says why; nothing after the header is read as a reply.
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        s.peer.reply("##999999999999###$INFO=x");
        QTRY_VERIFY_WITH_TIMEOUT(s.form->SB_Panel0->text().contains(QStringLiteral("999999999999")), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(s.form->SB_Panel0->text().contains(QStringLiteral("соединение закрыто")), 10000);
        QVERIFY(!s.form->socketChannel()->isConnected());
        QVERIFY(!s.form->windowTitle().endsWith(QStringLiteral("+x")));
    }

    // A reply over the limit (here 16 bytes) whose bytes are a usage-table reply and
    // then a registration, in two writes: the refused bytes are skipped, the status
    // bar says the reply was refused, the next reply is handled, and no widget or
    // message shows any of the refused text.
    void refusedReply_bytesSkipped_nextReplyHandled()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        s.form->socketChannel()->setMaxReplyLength(16);
        const QByteArray usage = "$CT_D=y$(N0\x04$(1,2,3,4\x04)$,";
        const QByteArray registration = "$NM=DICT=Zq,END,MES=wirez";
        QCOMPARE(usage.size() + registration.size(), 50);
        s.peer.reply("##50###" + usage);
        QTRY_VERIFY_WITH_TIMEOUT(s.form->SB_Panel0->text().contains(QStringLiteral("50 байт")), 10000);
        s.peer.reply(registration);
        s.peer.reply("##10###$INFO=done");
        QTRY_VERIFY_WITH_TIMEOUT(s.form->windowTitle().endsWith(QStringLiteral("+done")), 10000);
        QVERIFY(s.form->socketChannel()->isConnected());
        const QStringList texts = shownTexts() + s.ui.messages;
        for (const QString &text : texts) {
            for (const char *wire : {"$CT_D", "y$(N0", "wirez", "Zq"})
                QVERIFY2(!text.contains(QLatin1String(wire)), qPrintable(text));
        }
    }

    void sendWhileDisconnected_recordsNothing()
    {
        WebSession s;
        s.form->SendToServer("DC_C", "New");
        QVERIFY(s.form->state().PendingRequest.isEmpty());
        QCOMPARE(s.form->state().History.entries.size(), 0);
        QVERIFY(s.form->sessionLog().contains("Send on DC_C NMD_C=0"));
    }

    void dictionaryRequest_bytesOnTheWireAndInHistory()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        s.form->state().Options = OptionList::initial();
        const int seen = int(s.peer.requests().size());
        const int before = int(s.form->state().History.entries.size());
        s.form->SendToServer("DC_W", requests::dictParams(tCDictPos(0), s.form->state().Options));
        QVERIFY(s.peer.waitForRequest(5000, seen));
        const QByteArray expected = QByteArray("$DC_W=New\x02\x0f", 11) + "$(0,0,1,1,R-1)$"
                                    + QByteArray("\x05/3/\x05", 5) + "1=2";
        QCOMPARE(s.peer.lastRequest(), expected);
        QCOMPARE(s.form->state().History.entries.size(), before + 1);
        QCOMPARE(s.form->state().History.entries.last().text, expected.mid(1));
    }

    void watchdog_secondSendRestartsTheCount()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        s.form->setEnabled(false);
        s.form->SendToServer("INFO", QByteArray());
        for (int i = 0; i < 5; ++i)
            s.form->watchdog()->TimerTick();
        s.form->SendToServer("INFO", QByteArray());
        for (int i = 0; i < 300; ++i)
            s.form->watchdog()->TimerTick();
        QVERIFY(!s.form->isEnabled());   // 300 ticks since the second send: not yet
        s.form->watchdog()->TimerTick();
        QVERIFY(s.form->isEnabled());    // the 301st re-enables the window
        QVERIFY(!s.form->Timer.isActive());
    }

    void updateConfirmed_sendsClientRequest()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        s.form->ReplyHandler("U$RSTR=");
        const int seen = int(s.peer.requests().size());
        s.ui.answer = true;
        s.form->B_UpdClick();
        QVERIFY(s.peer.waitForRequest(5000, seen));
        QCOMPARE(s.peer.lastRequest(), QByteArray("$CL_E=New"));
        QCOMPARE(s.form->serverLogPage()->L1->text(), QStringLiteral("На сервер послан запрос на обновление"));
        QVERIFY(!s.form->serverLogPage()->B_Upd->isEnabled());
    }

    void help_f1OpensHelpOnlyWhenIdle()
    {
        TestHome home;
        QDir().mkpath(home.path() + QStringLiteral("/help"));
        QFile chm(home.path() + QStringLiteral("/help/lexar.chm"));
        QVERIFY(chm.open(QIODevice::WriteOnly));
        chm.close();
        QFile hlp(home.path() + QStringLiteral("/help/lexar.hlp"));
        QVERIFY(hlp.open(QIODevice::WriteOnly));
        hlp.close();
        RecordingUi ui;
        MainWindow form(home.config({"IP=127.0.0.1", "Port=1"}), ui);
        form.createSecondaryWindows();
        form.show();
        QVERIFY(form.helpFile().endsWith(QStringLiteral("help/lexar.hlp")));
        QVERIFY(form.M_Help->isEnabled());
        {
            TestHome bare;
            MainWindow noHelp(bare.config({"IP=127.0.0.1", "Port=1"}), ui);
            noHelp.createSecondaryWindows();
            noHelp.show();
            QVERIFY(!noHelp.M_Help->isEnabled());
        }
        form.state().PendingRequest = ru("Запрос не завершён");
        form.state().idleForKeys = false;
        QTest::keyClick(&form, Qt::Key_F1);
        QVERIFY(ui.opened.isEmpty());
        form.state().PendingRequest.clear();
        form.state().idleForKeys = true;
        QTest::keyClick(&form, Qt::Key_F1);
        QCOMPARE(ui.opened.size(), 1);
    }

    void coverPicture_isLoadedFromRootFolder_corruptOneIgnored()
    {
        TestHome home;
        QDir().mkpath(home.path() + QStringLiteral("/pics"));
        QImage img(40, 20, QImage::Format_RGB32);
        img.fill(Qt::red);
        QVERIFY(img.save(home.path() + QStringLiteral("/pics/Обложка.jpg"), "JPG"));
        RecordingUi ui;
        {
            MainWindow form(home.config({"IP=127.0.0.1"}), ui);
            QCOMPARE(form.serverLogPage()->Image_Front->pixmap().size(), QSize(40, 20));
        }
        QFile bad(home.path() + QStringLiteral("/pics/Обложка.jpg"));
        QVERIFY(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
        bad.write("not a picture");
        bad.close();
        MainWindow form(home.config({"IP=127.0.0.1"}), ui);
        QVERIFY(form.serverLogPage()->Image_Front->pixmap().isNull());
        QVERIFY(ui.messages.isEmpty());
    }

    void badConfiguration_isExplainedAndTheProgramStaysUsable()
    {
        TestHome home;
        QDir().mkpath(home.path() + QStringLiteral("/Cnfg.ini"));   // a folder: unreadable
        RecordingUi ui;
        MainWindow form(home.config({}, false), ui);
        QCOMPARE(form.config().ConnectionMode, QByteArray("BREAK"));
        form.show();
        QTRY_COMPARE(ui.messages.size(), 1);
        QVERIFY(ui.messages[0].contains(home.path() + QStringLiteral("/Cnfg.ini")));
        QVERIFY(form.isVisible());
        QVERIFY(form.M_Conn->isVisible() && !form.B_Connect->isHidden());
    }

    // Every failure names the address and why, keeps the program's own first line
    // (the server that cannot be reached, or the settings' address that cannot be
    // used), says on the start page what to do, and leaves the window disconnected
    // with nothing of the session shown.
    void connectFailures_nameAddressAndReason_data()
    {
        QTest::addColumn<QByteArray>("ip");
        QTest::addColumn<QByteArray>("port");   // "peer": the scripted server's, "closed": a free one
        QTest::addColumn<int>("after");         // 0 connect, 1 greeting, 2 registration, then the peer drops
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("title");     // the message's first line
        const QString network = QStringLiteral("Не найден сервер в сети\n");
        const QString settings = QStringLiteral("В файле настроек неверный адрес сервера\n");
        QTest::newRow("refused") << QByteArray("127.0.0.1") << QByteArray("closed") << 0
                                 << QStringLiteral("— соединение отвергнуто") << network;
        QTest::newRow("port not a number") << QByteArray("127.0.0.1") << QByteArray("abc") << 0
                                           << QStringLiteral("неверный порт «abc»") << settings;
        QTest::newRow("no address") << QByteArray("") << QByteArray("1024") << 0
                                    << QStringLiteral("не задан адрес сервера (IP)") << settings;
        QTest::newRow("not an address") << QByteArray("300.1.2.3") << QByteArray("1024") << 0
                                        << QStringLiteral("неверное значение IP «300.1.2.3»") << settings;
        QTest::newRow("address with a space") << QByteArray("127.0.0 1") << QByteArray("1024") << 0
                                              << QStringLiteral("неверное значение IP «127.0.0 1»") << settings;
        // A broadcast address fails inside the connect call itself on Linux.
        QTest::newRow("fails at once") << QByteArray("255.255.255.255") << QByteArray("1024") << 0
                                       << QStringLiteral("255.255.255.255:1024 — ") << network;
        QTest::newRow("closed after greeting") << QByteArray("127.0.0.1") << QByteArray("peer") << 1
                                               << QStringLiteral("— сервер закрыл соединение до регистрации") << network;
        QTest::newRow("lost after registration") << QByteArray("127.0.0.1") << QByteArray("peer") << 2
                                                 << QStringLiteral("— связь потеряна: сервер закрыл соединение") << network;
    }

    void connectFailures_nameAddressAndReason()
    {
        QFETCH(QByteArray, ip);
        QFETCH(QByteArray, port);
        QFETCH(int, after);
        QFETCH(QString, reason);
        QFETCH(QString, title);
        TcpPeer peer;
        QVERIFY(peer.start(true));
        if (port == "peer") {
            port = QByteArray::number(peer.port());
        } else if (port == "closed") {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            port = QByteArray::number(probe.serverPort());
        }
        TestHome home;
        RecordingUi ui;
        MainWindow form(home.config({"IP=" + ip, "Port=" + port}), ui);
        form.createSecondaryWindows();
        form.show();
        form.session()->B_ConnectClick();
        if (after > 0) {
            QVERIFY(peer.waitForClient() && peer.waitForRequest(5000, 0));
            if (after == 2) {
                peer.replyFramed("NM", RegisteredBody);
                QTRY_VERIFY(form.PageC->isTabVisible(form.PageC->indexOf(form.TS_Dict)));
                form.SendToServer("INFO", QByteArray());   // pending when the server goes
            }
            peer.dropClient();
        }
        QTRY_COMPARE(form.session()->connectState(), 0);
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY2(ui.messages[0].startsWith(title), qPrintable(ui.messages[0]));
        QVERIFY2(ui.messages[0].contains(reason), qPrintable(ui.messages[0]));
        if (title.startsWith(QStringLiteral("Не найден"))) {
            QVERIFY(ui.messages[0].contains(QString::fromLatin1(ip + ':' + port)));
            QVERIFY(ui.messages[0].endsWith(QStringLiteral("Проверьте, что сервер запущен и доступен по этому адресу "
                                                           "(ключи IP и Port в файле настроек), и нажмите «Подключиться» в меню «Файл».")));
        } else {
            QVERIFY(ui.messages[0].contains(home.path() + QStringLiteral("/Cnfg.ini: ")));
            QVERIFY(ui.messages[0].endsWith(QStringLiteral("Исправьте ключи IP и Port в разделе [1] этого файла и "
                                                           "нажмите «Подключиться» в меню «Файл».")));
        }
        QVERIFY(form.SB_Panel0->text().startsWith(QStringLiteral("Ошибка подключения")));
        QVERIFY(form.serverLogPage()->L1->text().contains(reason));
        // The start page says why and what to do; nothing loads.
        const QLabel *note = form.serverLogPage()->L_Loading;
        QVERIFY(!note->isHidden());
        QVERIFY2(note->text().contains(reason), qPrintable(note->text()));
        QVERIFY2(note->text().endsWith(QStringLiteral("нажмите «Подключиться» в меню «Файл».")),
                 qPrintable(note->text()));
        QCOMPARE(form.B_Connect->text(), QStringLiteral("Подключиться"));
        QVERIFY(form.serverLogPage()->E_User->isEnabled());
        // Disconnected plainly: no pending request, the session's tabs gone, lists empty.
        QVERIFY(form.state().PendingRequest.isEmpty());
        QVERIFY(!form.PageC->isTabVisible(form.PageC->indexOf(form.TS_Dict)));
        QVERIFY(!form.PageC->isTabVisible(form.PageC->indexOf(form.TS_Conc)));
        QCOMPARE(form.PageC->currentWidget(), form.serverLogPage());
        QCOMPARE(form.TS_Dict->LB_C->count(), 0);
        QVERIFY(form.state().DictPosList.isEmpty());
    }

    void longServerText_neverWidensTheWindow()
    {
        WebSession s;
        QVERIFY(s.registerWith("DICT=A,END,CONC,MES=" + QByteArray(3000, 'W')));
        QCOMPARE(s.form->serverLogPage()->L1->text().size(), 3000);
        QVERIFY(s.form->minimumSizeHint().width() <= 1280);
        s.form->resize(1000, 700);
        QVERIFY(s.form->width() <= 1280);
    }

    // A new session no longer empties the buffer unasked: a reconnect or a lost
    // connection asks, and only a Yes empties the lines and their file.
    void newSession_asksBeforeEmptyingTheBuffer_data()
    {
        QTest::addColumn<bool>("dropped");   // the server goes; else the user reconnects
        QTest::addColumn<bool>("answer");
        QTest::newRow("reconnect, no") << false << false;
        QTest::newRow("reconnect, yes") << false << true;
        QTest::newRow("connection lost, no") << true << false;
        QTest::newRow("connection lost, yes") << true << true;
    }

    void newSession_asksBeforeEmptyingTheBuffer()
    {
        QFETCH(bool, dropped);
        QFETCH(bool, answer);
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        const QString path = s.form->config().UserDataFolder + QStringLiteral("Buffer.txt");
        QCOMPARE(s.form->bufferKeeper()->path(), path);
        s.form->state().Buffer.append(QList<QByteArray>{ru("первая"), "second"});
        const QByteArray kept("\xef\xe5\xf0\xe2\xe0\xff\r\nsecond\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(fileBytes(path), kept, 10000);
        s.ui.answer = answer;
        if (dropped) {
            s.peer.dropClient();
        } else {
            s.form->session()->B_ConnectClick();   // off
            s.form->session()->B_ConnectClick();   // on again: the pages are set up anew
        }
        const QStringList question{QStringLiteral("В буфере остались собранные строки (2). Очистить буфер?")};
        QTRY_COMPARE_WITH_TIMEOUT(s.ui.questions, question, 10000);
        QCOMPARE(s.ui.defaultNo, question);
        const QPushButton *emptying = s.form->TS_Conc->findChild<QPushButton *>(QStringLiteral("B_BufC"));
        if (answer) {
            QVERIFY(s.form->state().Buffer.isEmpty());
            QTRY_VERIFY_WITH_TIMEOUT(!s.form->bufferKeeper()->writePending(), 10000);
            QVERIFY(QFile::exists(path));
            QCOMPARE(fileBytes(path), QByteArray());
            QVERIFY(!emptying->isEnabled());
        } else {
            QCOMPARE(s.form->state().Buffer.lines(), (QList<QByteArray>{ru("первая"), "second"}));
            QCOMPARE(fileBytes(path), kept);
            QVERIFY(emptying->isEnabled());
        }
    }

    // The lines collected in one run are there at the next start, with no question;
    // lines added just before the end are written as the window goes.
    void startUp_findsTheKeptLines()
    {
        WebSession s;
        const QList<QByteArray> ini{"IP=127.0.0.1", "Port=" + QByteArray::number(s.peer.port())};
        s.form->state().Buffer.append(QList<QByteArray>{ru("Дом"), "x"});
        s.form.reset();   // no turn of the loop in between
        QCOMPARE(fileBytes(s.home.config(ini).UserDataFolder + QStringLiteral("Buffer.txt")),
                 QByteArray("\xc4\xee\xec\r\nx\r\n"));

        MainWindow again(s.home.config(ini), s.ui);
        again.createSecondaryWindows();
        QVERIFY(again.state().Buffer.isEmpty());   // before the first show
        again.show();
        QCOMPARE(again.state().Buffer.lines(), (QList<QByteArray>{ru("Дом"), "x"}));
        QVERIFY(again.TS_Conc->findChild<QPushButton *>(QStringLiteral("B_BufC"))->isEnabled());
        bool turned = false;
        QTimer::singleShot(0, [&turned] { turned = true; });
        QTRY_VERIFY_WITH_TIMEOUT(turned, 10000);
        QVERIFY(s.ui.questions.isEmpty());
        QVERIFY(!again.bufferKeeper()->writePending());
    }

    void startUp_unreadableKeptFile_emptyBuffer_data()
    {
        QTest::addColumn<QByteArray>("bytes");   // "<folder>": a folder in the file's place
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::newRow("garbage") << QByteArray("\0\x01\x02\xff\xfe\0\r\n", 8) << QList<QByteArray>();
        QTest::newRow("a folder") << QByteArray("<folder>") << QList<QByteArray>();
        QTest::newRow("cut short") << QByteArray("a\r\nb\0\0", 6) << QList<QByteArray>{"a", "b"};
    }

    void startUp_unreadableKeptFile_emptyBuffer()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QByteArray>, lines);
        TestHome home;
        RecordingUi ui;
        const Config config = home.config({"IP=127.0.0.1", "Port=1024"});
        const QString path = config.UserDataFolder + QStringLiteral("Buffer.txt");
        if (bytes == "<folder>")
            QVERIFY(QDir().mkpath(path));
        else
            writeFile(path, bytes);
        MainWindow form(config, ui);
        form.createSecondaryWindows();
        form.show();
        QCOMPARE(form.state().Buffer.lines(), lines);
        QVERIFY(form.bufferKeeper()->isKeeping());
        QVERIFY(ui.questions.isEmpty() && ui.messages.isEmpty());
    }

    void lateReply_clearsTheNoReplyStatus()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        s.form->setStatusText(QStringLiteral("Сервер не ответил на запрос"));
        s.form->ReplyHandler("$RSTR=");
        QVERIFY(s.form->SB_Panel0->text().isEmpty());
    }
};

QTEST_MAIN(TestSession)
#include "tst_session.moc"
