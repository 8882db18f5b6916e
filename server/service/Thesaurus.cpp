#include "Thesaurus.h"

#include "DictionaryReplies.h"
#include "model/Cp1251.h"

#include <QFile>
#include <QSet>
#include <QStringDecoder>

namespace {

// More senses than this in one entry means the count is garbage.
constexpr int MaxSenses = 1000;

QString senseKind(QStringView field)
{
    QStringView k = field.trimmed();
    if (k.startsWith(u'(') && k.endsWith(u')') && k.size() >= 2)
        k = k.sliced(1, k.size() - 2);
    return k.trimmed().toString();
}

bool isSynonymKind(const QString &kind)
{
    return kind == QStringLiteral("синоним");
}

} // namespace

std::optional<Thesaurus> Thesaurus::load(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Не удалось открыть тезаурус %1: %2").arg(path, f.errorString());
        return std::nullopt;
    }
    return parse(f.readAll(), error);
}

std::optional<Thesaurus> Thesaurus::parse(const QByteArray &data, QString *error)
{
    auto fail = [error](const QString &why) -> std::optional<Thesaurus> {
        if (error)
            *error = why;
        return std::nullopt;
    };

    qsizetype firstEnd = data.indexOf('\n');
    if (firstEnd < 0)
        firstEnd = data.size();
    QByteArray encoding = data.left(firstEnd).trimmed();
    if (encoding.startsWith("\xEF\xBB\xBF"))
        encoding.remove(0, 3);
    encoding = encoding.trimmed();
    if (encoding.isEmpty())
        return fail(QStringLiteral("В тезаурусе не указана кодировка"));
    QStringDecoder decoder(encoding.constData());
    if (!decoder.isValid())
        return fail(QStringLiteral("Неизвестная кодировка тезауруса: %1")
                        .arg(QString::fromLatin1(encoding.left(40))));
    const QString text = decoder.decode(QByteArrayView(data).sliced(qMin(firstEnd + 1, data.size())));

    Thesaurus t;
    const QList<QStringView> lines = QStringView(text).split(u'\n');
    qsizetype i = 0;
    while (i < lines.size()) {
        const QStringView line = lines[i].trimmed();
        ++i;
        const qsizetype bar = line.lastIndexOf(u'|');
        if (bar <= 0)
            continue;
        bool ok = false;
        const int count = line.sliced(bar + 1).toInt(&ok);
        if (!ok || count < 0 || count > MaxSenses)
            continue;
        ThesaurusEntry e;
        e.word = line.first(bar).trimmed().toString();
        for (int s = 0; s < count && i < lines.size(); ++s, ++i) {
            const QList<QStringView> fields = lines[i].trimmed().split(u'|');
            ThesaurusSense sense;
            sense.kind = senseKind(fields.value(0));
            for (qsizetype k = 1; k < fields.size(); ++k) {
                const QString term = fields[k].trimmed().toString();
                if (!term.isEmpty())
                    sense.terms.append(term);
            }
            if (!sense.terms.isEmpty())
                e.senses.append(sense);
        }
        if (!e.word.isEmpty())
            t.m_entries.append(e);
    }
    if (t.m_entries.isEmpty())
        return fail(QStringLiteral("Тезаурус не содержит ни одной статьи"));

    QList<QString> words;
    words.reserve(t.m_entries.size());
    for (const auto &e : std::as_const(t.m_entries))
        words.append(e.word);
    t.m_lookup = HeadwordIndex(words);
    return t;
}

int Thesaurus::find(QStringView word) const
{
    const int place = m_lookup.find(word);
    return place < 0 ? -1 : m_lookup.sourceIndex(place);
}

QStringList Thesaurus::synonyms(QStringView word) const
{
    QStringList out;
    const int e = find(word);
    if (e < 0)
        return out;
    const std::u16string self = russian::sortKey(word);
    QSet<QString> seen;
    for (const auto &sense : m_entries[e].senses) {
        if (!isSynonymKind(sense.kind))
            continue;
        for (const QString &term : sense.terms) {
            const QString key = term.toLower();
            if (russian::sortKey(term) == self || seen.contains(key))
                continue;
            seen.insert(key);
            out.append(term);
        }
    }
    return out;
}

ThesaurusDictionary::ThesaurusDictionary(std::shared_ptr<const Thesaurus> thesaurus,
                                         QByteArray name)
    : m_thesaurus(std::move(thesaurus)), m_name(std::move(name))
{
    QList<QString> words;
    words.reserve(m_thesaurus->entries().size());
    for (const auto &e : m_thesaurus->entries()) {
        words.append(e.word);
        for (const auto &s : e.senses)
            m_termCount += qint32(s.terms.size());
    }
    m_index = HeadwordIndex(words);
}

qint32 ThesaurusDictionary::headwordSize(int place) const
{
    qint32 n = 0;
    for (const auto &s : m_thesaurus->entries()[m_index.sourceIndex(place)].senses)
        n += qint32(s.terms.size());
    return n;
}

QList<QByteArray> ThesaurusDictionary::entryLines(int place) const
{
    const ThesaurusEntry &e = m_thesaurus->entries()[m_index.sourceIndex(place)];
    QList<QByteArray> lines;
    lines.append(dictreplies::cleanText(cp1251::encode(e.word)));
    for (int s = 0; s < e.senses.size(); ++s) {
        const ThesaurusSense &sense = e.senses[s];
        lines.append('\t' + QByteArray::number(s + 1) + ". "
                     + dictreplies::cleanText(cp1251::encode(sense.kind)));
        for (const QString &term : sense.terms) {
            QByteArray line = "\t\t" + dictreplies::cleanText(cp1251::encode(term));
            const int target = m_index.find(term);
            if (target >= 0 && target != place)
                line += dictreplies::reference(target + 1);
            lines.append(line);
        }
    }
    return lines;
}
