// Configuration at start-up (Cnfg.ini, derived folders, local server, start-signal
// reset) and the help lookup.
#include "session/Config.h"
#include "wire/ReplyReader.h"
#include "app/Help.h"
#include "model/Cp1251.h"
#include "platform/StartSignal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QtTest>

#include "support/TestFiles.h"

Q_DECLARE_METATYPE(HelpKind)

using platform::StartSignal;
using platform::StartSignalStore;

namespace {


bool anyFont(const QString &)
{
    return true;
}

} // namespace

class TestConfig : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void absentIni_everyDefault_localMode();
    void unreadableIni_breakMode_defaults_noReset();
    void ip_selectsMode_data();
    void ip_selectsMode();
    void keys_caseInsensitive_valuesExact();
    void cyrillicKeys_in1251();
    void defaultSize_data();
    void defaultSize();
    void defaultFont_unknownBecomesArial();
    void dst_data();
    void dst();
    void test_caseInsensitiveYes_data();
    void test_caseInsensitiveYes();
    void rootS_gainsItsSeparator();
    void animation_nameAndPlayFlag();
    void rawKeys_andReadKeyRereadsFile();
    void configFolderVariable_movesOnlyCnfgIni();
    void localServer_candidatesInOrder();
    void localMode_resetsStartSignal_webModeLeavesIt();
    void coverPicture_firstMatchBelowRoot();

    void help_prefersHlpOverChm();
    void help_lookupOrder_data();
    void help_lookupOrder();
    void help_action();

private:
    Config load() { return Config::load(m_exe, m_cwd, anyFont); }
    void writeIni(const QByteArray &body) { writeFile(m_exe + QStringLiteral("Cnfg.ini"), body); }

    std::unique_ptr<QTemporaryDir> m_home;
    QString m_dir;
    QString m_exe;   // the executable's folder, with "/"
    QString m_cwd;   // the current directory, with "/"
    QString m_userData;
};

void TestConfig::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    m_dir = m_home->path() + QStringLiteral("/");
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir + QStringLiteral("data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir + QStringLiteral("config")));
    m_exe = m_dir + QStringLiteral("bin/");
    m_cwd = m_dir + QStringLiteral("cwd/");
    m_userData = m_dir + QStringLiteral("data/VELTA/");
    QVERIFY(QDir().mkpath(m_exe));
    QVERIFY(QDir().mkpath(m_cwd));
}

void TestConfig::cleanup()
{
    m_home.reset();
}

void TestConfig::absentIni_everyDefault_localMode()
{
    const Config c = Config::load(m_dir + QStringLiteral("bin"), m_cwd, anyFont);
    QCOMPARE(c.ConnectionMode, QByteArray("LOCAL"));
    QVERIFY(c.isLocal());
    QVERIFY(!c.saveLogAlways);
    QVERIFY(!c.textProza);
    QVERIFY(c.animationName.isEmpty());
    QVERIFY(!c.playAnimation);
    QVERIFY(c.defaultFont.isEmpty());
    QCOMPARE(c.defaultFontSize, 8);
    QVERIFY(!c.testMode);
    QVERIFY(c.dst);
    QCOMPARE(c.RootFolder, m_exe);   // the executable's folder gains its "/"
    QCOMPARE(c.allowFullText, QByteArray("NO"));
    QCOMPARE(c.allowEmptySign, QByteArray("NO"));
    QCOMPARE(c.UserDataFolder, m_userData);
    QVERIFY(QFileInfo(m_userData).isDir());
    QCOMPARE(c.iniPath, m_exe + QStringLiteral("Cnfg.ini"));
    // Four numbers; the registration's version and the one written into every
    // concordance position must agree.
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$"))
                .match(QString::fromLatin1(c.versionText))
                .hasMatch());
    QVERIFY(c.versionText.startsWith(QByteArray(Config::ClientVersion) + '.'));
    QCOMPARE(QByteArray(Config::ClientVersion), QByteArray(replyreader::ClientVersionText));
    QCOMPARE(c.filterColor, (RgbColor{166, 202, 240}));
    QVERIFY(c.LocalServerName.isEmpty());
    QVERIFY(c.LocalServerFile.isEmpty());
    QCOMPARE(c.readKey("Port", "1024"), QByteArray("1024"));
}

