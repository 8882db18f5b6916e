// The user guide inside the program: docs/guide itself (its links have their anchors,
// its pictures exist), the build's copy beside the program, and the main window's F1
// and "Помощь", which open the guide window with the guide and its pictures loaded,
// but not while a reply is awaited; a ".chm" still goes to the desktop.
#include "app/GuideWindow.h"
#include "app/Help.h"
#include "app/MainWindow.h"
#include "model/Cp1251.h"
#include "support/AppFixture.h"
#include "support/TestFiles.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

#ifndef LEXAR_GUIDE_DIR
#error "LEXAR_GUIDE_DIR names docs/guide (tests/CMakeLists.txt)"
#endif

namespace {

const QString GuideDir = QStringLiteral(LEXAR_GUIDE_DIR);
const QString Title = QStringLiteral("Lexar — руководство пользователя");

QString guideText()
{
    QFile f(GuideDir + QStringLiteral("/index.html"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QStringList captures(const QString &text, const QString &pattern)
{
    QStringList out;
    QRegularExpressionMatchIterator it = QRegularExpression(pattern).globalMatch(text);
    while (it.hasNext())
        out.append(it.next().captured(1));
    return out;
}

// The guide with its pictures in `root` + "help/", as the build puts it beside the
// program.
void copyGuide(const QString &root)
{
    QVERIFY(QDir().mkpath(root + QStringLiteral("help/img")));
    QVERIFY(QFile::copy(GuideDir + QStringLiteral("/index.html"), root + QStringLiteral("help/index.html")));
    const QStringList pictures = QDir(GuideDir + QStringLiteral("/img")).entryList({QStringLiteral("*.png")}, QDir::Files);
    QVERIFY(!pictures.isEmpty());
    for (const QString &p : pictures)
        QVERIFY(QFile::copy(GuideDir + QStringLiteral("/img/") + p, root + QStringLiteral("help/img/") + p));
}

// The anchor names the document holds.
QSet<QString> anchorsOf(const QTextDocument *doc)
{
    QSet<QString> names;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it)
            for (const QString &n : it.fragment().charFormat().anchorNames())
                names.insert(n);
    return names;
}

} // namespace

class TestHelpGuide : public QObject {
    Q_OBJECT
private slots:
    void guide_linksHaveAnchors_picturesExist();
    void buildCopy_isFoundBesideTheProgram();
    void f1_opensTheGuideWindow_withItsPictures();
    void helpItem_opensTheGuide_oneWindow();
    void f1_whileAReplyIsAwaited_opensNothing();
    void chmBeforeTheGuide_goesToTheDesktop();
    void noHelpFolder_itemDisabled();
};

void TestHelpGuide::guide_linksHaveAnchors_picturesExist()
{
    const QString html = guideText();
    QVERIFY(!html.isEmpty());
    QVERIFY(html.contains(QStringLiteral("<title>") + Title + QStringLiteral("</title>")));
    QVERIFY(html.contains(QStringLiteral("charset=utf-8")));
    // No scripts, no outside style sheets: Qt's rich text shows what is there.
    QVERIFY(!html.contains(QStringLiteral("<script"), Qt::CaseInsensitive));
    QVERIFY(!html.contains(QStringLiteral("<link"), Qt::CaseInsensitive));
    const QStringList names = captures(html, QStringLiteral("<a name=\"([^\"]+)\""));
    const QStringList links = captures(html, QStringLiteral("href=\"#([^\"]+)\""));
    QVERIFY(links.size() >= 10);
    for (const QString &l : links)
        QVERIFY2(names.contains(l), qPrintable(QStringLiteral("no anchor \"%1\"").arg(l)));
    // The contents at the top lead to every section.
    const qsizetype contents = html.indexOf(QStringLiteral("<h2>Содержание</h2>"));
    QVERIFY(contents > 0);
    const QString head = html.mid(contents, html.indexOf(QStringLiteral("</ol>"), contents) - contents);
    const QStringList sections = captures(html, QStringLiteral("<h2><a name=\"([^\"]+)\""));
    QVERIFY(sections.size() >= 15);
    for (const QString &s : sections)
        QVERIFY2(head.contains(QStringLiteral("href=\"#") + s + QLatin1Char('"')),
                 qPrintable(QStringLiteral("the contents lack \"%1\"").arg(s)));
    const QStringList pictures = captures(html, QStringLiteral("<img src=\"([^\"]+)\""));
    QVERIFY(pictures.size() >= 8);
    for (const QString &p : pictures) {
        QVERIFY2(p.startsWith(QStringLiteral("img/")) && QFile::exists(GuideDir + QLatin1Char('/') + p), qPrintable(p));
        QVERIFY2(!QImage(GuideDir + QLatin1Char('/') + p).isNull(), qPrintable(p));
    }
}

void TestHelpGuide::buildCopy_isFoundBesideTheProgram()
{
    const QString bin = QString::fromLocal8Bit(qgetenv("LEXAR_BIN_DIR"));
    if (bin.isEmpty())
        QSKIP("LEXAR_BIN_DIR is not set (run through ctest)");
    // The program's folder is its RootFolder unless Cnfg.ini says otherwise.
    const QString found = findHelpFile(bin + QLatin1Char('/'));
    QCOMPARE(found, bin + QStringLiteral("/help/index.html"));
    QCOMPARE(helpAction(found), HelpKind::Guide);
    QCOMPARE(fileBytes(found), fileBytes(GuideDir + QStringLiteral("/index.html")));
    for (const QString &p : QDir(GuideDir + QStringLiteral("/img")).entryList({QStringLiteral("*.png")}, QDir::Files))
        QVERIFY2(QFile::exists(bin + QStringLiteral("/help/img/") + p), qPrintable(p));
}

void TestHelpGuide::f1_opensTheGuideWindow_withItsPictures()
{
    TestHome home;
    copyGuide(home.path() + QLatin1Char('/'));
    RecordingUi ui;
    MainWindow form(home.config({"IP=127.0.0.1", "Port=1"}), ui);
    form.createSecondaryWindows();
    form.show();
    QVERIFY(form.helpFile().endsWith(QStringLiteral("/help/index.html")));
    QVERIFY(form.M_Help->isEnabled());
    QVERIFY(!form.guideWindow());

    QTest::keyClick(&form, Qt::Key_F1);
    GuideWindow *guide = form.guideWindow();
    QVERIFY(guide);
    QVERIFY(guide->isVisible());
    QVERIFY(!guide->isModal());
    QCOMPARE(guide->windowTitle(), Title);
    QCOMPARE(guide->file(), form.helpFile());
    QVERIFY(ui.opened.isEmpty());   // not handed to the desktop
    QTextBrowser *browser = guide->Browser;
    QCOMPARE(browser->documentTitle(), Title);
    QVERIFY(browser->toPlainText().contains(QStringLiteral("Содержание")));

    // The pictures: laid out, each is found beside the guide.
    QTextDocument *doc = browser->document();
    (void)doc->documentLayout()->documentSize();
    const QStringList pictures = captures(guideText(), QStringLiteral("<img src=\"([^\"]+)\""));
    QVERIFY(!pictures.isEmpty());
    for (const QString &p : pictures) {
        const QVariant image = doc->resource(QTextDocument::ImageResource, QUrl(p));
        QVERIFY2(!image.isNull(), qPrintable(p));
        QVERIFY2(!qvariant_cast<QImage>(image).isNull() || !qvariant_cast<QPixmap>(image).isNull(), qPrintable(p));
    }

    // The internal links: every one has its anchor in the document, and following
    // one moves the view there; "Содержание" goes back to the top.
    const QSet<QString> anchors = anchorsOf(doc);
    for (const QString &l : captures(guideText(), QStringLiteral("href=\"#([^\"]+)\"")))
        QVERIFY2(anchors.contains(l), qPrintable(l));
    QCOMPARE(browser->verticalScrollBar()->value(), 0);
    // A click on "Клавиши" in the contents.
    int linkAt = -1;
    for (QTextBlock b = doc->begin(); b.isValid() && linkAt < 0; b = b.next())
        for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().anchorHref() == QStringLiteral("#keys")) {
                linkAt = it.fragment().position() + 1;
                break;
            }
    QVERIFY(linkAt > 0);
    QTextCursor link(doc);
    link.setPosition(linkAt);
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, browser->cursorRect(link).center());
    QTRY_VERIFY_WITH_TIMEOUT(browser->verticalScrollBar()->value() > 0, 30000);
    QCOMPARE(browser->documentTitle(), Title);   // the same document, further down
    QTRY_VERIFY_WITH_TIMEOUT(guide->B_Back->isEnabled(), 30000);
    guide->B_Contents->click();
    QTRY_COMPARE_WITH_TIMEOUT(browser->verticalScrollBar()->value(), 0, 30000);

