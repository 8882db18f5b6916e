#include "dictionary/DictionaryReplies.h"

#include "model/CommaList.h"
#include "model/Cp1251.h"

namespace dictreplies {

QByteArray cleanText(const QByteArray &text)
{
    QByteArray out = text;
    for (char &c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 32)
            c = ' ';
        else if (c == '$')
            c = char(0xA4);   // the generic currency sign of 1251
    }
    return out;
}

QByteArray reference(int number)
{
    const QByteArray n = QByteArray::number(number);
    return "$$+A" + n + ',' + n;
}

QByteArray element(const QByteArray &text, qint32 nestRef, qint32 nestSize, qint32 extra1,
                   qint32 extra2)
{
    QByteArray e;
    e.reserve(text.size() + 40);
    e += cleanText(text);
    e += "\x04$(";
    e += QByteArray::number(nestRef);
    e += ',';
    e += QByteArray::number(nestSize);
    e += ',';
    e += QByteArray::number(extra1);
    e += ',';
    e += QByteArray::number(extra2);
    e += "\x04)$";
    return e;
}

} // namespace dictreplies

ServedDictionary::ServedDictionary(std::unique_ptr<Dictionary> dictionary)
    : m_dictionary(std::move(dictionary))
{
    compose();
}

ServedDictionary::ServedDictionary(std::unique_ptr<Dictionary> dictionary, const corvus::TableReader &tables,
                                   uint32_t base, std::shared_ptr<const void> storage)
    : m_dictionary(std::move(dictionary)), m_storage(std::move(storage))
{
    m_fromTables = adopt(tables, base);
    if (!m_fromTables) {
        m_storage.reset();
        compose();
    }
}

void ServedDictionary::compose()
{
    const HeadwordIndex &idx = m_dictionary->index();
    const auto &letters = idx.letters();
    std::vector<char> bodies;
    std::vector<uint32_t> offsets{0};
    const auto finish = [&](const QByteArray &body) {
        bodies.insert(bodies.end(), body.begin(), body.end());
        offsets.push_back(uint32_t(bodies.size()));
    };

    QList<QByteArray> elements;
    elements.append(dictreplies::element(m_dictionary->name(), m_dictionary->summaryFirst(),
                                         m_dictionary->summarySecond(), 0, 0));
    for (int l = 0; l < letters.size(); ++l) {
        const auto &letter = letters[l];
        elements.append(dictreplies::element(letter.text, letter.first + 1, letter.count, l + 1,
                                             int(letter.pairs.size())));
    }
    finish(elements.join(','));
    for (int l = 0; l < letters.size(); ++l) {
        QList<QByteArray> pairs;
        for (int p = 0; p < letters[l].pairs.size(); ++p) {
            const auto &pair = letters[l].pairs[p];
            pairs.append(dictreplies::element(pair.text, pair.first + 1, pair.count, l + 1, p));
        }
        finish(pairs.join(','));
    }
    for (int l = 0; l < letters.size(); ++l) {
        for (int p = 0; p < letters[l].pairs.size(); ++p) {
            const auto &pair = letters[l].pairs[p];
            QByteArray words;
            for (int w = pair.first; w < pair.first + pair.count; ++w) {
                if (w > pair.first)
                    words += ',';
                words += dictreplies::element(idx.text(w), w + 1, m_dictionary->headwordSize(w), l + 1, p);
            }
            finish(words);
        }
    }
    m_bodies = std::move(bodies);
    m_bodyOffsets = std::move(offsets);
    m_firstPair.clear();
    int pairs = 0;
    for (const auto &letter : letters) {
        m_firstPair.append(pairs);
        pairs += int(letter.pairs.size());
    }
    m_lettersBody = body(0);
}

