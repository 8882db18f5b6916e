#include "HeadwordIndex.h"

#include "model/Cp1251.h"

#include <algorithm>
#include <numeric>

namespace russian {

namespace {

char16_t keyOf(QChar c)
{
    const char16_t u = c.toLower().unicode();
    if (u == u' ')
        return 1;
    if (u == u'-')
        return 2;
    if (u >= u'а' && u <= u'е')
        return char16_t(3 + (u - u'а'));
    if (u == u'ё')
        return 9;
    if (u >= u'ж' && u <= u'я')
        return char16_t(10 + (u - u'ж'));
    // Everything else after the alphabet (я is 35), by its code.
    return u >= 0xFFFF - 64 ? char16_t(0xFFFF) : char16_t(u + 64);
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

    m_placeOfSource = QList<int>(n, -1);
    m_words.reserve(qsizetype(order.size()));
    m_texts.reserve(qsizetype(order.size()));
    m_keys.reserve(order.size());
    m_source.reserve(qsizetype(order.size()));
    for (const int src : order) {
        m_placeOfSource[src] = int(m_words.size());
        m_words.append(words[src]);
        m_texts.append(cp1251::encode(russian::capitals(words[src])));
        m_keys.push_back(std::move(keys[size_t(src)]));
        m_source.append(src);
    }

    // Letters and pairs are runs of equal first (first two) key characters, which
    // the sort has made contiguous.
    m_letterOf.resize(m_words.size());
    m_pairOf.resize(m_words.size());
    for (int p = 0; p < int(m_words.size()); ++p) {
        const std::u16string &key = m_keys[size_t(p)];
        const bool newLetter = m_letters.isEmpty() || m_keys[size_t(p - 1)][0] != key[0];
        if (newLetter) {
            Letter l;
            l.text = cp1251::encode(russian::capitals(QStringView(m_words[p]).first(1)));
            l.first = p;
            m_letters.append(l);
        }
        Letter &letter = m_letters.last();
        const std::u16string pairKey = key.substr(0, 2);
        const bool newPair = newLetter
            || m_keys[size_t(p - 1)].substr(0, 2) != pairKey;
        if (newPair) {
            Pair pr;
            pr.text = cp1251::encode(
                russian::capitals(QStringView(m_words[p]).first(qMin<qsizetype>(2, m_words[p].size()))));
            pr.first = p;
            letter.pairs.append(pr);
        }
        ++letter.count;
        ++letter.pairs.last().count;
        m_letterOf[p] = int(m_letters.size()) - 1;
        m_pairOf[p] = int(letter.pairs.size()) - 1;
    }
}

HeadwordIndex::Place HeadwordIndex::locate(int place) const
{
    Place where;
    if (place < 0 || place >= size())
        return where;
    where.letter = m_letterOf[place];
    where.pair = m_pairOf[place];
    where.offset = place - m_letters[where.letter].pairs[where.pair].first;
    return where;
}

int HeadwordIndex::find(QStringView word) const
{
    if (word.isEmpty())
        return -1;
    const std::u16string key = russian::sortKey(word);
    const auto it = std::lower_bound(m_keys.begin(), m_keys.end(), key);
    if (it == m_keys.end() || *it != key)
        return -1;
    return int(it - m_keys.begin());
}
