#include "ReplyReader.h"

#include <QList>

#include <cstring>

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
    // One pass over the "$" signs instead of one search per tag (a reply can be tens
    // of megabytes): at each "$" only the tags before the best found so far are
    // tried, so the first occurrence of the earliest tag of the list wins.
    const QList<QByteArray> tags = tagsOf(tagList);
    const char *data = text.constData();
    const qsizetype n = text.size();
    qsizetype best = tags.size();
    qsizetype bestAt = -1;
    for (qsizetype p = text.indexOf('$'); p >= 0 && best > 0; p = text.indexOf('$', p + 1)) {
        for (qsizetype i = 0; i < best; ++i) {
            const QByteArray &tag = tags[i];
            const qsizetype end = p + 1 + tag.size();
            if (end < n && data[end] == '=' && std::memcmp(data + p + 1, tag.constData(), size_t(tag.size())) == 0) {
                best = i;
                bestAt = p;
                break;
            }
        }
    }
    if (bestAt < 0)
        return match;
    match.found = true;
    match.tag = tags[best];
    match.body = text.mid(bestAt + match.tag.size() + 2);
    match.mark = bestAt > 0 ? text[bestAt - 1] : ' ';
    return match;
}

ReplyRead readReply(const QByteArray &text, tCConcPos &conc, tCDictPos &dict,
                    OptionList &options, const QByteArray &tagList)
{
    ReplyRead read;
    TagMatch match = findTag(text, tagList);
    if (!match.found)
        return read;
    read.found = true;
    read.tag = match.tag;
    // The body's only copy: the records are then taken off its front in place.
    read.body = std::move(match.body);
    read.mark = match.mark;
    read.recordsSeen = parseReplyRecords(read.body, conc, dict, options);
    conc.Request[0] = QByteArray(ClientVersionText);
    return read;
}

} // namespace replyreader
