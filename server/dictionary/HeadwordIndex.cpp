#include "dictionary/HeadwordIndex.h"

#include "corpus/Charset.h"
#include "model/Cp1251.h"

#include <algorithm>
#include <numeric>

namespace russian {

namespace {

// The corpus's collation (charset::compareAlpha) with case ignored; characters
// that code page 1251 lacks after all of it, by their code.
char16_t keyOf(QChar c)
{
    const char16_t u = c.toLower().unicode();
    const uint8_t b = corvus::charset::byteOf(u);
    if (b != 0)
        return char16_t(1 + corvus::charset::weight(b == 0x92 ? uint8_t('\'') : corvus::charset::lower(b)));
    return u >= 0xFFFF - 257 ? char16_t(0xFFFF) : char16_t(u + 257);
}

} // namespace

std::u16string sortKey(QStringView word)
{
    std::u16string key;
    key.reserve(size_t(word.size()));
    for (const QChar c : word)
        key.push_back(keyOf(c));
    return key;
}

bool less(QStringView a, QStringView b)
{
    const std::u16string ka = sortKey(a);
    const std::u16string kb = sortKey(b);
    if (ka != kb)
        return ka < kb;
    return a < b;
}

QString capitals(QStringView word)
{
    return word.toString().toUpper();
}

// The sort key of `word` against `key`, as the two keys would compare.
int compareKey(QStringView word, const std::u16string &key)
{
    const size_t n = std::min(size_t(word.size()), key.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t k = keyOf(word[qsizetype(i)]);
        if (k != key[i])
            return k < key[i] ? -1 : 1;
    }
    return size_t(word.size()) < key.size() ? -1 : (size_t(word.size()) > key.size() ? 1 : 0);
}

} // namespace russian

HeadwordIndex::HeadwordIndex(const QList<QString> &words)
{
    const int n = int(words.size());
    std::vector<std::u16string> keys(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        keys[size_t(i)] = russian::sortKey(words[i]);

    std::vector<int> order;
    order.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        if (!words[i].isEmpty())
            order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        if (keys[size_t(a)] != keys[size_t(b)])
            return keys[size_t(a)] < keys[size_t(b)];
        return words[a] < words[b];
    });

    std::vector<int32_t> placeOfSource(size_t(n), -1), source;
    std::vector<char16_t> chars;
    std::vector<uint32_t> offsets{0};
    source.reserve(order.size());
    for (const int src : order) {
        placeOfSource[size_t(src)] = int32_t(source.size());
        source.push_back(src);
        const QString &w = words[src];
        chars.insert(chars.end(), reinterpret_cast<const char16_t *>(w.utf16()),
                     reinterpret_cast<const char16_t *>(w.utf16()) + w.size());
        offsets.push_back(uint32_t(chars.size()));
    }

    // Letters and pairs are runs of equal first (first two) key characters, which
    // the sort has made contiguous.
    std::vector<int32_t> letterRuns, pairRuns;
    for (size_t p = 0; p < order.size(); ++p) {
        const std::u16string &key = keys[size_t(order[p])];
        const std::u16string *prev = p > 0 ? &keys[size_t(order[p - 1])] : nullptr;
        const bool newLetter = !prev || (*prev)[0] != key[0];
        if (newLetter)
            letterRuns.insert(letterRuns.end(), {int32_t(p), 0, int32_t(pairRuns.size() / 2)});
        if (newLetter || prev->substr(0, 2) != key.substr(0, 2))
            pairRuns.insert(pairRuns.end(), {int32_t(p), 0});
        ++letterRuns[letterRuns.size() - 2];
        ++pairRuns.back();
    }
    m_chars = std::move(chars);
    m_offsets = std::move(offsets);
    m_source = std::move(source);
    m_placeOfSource = std::move(placeOfSource);
    m_letterRuns = std::move(letterRuns);
    m_pairRuns = std::move(pairRuns);
    makeLetters();
}

void HeadwordIndex::makeLetters()
{
    m_letters.clear();
    const size_t letters = m_letterRuns.size() / 3;
    for (size_t l = 0; l < letters; ++l) {
        Letter letter;
        letter.first = m_letterRuns[3 * l];
        letter.count = m_letterRuns[3 * l + 1];
        letter.text = cp1251::encode(russian::capitals(view(letter.first).first(1)));
        const size_t pairsEnd = l + 1 < letters ? size_t(m_letterRuns[3 * l + 5]) : m_pairRuns.size() / 2;
        for (size_t p = size_t(m_letterRuns[3 * l + 2]); p < pairsEnd; ++p) {
            Pair pair;
            pair.first = m_pairRuns[2 * p];
            pair.count = m_pairRuns[2 * p + 1];
            const QStringView w = view(pair.first);
            pair.text = cp1251::encode(russian::capitals(w.first(std::min<qsizetype>(2, w.size()))));
            letter.pairs.append(pair);
        }
        m_letters.append(letter);
    }
}

