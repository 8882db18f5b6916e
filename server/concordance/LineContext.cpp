// What a line shows: the words around an occurrence, a token on the base, a
// text's name, and the dictionary links of a word.
#include "concordance/Lines.h"

#include "concordance/ShownForms.h"
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
    LineSink sink(&out);
    writeShown(token, base, sink);
}

void LineEngine::writeShown(uint32_t token, Base base, LineSink &out, const ShownForms *forms) const
{
    const Corpus &c = corpus();
    if (forms && token < c.tokenCount() && forms->write(c.tokenWords()[token], out))
        return;
    const qint64 from = out.size();
    if (base == Base::Lemma && !c.isPunct(token)) {
        const uint32_t lemma = c.lemmaOf(token);
        if (lemma != kNone) {
            const std::string_view text = c.lemmas().text(lemma);
            out.put(text);
            if (!out.counts())
                cleanBytes(out.at(from), text.size());
            return;
        }
    }
    uint8_t pattern = kLower;
    const std::string_view text = c.displayBytes(token, &pattern);
    out.put(text);
    if (!out.counts()) {
        Corpus::applyCase(out.at(from), text.size(), pattern);
        cleanBytes(out.at(from), text.size());
    }
}

const ShownForms &LineEngine::shownForms() const
{
    std::call_once(m_shownOnce, [this] { m_shown = std::make_unique<const ShownForms>(corpus()); });
    return *m_shown;
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
    const ContextRange r = contextRange(token, width);
    {
        LineSink left(&ctx.left);
        writeLeft(r, token, base, left);
    }
    appendShown(token, base, ctx.centre);
    LineSink right(&ctx.right);
    writeRight(r, token, base, right);
    right.finish();
    return ctx;
}

LineEngine::ContextRange LineEngine::contextRange(uint32_t token, int width) const
{
    const Corpus &c = corpus();
    const uint32_t text = c.textOf(token);
    const TextInfo &ti = c.text(text);
    const uint32_t lo = ti.firstToken, hi = ti.firstToken + ti.tokenCount;
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
    return {start, end, text, ti.kind == TextKind::Verse};
}

void LineEngine::writeSeparator(const ContextRange &r, uint32_t t, LineSink &out) const
{
    // Before token t (t > the first token of its part).
    const Corpus &c = corpus();
    const uint8_t prev = c.tokenFlags(t - 1);
    if (r.verse && (prev & kLineEnd)) {
        out.put(" ` ");
        return;
    }
    if ((c.tokenFlags(t) & kSpaceBefore) || (prev & kLineEnd))
        out.put(' ');
}

void LineEngine::writeLeft(const ContextRange &r, uint32_t token, Base base, LineSink &out,
                           const ShownForms *forms) const
{
    if (forms) {
        writeHeldTokens(r, r.start, token, *forms, out);
    } else {
        for (uint32_t t = r.start; t < token; ++t) {
            if (t > r.start)
                writeSeparator(r, t, out);
            writeShown(t, base, out);
        }
    }
    if (token > r.start && r.verse && (corpus().tokenFlags(token - 1) & kLineEnd))
        out.put(" `");
}

void LineEngine::writeRight(const ContextRange &r, uint32_t token, Base base, LineSink &out,
                            const ShownForms *forms) const
{
    const Corpus &c = corpus();
    if (token + 1 < r.end) {
        if (r.verse && (c.tokenFlags(token) & kLineEnd))
            out.put("` ");
        else if (c.tokenFlags(token + 1) & kSpaceBefore)
            out.put(' ');
    }
    if (forms) {
        writeHeldTokens(r, token + 1, r.end, *forms, out);
        return;
    }
    for (uint32_t t = token + 1; t < r.end; ++t) {
        if (t > token + 1)
            writeSeparator(r, t, out);
        writeShown(t, base, out);
    }
}

// Tokens [from, to) of a context with the separators between them (none before
// the first), their texts from the held forms where they hold them: what the loops
// above write on the form base, in one pass over the tokens' words.
void LineEngine::writeHeldTokens(const ContextRange &r, uint32_t from, uint32_t to, const ShownForms &forms,
                                 LineSink &out) const
{
    const Span<uint32_t> words = corpus().tokenWords();
    uint8_t prev = 0;
    for (uint32_t t = from; t < to; ++t) {
        if (t >= words.size()) {
            // Past the tokens (a damaged cache's text): as the loops above.
            if (t > from)
                writeSeparator(r, t, out);
            writeShown(t, Base::Form, out);
            continue;
        }
        const uint32_t w = words[t];
        const uint8_t flags = flagPart(w);
        if (t > from) {
            if (r.verse && (prev & kLineEnd))
                out.put(" ` ");
            else if ((flags & kSpaceBefore) || (prev & kLineEnd))
                out.put(' ');
        }
        prev = flags;
        if (!forms.write(w, out))
            writeShown(t, Base::Form, out);
    }
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
