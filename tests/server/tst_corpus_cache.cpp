// The on-disk cache of the index: reused while the corpus is unchanged, rebuilt
// when a file, the metadata, the file list, the morphology's data or the index
// format changes, and never trusted when it is damaged. Plus the errors for corpora that cannot be read, and the installed
// default corpus.
#include "corpus/Corpus.h"
#include "corpus/CorpusData.h"
#include "corpus/ImportReport.h"
#include "support/CorpusFixture.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <unistd.h>

using namespace corvus;
using corpusfixture::cp;
using corpusfixture::cpb;

namespace {

// Everything a query can see, as one byte string, to compare two loads.
QByteArray dump(const Corpus &c)
{
    QByteArray out;
    for (uint32_t i = 0; i < c.textCount(); ++i) {
        const TextInfo &t = c.text(i);
        out += t.author + '|' + t.title + '|' + t.source + '|' + QByteArray::number(t.yearFrom) + '-'
            + QByteArray::number(t.yearTo) + '|' + QByteArray::number(int(t.kind)) + '|'
            + QByteArray::number(t.firstToken) + '+' + QByteArray::number(t.tokenCount) + '\n';
        out += c.displayRange(t.firstToken, t.tokenCount) + '\n';
    }
    for (uint32_t t = 0; t < c.tokenCount(); ++t)
        out += QByteArray::number(c.formOf(t)) + ',' + QByteArray::number(c.lemmaOf(t)) + ','
            + QByteArray::number(c.tokenFlags(t)) + ';';
    for (const Lexicon *l : {&c.forms(), &c.lemmas()})
        for (uint32_t id = 0; id < l->size(); ++id)
            out += QByteArray(l->text(id).data(), qsizetype(l->text(id).size())) + ':'
                + QByteArray::number(l->count(id)) + ':' + QByteArray::number(l->reverseRank(id)) + ':'
                + QByteArray::number(l->frequencyRank(id)) + ':' + QByteArray::number(l->flags(id)) + ' ';
    return out;
}

QString onlyCacheFile(const QString &dir)
{
    const QStringList files = QDir(dir).entryList({QStringLiteral("*.idx")}, QDir::Files);
    return files.size() == 1 ? dir + QLatin1Char('/') + files.first() : QString();
}

} // namespace

class TstCorpusCache : public QObject {
    Q_OBJECT
private:
    QString m_root, m_cache;
    QTemporaryDir *m_tmp = nullptr;

    std::shared_ptr<const Corpus> load(QString *error = nullptr)
    {
        return corpusfixture::build({m_root}, m_cache, error);
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        m_tmp = new QTemporaryDir;
        m_root = m_tmp->path() + QStringLiteral("/corpus");
        m_cache = m_tmp->path() + QStringLiteral("/cache");
        corpusfixture::writeUtf8(m_root, QStringLiteral("prose/Автор/Первый.txt"), "Первый текст о столах.\n");
        corpusfixture::write1251(m_root, QStringLiteral("prose/Автор/Второй.txt"), "Второй текст, ёлки-палки!\n");
        corpusfixture::writeUtf8(m_root, QStringLiteral("prose/Автор/info.csv"), "name,year\nПервый,1900\n");
    }

    void cleanup()
    {
        delete m_tmp;
        m_tmp = nullptr;
    }

    void secondLoad_comesFromCacheWithTheSameContent()
    {
        auto cold = load();
        QVERIFY(cold);
        QVERIFY(!cold->stats().fromCache);
        QCOMPARE(cold->stats().cacheMiss, QStringLiteral("missing"));
        const QString file = onlyCacheFile(m_cache);
        QVERIFY(!file.isEmpty());
        QCOMPARE(cold->stats().cacheFile, file);

        auto warm = load();
        QVERIFY(warm);
        QVERIFY(warm->stats().fromCache);
        QCOMPARE(dump(*warm), dump(*cold));
        QCOMPARE(warm->summary(), cold->summary());
        QCOMPARE(warm->wordCount(), 7u);
        QVERIFY(warm->findForm(cp("ёлки-палки")) != kNone);
    }

