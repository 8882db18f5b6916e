// The platform stand-ins: the profile reader, the start-signal store and check, and
// the folder search.
#include "model/Cp1251.h"
#include "platform/FileSearch.h"
#include "platform/PrivateProfile.h"
#include "platform/StartSignal.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "support/TestFiles.h"

using platform::PrivateProfile;
using platform::StartSignal;
using platform::StartSignalStore;

namespace {


// A store whose every attempt fails, or whose reads fail while the key exists.
class FailingStore : public StartSignalStore {
public:
    FailingStore() : StartSignalStore(QString()) {}
    bool keyExists() const override { return true; }
    std::optional<QString> readStarted() const override
    {
        ++reads;
        return std::nullopt;
    }
    bool writeStarted(const QString &) override
    {
        ++writes;
        return false;
    }
    mutable int reads = 0;
    int writes = 0;
};

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Profile reader
    void absentFile_givesDefaults();
    void directoryInPlaceOfFile_isUnreadable();
    void namesCompareWithoutCase_latinAndCyrillic();
    void upperCase_agreesWithCodePageForEveryByte();
    void value_isTrimmedAndLosesMatchingQuotes_data();
    void value_isTrimmedAndLosesMatchingQuotes();
    void emptyValue_isNotTheDefault_keyWithoutEquals_is();
    void firstSectionAndFirstKeyWin_linesOutsideSectionsIgnored();
    void default_losesTrailingBlanks();
    void read_seesLaterChangesOfTheFile();
    void byteOrderMark_doesNotSpoilFirstLine();

    // Start signal
    void store_followsConfigHome();
    void reset_deletesFileAndWritesFalse();
    void tick_startedByFileOrByStoreTrue();
    void tick_withoutKey_countsNoAttempt();
    void signalStarted_isSeenByTheNextTick();
    void reset_givesUpAfterHundredAttempts();
    void reset_directoryInPlaceOfStore_fails();
    void tick_failingReads_thousandPerTick_thenGivesUp();
    void tick_givesUpOnlyPastTheBound();

    // Folder search
    void search_foldersSortedThenPatternsInOrder();
    void search_kindSelectsFilesOrFolders();
    void search_symlinkLoop_ends();

private:
    std::unique_ptr<QTemporaryDir> m_home;
    QString m_dir;
};

void TestPlatform::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    m_dir = m_home->path() + QStringLiteral("/");
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir + QStringLiteral("data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir + QStringLiteral("config")));
}

void TestPlatform::cleanup()
{
    m_home.reset();
}

void TestPlatform::absentFile_givesDefaults()
{
    PrivateProfile p(m_dir + QStringLiteral("none.ini"));
    QCOMPARE(p.status(), PrivateProfile::Status::Absent);
    QVERIFY(!p.isUnreadable());
    QCOMPARE(p.value("1", "IP", "LOCAL"), QByteArray("LOCAL"));
}

void TestPlatform::directoryInPlaceOfFile_isUnreadable()
{
    QVERIFY(QDir().mkpath(m_dir + QStringLiteral("Cnfg.ini")));
    PrivateProfile p(m_dir + QStringLiteral("Cnfg.ini"));
    QCOMPARE(p.status(), PrivateProfile::Status::Unreadable);
    QVERIFY(!p.errorString().isEmpty());
    QCOMPARE(p.value("1", "IP", "LOCAL"), QByteArray("LOCAL"));
}

void TestPlatform::namesCompareWithoutCase_latinAndCyrillic()
{
    const QByteArray text = "[Main]\r\nip=WEB\r\n[" + cp1251::ru("Раздел") + "]\r\n"
        + cp1251::ru("текстпроза") + "=1\r\n" + cp1251::ru("ёЖИК") + "=2\r\n"
        + cp1251::ru("Їжак") + "=3\r\n";
    const PrivateProfile p = PrivateProfile::fromBytes(text);
    QCOMPARE(p.value("MAIN", "IP"), QByteArray("WEB"));
    QCOMPARE(p.value("main", "Ip"), QByteArray("WEB"));
    QCOMPARE(p.value(cp1251::ru("РАЗДЕЛ"), cp1251::ru("ТекстПроза")), QByteArray("1"));
    QCOMPARE(p.value(cp1251::ru("раздел"), cp1251::ru("Ёжик")), QByteArray("2"));
    QCOMPARE(p.value(cp1251::ru("раздел"), cp1251::ru("їЖАК")), QByteArray("3"));
    // Е and Ё are different letters.
    QCOMPARE(p.value(cp1251::ru("раздел"), cp1251::ru("Ежик"), "none"), QByteArray("none"));
}