void TestConfig::unreadableIni_breakMode_defaults_noReset()
{
    // Tests run as root, so a directory stands for a file that cannot be read.
    QVERIFY(QDir().mkpath(m_exe + QStringLiteral("Cnfg.ini")));
    writeFile(m_userData + QStringLiteral("Started"), "TRUE");
    const Config c = load();
    QCOMPARE(c.ConnectionMode, QByteArray("BREAK"));
    QVERIFY(c.isBreak());
    QCOMPARE(c.defaultFontSize, 8);
    QVERIFY(c.dst);
    QCOMPARE(c.RootFolder, m_exe);
    QCOMPARE(c.readKey("IP", "x"), QByteArray("x"));
    // Only the local mode resets the start signal.
    QVERIFY(QFile::exists(m_userData + QStringLiteral("Started")));
    QCOMPARE(c.startSignalAttempts, 0);
}

void TestConfig::ip_selectsMode_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QByteArray>("mode");
    QTest::newRow("no IP") << QByteArray("[1]\nPort=7\n") << QByteArray("LOCAL");
    QTest::newRow("no section 1") << QByteArray("[2]\nIP=WEB\n") << QByteArray("LOCAL");
    QTest::newRow("LOCAL") << QByteArray("[1]\nIP=LOCAL\n") << QByteArray("LOCAL");
    QTest::newRow("blanks trimmed") << QByteArray("[1]\nIP= LOCAL \n") << QByteArray("LOCAL");
    QTest::newRow("quoted") << QByteArray("[1]\nIP=\"LOCAL\"\n") << QByteArray("LOCAL");
    QTest::newRow("lower case") << QByteArray("[1]\nIP=local\n") << QByteArray("WEB");
    QTest::newRow("address") << QByteArray("[1]\nIP=127.0.0.1\n") << QByteArray("WEB");
    QTest::newRow("empty value") << QByteArray("[1]\nIP=\n") << QByteArray("WEB");
}

void TestConfig::ip_selectsMode()
{
    QFETCH(QByteArray, ini);
    QFETCH(QByteArray, mode);
    writeIni(ini);
    QCOMPARE(load().ConnectionMode, mode);
}

void TestConfig::keys_caseInsensitive_valuesExact()
{
    writeIni("[1]\r\nip=10.0.0.1\r\ncllog=YES\r\ntextproza=YES\r\ndefaultsize=11\r\n");
    Config c = load();
    QCOMPARE(c.ConnectionMode, QByteArray("WEB"));
    QCOMPARE(c.readKey("IP"), QByteArray("10.0.0.1"));
    QVERIFY(c.saveLogAlways);
    QVERIFY(c.textProza);
    QCOMPARE(c.defaultFontSize, 11);

    writeIni("[1]\nCLLOG=yes\nTextProza=yes\n");
    c = load();
    QVERIFY(!c.saveLogAlways);
    QVERIFY(!c.textProza);
}

void TestConfig::cyrillicKeys_in1251()
{
    writeIni("[1]\n" + cp1251::ru("текстпроза=ДА\n"));
    QVERIFY(load().textProza);
    writeIni("[1]\n" + cp1251::ru("ТекстПроза=да\n"));
    QVERIFY(!load().textProza);
    // "TextProza" other than "YES" leaves the Russian key to decide.
    writeIni("[1]\nTextProza=NO\n" + cp1251::ru("ТекстПроза=ДА\n"));
    QVERIFY(load().textProza);
    // The same words in UTF-8 are not the 1251 key.
    writeIni(QByteArray("[1]\n") + "ТекстПроза=ДА\n");
    QVERIFY(!load().textProza);
}