    // F1 again brings the same window forward.
    guide->hide();
    QTest::keyClick(&form, Qt::Key_F1);
    QCOMPARE(form.guideWindow(), guide);
    QVERIFY(guide->isVisible());
    QVERIFY(ui.messages.isEmpty());
}

void TestHelpGuide::helpItem_opensTheGuide_oneWindow()
{
    TestHome home;
    copyGuide(home.path() + QLatin1Char('/'));
    RecordingUi ui;
    MainWindow form(home.config({"IP=127.0.0.1", "Port=1"}), ui);
    form.createSecondaryWindows();
    form.show();
    QCOMPARE(form.M_Help->text(), QStringLiteral("Помощь"));
    form.M_Help->trigger();
    GuideWindow *guide = form.guideWindow();
    QVERIFY(guide && guide->isVisible());
    QCOMPARE(guide->Browser->documentTitle(), Title);
    guide->B_Close->click();
    QVERIFY(!guide->isVisible());
    form.M_Help->trigger();
    QCOMPARE(form.guideWindow(), guide);
    QVERIFY(guide->isVisible());
    QCOMPARE(form.findChildren<GuideWindow *>().size(), 1);
    QVERIFY(ui.opened.isEmpty());
}

void TestHelpGuide::f1_whileAReplyIsAwaited_opensNothing()
{
    TestHome home;
    copyGuide(home.path() + QLatin1Char('/'));
    RecordingUi ui;
    MainWindow form(home.config({"IP=127.0.0.1", "Port=1"}), ui);
    form.createSecondaryWindows();
    form.show();
    form.state().PendingRequest = cp1251::ru("Запрос не завершён");
    form.state().idleForKeys = false;
    QTest::keyClick(&form, Qt::Key_F1);
    QVERIFY(!form.guideWindow());
    QVERIFY(ui.opened.isEmpty());
    form.state().PendingRequest.clear();
    form.state().idleForKeys = true;
    QTest::keyClick(&form, Qt::Key_F1);
    QVERIFY(form.guideWindow() && form.guideWindow()->isVisible());
}

