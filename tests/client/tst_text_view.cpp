// The text view, the full-text window and the buffer as widgets: the requests they
// send (exact bytes), what a page, a buffer page or a full text does to them, the
// keys, marking with the mouse, the copies into the buffer with their questions,
// saving, the user's edits of the buffer, the buffer kept on disk and the question
// before a set-up empties it. One chain runs through the whole main window against a
// scripted server.
#include "concordance/ConcPage.h"
#include "model/Cp1251.h"
#include "platform/AtomicFile.h"
#include "support/PageDoubles.h"
#include "support/PageHostDouble.h"
#include "support/TestFiles.h"
#include "support/WebSession.h"
#include "text/BufferActions.h"
#include "text/BufferKeeper.h"
#include "text/BufferWindow.h"
#include "text/FullTextWindow.h"
#include "text/TextPanel.h"
#include "text/core/Buffer.h"
#include "text/core/BufferOps.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

using cp1251::ru;

namespace {

QByteArray entry(const char *text, qint32 number)
{
    return ru(text) + "$@$" + QByteArray::number(number) + "$$$";
}

// A page: links, the number section, the words, the title.
QByteArray page(const QByteArray &words, const char *title = "T")
{
    return "$$+12,0$$-$$+7$$-" + words + ru(title) + "$$$";
}

bool keyTaken(TextPanel *panel, int key)
{
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    return panel->textViewKey(&e);
}

struct TextFixture {
    TextFixture()
    {
        SessionState &s = host.state();
        s.DictPosList = {DictEntry{"A", tCDictPos(0)}, DictEntry{"B", tCDictPos(1)}};
        s.CurDict = s.CurDictPos = 1;
        s.Options.set("TabType", "CONC2");
        top.resize(700, 400);
        auto *lay = new QVBoxLayout(&top);
        panel = new TextPanel(host, &top);
        lay->addWidget(panel);
        fullText = new FullTextWindow(&top);
        buffer = new BufferWindow(&top);
        panel->setWindows(fullText, buffer);
        conc.textName = ru("Н");   // the selected line's text name, bare as the page gives it
        conc.text = panel;
        filters.listPosXChecked = true;
        panel->connectNeighbours({&conc, &filters, &dict, &usage});
        top.show();
        panel->setZoneHighlight(true);
    }

    // The request the panel would send for `tag` with these records.
    QByteArray expected(const QByteArray &tag, int dict) const
    {
        tCConcPos c = *host_state().CurrentConcPos;
        return requests::wire(tag, requests::concDictParams(c, host_state().DictPosList[dict].pos,
                                                            host_state().Options));
    }
    const SessionState &host_state() const { return const_cast<PageHostDouble &>(host).state(); }
    QList<QByteArray> bufferLines() const { return host_state().Buffer.lines(); }
    QWidget *canvas() const { return panel->P_Text->widget(); }
    void click(int label, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mouseClick(canvas(), Qt::LeftButton, mods, panel->labelRect(label).center());
    }

    PageHostDouble host;
    ConcordanceDouble conc;
    FilterRowsDouble filters;
    DictionaryDouble dict;
    UsageDouble usage;
    QWidget top;
    TextPanel *panel = nullptr;
    FullTextWindow *fullText = nullptr;
    BufferWindow *buffer = nullptr;
    textcore::SubPage &subPage = conc.shown;
    int &listKindChanges = conc.listRequests;
    int &contextShown = conc.contextShown;
    int &wordListClicks = conc.valueClicks;
    bool &listPosX = filters.listPosXChecked;
    QByteArrayList &links = dict.loaded;
    QList<int> &unmarked = conc.unmarked;
};

} // namespace

