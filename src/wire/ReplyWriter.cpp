#include "ReplyWriter.h"

namespace reply {

QByteArray wire(const QByteArray &tag, const QByteArray &body)
{
    return wireFront(tag, body, body.size());
}

QByteArray wireFront(const QByteArray &tag, const QByteArray &bodyFront, qint64 bodySize)
{
    const qint64 count = 1 + tag.size() + 1 + bodySize;
    QByteArray out;
    out.reserve(1 + tag.size() + 1 + bodyFront.size() + 24);
    out += "##";
    out += QByteArray::number(count);
    out += "###";
    out += '$';
    out += tag;
    out += '=';
    out += bodyFront;
    return out;
}

QByteArray body(const std::optional<tCDictPos> &dict, const std::optional<OptionList> &options,
                const QByteArray &text)
{
    QByteArray out;
    if (dict)
        out += dict->framed();
    if (options)
        out += options->framed();
    out += text;
    return out;
}

QByteArray zero(const QByteArray &reason1251)
{
    return wire(QByteArrayLiteral("ZERO"), reason1251);
}

} // namespace reply