void TestPlatform::upperCase_agreesWithCodePageForEveryByte()
{
    for (int b = 0; b < 256; ++b) {
        const QByteArray byte(1, char(b));
        const QString upper = cp1251::decode(byte).toUpper();
        const QByteArray expected = cp1251::encode(upper);
        if (upper.size() != 1 || (expected == "?" && b != '?'))
            continue;   // the capital is not in the code page (µ, for one)
        QCOMPARE(PrivateProfile::upper1251(byte), expected);
    }
}

void TestPlatform::value_isTrimmedAndLosesMatchingQuotes_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("blanks") << QByteArray("K =  LOCAL \t") << QByteArray("LOCAL");
    QTest::newRow("inner blanks") << QByteArray("K=a  b") << QByteArray("a  b");
    QTest::newRow("double quotes") << QByteArray("K= \" a b \" ") << QByteArray(" a b ");
    QTest::newRow("single quotes") << QByteArray("K='x'") << QByteArray("x");
    QTest::newRow("empty quotes") << QByteArray("K=\"\"") << QByteArray();
    QTest::newRow("unmatched") << QByteArray("K=\"x'") << QByteArray("\"x'");
    QTest::newRow("lone quote") << QByteArray("K=\"") << QByteArray("\"");
    QTest::newRow("second equals") << QByteArray("K=a=b") << QByteArray("a=b");
    QTest::newRow("high bytes") << QByteArray("K=\xC4\xC0") << QByteArray("\xC4\xC0");
}

void TestPlatform::value_isTrimmedAndLosesMatchingQuotes()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, expected);
    const PrivateProfile p = PrivateProfile::fromBytes("[1]\n" + line + "\n");
    QCOMPARE(p.value("1", "K", "default"), expected);
}

void TestPlatform::emptyValue_isNotTheDefault_keyWithoutEquals_is()
{
    const PrivateProfile p = PrivateProfile::fromBytes("[1]\nIP=\nPort\n");
    QCOMPARE(p.value("1", "IP", "LOCAL"), QByteArray());
    QVERIFY(p.contains("1", "IP"));
    QCOMPARE(p.value("1", "Port", "1024"), QByteArray("1024"));
}

void TestPlatform::firstSectionAndFirstKeyWin_linesOutsideSectionsIgnored()
{
    const PrivateProfile p = PrivateProfile::fromBytes(
        "A=outside\n; A=comment\n[ 1 ]\nA=first\nA=second\n[bad\nB=in first\n"
        "[2]\nC=two\n[1]\nA=other\nD=later\n");
    QCOMPARE(p.value("1", "A"), QByteArray("first"));
    QCOMPARE(p.value("1", "B"), QByteArray("in first"));
    QCOMPARE(p.value("2", "C"), QByteArray("two"));
    // Only the first section named "1" is searched.
    QCOMPARE(p.value("1", "D", "def"), QByteArray("def"));
    QCOMPARE(p.value("", "A", "def"), QByteArray("def"));
}

void TestPlatform::default_losesTrailingBlanks()
{
    QCOMPARE(PrivateProfile().value("1", "X", " a b  "), QByteArray(" a b"));
}

void TestPlatform::read_seesLaterChangesOfTheFile()
{
    const QString path = m_dir + QStringLiteral("Cnfg.ini");
    writeFile(path, "[1]\nIP=one\n");
    QCOMPARE(PrivateProfile::read(path, "1", "IP", "d"), QByteArray("one"));
    writeFile(path, "[1]\nIP=two\n");
    QCOMPARE(PrivateProfile::read(path, "1", "IP", "d"), QByteArray("two"));
    QFile::remove(path);
    QCOMPARE(PrivateProfile::read(path, "1", "IP", "d"), QByteArray("d"));
}

void TestPlatform::byteOrderMark_doesNotSpoilFirstLine()
{
    const PrivateProfile p = PrivateProfile::fromBytes("\xEF\xBB\xBF[1]\r\nA=x");
    QCOMPARE(p.value("1", "A"), QByteArray("x"));
}

void TestPlatform::store_followsConfigHome()
{
    QCOMPARE(StartSignalStore::defaultPath(),
             m_dir + QStringLiteral("config/VELTA/registry.ini"));
}