    void changedFile_rebuilds()
    {
        QVERIFY(load());
        corpusfixture::writeUtf8(m_root, QStringLiteral("prose/Автор/Первый.txt"), "Первый текст о стульях.\n");
        auto c = load();
        QVERIFY(c);
        QVERIFY(!c->stats().fromCache);
        QCOMPARE(c->stats().cacheMiss, QStringLiteral("stale"));
        QVERIFY(c->findForm(cp("стульях")) != kNone);
        QCOMPARE(c->findForm(cp("столах")), kNone);
        QVERIFY(load()->stats().fromCache);
    }

    void sameSizeNewTime_rebuilds()
    {
        QVERIFY(load());
        const QString path = m_root + QStringLiteral("/prose/Автор/Первый.txt");
        corpusfixture::writeUtf8(m_root, QStringLiteral("prose/Автор/Первый.txt"), "Первый текст о слонах.\n");
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        f.close();
        auto c = load();
        QVERIFY(!c->stats().fromCache);
        QVERIFY(c->findForm(cp("слонах")) != kNone);
    }

    void sameSizeSameTime_edit_rebuilds()
    {
        // An edit that keeps the size and sets the modification time back (to the
        // millisecond, as copying tools and editors can) is noticed all the same.
        QVERIFY(load());
        const QString path = m_root + QStringLiteral("/prose/Автор/Первый.txt");
        const QFileInfo before(path);
        corpusfixture::writeUtf8(m_root, QStringLiteral("prose/Автор/Первый.txt"), "Первый текст о сливах.\n");
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(before.lastModified(), QFileDevice::FileModificationTime));
        f.close();
        const QFileInfo after(path);
        QCOMPARE(after.size(), before.size());
        QCOMPARE(after.lastModified(), before.lastModified());
        auto c = load();
        QVERIFY(!c->stats().fromCache);
        QVERIFY(c->findForm(cp("сливах")) != kNone);
    }

    void addedRemovedFileOrChangedInfo_rebuilds()
    {
        QVERIFY(load());
        corpusfixture::writeUtf8(m_root, QStringLiteral("prose/Другой/Третий.txt"), "Третий.\n");
        auto added = load();
        QVERIFY(!added->stats().fromCache);
        QCOMPARE(added->textCount(), 3u);

        QVERIFY(QFile::remove(m_root + QStringLiteral("/prose/Другой/Третий.txt")));
        auto removed = load();
        QVERIFY(!removed->stats().fromCache);
        QCOMPARE(removed->textCount(), 2u);

        corpusfixture::writeUtf8(m_root, QStringLiteral("prose/Автор/info.csv"), "name,year\nПервый,1901\n");
        auto info = load();
        QVERIFY(!info->stats().fromCache);
        QCOMPARE(info->text(1).title, cpb("Первый"));
        QCOMPARE(info->text(1).yearFrom, int16_t(1901));
        QCOMPARE(info->text(0).yearFrom, int16_t(0));
    }

    void damagedCache_isRebuiltNotTrusted()
    {
        auto cold = load();
        const QByteArray expected = dump(*cold);
        const QString file = onlyCacheFile(m_cache);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const qint64 size = f.size();
        // A flipped byte in the body.
        QVERIFY(f.seek(size / 2));
        char b;
        QVERIFY(f.getChar(&b));
        QVERIFY(f.seek(size / 2));
        QVERIFY(f.putChar(char(b ^ 0x5A)));
        f.close();
        auto flipped = load();
        QVERIFY(flipped);
        QVERIFY(!flipped->stats().fromCache);
        QCOMPARE(flipped->stats().cacheMiss, QStringLiteral("checksum"));
        QCOMPARE(dump(*flipped), expected);

        // Truncated.
        QVERIFY(QFile::resize(file, size - 9));
        auto truncated = load();
        QVERIFY(!truncated->stats().fromCache);
        QCOMPARE(dump(*truncated), expected);

        // Something else entirely.
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(100, 'x'));
        f.close();
        auto garbage = load();
        QVERIFY(!garbage->stats().fromCache);
        QCOMPARE(garbage->stats().cacheMiss, QStringLiteral("not a cache"));
        QVERIFY(load()->stats().fromCache);
    }

    // A start that may defer the full check skips it for a file sealed since it was
    // written; a copy, a file changed in place or a damaged seal gets it again, and
    // a copy that passed it is sealed for the next start.
    void seal_vouchesForTheFileAsWritten()
    {
        QVERIFY(load());
        const QString file = onlyCacheFile(m_cache);
        const QString seal = file + QStringLiteral(".seal");
        QVERIFY(QFileInfo::exists(seal));
        CorpusOptions quick;
        quick.paths = {m_root};
        quick.cacheDir = m_cache;
        quick.deferCheck = true;
        const auto deferred = [&] {
            auto c = Corpus::load(quick, nullptr);
            return c && c->stats().fromCache ? int(c->stats().checkDeferred) : -1;
        };
        QCOMPARE(deferred(), 0);

        // A copy put in its place: another file, though its bytes are the same.
        QVERIFY(QFile::copy(file, file + QStringLiteral(".copy")));
        QVERIFY(QFile::remove(file) && QFile::rename(file + QStringLiteral(".copy"), file));
        QCOMPARE(deferred(), 1);
        {
            auto c = Corpus::load(quick, nullptr);
            QVERIFY(c->recheck(nullptr));
            QVERIFY(c->sealCache());
        }
        QCOMPARE(deferred(), 0);

        // Written in place, the byte put back: a change within the file system's
        // clock tick would keep the times, so the test moves them on as any later
        // change would.
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const QByteArray first = f.read(1);
        QVERIFY(f.seek(0) && f.write(first) == 1);
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
        f.close();
        QCOMPARE(deferred(), 1);

        for (const QByteArray &bad : {QByteArray(), QByteArray(136, 'x'), QByteArray(137, '\0')}) {
            QVERIFY(Corpus::load(quick, nullptr)->sealCache());
            QCOMPARE(deferred(), 0);
            QFile s(seal);
            QVERIFY(s.open(QIODevice::WriteOnly | QIODevice::Truncate) && s.write(bad) == bad.size());
            s.close();
            QCOMPARE(deferred(), 1);
        }
        QVERIFY(Corpus::removeCache(file));
        QVERIFY(!QFileInfo::exists(file) && !QFileInfo::exists(seal));
    }

    void oldFormatCache_isRebuiltAndSaysSo()
    {
        QVERIFY(load());
        QFile f(onlyCacheFile(m_cache));
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek(8));   // the format version, after the 8 bytes of the magic
        const uint32_t older = kIndexFormatVersion - 1;
        QCOMPARE(f.write(reinterpret_cast<const char *>(&older), 4), qint64(4));
        f.close();
        auto c = load();
        QVERIFY(c);
        QVERIFY(!c->stats().fromCache);
        QCOMPARE(c->stats().cacheMiss, QStringLiteral("old format"));
        QCOMPARE(cacheMissNote(c->stats().cacheMiss),
                 QStringLiteral("Кэш индекса записан прежней версией сервера: индекс построен заново."));
        QVERIFY(load()->stats().fromCache);
        // The other reasons' lines; none for a first build.
        QCOMPARE(cacheMissNote(QStringLiteral("missing")), QString());
        QCOMPARE(cacheMissNote(QStringLiteral("stale")),
                 QStringLiteral("Файлы корпуса или словари изменились: индекс построен заново."));
        QCOMPARE(cacheMissNote(QStringLiteral("checksum")),
                 QStringLiteral("Кэш индекса не прочитан (checksum): индекс построен заново."));
    }

    void morphologyDataChangedOrSwitchedOff_rebuilds()
    {
#ifndef CORVUS_TEST_MORPH_DIR
        QSKIP("the morphology dictionary is not in the build");
#else
        // A copy of the data, whose files the test may touch.
        const QString data = m_tmp->path() + QStringLiteral("/morph");
        QVERIFY(QDir().mkpath(data));
        for (const QFileInfo &fi : QDir(QStringLiteral(CORVUS_TEST_MORPH_DIR)).entryInfoList(QDir::Files))
            QVERIFY(QFile::copy(fi.filePath(), data + QLatin1Char('/') + fi.fileName()));
        CorpusOptions o;
        o.paths = QStringList{m_root};
        o.cacheDir = m_cache;
        o.morphology = data;
        QString error;
        auto c = Corpus::load(o, &error);
        QVERIFY2(c, qPrintable(error));
        QVERIFY(c->annotated());
        QVERIFY(Corpus::load(o, &error)->stats().fromCache);

        // New data: one of its files written again.
        QFile meta(data + QStringLiteral("/meta.json"));
        QVERIFY(meta.open(QIODevice::ReadWrite));
        QVERIFY(meta.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        meta.close();
        c = Corpus::load(o, &error);
        QVERIFY(!c->stats().fromCache);
        QCOMPARE(c->stats().cacheMiss, QStringLiteral("stale"));
        QVERIFY(c->annotated());
        QVERIFY(Corpus::load(o, &error)->stats().fromCache);

        // Switched off: lemmas without types.
        o.useMorphology = false;
        c = Corpus::load(o, &error);
        QVERIFY(!c->stats().fromCache);
        QVERIFY(!c->annotated());

        // Data that does not open: the build goes on without it and says why.
        o.useMorphology = true;
        QVERIFY(QFile::remove(data + QStringLiteral("/words.dawg")));
        c = Corpus::load(o, &error);
        QVERIFY2(c, qPrintable(error));
        QVERIFY(!c->stats().fromCache);
        QVERIFY(!c->annotated());
        QVERIFY(!c->stats().warnings.isEmpty());
        QVERIFY2(c->stats().warnings.first().startsWith(
                     QStringLiteral("Морфологический словарь не открыт, леммы даёт hunspell: ")),
                 qPrintable(c->stats().warnings.first()));
        QVERIFY(c->stats().warnings.first().contains(QStringLiteral("words.dawg")));
#endif
    }

    void consistentChecksumBadIds_areRejected()
    {
        // A cache whose checksum matches but whose arrays are wrong (a bug, or a
        // file made on purpose) must still not be used: every id, offset and
        // count is checked against what it indexes.
        corpusfixture::writeUtf8(m_root, QStringLiteral("prose/Автор/Смешанный.txt"), "МакДональдс и O’Brien.\n");
        auto cold = load();
        const QByteArray expected = dump(*cold);
        const QString file = onlyCacheFile(m_cache);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray pristine = f.readAll();
        f.close();
        uint32_t sections = 0;
        std::memcpy(&sections, pristine.constData() + 12, 4);
        QVERIFY(sections > 20);
        struct Entry {
            uint32_t id, elemSize;
            uint64_t offset, count;
        };
        const auto entryAt = [&](uint32_t i) {
            Entry e;
            const char *entry = pristine.constData() + 64 + 24 * i;
            std::memcpy(&e.id, entry, 4);
            std::memcpy(&e.elemSize, entry + 4, 4);
            std::memcpy(&e.offset, entry + 8, 8);
            std::memcpy(&e.count, entry + 16, 8);
            return e;
        };
        // The patched file with a checksum that matches it, loaded (null when it
        // could not be written).
        const auto loadSealed = [&](QByteArray bad) -> std::shared_ptr<const Corpus> {
            const uint64_t sum = CacheFile::checksum(bad.constData() + 64, size_t(bad.size() - 64));
            std::memcpy(bad.data() + 48, &sum, 8);
            if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
                return nullptr;
            f.write(bad);
            f.close();
            return load();
        };
        int tried = 0;
        for (uint32_t i = 0; i < sections; ++i) {
            const Entry e = entryAt(i);
            if (e.elemSize != 4 || e.count == 0)
                continue;
            for (const uint64_t index : {uint64_t(0), e.count - 1}) {
                QByteArray bad = pristine;
                const uint32_t huge = 0xFFFFFFF0u;
                std::memcpy(bad.data() + e.offset + index * 4, &huge, 4);
                const auto c = loadSealed(bad);
                QVERIFY(c);
                QVERIFY2(!c->stats().fromCache, qPrintable(QStringLiteral("section %1 element %2").arg(e.id).arg(index)));
                QCOMPARE(dump(*c), expected);
                ++tried;
            }
        }
        QVERIFY(tried > 30);

        // A posting that stays in range but names a punctuation mark (the first of
        // the word forms', of the lemmas'): queries index per-type tables by the
        // tokens postings name, so this is refused too.
        uint32_t mark = 0;
        while (mark < cold->tokenCount() && !cold->isPunct(mark))
            ++mark;
        QVERIFY(mark < cold->tokenCount());
        for (uint32_t i = 0; i < sections; ++i) {
            const Entry e = entryAt(i);
            if (e.id != 19 && e.id != 39)
                continue;
            QByteArray bad = pristine;
            std::memcpy(bad.data() + e.offset, &mark, 4);
            const auto c = loadSealed(bad);
            QVERIFY(c && !c->stats().fromCache);
            QCOMPARE(c->stats().cacheMiss, QStringLiteral("postings"));
            QCOMPARE(dump(*c), expected);
            ++tried;
        }
        QVERIFY(tried > 32);

        // The texts section placed so far out that its offset plus its size wraps
        // around to inside the file: refused before anything is read there.
        QByteArray bad = pristine;
        for (uint32_t i = 0; i < sections; ++i) {
            if (entryAt(i).id != 100)
                continue;
            char *entry = bad.data() + 64 + 24 * i;
            const uint64_t wrapped = ~uint64_t(0) - 15, count = 32;
            std::memcpy(entry + 8, &wrapped, 8);
            std::memcpy(entry + 16, &count, 8);
        }
        const auto c = loadSealed(bad);
        QVERIFY(c && !c->stats().fromCache);
        QCOMPARE(c->stats().cacheMiss, QStringLiteral("sections"));
        QCOMPARE(dump(*c), expected);
    }

    void unwritableCache_stillLoads()
    {
        // The cache folder is a file: the corpus loads, the cache is not written.
        corpusfixture::writeUtf8(m_tmp->path(), QStringLiteral("cache"), "x");
        auto c = load();
        QVERIFY(c);
        QVERIFY(!c->stats().cacheWarning.isEmpty());
        QVERIFY(c->stats().cacheWarning.startsWith(QStringLiteral("Не удалось записать кэш индекса")));

        CorpusOptions o;
        o.paths = QStringList{m_root};
        o.cacheDir = m_tmp->path() + QStringLiteral("/other");
        o.useCache = false;
        QString error;
        QVERIFY(Corpus::load(o, &error));
        QVERIFY(!QFileInfo::exists(o.cacheDir));
    }

    void badCorpus_clearRussianErrors()
    {
        QString error;
        QVERIFY(!corpusfixture::build({m_tmp->path() + QStringLiteral("/absent")}, m_cache, &error));
        QVERIFY2(error.startsWith(QStringLiteral("Папка корпуса не найдена: ")), qPrintable(error));
        QVERIFY(error.endsWith(QStringLiteral("/absent")));

        const QString empty = m_tmp->path() + QStringLiteral("/empty");
        QVERIFY(QDir().mkpath(empty));
        QVERIFY(!corpusfixture::build({empty}, m_cache, &error));
        QVERIFY2(error.startsWith(QStringLiteral("В корпусе нет ни одного текста: ")), qPrintable(error));

        // Files that are neither texts nor fortune collections, or texts without words.
        corpusfixture::writeUtf8(empty, QStringLiteral("notes"), "no separators here");
        corpusfixture::writeUtf8(empty, QStringLiteral("blank.txt"), " \n\n ");
        QVERIFY(!corpusfixture::build({empty}, m_cache, &error));
        QVERIFY2(error.startsWith(QStringLiteral("В корпусе нет ни одного текста: ")), qPrintable(error));

        CorpusOptions o;
        o.paths = QStringList{m_root};
        o.cacheDir = m_cache;
        o.dictionary = m_tmp->path() + QStringLiteral("/no/ru_RU");
        QVERIFY(!Corpus::load(o, &error));
        QVERIFY2(error.startsWith(QStringLiteral("Словарь hunspell не найден: ")), qPrintable(error));
    }

    void unreadableFileOrFolder_reported()
    {
        if (geteuid() == 0)
            QSKIP("permissions do not apply to root");
        const QString locked = m_root + QStringLiteral("/prose/Автор/Второй.txt");
        QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
        QString error;
        auto c = load(&error);
        QVERIFY2(c, qPrintable(error));
        QCOMPARE(c->textCount(), 1u);
        QCOMPARE(c->stats().warnings.size(), 1);
        QCOMPARE(c->stats().warnings.first(), QStringLiteral("Не удалось прочитать файл корпуса: ") + locked);
        // Still reported when the index comes from the cache.
        auto cached = load();
        QVERIFY(cached->stats().fromCache);
        QCOMPARE(cached->stats().warnings, c->stats().warnings);
        QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        // Readable again: rebuilt with both texts.
        auto again = load();
        QVERIFY(!again->stats().fromCache);
        QCOMPARE(again->textCount(), 2u);

        // An unreadable subfolder is skipped and named.
        const QString sub = m_root + QStringLiteral("/prose/Автор");
        QVERIFY(QFile::setPermissions(sub, QFileDevice::Permissions()));
        auto partial = load(&error);
        QVERIFY(!partial);   // nothing else is left to read
        QVERIFY2(error.startsWith(QStringLiteral("В корпусе нет ни одного текста")), qPrintable(error));
        QVERIFY(QFile::setPermissions(sub, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        corpusfixture::writeUtf8(m_root, QStringLiteral("Отдельный.txt"), "Отдельный текст.");
        QVERIFY(QFile::setPermissions(sub, QFileDevice::Permissions()));
        partial = load(&error);
        QVERIFY2(partial, qPrintable(error));
        QCOMPARE(partial->textCount(), 1u);
        QCOMPARE(partial->stats().warnings,
                 QStringList{QStringLiteral("Нет доступа к папке корпуса: ") + sub});
        QVERIFY(QFile::setPermissions(sub, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));

        QVERIFY(QFile::setPermissions(m_root, QFileDevice::Permissions()));
        QVERIFY(!load(&error));
        QVERIFY2(error.startsWith(QStringLiteral("Нет доступа к корпусу: ")), qPrintable(error));
        QVERIFY(QFile::setPermissions(m_root, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    }

    void installedFortunes_loadAsDefault()
    {
        if (Corpus::defaultCorpusPath().isEmpty())
            QSKIP("fortunes-ru is not installed");
        CorpusOptions o;
        o.cacheDir = m_cache;
        QString error;
        auto c = Corpus::load(o, &error);
        QVERIFY2(c, qPrintable(error));
        QVERIFY(c->textCount() > 10000);
        QVERIFY(c->wordCount() > 100000);
        QCOMPARE(c->paths(), QStringList{Corpus::defaultCorpusPath()});
        const uint32_t love = c->findForm(cp("любовь"));
        QVERIFY(love != kNone);
        QVERIFY(c->forms().count(love) > 100);
        // Attributions are authors, not text; no text is read twice from the .u8 names.
        bool unknownAuthor = false;
        QSet<QByteArray> sources;
        for (uint32_t i = 0; i < c->textCount(); ++i) {
            unknownAuthor |= c->text(i).author == cpb("Неизвестный автор");
            sources.insert(c->text(i).source.split(',').first());
            QVERIFY(!c->text(i).source.endsWith(".u8"));
            QVERIFY(!c->text(i).source.endsWith(".dat"));
        }
        QVERIFY(unknownAuthor);
        QVERIFY(c->findForm(cp("кащеев")) == kNone || c->forms().count(c->findForm(cp("кащеев"))) < 100);
        QVERIFY(c->summary().startsWith(QStringLiteral("Корпус «ru»")));
    }
};

QTEST_GUILESS_MAIN(TstCorpusCache)
#include "tst_corpus_cache.moc"
