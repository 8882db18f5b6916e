#pragma once
// Composition of a reply on the wire: "##" + count + "###" (count = bytes after the
// header), "$" + tag + "=", then the framed records and the tag's own text. Every
// reply carries the header, so a client reading a long reply in pieces knows when
// it is complete.
#include "model/DictPos.h"
#include "model/OptionList.h"

#include <QByteArray>
#include <optional>

namespace reply {

// The whole reply: header, tag, then `body` (records already at its front).
QByteArray wire(const QByteArray &tag, const QByteArray &body);
// The front of a reply whose body, `bodySize` bytes in all, begins with
// `bodyFront`: the header counts the whole reply, the rest of the body follows.
QByteArray wireFront(const QByteArray &tag, const QByteArray &bodyFront, qint64 bodySize);

// A body: the dictionary position record, then the option-list record (when the
// list is given and not empty), then the text.
QByteArray body(const std::optional<tCDictPos> &dict, const std::optional<OptionList> &options,
                const QByteArray &text);

// "ZERO" with a Russian reason (1251) for the client's message box.
QByteArray zero(const QByteArray &reason1251);

} // namespace reply
