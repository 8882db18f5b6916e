#include "concordance/Grid.h"

#include "concordance/WireText.h"
#include "wire/ReplyWriter.h"
#include "wire/RequestReader.h"

#include <algorithm>

namespace corvus::conc {

namespace {

void appendCell(QByteArray &out, std::string_view text)
{
    if (text.empty())
        out += ru("—");
    else
        appendCleanBytes(out, text);
}

} // namespace

QByteArray gridReply(const LineEngine &lines, const wirerequest::Request &request)
{
    if (!request.conc)
        return noPositionReply();
    tCConcPos conc = *request.conc;
    OptionList options = optionsOf(request);
    const LinePage pg = lines.page(conc, options);
    if (!pg.ok || pg.count == 0)
        return emptyPageReply(pg);

    const ConcEngine &engine = lines.engine();
    const Corpus &corpus = lines.corpus();
    const bool textMode = options.value("TabType").trimmed().toUpper().startsWith("TEXT");
    QList<int> columns = groupOption(engine, options, 2);
    if (textMode) {
        QList<int> perText;
        for (const int c : columns)
            if (engine.characteristic(c).perText())
                perText.append(c);
        if (perText.isEmpty())
            for (int c = 0; c < engine.characteristicCount(); ++c)
                if (engine.characteristic(c).perText())
                    perText.append(c);
        columns = perText;
    }

    // The headword of the current line's word.
    int dictNo = -1, headword = -1;
    if (pg.currentToken != kNone) {
        const QList<DictLink> links = lines.links(pg.currentToken);
        if (!links.isEmpty() && links.front().second - 1 <= kMaxGridHeadword) {
            dictNo = links.front().first;
            headword = links.front().second - 1;
        }
    }

    QByteArray body = ru("№") + "$$*";
    for (const int c : columns)
        body += engine.characteristic(c).name() + "$$*";
    if (textMode)
        body += ru("Слов в тексте") + "$$*" + ru("Место в тексте, %") + "$$*";
    body += "$$$";

    for (size_t i = 0; i < pg.tokens.size(); ++i) {
        const uint32_t token = pg.tokens[i];
        const QByteArray number = QByteArray::number(qulonglong(pg.first + i));
        body += number + "$$," + number;
        if (pg.first + i == pg.current)
            body += "$$+" + QByteArray::number(headword) + "+";
        else
            body += "$$*";
        for (const int c : columns) {
            const Characteristic &ch = engine.characteristic(c);
            const uint32_t v = ch.valueOf(token);
            appendCell(body, v == kNone ? std::string_view() : ch.text(v));
            body += "$$*";
        }
        if (textMode) {
            const TextInfo &ti = corpus.text(corpus.textOf(token));
            body += QByteArray::number(ti.wordCount) + "$$*";
            const uint32_t pos = corpus.positionInText(token);
            body += QByteArray::number(ti.tokenCount > 1 ? uint64_t(pos) * 100 / (ti.tokenCount - 1) : 0) + "$$*";
        }
        body += "$$$";
    }

    setLineRecord(conc, pg);
    if (headword >= 0) {
        tCDictPos dict(dictNo);
        dict.LetterNo = 0;
        dict.PairNo = 0;
        dict.WordMode = 'A';
        dict.WordNo = headword;
        return reply::wire(request.tag, replyBody(&conc, &dict, &options, body));
    }
    return reply::wire(request.tag, replyBody(&conc, nullptr, &options, body));
}

} // namespace corvus::conc
