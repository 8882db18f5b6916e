#include "corpus/ImportReport.h"

#include "corpus/Charset.h"
#include "corpus/Corpus.h"

#include <QFileInfo>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <map>
#include <vector>

namespace corvus {
namespace {

struct Tally {
    uint64_t texts = 0, tokens = 0, words = 0;
    void add(const TextInfo &t)
    {
        ++texts;
        tokens += t.tokenCount;
        words += t.wordCount;
    }
};

QString tallyText(const QLocale &ru, const Tally &t)
{
    return QStringLiteral("текстов %1, токенов %2, из них словоупотреблений %3")
        .arg(ru.toString(qulonglong(t.texts)), ru.toString(qulonglong(t.tokens)), ru.toString(qulonglong(t.words)));
}

} // namespace

QString importReport(const Corpus &corpus)
{
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    const BuildStats &stats = corpus.stats();
    Tally all, plain, fortunes, vrt, conllu;
    std::map<QByteArray, Tally> byAuthor;   // raw 1251 names, ordered below
    for (uint32_t i = 0; i < corpus.textCount(); ++i) {
        const TextInfo &t = corpus.text(i);
        all.add(t);
        const QByteArray source = t.source.toLower();
        (t.entry > 0                       ? fortunes
         : source.endsWith(".vrt")    ? vrt
         : source.endsWith(".conllu") ? conllu
                                      : plain)
            .add(t);
        byAuthor[t.author].add(t);
    }
    std::vector<std::pair<std::string, const std::pair<const QByteArray, Tally> *>> authors;
    for (const auto &a : byAuthor)
        authors.emplace_back(charset::fold(std::string_view(a.first.constData(), size_t(a.first.size()))), &a);
    std::sort(authors.begin(), authors.end(), [](const auto &x, const auto &y) {
        // The unnamed author last; the others in the lists' alphabetical order.
        if (x.first.empty() != y.first.empty())
            return y.first.empty();
        const int c = charset::compareAlpha(x.first, y.first);
        return c != 0 ? c < 0 : x.second->first < y.second->first;
    });

    QStringList out;
    QStringList roots;
    for (const QString &p : corpus.paths())
        roots << p;
    out << QStringLiteral("Отчёт об импорте корпуса: %1").arg(roots.join(QStringLiteral(", ")));
    out << QStringLiteral("Прочитано файлов: %1; всего %2.").arg(ru.toString(stats.filesRead), tallyText(ru, all));
    if (!stats.lemmatiser.isEmpty())
        out << QStringLiteral("Лемматизация: %1.").arg(stats.lemmatiser);
    out << stats.notes;
    out << QStringLiteral("По форматам:");
    if (plain.texts)
        out << QStringLiteral("  текстовые файлы: %1").arg(tallyText(ru, plain));
    if (fortunes.texts)
        out << QStringLiteral("  сборники изречений: %1").arg(tallyText(ru, fortunes));
    if (vrt.texts)
        out << QStringLiteral("  VRT: %1").arg(tallyText(ru, vrt));
    if (conllu.texts)
        out << QStringLiteral("  CoNLL-U: %1").arg(tallyText(ru, conllu));
    out << QStringLiteral("По авторам:");
    for (const auto &a : authors) {
        const QString name = a.second->first.isEmpty()
            ? QStringLiteral("(автор не указан)")
            : charset::toQString(std::string_view(a.second->first.constData(), size_t(a.second->first.size())));
        out << QStringLiteral("  %1: %2").arg(name, tallyText(ru, a.second->second));
    }
    if (stats.warnings.isEmpty()) {
        out << QStringLiteral("Пропущено: ничего.");
    } else {
        out << QStringLiteral("Пропущено (%1):").arg(stats.warnings.size());
        for (const QString &w : stats.warnings)
            out << QStringLiteral("  ") + w;
    }
    out << QStringLiteral("Исправлено: слов с латинскими буквами вместо кириллических — %1, "
                          "латинских букв с диакритикой заменено основной буквой — %2, ударений снято — %3.")
               .arg(ru.toString(qulonglong(stats.cleaned.lookAlikeWords)),
                    ru.toString(qulonglong(stats.cleaned.foldedLetters)),
                    ru.toString(qulonglong(stats.cleaned.stressMarks)));
    if (!stats.cleaned.stressedWords.empty()) {
        QStringList words;
        for (const std::string &w : stats.cleaned.stressedWords)
            words << charset::toQString(w);
        out << QStringLiteral("  ударения сняты, например, в словах: %1.").arg(words.join(QStringLiteral(", ")));
    }
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString cacheMissNote(const QString &why)
{
    if (why.isEmpty() || why == QLatin1String("missing"))
        return QString();
    if (why == QLatin1String("old format"))
        return QStringLiteral("Кэш индекса записан прежней версией сервера: индекс построен заново.");
    if (why == QLatin1String("stale"))
        return QStringLiteral("Файлы корпуса или словари изменились: индекс построен заново.");
    return QStringLiteral("Кэш индекса не прочитан (%1): индекс построен заново.").arg(why);
}

QString importReportPath(const QString &cachePath)
{
    QString base = cachePath;
    if (base.endsWith(QStringLiteral(".idx")))
        base.chop(4);
    return base + QStringLiteral(".report.txt");
}

} // namespace corvus
