#include "dictionary/CorpusDictionary.h"

#include "dictionary/DictionaryReplies.h"
#include "dictionary/Thesaurus.h"
#include "corpus/Charset.h"
#include "model/Cp1251.h"

#include <algorithm>
#include <map>

namespace {

QByteArray bytes(std::string_view s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

bool hasLetter(std::string_view s)
{
    return std::any_of(s.begin(), s.end(),
                       [](char c) { return corvus::charset::isLetter(static_cast<uint8_t>(c)); });
}

QByteArray countLine(int depth, const QByteArray &text, quint64 count)
{
    return QByteArray(depth, '\t') + dictreplies::cleanText(text) + cp1251::ru(" — ")
        + QByteArray::number(count);
}

QByteArray moreLine(int depth, qsizetype rest)
{
    return QByteArray(depth, '\t') + cp1251::ru("… и ещё ") + QByteArray::number(rest);
}

QByteArray textLabel(const corvus::TextInfo &t)
{
    if (t.author.isEmpty())
        return t.title;
    return t.author + ". " + t.title;
}

// A heading with the number of items ("Словоформы (12)"), the first `max` items
// (count, what) with their counts, and how many more there are.
template <typename Counted, typename Label>
void appendCounted(QList<QByteArray> &lines, const char *headingUtf8, const std::vector<Counted> &items, int max,
                   Label label)
{
    lines.append(QByteArray("\t") + cp1251::ru(headingUtf8) + QByteArray::number(qsizetype(items.size())) + ')');
    for (size_t i = 0; i < items.size() && i < size_t(max); ++i)
        lines.append(countLine(2, label(items[i].second), items[i].first));
    if (items.size() > size_t(max))
        lines.append(moreLine(2, qsizetype(items.size()) - max));
}

// The uses of a lemma per text (count, text id), in corpus order: postings ascend and
// texts are consecutive token ranges, so the uses of one text form one run.
std::vector<std::pair<uint32_t, uint32_t>> textCounts(const corvus::Corpus &c, const corvus::Table<uint32_t> &postings)
{
    std::vector<std::pair<uint32_t, uint32_t>> texts;
    for (size_t i = 0; i < postings.size();) {
        const uint32_t text = c.textOf(postings[i]);
        if (text == corvus::kNone) {
            ++i;   // a token out of range (a damaged cache file's posting): in no text
            continue;
        }
        const corvus::TextInfo &info = c.text(text);
        const uint32_t end = info.firstToken + info.tokenCount;
        size_t j = i;
        while (j < postings.size() && postings[j] < end)
            ++j;
        texts.emplace_back(uint32_t(j - i), text);
        i = j;
    }
    return texts;
}

// The uses per author (count, name), most first; authors of equal counts in the
// order of their names.
std::vector<std::pair<uint64_t, QByteArray>> authorCounts(const corvus::Corpus &c,
                                                          const std::vector<std::pair<uint32_t, uint32_t>> &texts)
{
    std::map<QByteArray, uint64_t> byAuthor;
    for (const auto &[count, text] : texts)
        byAuthor[c.text(text).author] += count;
    std::vector<std::pair<uint64_t, QByteArray>> authors;
    for (const auto &[author, count] : byAuthor)
        authors.emplace_back(count, author.isEmpty() ? cp1251::ru("(автор не указан)") : author);
    std::stable_sort(authors.begin(), authors.end(),
                     [](const auto &a, const auto &b) { return a.first > b.first; });
    return authors;
}

} // namespace

CorpusDictionary::CorpusDictionary(std::shared_ptr<const corvus::Corpus> corpus,
                                   std::shared_ptr<const Thesaurus> thesaurus, QByteArray name, uint32_t base)
    : m_corpus(std::move(corpus)), m_thesaurus(std::move(thesaurus)), m_name(std::move(name))
{
    const corvus::Lexicon &lemmas = m_corpus->lemmas();
    const corvus::TableReader &tables = m_corpus->tables();
    corvus::Span<uint32_t> ids;
    // The lemma of each headword, ascending; its index follows.
    if (base != 0 && tables.get(base, ids) && m_index.adopt(tables, base + 1)
        && ids.size() >= size_t(m_index.size())) {
        bool ok = true;
        for (int place = 0; tables.full() && ok && place < m_index.size(); ++place)
            ok = size_t(m_index.sourceIndex(place)) < ids.size();
        for (size_t i = 0; tables.full() && ok && i < ids.size(); ++i)
            ok = ids[i] < lemmas.size() && (i == 0 || ids[i] > ids[i - 1]);
        if (ok) {
            m_lemmaIds = ids;
            m_fromTables = true;
            return;
        }
        m_index = HeadwordIndex();
    }
    QList<QString> words;
    words.reserve(qsizetype(lemmas.size()));
    std::vector<uint32_t> lemmaIds;
    lemmaIds.reserve(lemmas.size());
    for (uint32_t id = 0; id < lemmas.size(); ++id) {
        const std::string_view text = lemmas.text(id);
        if (lemmas.count(id) == 0 || !hasLetter(text))
            continue;
        lemmaIds.push_back(id);
        words.append(corvus::charset::toQString(text));
    }
    m_lemmaIds = std::move(lemmaIds);
    m_index = HeadwordIndex(words);
}

void CorpusDictionary::save(corvus::TableWriter &out, uint32_t base) const
{
    out.add(base, m_lemmaIds.span());
    m_index.save(out, base + 1);
}

int CorpusDictionary::placeOfLemma(uint32_t lemma) const
{
    const auto it = std::lower_bound(m_lemmaIds.begin(), m_lemmaIds.end(), lemma);
    if (it == m_lemmaIds.end() || *it != lemma)
        return -1;
    return m_index.placeOfSource(int(it - m_lemmaIds.begin()));
}

qint32 CorpusDictionary::summarySecond() const
{
    return qint32(std::min<uint64_t>(m_corpus->wordCount(), uint64_t(INT32_MAX)));
}

qint32 CorpusDictionary::headwordSize(int place) const
{
    return qint32(std::min<uint32_t>(m_corpus->lemmas().count(lemmaAt(place)), uint32_t(INT32_MAX)));
}

QByteArray CorpusDictionary::exampleLine(uint32_t token) const
{
    const corvus::Corpus &c = *m_corpus;
    const corvus::TextInfo &t = c.text(c.textOf(token));
    const uint32_t textEnd = t.firstToken + t.tokenCount;
    const uint32_t from = token >= t.firstToken + ContextBefore ? token - ContextBefore : t.firstToken;
    const uint32_t to = std::min<uint32_t>(textEnd, token + 1 + ContextAfter);

    QByteArray line = "\t\t";
    if (from > t.firstToken)
        line += cp1251::ru("… ");
    line += c.displayRange(from, token - from);
    if (token > from && (c.tokenFlags(token) & corvus::kSpaceBefore))
        line += ' ';
    line += cp1251::ru("«");
    c.appendDisplay(token, line);
    line += cp1251::ru("»");
    if (token + 1 < to) {
        if (c.tokenFlags(token + 1) & corvus::kSpaceBefore)
            line += ' ';
        line += c.displayRange(token + 1, to - token - 1);
    }
    if (to < textEnd)
        line += cp1251::ru(" …");
    line += " (" + textLabel(t) + ')';
    return "\t\t" + dictreplies::cleanText(line.mid(2)).simplified();
}

QList<QByteArray> CorpusDictionary::entryLines(int place) const
{
    const corvus::Corpus &c = *m_corpus;
    const corvus::Lexicon &lemmas = c.lemmas();
    const uint32_t lemma = lemmaAt(place);
    const corvus::Table<uint32_t> postings = c.lemmaOccurrences(lemma);

    QList<QByteArray> lines;
    lines.append(dictreplies::cleanText(bytes(lemmas.text(lemma))));
    lines.append(QByteArray("\t") + cp1251::ru("Употреблений в корпусе: ")
                 + QByteArray::number(quint64(lemmas.count(lemma))));

    const auto forms = formCounts(lemma, postings);
    appendCounted(lines, "Словоформы (", forms, MaxForms,
                  [&c](uint32_t form) { return bytes(c.forms().text(form)); });
    auto texts = textCounts(c, postings);
    appendCounted(lines, "Авторы (", authorCounts(c, texts), MaxAuthors,
                  [](const QByteArray &author) { return author; });
    std::stable_sort(texts.begin(), texts.end(),
                     [](const auto &a, const auto &b) { return a.first > b.first; });
    appendCounted(lines, "Тексты (", texts, MaxTexts, [&c](uint32_t text) { return textLabel(c.text(text)); });
    appendExamples(lines, postings);
    appendSynonyms(lines, lemma, place);
    return lines;
}

std::vector<std::pair<uint32_t, uint32_t>> CorpusDictionary::formCounts(uint32_t lemma,
                                                                        const corvus::Table<uint32_t> &postings) const
{
    const corvus::Corpus &c = *m_corpus;
    std::vector<std::pair<uint32_t, uint32_t>> forms;   // count, form id
    if (c.annotated()) {
        // A form may stand for other lemmas elsewhere: count this lemma's uses only.
        for (const uint32_t f : c.formsOfLemma(lemma))
            forms.emplace_back(0, f);
        for (const uint32_t tok : postings) {
            const uint32_t f = c.formOf(tok);
            const auto it = std::lower_bound(forms.begin(), forms.end(), f,
                                             [](const auto &e, uint32_t form) { return e.second < form; });
            if (it != forms.end() && it->second == f)
                ++it->first;
        }
    } else {
        for (const uint32_t f : c.formsOfLemma(lemma))
            forms.emplace_back(c.forms().count(f), f);
    }
    std::stable_sort(forms.begin(), forms.end(),
                     [](const auto &a, const auto &b) { return a.first > b.first; });
    return forms;
}

// Examples spread over the corpus: the first use and evenly spaced others.
void CorpusDictionary::appendExamples(QList<QByteArray> &lines, const corvus::Table<uint32_t> &postings) const
{
    if (postings.empty())
        return;
    lines.append(QByteArray("\t") + cp1251::ru("Примеры"));
    const size_t n = std::min<size_t>(postings.size(), size_t(MaxExamples));
    for (size_t k = 0; k < n; ++k)
        lines.append(exampleLine(postings[k * postings.size() / n]));
}

// Synonyms from the thesaurus that are headwords of this dictionary.
void CorpusDictionary::appendSynonyms(QList<QByteArray> &lines, uint32_t lemma, int place) const
{
    if (!m_thesaurus)
        return;
    QList<QByteArray> links;
    for (const QString &syn : m_thesaurus->synonyms(corvus::charset::toQString(m_corpus->lemmas().text(lemma)))) {
        const int target = m_index.find(syn);
        if (target < 0 || target == place)
            continue;
        links.append("\t\t" + dictreplies::cleanText(cp1251::encode(syn)) + dictreplies::reference(target + 1));
    }
    if (!links.isEmpty()) {
        lines.append(QByteArray("\t") + cp1251::ru("Синонимы в корпусе (") + QByteArray::number(links.size()) + ')');
        lines += links;
    }
}
