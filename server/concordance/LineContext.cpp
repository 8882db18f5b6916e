// What a line shows: the words around an occurrence, a token on the base, a
// text's name, and the dictionary links of a word.
#include "concordance/Lines.h"

#include "concordance/WireText.h"
#include "corpus/Charset.h"
#include "dictionary/CorpusDictionary.h"
#include "dictionary/DictionaryReplies.h"

#include <algorithm>

namespace corvus::conc {

// ---------------------------------------------------------------------------------
// What a line shows

void LineEngine::appendShown(uint32_t token, Base base, QByteArray &out) const
{
    const Corpus &c = corpus();
    if (base == Base::Lemma && !c.isPunct(token)) {
        const uint32_t lemma = c.lemmaOf(token);
        if (lemma != kNone) {
            appendCleanBytes(out, c.lemmas().text(lemma));
            return;
        }
    }
    QByteArray shown;
    c.appendDisplay(token, shown);
    appendCleanBytes(out, viewOf(shown));
}

QByteArray LineEngine::textName(uint32_t text) const
{
    const TextInfo &t = corpus().text(text);
    QByteArray name = t.author.isEmpty() ? t.title : t.author + ". " + t.title;
    if (name.size() > 160)
        name.truncate(160);
    QByteArray out;
    appendCleanBytes(out, viewOf(name));
    return out;
}

LineEngine::Context LineEngine::context(uint32_t token, int width, Base base) const
{
    Context ctx;
    const Corpus &c = corpus();
    const TextInfo &ti = c.text(c.textOf(token));
    const uint32_t lo = ti.firstToken, hi = ti.firstToken + ti.tokenCount;
    const bool verse = ti.kind == TextKind::Verse;
    width = std::clamp(width, 0, kMaxConcWidth);

    // The first token of the left context: the width-th word to the left, with
    // the punctuation that opens it; the text's first token when fewer words.
    uint32_t start = token;
    int words = 0;
    for (uint32_t t = token; t > lo && words < width;) {
        --t;
        start = t;
        if (!c.isPunct(t))
            ++words;
    }
    if (words < width)
        start = lo;
    while (start > lo && c.isPunct(start - 1) && !(c.tokenFlags(start) & kSpaceBefore))
        --start;

    // The last token of the right context: the width-th word to the right with the
    // punctuation attached to it.
    uint32_t end = token + 1;
    words = 0;
    while (end < hi && words < width) {
        if (!c.isPunct(end))
            ++words;
        ++end;
    }
    while (end < hi && c.isPunct(end) && !(c.tokenFlags(end) & kSpaceBefore) && !(c.tokenFlags(end - 1) & kLineEnd))
        ++end;

    const auto separator = [&](uint32_t t, QByteArray &out) {
        // Before token t (t > the first token of its part).
        const uint8_t prev = c.tokenFlags(t - 1);
        if (verse && (prev & kLineEnd)) {
            out += " ` ";
            return;
        }
        if ((c.tokenFlags(t) & kSpaceBefore) || (prev & kLineEnd))
            out += ' ';
    };
    for (uint32_t t = start; t < token; ++t) {
        if (t > start)
            separator(t, ctx.left);
        appendShown(t, base, ctx.left);
    }
    if (token > start && verse && (c.tokenFlags(token - 1) & kLineEnd))
        ctx.left += " `";
    appendShown(token, base, ctx.centre);
    for (uint32_t t = token + 1; t < end; ++t) {
        if (t == token + 1) {
            if (verse && (c.tokenFlags(token) & kLineEnd))
                ctx.right += "` ";
            else if (c.tokenFlags(t) & kSpaceBefore)
                ctx.right += ' ';
        } else {
            separator(t, ctx.right);
        }
        appendShown(t, base, ctx.right);
    }
    return ctx;
}

QList<DictLink> LineEngine::links(uint32_t token) const
{
    QList<DictLink> out;
    const Corpus &c = corpus();
    if (token >= c.tokenCount() || c.isPunct(token))
        return out;
    const uint32_t lemma = c.lemmaOf(token);
    QString lemmaText, formText;
    for (int d = 0; d < m_dictionaries.size() && out.size() < 3; ++d) {
        int place = -1;
        if (d == m_corpusDict) {
            if (lemma != kNone)
                place = m_corpusDictionary->placeOfLemma(lemma);
        } else {
            const HeadwordIndex &idx = m_dictionaries[d]->dictionary().index();
            if (lemmaText.isNull() && lemma != kNone)
                lemmaText = charset::toQString(c.lemmas().text(lemma));
            if (!lemmaText.isEmpty())
                place = idx.find(lemmaText);
            if (place < 0) {
                if (formText.isNull())
                    formText = charset::toQString(c.forms().text(c.formOf(token)));
                place = idx.find(formText);
            }
        }
        if (place >= 0)
            out.append({d, place + 1});
    }
    return out;
}

std::optional<std::pair<qint32, qint32>> LineEngine::entryTie(int dictNo, int place) const
{
    if (dictNo < 0 || dictNo >= m_dictionaries.size())
        return std::nullopt;
    const Dictionary &dict = m_dictionaries[dictNo]->dictionary();
    if (place < 0 || place >= dict.index().size())
        return std::nullopt;
    std::string word;
    if (dictNo == m_corpusDict) {
        const uint32_t lemma = static_cast<const CorpusDictionary &>(dict).lemmaAt(place);
        word = std::string(corpus().lemmas().text(lemma));
    } else {
        word = charset::fold(charset::toCp1251(dict.index().word(place)).toStdString());
    }
    for (const int charNo : {int(kCharLemma), int(kCharForm)}) {
        if (!m_engine->validChar(charNo))
            continue;
        const Characteristic &ch = m_engine->characteristic(charNo);
        const uint32_t v = ch.find(word);
        if (v != kNone && v != ch.emptyValue() && ch.count(v) > 0)
            return std::make_pair(qint32(v), qint32(charNo));
    }
    return std::nullopt;
}

} // namespace corvus::conc