bool ServedDictionary::adopt(const corvus::TableReader &tables, uint32_t base)
{
    corvus::Span<char> bodies;
    corvus::Span<uint32_t> offsets;
    if (!tables.get(base, bodies) || !tables.get(base + 1, offsets))
        return false;
    // One body for the letters, one per letter and one per pair: few, so their
    // offsets are checked whatever the reader asks.
    const auto &letters = m_dictionary->index().letters();
    size_t pairs = 0;
    for (const auto &letter : letters)
        pairs += size_t(letter.pairs.size());
    const size_t n = 1 + size_t(letters.size()) + pairs;
    if (!corvus::tablecheck::offsets(offsets, n, bodies.size()))
        return false;
    m_bodies = bodies;
    m_bodyOffsets = offsets;
    int first = 0;
    for (const auto &letter : letters) {
        m_firstPair.append(first);
        first += int(letter.pairs.size());
    }
    m_lettersBody = body(0);
    return true;
}

void ServedDictionary::save(corvus::TableWriter &out, uint32_t base) const
{
    out.add(base, m_bodies.span());
    out.add(base + 1, m_bodyOffsets.span());
}

QByteArray ServedDictionary::body(size_t i) const
{
    if (i + 1 >= m_bodyOffsets.size())
        return QByteArray();
    return QByteArray::fromRawData(m_bodies.data() + m_bodyOffsets[i],
                                   qsizetype(m_bodyOffsets[i + 1] - m_bodyOffsets[i]));
}

ServedDictionary::Resolved ServedDictionary::resolve(const tCDictPos &requested) const
{
    Resolved r;
    r.pos = requested;
    const HeadwordIndex &idx = m_dictionary->index();
    const auto &letters = idx.letters();

    if (requested.WordMode == 'A') {
        const HeadwordIndex::Place where = idx.locate(requested.WordNo);
        if (where.letter < 0) {
            r.error = QByteArray(cp1251::ru("Заглавное слово с номером "))
                + QByteArray::number(qint64(requested.WordNo) + 1)
                + cp1251::ru(" отсутствует в словаре «") + m_dictionary->name() + cp1251::ru("».");
            return r;
        }
        r.pos.LetterNo = where.letter + 1;
        r.pos.PairNo = where.pair;
        r.pos.WordMode = 'R';
        r.pos.WordNo = where.offset;
        r.place = requested.WordNo;
        r.ok = true;
        return r;
    }

    r.pos.WordMode = 'R';
    r.ok = true;
    if (letters.isEmpty()) {
        r.pos.LetterNo = 0;
        r.pos.PairNo = 0;
        r.pos.WordNo = -1;
        return r;
    }
    if (r.pos.LetterNo < 1 || r.pos.LetterNo > letters.size())
        r.pos.LetterNo = 1;
    const auto &letter = letters[r.pos.LetterNo - 1];
    if (r.pos.PairNo < 0 || r.pos.PairNo >= letter.pairs.size())
        r.pos.PairNo = 0;
    const auto &pair = letter.pairs[r.pos.PairNo];
    if (r.pos.WordNo < 0 || r.pos.WordNo >= pair.count)
        r.pos.WordNo = 0;
    r.place = pair.first + r.pos.WordNo;
    return r;
}

QByteArray ServedDictionary::pairsBody(int letter) const
{
    if (letter < 0 || letter >= m_firstPair.size())
        return {};
    return body(1 + size_t(letter));
}

QByteArray ServedDictionary::headwordsBody(int letter, int pair) const
{
    if (letter < 0 || letter >= m_firstPair.size())
        return {};
    const auto &pairs = m_dictionary->index().letters()[letter].pairs;
    if (pair < 0 || pair >= pairs.size())
        return {};
    return body(1 + size_t(m_firstPair.size()) + size_t(m_firstPair[letter]) + size_t(pair));
}

QByteArray ServedDictionary::entryBody(int place) const
{
    const HeadwordIndex &idx = m_dictionary->index();
    if (place < 0 || place >= idx.size())
        return {};
    QList<QByteArray> items;
    items.append(idx.text(place));
    items += m_dictionary->entryLines(place);
    return commalist::join(items);
}
