// The client against the real corpus server: in the local mode Lexar starts
// Corvus.exe on demand over the local link, registers and shows the lines of a value
// picked on the concordance tab; over TCP it connects to a
// Corvus.exe serving a corpus the test writes, registers and opens a dictionary.
#include "app/MainWindow.h"
#include "app/Watchdog.h"
#include "app/SessionController.h"
#include "app/ServerLogPage.h"
#include "app/LocalLinkSession.h"
#include "concordance/ConcPage.h"
#include "concordance/ContextPanel.h"
#include "dictionary/DictPage.h"
#include "dictionary/UsagePanel.h"
#include "model/Cp1251.h"
#include "support/AppFixture.h"
#include "support/CorvusServer.h"
#include "support/TestFiles.h"
#include "text/BufferActions.h"
#include "text/BufferWindow.h"
#include "text/FullTextWindow.h"
#include "text/TextPanel.h"
#include "text/core/TextView.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

class TestE2eCorvus : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // No test mode here: the server is another process, and both must find the
        // user data folder (start signal, local link socket) under XDG_DATA_HOME.
        if (!QFile::exists(corvusPath()))
            QSKIP("Corvus.exe is not built");
    }

    void localMode_startsCorvusOnDemandAndRegisters()
    {
        if (!QFile::exists(QStringLiteral("/usr/share/games/fortunes/ru")))
            QSKIP("fortunes-ru is not installed");
        TestHome home;
        RecordingUi ui;
        Config config = home.config({}, false);
        config.LocalServerName = QStringLiteral("Corvus");
        config.LocalServerFile = QStringLiteral("Corvus.exe");
        config.LocalServerPath = corvusPath();
        MainWindow form(config, ui);
        form.createSecondaryWindows();
        form.show();
        // The link tick starts the server; its start signal or its "Server is Ready"
        // leads to a registration that the loaded server answers.
        const bool registered = QTest::qWaitFor(
            [&] { return form.PageC->isTabVisible(form.PageC->indexOf(form.TS_Dict)); }, 60000);
        if (!registered) {
            for (const QByteArray &line : form.sessionLog().lines())
                qWarning("%s", cp1251::decode(line).toUtf8().constData());
        }
        QVERIFY(registered);
        QVERIFY(form.state().DictPosList.size() >= 1);
        QVERIFY(!form.serverLogPage()->L1->text().isEmpty());
        QVERIFY(ui.messages.isEmpty());

        // The concordance tab opens with the registration: characteristics, groups,
        // the first values and the lines of the first one arrive by themselves.
        ConcPage *conc = form.TS_Conc;
        QListWidget *values = conc->LBC_W;
        QListWidget *centres = conc->TS_Conc_C->LBC_Wx;
        QTRY_VERIFY_WITH_TIMEOUT(centres->count() > 0 && form.state().PendingRequest.isEmpty(), 30000);
        QVERIFY(values->count() > 1);
        QCOMPARE(centres->item(0)->text().toLower(), values->item(0)->text().toLower());
        // Picking another value shows its lines.
        const QString picked = values->item(1)->text();
        values->scrollToItem(values->item(1));
        QTest::mouseClick(values->viewport(), Qt::LeftButton, {}, values->visualItemRect(values->item(1)).center());
        QTRY_VERIFY_WITH_TIMEOUT(centres->count() > 0 && centres->item(0)->text().toLower() == picked.toLower()
                                     && form.state().PendingRequest.isEmpty(),
                                 30000);
        QCOMPARE(conc->TS_Conc_C->LBC_L->count(), centres->count());
        QVERIFY(conc->TS_Conc_C->L_LNC_C->text().startsWith(QStringLiteral("Показано ")));
        QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join(QLatin1Char('|'))));
        form.close();   // tells the server "CLOSE"; it ends by itself
    }

    // The text around an occurrence, its page for the buffer, the full text, the
    // usage table and the buffer saved, against the server.
    void tcpMode_textPageFullTextUsageTableAndBuffer();

    // The "Текст" sub-page as the user reaches it: its tab, a word clicked, a
    // fragment marked and copied, the pages of the text by the keys.
    void tcpMode_textSubPageByTheUser();

    void tcpMode_registersAndOpensTheFirstDictionary()
    {
        TestHome home;
        writeFile(home.path() + QStringLiteral("/corpus/Пушкин/Стихи.txt"),
                  cp1251::ru("Мороз и солнце; день чудесный!\nЕщё ты дремлешь, друг прелестный.\n"));
        QProcess corvus;
        const quint16 port = startCorvusOnHome(corvus, home.path());
        QVERIFY(port);
        RecordingUi ui;
        MainWindow form(home.config({"IP=127.0.0.1", "Port=" + QByteArray::number(port)}), ui);
        form.createSecondaryWindows();
        form.show();
        form.session()->B_ConnectClick();
        QTRY_VERIFY_WITH_TIMEOUT(form.PageC->isTabVisible(form.PageC->indexOf(form.TS_Dict)), 20000);
        QVERIFY(form.state().DictPosList.size() >= 1);
        QVERIFY(form.serverLogPage()->L1->text().contains(QStringLiteral("Пользователь"))
                || !form.serverLogPage()->L1->text().isEmpty());
        // Opening the dictionary page asks for the letters; the server answers them.
        form.PageC->setCurrentWidget(form.TS_Dict);
        if (!QTest::qWaitFor([&] { return form.TS_Dict->LB_C->count() > 0; }, 20000)) {
            for (const QByteArray &line : form.sessionLog().lines())
                qWarning("%s", cp1251::decode(line).toUtf8().constData());
        }
        QVERIFY(form.TS_Dict->LB_C->count() > 0);
        // One click on a letter runs the chain pairs -> headwords -> entry.
        form.TS_Dict->LB_C->setCurrentRow(0);
        form.TS_Dict->LB_CClick();
        QTRY_VERIFY_WITH_TIMEOUT(form.TS_Dict->TreeView1->topLevelItemCount() > 0, 20000);
        QVERIFY(form.TS_Dict->LB_CC->count() > 0);
        QVERIFY(form.TS_Dict->LB_W->count() > 0);
        QTRY_VERIFY_WITH_TIMEOUT(form.state().PendingRequest.isEmpty(), 20000);
        QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join(QLatin1Char('|'))));
        // Each dictionary the server offers opens at its letters.
        for (int d = 1; d < form.TS_Dict->CB_Dict->count(); ++d) {
            form.TS_Dict->CB_Dict->setCurrentIndex(d);
            form.TS_Dict->CB_DictClick(d);
            QTRY_VERIFY_WITH_TIMEOUT(form.state().PendingRequest.isEmpty(), 20000);
            QVERIFY(form.TS_Dict->LB_C->count() > 0);
        }
        QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join(QLatin1Char('|'))));
        form.close();
        corvus.terminate();
        corvus.waitForFinished(5000);
    }
};

