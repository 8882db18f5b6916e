#include "service/ServerSetup.h"

#include "dictionary/CorpusDictionary.h"
#include "dictionary/Thesaurus.h"
#include "concordance/Lines.h"
#include "concordance/Query.h"
#include "service/UpdateOffer.h"
#include "corpus/Corpus.h"
#include "corpus/ImportReport.h"
#include "model/Cp1251.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

QString defaultThesaurusPath()
{
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                  QStringLiteral("mythes/th_ru_RU_v2.dat"));
}

QString checkServerPaths(const ServerOptions &options)
{
    if (options.corpusPaths.isEmpty()) {
        if (corvus::Corpus::defaultCorpusPath().isEmpty())
            return QStringLiteral("Корпус по умолчанию (fortunes-ru) не установлен; укажите папку "
                                  "корпуса параметром --corpus.");
    }
    for (const QString &path : options.corpusPaths) {
        const QFileInfo fi(path);
        if (!fi.exists())
            return QStringLiteral("Папка корпуса не найдена: %1").arg(path);
        if (!fi.isReadable() || (fi.isDir() && !fi.isExecutable()))
            return QStringLiteral("Нет доступа к корпусу: %1").arg(path);
    }
    if (!options.updateDir.isEmpty() && !QFileInfo(options.updateDir).isDir())
        return QStringLiteral("Папка обновления не найдена: %1").arg(options.updateDir);
    if (options.thesaurusGiven) {
        const QFileInfo fi(options.thesaurusPath);
        if (!fi.isFile() || !fi.isReadable())
            return QStringLiteral("Файл тезауруса не найден или не читается: %1").arg(options.thesaurusPath);
    }
    return {};
}

namespace {

// Ids of the service's tables in the cache file: what they were made with, the
// corpus dictionary, the bodies of the served dictionaries (the thesaurus's own
// follow from 3000, the concordance engine's from 1090).
enum : uint32_t { kStamp = 1001, kCorpusDictionary = 2000, kServedBodies = 2100 };

// What the dictionaries in the cache file were made from besides the corpus: the
// thesaurus file (its path, size and time), or none.
QByteArray tablesStamp(const QString &thesaurusPath)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    const QFileInfo fi(thesaurusPath);
    h.addData(thesaurusPath.toUtf8());
    if (!thesaurusPath.isEmpty() && fi.exists()) {
        h.addData(QByteArray::number(fi.size()));
        h.addData(QByteArray::number(fi.lastModified().toMSecsSinceEpoch()));
    }
    return h.result();
}

bool stampMatches(const corvus::TableReader &tables, const QByteArray &stamp)
{
    corvus::Span<char> stored;
    return tables.get(kStamp, stored) && QByteArrayView(stored.data(), qsizetype(stored.size())) == stamp;
}

QByteArray corpusDictionaryName()
{
    return cp1251::ru("Словарь корпуса");
}

QByteArray thesaurusName()
{
    return cp1251::ru("Тезаурус");
}

// What the service took from the cache file rather than made.
struct Adopted {
    bool engine = false;
    bool thesaurus = false;
    bool corpusDictionary = false;
    bool bodies[2] = {false, false};
};

// The full check of what a quick-checked cache file holds: the index, and every
// table the service took from it, read again from a mapping of its own.
bool checkServedCache(const corvus::Corpus &corpus, const Adopted &adopted, QString *why)
{
    const std::shared_ptr<const corvus::Corpus> full = corpus.recheck(why);
    if (!full)
        return false;
    const auto fail = [why](const char *what) {
        *why = QString::fromLatin1(what);
        return false;
    };
    const corvus::TableReader &tables = full->tables();
    if (adopted.engine && !corvus::conc::ConcEngine(full).fromTables())
        return fail("concordance tables");
    std::shared_ptr<const Thesaurus> th;
    if (adopted.thesaurus) {
        auto t = Thesaurus::adopt(tables, full);
        if (!t)
            return fail("thesaurus");
        th = std::make_shared<const Thesaurus>(std::move(*t));
    }
    if (adopted.corpusDictionary || adopted.bodies[0]) {
        auto dictionary = std::make_unique<CorpusDictionary>(full, th, corpusDictionaryName(), kCorpusDictionary);
        if (!dictionary->fromTables())
            return fail("corpus dictionary");
        if (adopted.bodies[0] && !ServedDictionary(std::move(dictionary), tables, kServedBodies, full).fromTables())
            return fail("dictionary bodies");
    }
    if (th && adopted.bodies[1]
        && !ServedDictionary(std::make_unique<ThesaurusDictionary>(th, thesaurusName()), tables, kServedBodies + 10,
                             full)
                .fromTables())
        return fail("thesaurus bodies");
    return true;
}

// What loadService() assembles, step by step: each step adds to `out` (its notes,
// or the error that ends the load) and to what the later steps stand on.
class ServiceAssembly {
public:
    ServiceAssembly(const ServerOptions &options, LoadedService &out) : m_options(options), m_out(out) {}