void TestPlatform::reset_deletesFileAndWritesFalse()
{
    const QString folder = m_dir + QStringLiteral("data/VELTA/");
    writeFile(folder + QStringLiteral("Started"), "TRUE");
    auto store = std::make_shared<StartSignalStore>();
    QVERIFY(store->writeStarted(QStringLiteral("TRUE")));

    StartSignal signal(folder, store);
    QVERIFY(signal.reset());
    QCOMPARE(signal.attempts(), 1);
    QVERIFY(!QFile::exists(folder + QStringLiteral("Started")));
    QCOMPARE(store->readStarted(), std::optional<QString>(QStringLiteral("FALSE")));

    // Another program reading the store sees section VELTA, key Started.
    QSettings raw(StartSignalStore::defaultPath(), QSettings::IniFormat);
    QCOMPARE(raw.childGroups(), QStringList{QStringLiteral("VELTA")});
    QCOMPARE(raw.value(QStringLiteral("VELTA/Started")).toString(), QStringLiteral("FALSE"));
}

void TestPlatform::tick_startedByFileOrByStoreTrue()
{
    const QString folder = m_dir + QStringLiteral("data/VELTA/");
    QVERIFY(QDir().mkpath(folder));
    auto store = std::make_shared<StartSignalStore>();
    StartSignal signal(folder, store);
    QVERIFY(signal.reset());

    QCOMPARE(signal.tick(), StartSignal::TickResult::Waiting);
    QCOMPARE(signal.attempts(), 2);

    writeFile(folder + QStringLiteral("Started"), QByteArray());
    QCOMPARE(signal.tick(), StartSignal::TickResult::Started);

    QVERIFY(QFile::remove(folder + QStringLiteral("Started")));
    QCOMPARE(signal.tick(), StartSignal::TickResult::Waiting);
    QVERIFY(store->writeStarted(QStringLiteral("true")));   // only "TRUE" counts
    QCOMPARE(signal.tick(), StartSignal::TickResult::Waiting);
    QVERIFY(store->writeStarted(QStringLiteral("TRUE")));
    QCOMPARE(signal.tick(), StartSignal::TickResult::Started);
}

void TestPlatform::tick_withoutKey_countsNoAttempt()
{
    auto store = std::make_shared<StartSignalStore>();
    StartSignal signal(m_dir, store);
    QCOMPARE(signal.tick(), StartSignal::TickResult::Waiting);
    QCOMPARE(signal.attempts(), 0);

    // A store file without the section has no key either.
    writeFile(store->path(), "[Other]\nStarted=TRUE\n");
    QVERIFY(!store->keyExists());
    QCOMPARE(signal.tick(), StartSignal::TickResult::Waiting);
    QCOMPARE(signal.attempts(), 0);
}

void TestPlatform::signalStarted_isSeenByTheNextTick()
{
    const QString folder = m_dir + QStringLiteral("data/VELTA/");
    QVERIFY(QDir().mkpath(folder));
    StartSignal client(folder);
    QVERIFY(client.reset());
    QVERIFY(StartSignal::signalStarted(folder));
    QVERIFY(QFileInfo(folder + QStringLiteral("Started")).isFile());
    QCOMPARE(StartSignalStore().readStarted(), std::optional<QString>(QStringLiteral("TRUE")));
    QCOMPARE(client.tick(), StartSignal::TickResult::Started);

    // The store alone is enough.
    QVERIFY(QFile::remove(folder + QStringLiteral("Started")));
    QCOMPARE(client.tick(), StartSignal::TickResult::Started);
}

void TestPlatform::reset_givesUpAfterHundredAttempts()
{
    auto store = std::make_shared<FailingStore>();
    StartSignal signal(m_dir, store);
    int pauses = 0;
    signal.setRetryPause([&pauses] { ++pauses; });
    QVERIFY(!signal.reset());
    QCOMPARE(store->writes, StartSignal::ResetAttemptLimit);
    QCOMPARE(signal.attempts(), StartSignal::ResetAttemptLimit);
    QCOMPARE(pauses, StartSignal::ResetAttemptLimit);
}