void TestConfig::defaultSize_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("size");
    QTest::newRow("number") << QByteArray("12") << 12;
    QTest::newRow("blanks") << QByteArray(" 10 ") << 10;
    QTest::newRow("letters") << QByteArray("abc") << 8;
    QTest::newRow("trailing letters") << QByteArray("12pt") << 8;
    QTest::newRow("empty") << QByteArray() << 8;
    QTest::newRow("zero") << QByteArray("0") << 8;
    QTest::newRow("negative") << QByteArray("-3") << 8;
    QTest::newRow("overflow") << QByteArray("99999999999") << 8;
}

void TestConfig::defaultSize()
{
    QFETCH(QByteArray, value);
    QFETCH(int, size);
    writeIni("[1]\nDEFAULTSIZE=" + value + "\n");
    QCOMPARE(load().defaultFontSize, size);
}

void TestConfig::defaultFont_unknownBecomesArial()
{
    QStringList asked;
    const auto only = [&asked](const QString &name) {
        asked.append(name);
        return name == QStringLiteral("Курьер");
    };
    writeIni("[1]\nDEFAULT=" + cp1251::ru("Курьер") + "\n");
    QCOMPARE(Config::load(m_exe, m_cwd, only).defaultFont, QStringLiteral("Курьер"));
    writeIni("[1]\nDEFAULT=NoSuchFace\n");
    QCOMPARE(Config::load(m_exe, m_cwd, only).defaultFont, QStringLiteral("Arial"));
    writeIni("[1]\nDEFAULT=\n");
    asked.clear();
    QVERIFY(Config::load(m_exe, m_cwd, only).defaultFont.isEmpty());
    QVERIFY(asked.isEmpty());
}

void TestConfig::dst_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("dst");
    QTest::newRow("default") << QByteArray() << true;
    QTest::newRow("YES") << QByteArray("DST=YES\n") << true;
    QTest::newRow("other") << QByteArray("DST=maybe\n") << true;
    QTest::newRow("NO") << QByteArray("DST=NO\n") << false;
    QTest::newRow("no") << QByteArray("DST=no\n") << false;
    QTest::newRow("NO, TPS NET") << QByteArray("DST=NO\n" + cp1251::ru("ТПС=НЕТ\n")) << true;
    QTest::newRow("NO, tps NET") << QByteArray("DST=NO\n" + cp1251::ru("тпс=НЕТ\n")) << true;
    // Cyrillic letters of the value are compared as they stand.
    QTest::newRow("NO, TPS net") << QByteArray("DST=NO\n" + cp1251::ru("ТПС=нет\n")) << false;
    QTest::newRow("NO, TPS DA") << QByteArray("DST=NO\n" + cp1251::ru("ТПС=ДА\n")) << false;
}

void TestConfig::dst()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, dst);
    writeIni("[1]\n" + ini);
    QCOMPARE(load().dst, dst);
}

void TestConfig::test_caseInsensitiveYes_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("on");
    QTest::newRow("yes") << QByteArray("yes") << true;
    QTest::newRow("Yes") << QByteArray("Yes") << true;
    QTest::newRow("YES") << QByteArray("YES") << true;
    QTest::newRow("True") << QByteArray("True") << false;
    QTest::newRow("DA") << cp1251::ru("ДА") << false;
}

void TestConfig::test_caseInsensitiveYes()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, on);
    writeIni("[1]\nTest=" + value + "\n");
    QCOMPARE(load().testMode, on);
}

