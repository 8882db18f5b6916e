#include "ServerSetup.h"

#include "CorpusDictionary.h"
#include "Thesaurus.h"
#include "concordance/Lines.h"
#include "concordance/Query.h"
#include "UpdateOffer.h"
#include "corpus/Corpus.h"
#include "model/Cp1251.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>

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

LoadedService loadService(const ServerOptions &options)
{
    LoadedService out;
    QElapsedTimer clock;
    clock.start();

    corvus::CorpusOptions co;
    co.paths = options.corpusPaths;
    co.cacheDir = options.cacheDir;
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
    if (!stats.cacheWarning.isEmpty())
        out.notes.append(stats.cacheWarning);
    // Files and folders left out of the corpus, each named.
    out.notes.append(stats.warnings);

    std::shared_ptr<const Thesaurus> thesaurus;
    const QString thesaurusPath =
        options.thesaurusGiven ? options.thesaurusPath : defaultThesaurusPath();
    if (thesaurusPath.isEmpty()) {
        out.notes.append(QStringLiteral("Тезаурус не найден: словарь «Тезаурус» не предлагается."));
    } else {
        auto loaded = Thesaurus::load(thesaurusPath, &error);
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

    QList<std::shared_ptr<const ServedDictionary>> dictionaries;
    dictionaries.append(std::make_shared<const ServedDictionary>(
        std::make_unique<CorpusDictionary>(corpus, thesaurus, cp1251::ru("Словарь корпуса"))));
    if (thesaurus) {
        dictionaries.append(std::make_shared<const ServedDictionary>(
            std::make_unique<ThesaurusDictionary>(thesaurus, cp1251::ru("Тезаурус"))));
    }

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
    out.notes.append(QStringLiteral("Словари готовы за %1 с.").arg(double(clock.elapsed()) / 1000.0, 0, 'f', 2));
    return out;
}
