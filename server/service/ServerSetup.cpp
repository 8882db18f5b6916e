#include "ServerSetup.h"

#include "CorpusDictionary.h"
#include "Thesaurus.h"
#include "concordance/Lines.h"
#include "concordance/Query.h"
#include "UpdateOffer.h"
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

} // namespace

LoadedService loadService(const ServerOptions &options)
{
    LoadedService out;
    QElapsedTimer clock;
    clock.start();

    corvus::CorpusOptions co;
    co.paths = options.corpusPaths;
    co.cacheDir = options.cacheDir;
    co.vrtColumns = options.vrtColumns;
    // The full check of a cache runs after the start (see LoadedService::check),
    // and the cache is written once, with the tables below.
    co.deferCheck = true;
    co.deferWrite = true;
    QString error;
    std::shared_ptr<const corvus::Corpus> corpus = corvus::Corpus::load(co, &error);
    if (!corpus) {
        out.error = error.isEmpty() ? QStringLiteral("Не удалось загрузить корпус.") : error;
        return out;
    }
    const corvus::BuildStats &stats = corpus->stats();
    out.notes.append(QStringLiteral("Корпус загружен за %1 с%2: текстов %3, словоупотреблений %4.")
                         .arg(stats.seconds, 0, 'f', 2)
                         .arg(stats.fromCache ? QStringLiteral(" (из кэша)") : QString())
                         .arg(corpus->textCount())
                         .arg(corpus->wordCount()));
    if (const QString miss = corvus::cacheMissNote(stats.cacheMiss); !stats.fromCache && !miss.isEmpty())
        out.notes.append(miss);
    if (stats.fromCache) {
        // Files and folders left out of the corpus, each named.
        out.notes.append(stats.warnings);
    } else {
        // A cold build: the whole import report (the files left out among it).
        out.notes.append(stats.report.trimmed().split(QLatin1Char('\n')));
        if (!stats.reportFile.isEmpty())
            out.notes.append(QStringLiteral("Отчёт об импорте сохранён: %1").arg(stats.reportFile));
    }

    const QString thesaurusPath =
        options.thesaurusGiven ? options.thesaurusPath : defaultThesaurusPath();
    const QByteArray stamp = tablesStamp(thesaurusPath);
    const corvus::TableReader &tables = corpus->tables();
    // Tables made with another thesaurus (or none) are made again.
    const bool useTables = stats.fromCache && stampMatches(tables, stamp);

    std::shared_ptr<const Thesaurus> thesaurus;
    bool thesaurusAdopted = false;
    if (thesaurusPath.isEmpty()) {
        out.notes.append(QStringLiteral("Тезаурус не найден: словарь «Тезаурус» не предлагается."));
    } else {
        std::optional<Thesaurus> loaded;
        if (useTables) {
            loaded = Thesaurus::adopt(tables, corpus);
            thesaurusAdopted = loaded.has_value();
        }
        if (!loaded)
            loaded = Thesaurus::load(thesaurusPath, &error);
        if (!loaded) {
            if (options.thesaurusGiven) {
                out.error = error;
                return out;
            }
            out.notes.append(error);
        } else {
            thesaurus = std::make_shared<const Thesaurus>(std::move(*loaded));
        }
    }

    const uint32_t from = useTables ? uint32_t(kCorpusDictionary) : 0u;
    auto corpusDictionary = std::make_unique<CorpusDictionary>(corpus, thesaurus, corpusDictionaryName(), from);
    const CorpusDictionary &corpusDict = *corpusDictionary;
    QList<std::shared_ptr<const ServedDictionary>> dictionaries;
    const auto serve = [&](std::unique_ptr<Dictionary> dictionary, bool mapped, uint32_t base) {
        return mapped ? std::make_shared<const ServedDictionary>(std::move(dictionary), tables, base, corpus)
                      : std::make_shared<const ServedDictionary>(std::move(dictionary));
    };
    dictionaries.append(serve(std::move(corpusDictionary), corpusDict.fromTables(), kServedBodies));
    if (thesaurus)
        dictionaries.append(serve(std::make_unique<ThesaurusDictionary>(thesaurus, thesaurusName()), thesaurusAdopted,
                                  kServedBodies + 10));

    CorpusFacts facts;
    if (options.corpusPaths.isEmpty()) {
        facts.label = QByteArrayLiteral("fortunes-ru");
    } else {
        QStringList names;
        for (const QString &p : options.corpusPaths)
            {
            const QString name = QFileInfo(QDir::cleanPath(p)).fileName();
            names.append(name.isEmpty() ? p : name);
        }
        facts.label = cp1251::encode(names.join(QStringLiteral(", ")));
    }
    facts.wordCount = corpus->wordCount();
    facts.textCount = corpus->textCount();
    out.service = std::make_shared<CorvusService>(facts, dictionaries);
    // The concordance: one engine shared by every concordance handler.
    auto concEngine = std::make_shared<const corvus::conc::ConcEngine>(corpus);
    auto lineEngine = std::make_shared<const corvus::conc::LineEngine>(concEngine, dictionaries);
    // A word clicked in the text view: the value list's reply also points the
    // lines at that word.
    corvus::conc::registerListHandlers(
        *out.service, concEngine, [lineEngine](tCConcPos &conc, const OptionList &opts, uint32_t token) {
            lineEngine->pointAtToken(conc, opts, token);
        });
    corvus::conc::registerViewHandlers(*out.service, lineEngine);
    if (!options.updateDir.isEmpty()) {
        auto offer = UpdateOffer::load(options.updateDir, &error);
        if (!offer) {
            out.service.reset();
            out.error = error;
            return out;
        }
        out.service->setUpdateOffer(std::move(offer));
        out.notes.append(QStringLiteral("Обновление клиента: версия %1 из %2.")
                             .arg(QString::fromLatin1(out.service->updateOffer()->version()),
                                  options.updateDir));
    }

    // Whatever was made rather than mapped goes into the cache file for the next start.
    const bool dictionariesMapped = corpusDict.fromTables() && (!thesaurus || thesaurusAdopted)
        && std::all_of(dictionaries.begin(), dictionaries.end(), [](const auto &d) { return d->fromTables(); });
    if (!stats.fromCache || !concEngine->fromTables() || !dictionariesMapped) {
        corvus::TableWriter writer;
        writer.keep(kStamp, std::vector<char>(stamp.begin(), stamp.end()));
        concEngine->saveTables(writer);
        corpusDict.save(writer, kCorpusDictionary);
        dictionaries[0]->save(writer, kServedBodies);
        if (thesaurus) {
            thesaurus->save(writer);
            dictionaries[1]->save(writer, kServedBodies + 10);
        }
        QString werr;
        if (!corpus->cachePath().isEmpty() && !corpus->writeCache(writer, &werr))
            out.notes.append(werr);
    }
    out.cacheFile = corpus->cachePath();
    if (stats.checkDeferred) {
        Adopted adopted;
        adopted.engine = concEngine->fromTables();
        adopted.thesaurus = thesaurusAdopted;
        adopted.corpusDictionary = corpusDict.fromTables();
        for (int d = 0; d < dictionaries.size() && d < 2; ++d)
            adopted.bodies[d] = dictionaries[d]->fromTables();
        out.check = [corpus, adopted](QString *why) { return checkServedCache(*corpus, adopted, why); };
    }
    out.notes.append(QStringLiteral("Словари готовы за %1 с.").arg(double(clock.elapsed()) / 1000.0, 0, 'f', 2));
    return out;
}
