#include "ReplyReader.h"

#include <QList>

namespace replyreader {

namespace {

QList<QByteArray> tagsOf(const QByteArray &tagList)
{
    QList<QByteArray> tags;
    QByteArray current;
    for (const char c : tagList) {
        if (c == ',' || c == ';') {
            if (!current.isEmpty())
                tags.append(current);
            current.clear();
            if (c == ';')
                return tags;
            continue;
        }
        current.append(c);
    }
    if (!current.isEmpty())
        tags.append(current);
    return tags;
}

} // namespace

TagMatch findTag(const QByteArray &text, const QByteArray &tagList)
{
    TagMatch match;
    if (text.isEmpty())
        return match;
    for (const QByteArray &tag : tagsOf(tagList)) {
        const QByteArray marker = '$' + tag + '=';
        const qsizetype at = text.indexOf(marker);
        if (at < 0)
            continue;
        match.found = true;
        match.tag = tag;
        match.body = text.mid(at + marker.size());
        match.mark = at > 0 ? text[at - 1] : ' ';
        return match;
    }
    return match;
}

ReplyRead readReply(const QByteArray &text, tCConcPos &conc, tCDictPos &dict,
                    OptionList &options, const QByteArray &tagList)
{
    ReplyRead read;
    const TagMatch match = findTag(text, tagList);
    if (!match.found)
        return read;
    read.found = true;
    read.tag = match.tag;
    read.body = match.body;
    read.mark = match.mark;
    read.recordsSeen = parseReplyRecords(read.body, conc, dict, options);
    conc.Request[0] = QByteArray(ClientVersionText);
    return read;
}

} // namespace replyreader
