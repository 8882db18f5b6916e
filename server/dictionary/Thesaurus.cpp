#include "dictionary/Thesaurus.h"

#include "dictionary/DictionaryReplies.h"
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

bool isSynonymKind(QStringView kind)
{
    return kind == QStringLiteral("синоним");
}

// The text after the first line, decoded with the encoding that line names (a
// byte-order mark before it is ignored); nothing, with the reason in `error`, when
// the encoding is missing or unknown.
std::optional<QString> decodedText(const QByteArray &data, QString *error)
{
    const auto fail = [error](const QString &why) -> std::optional<QString> {
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
    return text;
}

// The entries as they are read: the words, kinds and terms as text one after
// another, the senses of each entry and the terms of each sense as runs.
struct FlatEntries {
    std::vector<char16_t> wordChars, kindChars, termChars;
    std::vector<uint32_t> wordOffsets{0}, kindOffsets{0}, termOffsets{0}, senseRuns{0}, termRuns{0};

    // Reads the entry whose head line ("word|n") is lines[i], with its n sense lines;
    // returns the index of the line after them. A head line that does not parse is
    // skipped alone.
    qsizetype readEntry(const QList<QStringView> &lines, qsizetype i)
    {
        const QStringView line = lines[i].trimmed();
        ++i;
        const qsizetype bar = line.lastIndexOf(u'|');
        if (bar <= 0)
            return i;
        bool ok = false;
        const int count = line.sliced(bar + 1).toInt(&ok);
        if (!ok || count < 0 || count > MaxSenses)
            return i;
        const QStringView word = line.first(bar).trimmed();
        const size_t sensesBefore = kindOffsets.size(), termsBefore = termOffsets.size();
        const size_t kindCharsBefore = kindChars.size(), termCharsBefore = termChars.size();
        for (int s = 0; s < count && i < lines.size(); ++s, ++i)
            readSense(lines[i]);
        if (word.isEmpty()) {
            // Not an entry: what its lines added goes.
            kindOffsets.resize(sensesBefore);
            termRuns.resize(sensesBefore);
            termOffsets.resize(termsBefore);
            kindChars.resize(kindCharsBefore);
            termChars.resize(termCharsBefore);
            return i;
        }
        append(wordChars, wordOffsets, word);
        senseRuns.push_back(uint32_t(kindOffsets.size() - 1));
        return i;
    }

private:
    static void append(std::vector<char16_t> &chars, std::vector<uint32_t> &offsets, QStringView s)
    {
        chars.insert(chars.end(), s.utf16(), s.utf16() + s.size());
        offsets.push_back(uint32_t(chars.size()));
    }

    // A sense line "(kind)|term|term|...".
    void readSense(QStringView senseLine)
    {
        const QList<QStringView> fields = senseLine.trimmed().split(u'|');
        const size_t termsOfSense = termOffsets.size();
        for (qsizetype k = 1; k < fields.size(); ++k) {
            const QStringView term = fields[k].trimmed();
            if (!term.isEmpty())
                append(termChars, termOffsets, term);
        }
        if (termOffsets.size() == termsOfSense)
            return;   // a sense without terms is left out
        append(kindChars, kindOffsets, QStringView(senseKind(fields.value(0))));
        termRuns.push_back(uint32_t(termOffsets.size() - 1));
    }
};

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
    const std::optional<QString> text = decodedText(data, error);
    if (!text)
        return std::nullopt;
    FlatEntries flat;
    const QList<QStringView> lines = QStringView(*text).split(u'\n');
    for (qsizetype i = 0; i < lines.size();)
        i = flat.readEntry(lines, i);
    if (flat.wordOffsets.size() == 1) {
        if (error)
            *error = QStringLiteral("Тезаурус не содержит ни одной статьи");
        return std::nullopt;
    }

    Thesaurus t;
    t.m_wordChars = std::move(flat.wordChars);
    t.m_kindChars = std::move(flat.kindChars);
    t.m_termChars = std::move(flat.termChars);
    t.m_wordOffsets = std::move(flat.wordOffsets);
    t.m_kindOffsets = std::move(flat.kindOffsets);
    t.m_termOffsets = std::move(flat.termOffsets);
    t.m_senseRuns = std::move(flat.senseRuns);
    t.m_termRuns = std::move(flat.termRuns);
    QList<QString> words;
    words.reserve(t.entryCount());
    for (int e = 0; e < t.entryCount(); ++e)
        words.append(t.word(e).toString());
    t.m_index = HeadwordIndex(words);
    return t;
}

namespace {

// Ids of the thesaurus's tables in the cache file; its headword index follows.
enum : uint32_t {
    kWordChars = 3000, kWordOffsets, kKindChars, kKindOffsets, kTermChars, kTermOffsets, kSenseRuns, kTermRuns,
    kIndex = 3010,
};

} // namespace

void Thesaurus::save(corvus::TableWriter &out) const
{
    out.add(kWordChars, m_wordChars.span());
    out.add(kWordOffsets, m_wordOffsets.span());
    out.add(kKindChars, m_kindChars.span());
    out.add(kKindOffsets, m_kindOffsets.span());
    out.add(kTermChars, m_termChars.span());
    out.add(kTermOffsets, m_termOffsets.span());
    out.add(kSenseRuns, m_senseRuns.span());
    out.add(kTermRuns, m_termRuns.span());
    m_index.save(out, kIndex);
}