    bool loadCorpus();
    bool loadThesaurus();
    void serveDictionaries();
    void makeService();
    bool offerUpdate();
    void saveMadeTables();
    void deferCheck();

private:
    void noteCorpusLoaded();
    CorpusFacts corpusFacts() const;

    const ServerOptions &m_options;
    LoadedService &m_out;
    std::shared_ptr<const corvus::Corpus> m_corpus;
    QByteArray m_stamp;
    // Whether the cache file's tables of the dictionaries may be used: the corpus
    // came from the cache, and its tables were made with the same thesaurus.
    bool m_useTables = false;
    std::shared_ptr<const Thesaurus> m_thesaurus;
    bool m_thesaurusAdopted = false;
    const CorpusDictionary *m_corpusDictionary = nullptr;   // owned by m_dictionaries[0]
    QList<std::shared_ptr<const ServedDictionary>> m_dictionaries;
    std::shared_ptr<const corvus::conc::ConcEngine> m_concEngine;
};

// The corpus index: from its cache file when it is there, built otherwise.
bool ServiceAssembly::loadCorpus()
{
    corvus::CorpusOptions co;
    co.paths = m_options.corpusPaths;
    co.cacheDir = m_options.cacheDir;
    co.vrtColumns = m_options.vrtColumns;
    // The full check of a cache runs after the start (see LoadedService::check),
    // and the cache is written once, with the tables below.
    co.deferCheck = true;
    co.deferWrite = true;
    QString error;
    m_corpus = corvus::Corpus::load(co, &error);
    if (!m_corpus) {
        m_out.error = error.isEmpty() ? QStringLiteral("Не удалось загрузить корпус.") : error;
        return false;
    }
    noteCorpusLoaded();
    return true;
}

void ServiceAssembly::noteCorpusLoaded()
{
    const corvus::BuildStats &stats = m_corpus->stats();
    QStringList &notes = m_out.notes;
    notes.append(QStringLiteral("Корпус загружен за %1 с%2: текстов %3, словоупотреблений %4.")
                     .arg(stats.seconds, 0, 'f', 2)
                     .arg(stats.fromCache ? QStringLiteral(" (из кэша)") : QString())
                     .arg(m_corpus->textCount())
                     .arg(m_corpus->wordCount()));
    if (const QString miss = corvus::cacheMissNote(stats.cacheMiss); !stats.fromCache && !miss.isEmpty())
        notes.append(miss);
    if (stats.fromCache) {
        // Files and folders left out of the corpus, each named.
        notes.append(stats.warnings);
    } else {
        // A cold build: the whole import report (the files left out among it).
        notes.append(stats.report.trimmed().split(QLatin1Char('\n')));
        if (!stats.reportFile.isEmpty())
            notes.append(QStringLiteral("Отчёт об импорте сохранён: %1").arg(stats.reportFile));
    }
}

// The thesaurus: taken from the cache file's tables when they may be used, read from
// its file otherwise. A thesaurus given on the command line must load; the installed
// one may be missing or broken, with a note.
bool ServiceAssembly::loadThesaurus()
{
    const QString thesaurusPath =
        m_options.thesaurusGiven ? m_options.thesaurusPath : defaultThesaurusPath();
    m_stamp = tablesStamp(thesaurusPath);
    const corvus::TableReader &tables = m_corpus->tables();
    // Tables made with another thesaurus (or none) are made again.
    m_useTables = m_corpus->stats().fromCache && stampMatches(tables, m_stamp);

    if (thesaurusPath.isEmpty()) {
        m_out.notes.append(QStringLiteral("Тезаурус не найден: словарь «Тезаурус» не предлагается."));
        return true;
    }
    std::optional<Thesaurus> loaded;
    if (m_useTables) {
        loaded = Thesaurus::adopt(tables, m_corpus);
        m_thesaurusAdopted = loaded.has_value();
    }
    QString error;
    if (!loaded)
        loaded = Thesaurus::load(thesaurusPath, &error);
    if (!loaded) {
        if (m_options.thesaurusGiven) {
            m_out.error = error;
            return false;
        }
        m_out.notes.append(error);
        return true;
    }
    m_thesaurus = std::make_shared<const Thesaurus>(std::move(*loaded));
    return true;
}

// The corpus dictionary, and the thesaurus's when there is one; their bodies mapped
// from the cache file when they are there.
void ServiceAssembly::serveDictionaries()
{
    const corvus::TableReader &tables = m_corpus->tables();
    const uint32_t from = m_useTables ? uint32_t(kCorpusDictionary) : 0u;
    auto corpusDictionary = std::make_unique<CorpusDictionary>(m_corpus, m_thesaurus, corpusDictionaryName(), from);
    m_corpusDictionary = corpusDictionary.get();
    const auto serve = [&](std::unique_ptr<Dictionary> dictionary, bool mapped, uint32_t base) {
        return mapped ? std::make_shared<const ServedDictionary>(std::move(dictionary), tables, base, m_corpus)
                      : std::make_shared<const ServedDictionary>(std::move(dictionary));
    };
    const bool corpusMapped = m_corpusDictionary->fromTables();
    m_dictionaries.append(serve(std::move(corpusDictionary), corpusMapped, kServedBodies));
    if (m_thesaurus)
        m_dictionaries.append(serve(std::make_unique<ThesaurusDictionary>(m_thesaurus, thesaurusName()),
                                    m_thesaurusAdopted, kServedBodies + 10));
}