void TestE2eCorvus::tcpMode_textPageFullTextUsageTableAndBuffer()
{
    TestHome home;
    writeFile(home.path() + QStringLiteral("/corpus/Ветров/Повесть.txt"),
              cp1251::ru("А кот пришёл домой.\nКот спит.\n"));
    QProcess corvus;
    const quint16 port = startCorvusOnHome(corvus, home.path());
    QVERIFY(port);
    RecordingUi ui;
    MainWindow form(home.config({"IP=127.0.0.1", "Port=" + QByteArray::number(port)}), ui);
    form.createSecondaryWindows();
    form.show();
    form.session()->B_ConnectClick();
    QTRY_VERIFY_WITH_TIMEOUT(form.PageC->isTabVisible(form.PageC->indexOf(form.TS_Conc)), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(form.state().PendingRequest.isEmpty(), 20000);

    // The first word form of the list ("а", alphabetically first), as the value
    // list would have selected it.
    SessionState &s = form.state();
    tCConcPos &c = *s.CurrentConcPos;
    c.Level = 1;
    c.CharNo[0] = c.CharNo[1] = 0;
    c.ValueNo[1] = 0;
    c.FirstLine = -1;
    c.Move.fill(' ');
    s.Options.set("TabType", "CONC2");
    s.Options.set("LBC_T_Max", "10");
    TextPanel *text = form.panels().text;
    {
        // "Текст" is the sub-page shown, without the request its change would send.
        ConcPage *page = form.TS_Conc;
        const QSignalBlocker quiet(page->PageCC);
        page->PageCC->setCurrentWidget(page->TS_Conc_T);
    }

    text->requestText();
    QTRY_VERIFY_WITH_TIMEOUT(!text->view().labels.isEmpty(), 20000);
    QCOMPARE(text->view().labels.first().text, cp1251::ru("А"));
    QVERIFY(text->view().labels.first().current());
    QVERIFY(text->L_TextName->text().contains(QStringLiteral("Повесть")));

    // The page for the buffer: the rows of the text and its name.
    text->B_Buf2_Text->click();
    QTRY_VERIFY_WITH_TIMEOUT(s.Buffer.size() >= 3, 20000);
    QCOMPARE(s.Buffer.lines().mid(0, 2), QList<QByteArray>({cp1251::ru("А кот пришёл домой."), cp1251::ru("Кот спит.")}));

    // The whole text in the full-text window.
    text->openTextOfLine(c.CurLine);
    QTRY_VERIFY_WITH_TIMEOUT(form.Form4->isVisible(), 20000);
    QVERIFY(form.Form4->Memo_Text->toPlainText().contains(QStringLiteral("Кот спит.")));
    // The current occurrence, the first word of the text, is painted.
    const QList<QTextEdit::ExtraSelection> marks = form.Form4->Memo_Text->extraSelections();
    QCOMPARE(marks.size(), 1);
    QCOMPARE(marks[0].cursor.selectedText(), QStringLiteral("А"));
    QCOMPARE(marks[0].cursor.blockNumber(), 0);
    QTest::keyClick(form.Form4->Memo_Text, Qt::Key_Escape);
    QVERIFY(!form.Form4->isVisible());

    // The usage table of the occurrences.
    UsagePanel *usage = form.panels().usage;
    usage->requestUsage();
    QTRY_VERIFY_WITH_TIMEOUT(usage->grid().rowCount() >= 2, 20000);
    QVERIFY(usage->grid().hasHeading());

    // Saved into a file: its path, the lines, the end line.
    const QString saved = home.path() + QStringLiteral("/buffer.txt");
    form.T_F2->chooseFile = [&saved](QWidget *, const QString &) { return saved; };
    form.T_F2->B_SaveClick();
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith(cp1251::encode(saved) + "\r\n" + cp1251::ru("А кот пришёл домой.")));
    QVERIFY(bytes.endsWith("=============\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(s.PendingRequest.isEmpty(), 20000);
    QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join(QLatin1Char('|'))));
    form.close();
    corvus.terminate();
    corvus.waitForFinished(5000);
}