std::optional<Thesaurus> Thesaurus::adopt(const corvus::TableReader &tables, std::shared_ptr<const void> storage)
{
    corvus::Span<char16_t> wordChars, kindChars, termChars;
    corvus::Span<uint32_t> wordOffsets, kindOffsets, termOffsets, senseRuns, termRuns;
    if (!tables.get(kWordChars, wordChars) || !tables.get(kWordOffsets, wordOffsets)
        || !tables.get(kKindChars, kindChars) || !tables.get(kKindOffsets, kindOffsets)
        || !tables.get(kTermChars, termChars) || !tables.get(kTermOffsets, termOffsets)
        || !tables.get(kSenseRuns, senseRuns) || !tables.get(kTermRuns, termRuns))
        return std::nullopt;
    // Entries, senses and terms: every count agrees; every offset and run is
    // checked with the full check.
    const size_t E = wordOffsets.size(), S = kindOffsets.size(), T = termOffsets.size();
    if (E < 2 || S < 1 || T < 1 || senseRuns.size() != E || termRuns.size() != S)
        return std::nullopt;
    if (tables.full()
        && (!corvus::tablecheck::offsets(wordOffsets, E - 1, wordChars.size())
            || !corvus::tablecheck::offsets(kindOffsets, S - 1, kindChars.size())
            || !corvus::tablecheck::offsets(termOffsets, T - 1, termChars.size())
            || !corvus::tablecheck::offsets(senseRuns, E - 1, S - 1)
            || !corvus::tablecheck::offsets(termRuns, S - 1, T - 1)))
        return std::nullopt;
    Thesaurus t;
    if (!t.m_index.adopt(tables, kIndex) || t.m_index.size() > int(E - 1))
        return std::nullopt;
    for (int place = 0; tables.full() && place < t.m_index.size(); ++place)
        if (size_t(t.m_index.sourceIndex(place)) >= E - 1)
            return std::nullopt;
    t.m_wordChars = wordChars;
    t.m_kindChars = kindChars;
    t.m_termChars = termChars;
    t.m_wordOffsets = wordOffsets;
    t.m_kindOffsets = kindOffsets;
    t.m_termOffsets = termOffsets;
    t.m_senseRuns = senseRuns;
    t.m_termRuns = termRuns;
    t.m_storage = std::move(storage);
    return t;
}

QList<ThesaurusEntry> Thesaurus::entries() const
{
    QList<ThesaurusEntry> out;
    for (int e = 0; e < entryCount(); ++e) {
        ThesaurusEntry entry;
        entry.word = word(e).toString();
        for (int s = senseBegin(e); s < senseEnd(e); ++s) {
            ThesaurusSense sense;
            sense.kind = kind(s).toString();
            for (int k = termBegin(s); k < termEnd(s); ++k)
                sense.terms.append(term(k).toString());
            entry.senses.append(sense);
        }
        out.append(entry);
    }
    return out;
}

int Thesaurus::find(QStringView word) const
{
    const int place = m_index.find(word);
    return place < 0 ? -1 : m_index.sourceIndex(place);
}

QStringList Thesaurus::synonyms(QStringView word) const
{
    QStringList out;
    const int e = find(word);
    if (e < 0)
        return out;
    const std::u16string self = russian::sortKey(word);
    QSet<QString> seen;
    for (int s = senseBegin(e); s < senseEnd(e); ++s) {
        if (!isSynonymKind(kind(s)))
            continue;
        for (int k = termBegin(s); k < termEnd(s); ++k) {
            const QStringView t = term(k);
            const QString key = t.toString().toLower();
            if (russian::sortKey(t) == self || seen.contains(key))
                continue;
            seen.insert(key);
            out.append(t.toString());
        }
    }
    return out;
}

ThesaurusDictionary::ThesaurusDictionary(std::shared_ptr<const Thesaurus> thesaurus,
                                         QByteArray name)
    : m_thesaurus(std::move(thesaurus)), m_name(std::move(name))
{
}

qint32 ThesaurusDictionary::headwordSize(int place) const
{
    const Thesaurus &t = *m_thesaurus;
    const int e = t.index().sourceIndex(place);
    return qint32(t.termBegin(t.senseEnd(e)) - t.termBegin(t.senseBegin(e)));
}

QList<QByteArray> ThesaurusDictionary::entryLines(int place) const
{
    const Thesaurus &t = *m_thesaurus;
    const HeadwordIndex &index = t.index();
    const int e = index.sourceIndex(place);
    QList<QByteArray> lines;
    lines.append(dictreplies::cleanText(cp1251::encode(t.word(e).toString())));
    for (int s = t.senseBegin(e); s < t.senseEnd(e); ++s) {
        lines.append('\t' + QByteArray::number(s - t.senseBegin(e) + 1) + ". "
                     + dictreplies::cleanText(cp1251::encode(t.kind(s).toString())));
        for (int k = t.termBegin(s); k < t.termEnd(s); ++k) {
            const QStringView term = t.term(k);
            QByteArray line = "\t\t" + dictreplies::cleanText(cp1251::encode(term.toString()));
            const int target = index.find(term);
            if (target >= 0 && target != place)
                line += dictreplies::reference(target + 1);
            lines.append(line);
        }
    }
    return lines;
}