void TestPlatform::reset_directoryInPlaceOfStore_fails()
{
    QVERIFY(QDir().mkpath(StartSignalStore::defaultPath()));
    auto store = std::make_shared<StartSignalStore>();
    QVERIFY(!store->keyExists());
    QVERIFY(!store->readStarted());
    StartSignal signal(m_dir, store);
    QVERIFY(!signal.reset());
    QCOMPARE(signal.attempts(), StartSignal::ResetAttemptLimit);
}

void TestPlatform::tick_failingReads_thousandPerTick_thenGivesUp()
{
    auto store = std::make_shared<FailingStore>();
    StartSignal signal(m_dir, store, StartSignal::ResetAttemptLimit);
    for (int tick = 1; tick <= 9; ++tick) {
        QCOMPARE(signal.tick(), StartSignal::TickResult::Waiting);
        QCOMPARE(signal.attempts(), 100 + tick * 1000);
    }
    QCOMPARE(store->reads, 9000);
    QCOMPARE(signal.tick(), StartSignal::TickResult::GaveUp);   // 10100 > 10000
}

void TestPlatform::tick_givesUpOnlyPastTheBound()
{
    auto store = std::make_shared<StartSignalStore>();
    QVERIFY(store->writeStarted(QStringLiteral("FALSE")));
    StartSignal signal(m_dir, store, StartSignal::GiveUpLimit - 1);
    QCOMPARE(signal.tick(), StartSignal::TickResult::Waiting);   // 10000
    QCOMPARE(signal.tick(), StartSignal::TickResult::GaveUp);    // 10001

    // A start seen on the last tick still counts as a start.
    QVERIFY(store->writeStarted(QStringLiteral("TRUE")));
    QCOMPARE(signal.tick(), StartSignal::TickResult::Started);
}

void TestPlatform::search_foldersSortedThenPatternsInOrder()
{
    const QString root = m_dir + QStringLiteral("root");
    const QString cover = QStringLiteral("Обложка.jpg");
    writeFile(root + QStringLiteral("/b/") + cover, "x");
    writeFile(root + QStringLiteral("/a/z/") + cover, "x");
    writeFile(root + QStringLiteral("/a/") + cover, "x");
    writeFile(root + QStringLiteral("/a/b.txt"), "x");
    writeFile(root + QStringLiteral("/a/a.txt"), "x");
    writeFile(root + QStringLiteral("/ОБЛОЖКА.JPG"), "x");
    writeFile(root + QStringLiteral("/other.jpg"), "x");

    const QStringList found = platform::searchFiles(root, cover + QStringLiteral(", *.txt"), 'F');
    const QString r = root + QStringLiteral("/");
    QCOMPARE(found, (QStringList{
                        r + QStringLiteral("ОБЛОЖКА.JPG"),
                        r + QStringLiteral("a/") + cover,
                        r + QStringLiteral("a/a.txt"),
                        r + QStringLiteral("a/b.txt"),
                        r + QStringLiteral("a/z/") + cover,
                        r + QStringLiteral("b/") + cover,
                    }));
    // The same with the root given with its trailing "/".
    QCOMPARE(platform::searchFiles(r, cover + QStringLiteral(",*.txt"), 'F'), found);
    QVERIFY(platform::searchFiles(r + QStringLiteral("missing"), cover, 'F').isEmpty());
    QVERIFY(platform::searchFiles(r, QStringLiteral(" , "), 'F').isEmpty());
}

void TestPlatform::search_kindSelectsFilesOrFolders()
{
    const QString r = m_dir + QStringLiteral("root/");
    writeFile(r + QStringLiteral("help/x.hlp"), "x");
    writeFile(r + QStringLiteral("helpfile"), "x");
    const QString pattern = QStringLiteral("help*");
    QCOMPARE(platform::searchFiles(r, pattern, 'D'), QStringList{r + QStringLiteral("help")});
    QCOMPARE(platform::searchFiles(r, pattern, 'F'), QStringList{r + QStringLiteral("helpfile")});
    QCOMPARE(platform::searchFiles(r, pattern, ' '),
             (QStringList{r + QStringLiteral("help"), r + QStringLiteral("helpfile")}));
}

void TestPlatform::search_symlinkLoop_ends()
{
    const QString r = m_dir + QStringLiteral("root/");
    writeFile(r + QStringLiteral("sub/f.jpg"), "x");
    QVERIFY(QFile::link(r, r + QStringLiteral("sub/loop")));
    QCOMPARE(platform::searchFiles(r, QStringLiteral("*.jpg"), 'F'),
             QStringList{r + QStringLiteral("sub/f.jpg")});
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