namespace {

enum : uint32_t { kChars, kOffsets, kSource, kPlaceOfSource, kLetterRuns, kPairRuns };

} // namespace

void HeadwordIndex::save(corvus::TableWriter &out, uint32_t base) const
{
    out.add(base + kChars, m_chars.span());
    out.add(base + kOffsets, m_offsets.span());
    out.add(base + kSource, m_source.span());
    out.add(base + kPlaceOfSource, m_placeOfSource.span());
    out.add(base + kLetterRuns, m_letterRuns.span());
    out.add(base + kPairRuns, m_pairRuns.span());
}

bool HeadwordIndex::adopt(const corvus::TableReader &tables, uint32_t base)
{
    corvus::Span<char16_t> chars;
    corvus::Span<uint32_t> offsets;
    corvus::Span<int32_t> source, placeOfSource, letterRuns, pairRuns;
    if (!tables.get(base + kChars, chars) || !tables.get(base + kOffsets, offsets)
        || !tables.get(base + kSource, source) || !tables.get(base + kPlaceOfSource, placeOfSource)
        || !tables.get(base + kLetterRuns, letterRuns) || !tables.get(base + kPairRuns, pairRuns))
        return false;
    const size_t n = source.size();
    if (offsets.size() != n + 1 || letterRuns.size() % 3 != 0 || pairRuns.size() % 2 != 0
        || placeOfSource.size() > size_t(INT32_MAX) || n > placeOfSource.size())
        return false;
    // The letters and pairs partition the places in order, each pair inside its
    // letter, and the words they show begin within the text: checked always, as
    // they are read now.
    const size_t letters = letterRuns.size() / 3, pairs = pairRuns.size() / 2;
    const auto wordOk = [&](size_t place) {
        return place < n && offsets[place] < offsets[place + 1] && offsets[place + 1] <= chars.size();
    };
    int64_t nextPlace = 0;
    size_t nextPair = 0;
    for (size_t l = 0; l < letters; ++l) {
        const int64_t first = letterRuns[3 * l], count = letterRuns[3 * l + 1];
        const int64_t pairsBegin = letterRuns[3 * l + 2];
        const int64_t pairsEnd = l + 1 < letters ? int64_t(letterRuns[3 * l + 5]) : int64_t(pairs);
        if (first != nextPlace || count <= 0 || pairsBegin != int64_t(nextPair) || pairsEnd <= pairsBegin
            || pairsEnd > int64_t(pairs) || !wordOk(size_t(first)))
            return false;
        int64_t inLetter = first;
        for (size_t p = size_t(pairsBegin); p < size_t(pairsEnd); ++p) {
            if (pairRuns[2 * p] != inLetter || pairRuns[2 * p + 1] <= 0 || !wordOk(size_t(inLetter)))
                return false;
            inLetter += pairRuns[2 * p + 1];
        }
        if (inLetter != first + count)
            return false;
        nextPlace = first + count;
        nextPair = size_t(pairsEnd);
    }
    if (size_t(nextPlace) != n || nextPair != pairs)
        return false;
    if (tables.full()) {
        if (offsets[0] != 0 || offsets[n] != chars.size())
            return false;
        for (size_t p = 0; p < n; ++p)
            if (!wordOk(p) || source[p] < 0 || size_t(source[p]) >= placeOfSource.size()
                || placeOfSource[size_t(source[p])] != int32_t(p))
                return false;
        for (const int32_t p : placeOfSource)
            if (p < -1 || p >= int64_t(n))
                return false;
    }
    m_chars = chars;
    m_offsets = offsets;
    m_source = source;
    m_placeOfSource = placeOfSource;
    m_letterRuns = letterRuns;
    m_pairRuns = pairRuns;
    makeLetters();
    return true;
}

QByteArray HeadwordIndex::text(int place) const
{
    return cp1251::encode(russian::capitals(view(place)));
}

HeadwordIndex::Place HeadwordIndex::locate(int place) const
{
    Place where;
    if (place < 0 || place >= size())
        return where;
    const auto letter = std::upper_bound(m_letters.begin(), m_letters.end(), place,
                                         [](int p, const Letter &l) { return p < l.first; });
    where.letter = int(letter - m_letters.begin()) - 1;
    const QList<Pair> &pairs = m_letters[where.letter].pairs;
    const auto pair = std::upper_bound(pairs.begin(), pairs.end(), place,
                                       [](int p, const Pair &pr) { return p < pr.first; });
    where.pair = int(pair - pairs.begin()) - 1;
    where.offset = place - pairs[where.pair].first;
    return where;
}

int HeadwordIndex::find(QStringView word) const
{
    if (word.isEmpty())
        return -1;
    const std::u16string key = russian::sortKey(word);
    int lo = 0, hi = size();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (russian::compareKey(view(mid), key) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == size() || russian::compareKey(view(lo), key) != 0)
        return -1;
    return lo;
}