CorpusFacts ServiceAssembly::corpusFacts() const
{
    CorpusFacts facts;
    if (m_options.corpusPaths.isEmpty()) {
        facts.label = QByteArrayLiteral("fortunes-ru");
    } else {
        QStringList names;
        for (const QString &p : m_options.corpusPaths) {
            const QString name = QFileInfo(QDir::cleanPath(p)).fileName();
            names.append(name.isEmpty() ? p : name);
        }
        facts.label = cp1251::encode(names.join(QStringLiteral(", ")));
    }
    facts.wordCount = m_corpus->wordCount();
    facts.textCount = m_corpus->textCount();
    return facts;
}

// The service with the concordance's handlers: one engine shared by all of them.
void ServiceAssembly::makeService()
{
    m_out.service = std::make_shared<CorvusService>(corpusFacts(), m_dictionaries);
    m_concEngine = std::make_shared<const corvus::conc::ConcEngine>(m_corpus);
    auto lineEngine = std::make_shared<const corvus::conc::LineEngine>(m_concEngine, m_dictionaries);
    // A word clicked in the text view: the value list's reply also points the
    // lines at that word.
    corvus::conc::registerListHandlers(
        *m_out.service, m_concEngine, [lineEngine](tCConcPos &conc, const OptionList &opts, uint32_t token) {
            lineEngine->pointAtToken(conc, opts, token);
        });
    corvus::conc::registerViewHandlers(*m_out.service, lineEngine);
}

// The newer client offered from the update folder, when one is given.
bool ServiceAssembly::offerUpdate()
{
    if (m_options.updateDir.isEmpty())
        return true;
    QString error;
    auto offer = UpdateOffer::load(m_options.updateDir, &error);
    if (!offer) {
        m_out.service.reset();
        m_out.error = error;
        return false;
    }
    m_out.service->setUpdateOffer(std::move(offer));
    m_out.notes.append(QStringLiteral("Обновление клиента: версия %1 из %2.")
                           .arg(QString::fromLatin1(m_out.service->updateOffer()->version()),
                                m_options.updateDir));
    return true;
}

// Whatever was made rather than mapped goes into the cache file for the next start.
void ServiceAssembly::saveMadeTables()
{
    const corvus::BuildStats &stats = m_corpus->stats();
    const bool dictionariesMapped = m_corpusDictionary->fromTables() && (!m_thesaurus || m_thesaurusAdopted)
        && std::all_of(m_dictionaries.begin(), m_dictionaries.end(), [](const auto &d) { return d->fromTables(); });
    if (!stats.fromCache || !m_concEngine->fromTables() || !dictionariesMapped) {
        corvus::TableWriter writer;
        writer.keep(kStamp, std::vector<char>(m_stamp.begin(), m_stamp.end()));
        m_concEngine->saveTables(writer);
        m_corpusDictionary->save(writer, kCorpusDictionary);
        m_dictionaries[0]->save(writer, kServedBodies);
        if (m_thesaurus) {
            m_thesaurus->save(writer);
            m_dictionaries[1]->save(writer, kServedBodies + 10);
        }
        QString werr;
        if (!m_corpus->cachePath().isEmpty() && !m_corpus->writeCache(writer, &werr))
            m_out.notes.append(werr);
    }
    m_out.cacheFile = m_corpus->cachePath();
}

// A cache file that had the quick check only and has no seal (a copy, one changed
// since it was written): the full check of the index and of every table the
// service took from it, run after the start.
void ServiceAssembly::deferCheck()
{
    if (!m_corpus->stats().checkDeferred)
        return;
    Adopted adopted;
    adopted.engine = m_concEngine->fromTables();
    adopted.thesaurus = m_thesaurusAdopted;
    adopted.corpusDictionary = m_corpusDictionary->fromTables();
    for (int d = 0; d < m_dictionaries.size() && d < 2; ++d)
        adopted.bodies[d] = m_dictionaries[d]->fromTables();
    // Passed, the file is sealed: the next start serves from it at once.
    m_out.check = [corpus = m_corpus, adopted](QString *why) {
        if (!checkServedCache(*corpus, adopted, why))
            return false;
        corpus->sealCache();
        return true;
    };
}

} // namespace

LoadedService loadService(const ServerOptions &options)
{
    LoadedService out;
    QElapsedTimer clock;
    clock.start();
    ServiceAssembly assembly(options, out);
    if (!assembly.loadCorpus() || !assembly.loadThesaurus())
        return out;
    assembly.serveDictionaries();
    assembly.makeService();
    if (!assembly.offerUpdate())
        return out;
    assembly.saveMadeTables();
    assembly.deferCheck();
    out.notes.append(QStringLiteral("Словари готовы за %1 с.").arg(double(clock.elapsed()) / 1000.0, 0, 'f', 2));
    return out;
}

void removeDamagedCache(const QString &cacheFile)
{
    corvus::Corpus::removeCache(cacheFile);
}