void TestHelpGuide::chmBeforeTheGuide_goesToTheDesktop()
{
    TestHome home;
    copyGuide(home.path() + QLatin1Char('/'));
    writeFile(home.path() + QStringLiteral("/help/lexar.chm"), "x");
    RecordingUi ui;
    MainWindow form(home.config({"IP=127.0.0.1", "Port=1"}), ui);
    form.createSecondaryWindows();
    form.show();
    QVERIFY(form.helpFile().endsWith(QStringLiteral("/help/lexar.chm")));
    QTest::keyClick(&form, Qt::Key_F1);
    QCOMPARE(ui.opened, QStringList{form.helpFile()});
    QVERIFY(!form.guideWindow());
}

void TestHelpGuide::noHelpFolder_itemDisabled()
{
    TestHome home;
    RecordingUi ui;
    MainWindow form(home.config({"IP=127.0.0.1", "Port=1"}), ui);
    form.createSecondaryWindows();
    form.show();
    QVERIFY(form.helpFile().isEmpty());
    QVERIFY(!form.M_Help->isEnabled());
    QTest::keyClick(&form, Qt::Key_F1);
    QVERIFY(!form.guideWindow());
    QVERIFY(ui.opened.isEmpty());
}

QTEST_MAIN(TestHelpGuide)
#include "tst_help_guide.moc"
