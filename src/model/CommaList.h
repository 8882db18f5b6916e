#pragma once
// Comma lists: items joined by ","; an item holding a byte at or below the blank,
// a double quote or a comma is double-quoted with inner quotes doubled.
#include <QByteArray>
#include <QList>

namespace commalist {

QByteArray join(const QList<QByteArray> &items);
// Reading skips bytes 1..32 between items; an unquoted item ends at "," or at a
// byte <= 32; a quoted item ends at its closing quote ("" inside is one quote);
// a "," at the very end adds an empty item; a NUL byte ends the text.
QList<QByteArray> split(const QByteArray &text);

} // namespace commalist
