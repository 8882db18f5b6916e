#include "DictClient.h"

#include "wire/RequestWriter.h"
#include "wire/ReplyAssembler.h"
#include "wire/ReplyReader.h"

DictClient::DictClient(int dictionaries)
{
    for (int i = 0; i < dictionaries; ++i)
        DictPosList.append(tCDictPos(i));
}

tCDictPos *DictClient::current()
{
    return CurDict >= 0 && CurDict < DictPosList.size() ? &DictPosList[CurDict] : nullptr;
}

QList<QByteArray> DictClient::requestsOf(const dictcore::DictOutcome &outcome)
{
    messages += outcome.messages;
    QList<QByteArray> out;
    for (const dictcore::DictRequest &r : outcome.requests)
        out.append(requests::wire(r.tag, requests::dictParams(r.pos, options)));
    return out;
}

QList<QByteArray> DictClient::apply(const QByteArray &replyBytes)
{
    const ReplyAssembler::Stripped stripped = ReplyAssembler::stripLengthHeader(replyBytes);
    if (!stripped.ok) {
        messages.append("bad header");
        return {};
    }
    tCDictPos replyPos(-1);
    const replyreader::ReplyRead read = replyreader::readReply(stripped.text, conc, replyPos, options);
    if (!read.found) {
        tags.append(QByteArray());
        return {};
    }
    tags.append(read.tag);
    // The reply handler's record steps: store the reply's record, choose the current.
    if (replyPos.DictNo >= 0) {
        while (DictPosList.size() <= replyPos.DictNo)
            DictPosList.append(tCDictPos(int(DictPosList.size())));
        DictPosList[replyPos.DictNo] = replyPos;
        if (replyPos.WordNo >= 0)
            CurDict = replyPos.DictNo;
    }
    if (read.tag == "DC_C")
        return requestsOf(dictcore::onDC_C(page, current(), read.body));
    if (read.tag == "DC_CC")
        return requestsOf(dictcore::onDC_CC(page, current(), read.body));
    if (read.tag == "DC_W")
        return requestsOf(dictcore::onDC_W(page, current(), read.body));
    if (read.tag == "DC_S") {
        dictcore::onDC_S(page, current(), KeepDictPos, read.body, options,
                         dictcore::EntryPage::Dictionary, dictcore::EntryContext{}, false);
        return {};
    }
    if (read.tag == "ZERO")
        messages.append(read.body);
    return {};
}

int DictClient::runChain(QList<QByteArray> pending,
                         const std::function<QByteArray(const QByteArray &)> &server, int maxSteps)
{
    int steps = 0;
    while (!pending.isEmpty() && steps < maxSteps) {
        const QByteArray request = pending.takeFirst();
        pending = apply(server(request)) + pending;
        ++steps;
    }
    return steps;
}