void TestConfig::rootS_gainsItsSeparator()
{
    const QByteArray root = QFile::encodeName(m_dir + QStringLiteral("res"));
    writeIni("[1]\nRootS=" + root + "\nPlay=anim.gif\n");
    // Files that a raw prefix would find instead.
    writeFile(m_dir + QStringLiteral("reshelp/b.chm"), "x");
    writeFile(m_dir + QStringLiteral("resanim.gif"), "x");
    writeFile(m_dir + QStringLiteral("res/help/a.chm"), "x");
    writeFile(m_dir + QStringLiteral("res/anim.gif"), "x");
    const Config c = load();
    QCOMPARE(c.RootFolder, m_dir + QStringLiteral("res/"));
    QCOMPARE(findHelpFile(c.RootFolder), m_dir + QStringLiteral("res/help/a.chm"));
    QCOMPARE(c.animationFile(), m_dir + QStringLiteral("res/anim.gif"));

    // Windows separators become "/".
    writeIni("[1]\nRootS=" + root + "\\sub\\\n");
    QCOMPARE(load().RootFolder, m_dir + QStringLiteral("res/sub/"));
}

void TestConfig::animation_nameAndPlayFlag()
{
    writeFile(m_exe + QStringLiteral("anim.gif"), "x");

    writeIni("[1]\nPlay=anim.gif\n");
    Config c = load();
    QCOMPARE(c.animationName, QStringLiteral("anim.gif"));
    QVERIFY(!c.playAnimation);
    QCOMPARE(c.animationFile(), m_exe + QStringLiteral("anim.gif"));

    // A name that does not exist under RootFolder is dropped.
    writeIni("[1]\nPlay=missing.gif\n");
    c = load();
    QVERIFY(c.animationName.isEmpty());
    QVERIFY(c.animationFile().isEmpty());

    // The Russian key adds to "Play".
    writeIni("[1]\nPlay=anim\n" + cp1251::ru("Исполнять=.gif\n"));
    QCOMPARE(load().animationName, QStringLiteral("anim.gif"));

    // "YES" plays the designed animation; the name is kept as it is.
    writeIni("[1]\nPlay=YES\n");
    c = load();
    QVERIFY(c.playAnimation);
    QCOMPARE(c.animationName, QStringLiteral("YES"));

    writeIni("[1]\n" + cp1251::ru("Исполнять=ДА\n"));
    QVERIFY(load().playAnimation);
    writeIni("[1]\nPlay=yes\n");
    QVERIFY(!load().playAnimation);
}

void TestConfig::rawKeys_andReadKeyRereadsFile()
{
    writeIni("[1]\nIP=host.example\nAllowFullText= yes \nAllowEmptySign='YES'\n");
    const Config c = load();
    QCOMPARE(c.allowFullText, QByteArray("yes"));
    QCOMPARE(c.allowEmptySign, QByteArray("YES"));
    QCOMPARE(c.readKey("Port", "1024"), QByteArray("1024"));
    writeIni("[1]\nIP=other.example\nPort=2048\n");
    QCOMPARE(c.readKey("ip", "127.0.0.1"), QByteArray("other.example"));
    QCOMPARE(c.readKey("Port", "1024"), QByteArray("2048"));
    QCOMPARE(c.ConnectionMode, QByteArray("WEB"));
}

void TestConfig::configFolderVariable_movesOnlyCnfgIni()
{
    // An installed copy reads the user's own Cnfg.ini; the executable's folder still
    // gives RootFolder and the self-update's folder.
    writeIni("[1]\nIP=LOCAL\n");
    const QString own = m_dir + QStringLiteral("own");
    qputenv(Config::IniFolderVariable, QFile::encodeName(own));
    Config c = load();
    QCOMPARE(c.iniPath, own + QStringLiteral("/Cnfg.ini"));
    QVERIFY(c.isLocal());   // no file there yet: the defaults
    writeFile(own + QStringLiteral("/Cnfg.ini"), "[1]\nIP=10.0.0.1\nPort=2048\nTest=yes\n");
    c = load();
    qunsetenv(Config::IniFolderVariable);
    QVERIFY(c.isWeb());
    QVERIFY(c.testMode);
    QCOMPARE(c.readKey("Port", "1024"), QByteArray("2048"));
    QCOMPARE(c.exeFolder, m_exe);
    QCOMPARE(c.RootFolder, m_exe);
    // Unset again: beside the executable.
    QCOMPARE(load().iniPath, m_exe + QStringLiteral("Cnfg.ini"));
}