void TestE2eCorvus::tcpMode_textSubPageByTheUser()
{
    TestHome home;
    // One text long enough for several pages of a few rows.
    QByteArray text;
    for (int i = 0; i < 60; ++i)
        text += cp1251::ru("Кот ходит по дому и поёт песню номер ") + QByteArray::number(i) + ".\n";
    writeFile(home.path() + QStringLiteral("/corpus/Ветров/Повесть.txt"), text);
    QProcess corvus;
    const quint16 port = startCorvusOnHome(corvus, home.path());
    QVERIFY(port);
    RecordingUi ui;
    MainWindow form(home.config({"IP=127.0.0.1", "Port=" + QByteArray::number(port)}), ui);
    form.createSecondaryWindows();
    form.resize(900, 700);
    form.show();
    form.session()->B_ConnectClick();
    ConcPage *conc = form.TS_Conc;
    QListWidget *centres = conc->TS_Conc_C->LBC_Wx;
    QTRY_VERIFY_WITH_TIMEOUT(centres->count() > 0 && form.state().PendingRequest.isEmpty(), 30000);
    const auto settled = [&] { return form.state().PendingRequest.isEmpty(); };

    // The tab is there; choosing it asks for the text around the current occurrence.
    TextPanel *view = form.panels().text;
    const int tab = conc->PageCC->indexOf(conc->TS_Conc_T);
    QVERIFY(conc->PageCC->isTabVisible(tab));
    conc->PageCC->tabBar()->setCurrentIndex(tab);
    QTRY_VERIFY_WITH_TIMEOUT(!view->view().labels.isEmpty() && settled(), 30000);
    QVERIFY(view->isVisible());
    const auto currentWord = [&] {
        for (const textcore::WordLabel &l : view->view().labels)
            if (l.current())
                return l.text.trimmed();
        return QByteArray();
    };
    QVERIFY(!currentWord().isEmpty());

    // A click on another word makes it the current occurrence.
    int other = -1;
    for (int k = 0; k < view->view().labels.size() && other < 0; ++k)
        if (view->view().labels[k].text.trimmed() == cp1251::ru("песню"))
            other = k;
    QVERIFY(other >= 0);
    QWidget *canvas = view->P_Text->widget();
    QTest::mouseClick(canvas, Qt::LeftButton, {}, view->labelRect(other).center());
    QTRY_VERIFY_WITH_TIMEOUT(currentWord() == cp1251::ru("песню") && settled(), 30000);

    // Shift+click on two words marks the fragment between them; the copy button
    // saves the fragment into the buffer.
    const QList<textcore::WordLabel> &labels = view->view().labels;
    QVERIFY(labels.size() > 4);
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::ShiftModifier, view->labelRect(1).center());
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::ShiftModifier, view->labelRect(3).center());
    QCOMPARE(view->B_Buf2_Text->text(), QStringLiteral("Сохранить фрагмент"));
    view->B_Buf2_Text->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.state().Buffer.isEmpty(), 20000);

    // The keys page through the text: End reaches its last words, Home its first,
    // PgDn the page after the first.
    const auto word = [&](bool first) {
        const QList<textcore::WordLabel> &l = view->view().labels;
        return l.isEmpty() ? QByteArray() : (first ? l.first() : l.last()).text.trimmed();
    };
    const auto firstWord = [&] { return word(true); };
    const auto lastWord = [&] { return word(false); };
    QTest::keyClick(view->MemoX, Qt::Key_End);
    QTRY_VERIFY_WITH_TIMEOUT(lastWord().startsWith("59") && settled(), 30000);
    QTest::keyClick(view->MemoX, Qt::Key_Home);
    QTRY_VERIFY_WITH_TIMEOUT(firstWord() == cp1251::ru("Кот") && !lastWord().startsWith("59") && settled(), 30000);
    const QByteArray firstPageEnd = lastWord();
    QTest::keyClick(view->MemoX, Qt::Key_PageDown);
    QTRY_VERIFY_WITH_TIMEOUT(lastWord() != firstPageEnd && settled(), 30000);
    // Leaving the sub-page frees its word labels.
    conc->PageCC->tabBar()->setCurrentIndex(conc->PageCC->indexOf(conc->TS_Conc_C));
    QVERIFY(view->view().labels.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
    QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join(QLatin1Char('|'))));
    form.close();
    corvus.terminate();
    corvus.waitForFinished(5000);
}

QTEST_MAIN(TestE2eCorvus)
#include "tst_e2e_corvus.moc"