class TstTextView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void textRequest_page_endOnCurrentLastWord_clicksTheBorrowedNumber()
    {
        TextFixture f;
        f.panel->requestText();   // "В начало" is ticked: from the text's beginning
        QCOMPARE(f.host.state().CurrentConcPos->Move[0], 'B');
        QCOMPARE(f.host.sent, QList<QByteArray>({f.expected("CT_W", 0)}));

        f.panel->onCT_W(page(entry(" a", 11) + entry(" b", 12) + entry(" c", 0)));
        QCOMPARE(f.panel->view().labels.size(), qsizetype(3));
        QCOMPARE(f.panel->L_TextName->text(), QStringLiteral("Название текста \"T\""));
        QCOMPARE(f.links, QList<QByteArray>({"$$+12,0"}));
        QCOMPARE(f.host.state().Options.value("PrintText"), QByteArray("False"));

        QVERIFY(keyTaken(f.panel, Qt::Key_End));
        const tCConcPos &c = *f.host.state().CurrentConcPos;
        QCOMPARE(c.CurLine, 12);   // the second-last word's token + 1
        QCOMPARE(c.FirstLine, 12);
        QCOMPARE(c.Move[0], 'E');
        QCOMPARE(f.host.state().Options.value("TextPos"), QByteArray("E"));
        QCOMPARE(f.host.state().Options.value("TabType"), QByteArray("CONC4"));
        QCOMPARE(f.listKindChanges, 1);
        QVERIFY(!f.listPosX);
        QVERIFY(f.panel->view().labels.isEmpty());
    }

    void homeOnAnEmptyPage_sendsNothing()
    {
        TextFixture f;
        QVERIFY(keyTaken(f.panel, Qt::Key_Home));
        QVERIFY(f.host.sent.isEmpty());
        QCOMPARE(f.listKindChanges, 0);
        QCOMPARE(f.host.state().Options.value("TextPos"), QByteArray("B"));
    }

    void pageForTheBuffer_goesIntoTheBuffer_pageShownStays()
    {
        TextFixture f;
        f.panel->onCT_W(page(entry("one", 1) + entry(" two", 0)));
        f.panel->B_Buf2_Text->click();   // nothing marked: the page for the buffer
        QCOMPARE(f.host.state().Options.value("PrintText"), QByteArray("1F"));
        QCOMPARE(f.host.sent.last(), f.expected("CT_W", 1));

        f.panel->onCT_W(page(entry("x", 5) + entry(" y", 0) + entry("`z", 7), "P"));
        QCOMPARE(f.bufferLines(), QList<QByteArray>({"x y", "z", ru("Название текста \"P\"")}));
        QCOMPARE(f.panel->view().labels.size(), qsizetype(2));
        QCOMPARE(f.panel->view().labels[0].text, QByteArray("one"));
        QVERIFY(f.panel->B_BufShow_Text->font().bold());
        QCOMPARE(f.host.state().Options.value("PrintText"), QByteArray("False"));
    }

    void markedWords_shiftAndCtrl_oneLinePerRow()
    {
        TextFixture f;
        f.panel->onCT_W(page(entry("ab", 1) + entry(" cd", 2) + entry("`ef", 3) + entry(" gh", 4)));
        f.click(0, Qt::ShiftModifier);
        f.click(1, Qt::ShiftModifier);
        f.click(3, Qt::ControlModifier);
        QCOMPARE(f.panel->B_Buf2_Text->text(), QStringLiteral("Сохранить фрагмент"));
        QCOMPARE(f.listKindChanges, 0);
        f.panel->B_Buf2_Text->click();
        QCOMPARE(f.bufferLines().mid(4), QList<QByteArray>({"ab cd", " gh"}));
        QCOMPARE(f.bufferLines()[1], ".... \"" + ru("Название текста \"T\"") + "\" .... - " + ru("(выделенные)"));
        QVERIFY(f.host.state().PendingFragment.isEmpty());
        QCOMPARE(f.panel->B_Buf2_Text->text(), QStringLiteral("Текст -> буфер"));
        QVERIFY(!f.panel->view().labels[0].marked);
        QVERIFY(f.host.sent.isEmpty());
    }

    void fullText_window_pagingAndEscape()
    {
        TextFixture f;
        f.panel->openTextOfLine(42);
        const tCConcPos &c = *f.host.state().CurrentConcPos;
        QCOMPARE(c.CurLine, 42);
        QCOMPARE(f.host.state().Options.value("LBC_T_End"), QByteArray("-1"));
        QCOMPARE(f.host.sent, QList<QByteArray>({f.expected("CT_T", 1)}));

        // A reply ending without "$$$": the last piece is dropped, no title.
        f.panel->onCT_T(ru("один$$$два$$$хвост"));
        QVERIFY(f.fullText->isVisible());
        QCOMPARE(f.fullText->Memo_Text->toPlainText(), QStringLiteral("один\nдва"));
        QVERIFY(f.fullText->L_TextName->text().isEmpty());
        QVERIFY(f.fullText->CB_FastListing->isChecked());
        // The caption names the text as the concordance page's LC_TextName does.
        QCOMPARE(f.fullText->windowTitle(), QStringLiteral("Название текста \"Н\""));

        QVERIFY(f.fullText->Memo_Text->extraSelections().isEmpty());   // no mark sent

        // The server says where the current word is: both memos paint it, the text
        // and the caret stay, and the option is not sent back.
        f.host.state().Options.set("TextMark", "1:4:5");
        f.panel->onCT_T(ru("кот и пёс$$$вот слово тут$$$Повесть$$$"));
        for (QPlainTextEdit *memo : {f.fullText->Memo_Text, f.panel->Memo_Text}) {
            const QList<QTextEdit::ExtraSelection> marks = memo->extraSelections();
            QCOMPARE(marks.size(), 1);
            QCOMPARE(marks[0].cursor.selectedText(), QStringLiteral("слово"));
            QCOMPARE(marks[0].format.background().color(), QColor(0, 255, 0));
            QCOMPARE(memo->toPlainText(), QStringLiteral("кот и пёс\nвот слово тут"));
        }
        QCOMPARE(f.fullText->Memo_Text->textCursor().position(), 0);
        QVERIFY(!f.host.state().Options.has("TextMark"));
        // The next page without the occurrence loses the paint; with no line chosen
        // the caption names no text.
        f.conc.textName.clear();
        f.panel->onCT_T(ru("дальше$$$Повесть$$$"));
        QVERIFY(f.fullText->Memo_Text->extraSelections().isEmpty());
        QVERIFY(f.fullText->windowTitle().isEmpty());

        QTest::keyClick(f.fullText->Memo_Text, Qt::Key_PageDown);
        QCOMPARE(f.host.state().Options.value("TextPos"), QByteArray("+"));
        QCOMPARE(f.host.sent.last(), f.expected("CT_T", 1));
        QTest::keyClick(f.fullText->Memo_Text, Qt::Key_Escape);
        QVERIFY(!f.fullText->isVisible());
        QVERIFY(!f.panel->isFastListing());
        QCOMPARE(f.contextShown, 1);
    }

    void fullText_hiddenWindow_hasTheRowsItShowsAndShowsWhole()
    {
        // The first page is asked for before the window was ever shown.
        FullTextWindow w;
        const int hiddenRows = w.rowsThatFit();
        QVERIFY(hiddenRows > 10);
        w.showText({QStringLiteral("x")}, QString(), QString(), 5000);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.rowsThatFit(), hiddenRows);
        QVERIFY(w.frameGeometry().bottom() <= w.screen()->availableGeometry().bottom());
        w.close();
    }

    void copyToBuffer_longExportQuestion_markedLines_emptying()
    {
        TextFixture f;
        f.subPage = textcore::SubPage::Context;
        tCConcPos &c = *f.host.state().CurrentConcPos;
        c.Level = 1;
        c.Found[1] = 1001;
        f.host.recordingUi.answer = false;
        f.panel->buffer().B_Buf2Click();
        QCOMPARE(f.host.recordingUi.questions,
                 QStringList{cp1251::decode(textcore::texts::longExportQuestion())});
        QCOMPARE(f.wordListClicks, 0);
        c.Found[1] = 1000;
        f.panel->buffer().B_Buf2Click();
        QCOMPARE(f.host.recordingUi.questions.size(), qsizetype(1));
        QCOMPARE(f.wordListClicks, 1);
        QCOMPARE(f.host.state().Options.value("PrintConc"), QByteArray("True"));

        // Two marked lines: the name line, the lines, the marks removed.
        textcore::PendingFragment &p = f.host.state().PendingFragment;
        p.text = "*";
        p.entries = {{"l1 c1 r1", 3, {}}, {"l2 c2 r2", 5, {}}};
        f.panel->buffer().B_Buf2Click();
        QCOMPARE(f.bufferLines(), QList<QByteArray>({".... \"" + ru("Н") + "\" ....",
                                                     "l1 c1 r1", "l2 c2 r2"}));
        QCOMPARE(f.unmarked, QList<int>({3, 5}));
        QVERIFY(p.isEmpty());

        // Emptying: asked only when there is something to empty.
        f.host.recordingUi.answer = true;
        QVERIFY(f.panel->buffer().B_BufCClick());
        QCOMPARE(f.host.recordingUi.questions.size(), qsizetype(2));
        QVERIFY(!f.panel->buffer().B_BufCClick());
        QCOMPARE(f.host.recordingUi.questions.size(), qsizetype(2));
        QVERIFY(!f.panel->B_BufShow_Text->isEnabled());
    }

    void bufferWindow_saveDialogStartsInAnExistingFolder_thenWhereTheLastSaveWent()
    {
        TextFixture f;
        QTemporaryDir dir;
        f.buffer->SD_InitialDir = dir.filePath(QStringLiteral("Documents"));   // never made
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        const QString path = dir.filePath(QStringLiteral("sub/b.txt"));
        QStringList folders;
        f.buffer->chooseFile = [&](QWidget *, const QString &folder) { folders.append(folder); return path; };
        f.host.state().Buffer.append(QByteArray("line"));
        f.buffer->B_SaveClick();
        f.buffer->B_SaveClick();
        QCOMPARE(folders, QStringList({dir.path(), dir.filePath(QStringLiteral("sub"))}));
    }

    void bufferWindow_savesAndReportsFailure()
    {
        TextFixture f;
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("b.txt"));
        f.buffer->chooseFile = [&path](QWidget *, const QString &) { return path; };
        f.host.state().Buffer.append(QByteArray("line"));
        f.buffer->B_SaveClick();                       // a new file: no question
        QVERIFY(f.host.recordingUi.questions.isEmpty());
        f.buffer->B_SaveClick();                       // OK: appended
        QCOMPARE(f.host.recordingUi.questions,
                 QStringList{cp1251::decode(textcore::texts::appendQuestion())});
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count("============="), 2);
        file.close();

        path = dir.filePath(QString(250, QLatin1Char('x')));   // no room for a temporary file
        QVERIFY(file.rename(path));
        f.buffer->B_SaveClick();
        QCOMPARE(f.host.recordingUi.messages,
                 QStringList{QStringLiteral("Ошибка сохранения информации\nНе удалось сохранить файл %1: "
                                            "слишком длинное имя файла")
                                 .arg(path)});
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count("============="), 2);
    }

    void bufferWindow_editsWrittenBack_exportWhileOpenKept()
    {
        TextFixture f;
        f.host.state().Buffer.append(QList<QByteArray>{"one", "two"});
        f.buffer->showBuffer();
        QVERIFY(QTest::qWaitForWindowExposed(f.buffer));
        QCOMPARE(f.buffer->LB->toPlainText(), QStringLiteral("one\ntwo"));
        QVERIFY(f.buffer->B_Save->isEnabled());
        f.buffer->LB->moveCursor(QTextCursor::End);
        QTest::keyClicks(f.buffer->LB, QStringLiteral("!"));
        f.host.state().Buffer.append(QByteArray("export"));
        QVERIFY(QTest::qWaitFor([&] { return f.buffer->LB->toPlainText().endsWith(QStringLiteral("export")); }));
        QTest::keyClick(f.buffer->LB, Qt::Key_Escape);
        QVERIFY(!f.buffer->isVisible());
        QCOMPARE(f.bufferLines(), QList<QByteArray>({"one", "two!", "export"}));
        // Opened again after a rewritten line and another export: only the lines
        // from the rewritten one on are loaded again, and they read right.
        f.host.state().Buffer.setLine(1, "TWO");
        f.host.state().Buffer.append(QByteArray("more"));
        f.buffer->showBuffer();
        QCOMPARE(f.buffer->LB->toPlainText(), QStringLiteral("one\nTWO\nexport\nmore"));
    }

    // The keeper writes the lines as they are, CR LF after each, on the turn after
    // they change; emptying the buffer empties the file.
    void keeper_writesTheLinesAsTheyChange()
    {
        QTemporaryDir dir;
        textcore::Buffer buffer;
        BufferKeeper keeper(buffer, dir.path() + QLatin1Char('/'));
        const QString path = dir.filePath(QStringLiteral("Buffer.txt"));
        QCOMPARE(keeper.path(), path);
        buffer.append(QByteArray("before"));   // not kept yet: nothing written
        keeper.restore();
        QVERIFY(keeper.writePending());
        QTRY_COMPARE_WITH_TIMEOUT(fileBytes(path), QByteArray("before\r\n"), 10000);
        buffer.append(QList<QByteArray>{ru("Дом"), QByteArray(), "x y"});
        QTRY_COMPARE_WITH_TIMEOUT(fileBytes(path), QByteArray("before\r\n\xc4\xee\xec\r\n\r\nx y\r\n"), 10000);
        buffer.setLine(0, "B");
        QTRY_COMPARE_WITH_TIMEOUT(fileBytes(path), QByteArray("B\r\n\xc4\xee\xec\r\n\r\nx y\r\n"), 10000);
        buffer.clear();
        QTRY_VERIFY_WITH_TIMEOUT(!keeper.writePending(), 10000);
        QVERIFY(QFile::exists(path));
        QCOMPARE(fileBytes(path), QByteArray());
        QCOMPARE(keeper.lastError(), QString());
    }

    // However many changes one turn of the loop brings, the file is written once;
    // the changes of the turns after it again once.
    void keeper_manyLinesAtOnce_oneWrite()
    {
        QTemporaryDir dir;
        textcore::Buffer buffer;
        BufferKeeper keeper(buffer, dir.path() + QLatin1Char('/'));
        QList<qsizetype> written;   // the size of each write
        keeper.setWriter([&written](const QString &path, const QByteArray &bytes) {
            written.append(bytes.size());
            return platform::writeFileAtomically(path, bytes);
        });
        keeper.restore();
        for (int i = 0; i < 242000; ++i)
            buffer.append(QByteArray("line"));
        QTRY_VERIFY_WITH_TIMEOUT(!keeper.writePending(), 10000);
        QCOMPARE(written, QList<qsizetype>{242000 * 6});
        for (int i = 0; i < 1000; ++i)
            buffer.append(QByteArray("more"));
        QTRY_VERIFY_WITH_TIMEOUT(!keeper.writePending(), 10000);
        QCOMPARE(written, (QList<qsizetype>{242000 * 6, 243000 * 6}));
        QCOMPARE(QFileInfo(keeper.path()).size(), 243000 * 6);
    }

    // What is pending when the keeper goes (the program ends) reaches the disk.
    void keeper_pendingLinesWrittenWhenItGoes()
    {
        QTemporaryDir dir;
        textcore::Buffer buffer;
        auto keeper = std::make_unique<BufferKeeper>(buffer, dir.path() + QLatin1Char('/'));
        keeper->restore();
        buffer.append(QList<QByteArray>{"one", "two"});
        QVERIFY(keeper->writePending());
        keeper.reset();
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("Buffer.txt"))), QByteArray("one\r\ntwo\r\n"));
        buffer.append(QByteArray("three"));   // no observer left behind
    }

    void keeper_failedWriteIsReported()
    {
        QTemporaryDir dir;
        textcore::Buffer buffer;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Buffer.txt")));   // cannot be replaced
        BufferKeeper keeper(buffer, dir.path() + QLatin1Char('/'));
        QSignalSpy failed(&keeper, &BufferKeeper::writeFailed);
        keeper.restore();
        buffer.append(QByteArray("line"));
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 10000);
        QVERIFY(!keeper.lastError().isEmpty());
        QCOMPARE(buffer.lines(), QList<QByteArray>{"line"});
    }

    // A set-up of the page leaves the buffer's lines alone and asks, once the set-up
    // is over, whether to empty them; No is the default, and no question (a hidden
    // window, nothing collected) keeps them.
    void reset_asksBeforeEmptyingTheBuffer_data()
    {
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("questions");
        QTest::addColumn<QList<QByteArray>>("after");
        const QList<QByteArray> two{"one", "two"};
        const QStringList asked{QStringLiteral("В буфере остались собранные строки (2). Очистить буфер?")};
        QTest::newRow("no: kept") << two << true << false << asked << two;
        QTest::newRow("yes: emptied") << two << true << true << asked << QList<QByteArray>();
        QTest::newRow("hidden: kept") << two << false << true << QStringList() << two;
        QTest::newRow("nothing to ask") << QList<QByteArray>() << true << true << QStringList() << QList<QByteArray>();
    }

    void reset_asksBeforeEmptyingTheBuffer()
    {
        QFETCH(QList<QByteArray>, lines);
        QFETCH(bool, shown);
        QFETCH(bool, answer);
        QFETCH(QStringList, questions);
        QFETCH(QList<QByteArray>, after);
        TextFixture f;
        f.host.state().Buffer.append(lines);
        f.host.state().PendingFragment.text = "*";
        f.host.recordingUi.answer = answer;
        if (!shown)
            f.top.hide();
        f.panel->reset();
        f.panel->reset();   // a second set-up before the question: asked once
        QVERIFY(f.host.state().PendingFragment.isEmpty());
        QCOMPARE(f.bufferLines(), lines);
        QVERIFY(f.host.recordingUi.questions.isEmpty());
        bool turned = false;   // queued after the question: it has been asked by then
        QTimer::singleShot(0, [&turned] { turned = true; });
        QTRY_VERIFY_WITH_TIMEOUT(turned, 10000);
        QCOMPARE(f.host.recordingUi.questions, questions);
        QCOMPARE(f.host.recordingUi.defaultNo, questions);
        QCOMPARE(f.bufferLines(), after);
        QCOMPARE(f.panel->B_BufShow_Text->isEnabled(), !(answer && !questions.isEmpty()));
    }

    void mainWindow_textRequestAndPageThroughTheChannel()
    {
        WebSession s;
        QVERIFY(s.registerWith(RegisteredBody));
        TextPanel *panel = s.form->panels().text;
        SessionState &state = s.form->state();
        const int seen = int(s.peer.requests().size());
        panel->requestText();
        QVERIFY(s.peer.waitForRequest(5000, seen));
        tCConcPos c = *state.CurrentConcPos;
        QCOMPARE(s.peer.requests().mid(seen).join(),
                 requests::wire("CT_W", requests::concDictParams(c, state.DictPosList.first().pos, state.Options)));
        s.peer.replyFramed("CT_W", withOptions("1=2", page(entry("a", 3) + entry(" b", 0))));
        QVERIFY(QTest::qWaitFor([&] { return panel->view().labels.size() == 2; }));
        QVERIFY(panel->view().labels[1].current());
    }
};

QTEST_MAIN(TstTextView)
#include "tst_text_view.moc"