void TestConfig::localServer_candidatesInOrder()
{
    writeFile(m_cwd + QStringLiteral("VELTe.cxt"), "x");
    Config c = load();
    QCOMPARE(c.LocalServerName, QStringLiteral("VELTe"));
    QCOMPARE(c.LocalServerFile, QStringLiteral("VELTe.cxt"));
    QCOMPARE(c.LocalServerPath, m_cwd + QStringLiteral("VELTe.cxt"));

    // Looked up in the current directory, not beside the executable.
    writeFile(m_exe + QStringLiteral("Corvus.exe"), "x");
    QCOMPARE(load().LocalServerName, QStringLiteral("VELTe"));

    // A folder of that name is not the server.
    QVERIFY(QDir().mkpath(m_cwd + QStringLiteral("Corvus.exe")));
    QCOMPARE(load().LocalServerName, QStringLiteral("VELTe"));
    QVERIFY(QDir().rmdir(m_cwd + QStringLiteral("Corvus.exe")));

    writeFile(m_cwd + QStringLiteral("Corvus.exe"), "x");
    c = load();
    QCOMPARE(c.LocalServerName, QStringLiteral("Corvus"));
    QCOMPARE(c.LocalServerFile, QStringLiteral("Corvus.exe"));
    QCOMPARE(c.LocalServerPath, m_cwd + QStringLiteral("Corvus.exe"));
}

void TestConfig::localMode_resetsStartSignal_webModeLeavesIt()
{
    const QString started = m_userData + QStringLiteral("Started");
    StartSignalStore store;

    writeIni("[1]\nIP=remote\n");
    QVERIFY(StartSignal::signalStarted(m_userData));
    Config c = load();
    QVERIFY(QFile::exists(started));
    QCOMPARE(store.readStarted(), std::optional<QString>(QStringLiteral("TRUE")));
    QCOMPARE(c.startSignalAttempts, 0);

    writeIni("[1]\nIP=LOCAL\n");
    c = load();
    QVERIFY(!QFile::exists(started));
    QCOMPARE(store.readStarted(), std::optional<QString>(QStringLiteral("FALSE")));
    QVERIFY(c.startSignalReset);
    QCOMPARE(c.startSignalAttempts, 1);

    // The timer continues the same counter and sees the server's signal.
    StartSignal timer(c.UserDataFolder, nullptr, c.startSignalAttempts);
    QCOMPARE(timer.tick(), StartSignal::TickResult::Waiting);
    QCOMPARE(timer.attempts(), 2);
    QVERIFY(StartSignal::signalStarted(c.UserDataFolder));
    QCOMPARE(timer.tick(), StartSignal::TickResult::Started);
}

void TestConfig::coverPicture_firstMatchBelowRoot()
{
    QVERIFY(load().findCoverPicture().isEmpty());
    writeFile(m_exe + QStringLiteral("pics/b/Обложка.jpg"), "x");
    writeFile(m_exe + QStringLiteral("pics/a/Обложка.jpg"), "x");
    QCOMPARE(load().findCoverPicture(), m_exe + QStringLiteral("pics/a/Обложка.jpg"));
}

void TestConfig::help_prefersHlpOverChm()
{
    const QString root = m_dir + QStringLiteral("root/");
    QVERIFY(findHelpFile(root).isEmpty());
    writeFile(root + QStringLiteral("help/readme.txt"), "x");
    QVERIFY(findHelpFile(root).isEmpty());
    writeFile(root + QStringLiteral("help/b.chm"), "x");
    writeFile(root + QStringLiteral("help/a.chm"), "x");
    QCOMPARE(findHelpFile(root), root + QStringLiteral("help/a.chm"));
    writeFile(root + QStringLiteral("help/z.HLP"), "x");
    QCOMPARE(findHelpFile(root), root + QStringLiteral("help/z.HLP"));
    // A folder named like a help file is not one.
    QVERIFY(QDir().mkpath(root + QStringLiteral("help/a.hlp")));
    QCOMPARE(findHelpFile(root), root + QStringLiteral("help/z.HLP"));
}

// What the help folder holds (a name ending in "/" is a folder) and what the lookup
// takes: ".hlp" before ".chm" before the guide (".html" or ".htm"), each kind's first
// name in name order, any letter case; anything else is no help.
void TestConfig::help_lookupOrder_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("found");
    QTest::addColumn<HelpKind>("kind");
    const auto row = [](const char *tag, std::initializer_list<const char *> names, const char *found,
                        HelpKind kind) {
        QStringList entries;
        for (const char *n : names)
            entries.append(QString::fromUtf8(n));
        QTest::newRow(tag) << entries << QString::fromUtf8(found) << kind;
    };
    row("empty folder", {}, "", HelpKind::None);
    row("other files only", {"readme.txt", "guide.pdf", "notes.md", "img/"}, "", HelpKind::None);
    row("the guide", {"index.html", "img/"}, "index.html", HelpKind::Guide);
    row(".htm", {"guide.htm"}, "guide.htm", HelpKind::Guide);
    row("guides in name order", {"b.html", "A.HTML"}, "A.HTML", HelpKind::Guide);
    row(".html and .htm are one kind", {"b.html", "a.htm"}, "a.htm", HelpKind::Guide);
    row(".chm before the guide", {"index.html", "z.chm"}, "z.chm", HelpKind::HtmlHelp);
    row(".hlp before .chm and the guide", {"a.html", "b.chm", "c.HLP"}, "c.HLP", HelpKind::WinHelp);
    row("a folder is no guide", {"index.html/"}, "", HelpKind::None);
    row("a folder is passed over", {"a.html/", "b.html"}, "b.html", HelpKind::Guide);
}

void TestConfig::help_lookupOrder()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, found);
    QFETCH(HelpKind, kind);
    const QString root = m_dir + QStringLiteral("order/") + QString::fromLatin1(QTest::currentDataTag()) + QLatin1Char('/');
    QVERIFY(QDir().mkpath(root + QStringLiteral("help")));
    for (const QString &e : entries) {
        if (e.endsWith(QLatin1Char('/')))
            QVERIFY(QDir().mkpath(root + QStringLiteral("help/") + e));
        else
            writeFile(root + QStringLiteral("help/") + e, "x");
    }
    const QString file = findHelpFile(root);
    QCOMPARE(file, found.isEmpty() ? QString() : root + QStringLiteral("help/") + found);
    QCOMPARE(helpAction(file), kind);
}

void TestConfig::help_action()
{
    QCOMPARE(helpAction(QString()), HelpKind::None);
    QCOMPARE(helpAction(QStringLiteral("/r/help/x.txt")), HelpKind::None);
    QCOMPARE(helpAction(QStringLiteral("/r/help/x.hlp")), HelpKind::WinHelp);
    QCOMPARE(helpAction(QStringLiteral("/r/help/x.Chm")), HelpKind::HtmlHelp);
    // The upper-case form is searched, ".HLP" first.
    QCOMPARE(helpAction(QStringLiteral("/r/a.chm.hlp")), HelpKind::WinHelp);
    QCOMPARE(helpAction(QStringLiteral("/r/a.hlp.chm")), HelpKind::WinHelp);
    // The guide: its file name's ending decides, whatever the folders are called.
    QCOMPARE(helpAction(QStringLiteral("/r/help/index.html")), HelpKind::Guide);
    QCOMPARE(helpAction(QStringLiteral("/r/help/GUIDE.HTM")), HelpKind::Guide);
    QCOMPARE(helpAction(QStringLiteral("/r/old.chm/help/index.html")), HelpKind::Guide);
    QCOMPARE(helpAction(QStringLiteral("/r/help/index.html.bak")), HelpKind::None);
    QCOMPARE(helpAction(QStringLiteral("/r/help.html/")), HelpKind::None);
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
