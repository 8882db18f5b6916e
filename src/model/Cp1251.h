#pragma once
// The one place where text crosses between QString (widgets) and the 8-bit
// code page 1251 bytes that the wire, the records and the files hold.
#include <QByteArray>
#include <QString>

namespace cp1251 {

// QString -> 1251 bytes; a character the code page cannot hold becomes '?'.
QByteArray encode(QStringView text);
// 1251 bytes -> QString (every byte has a meaning in 1251 except 0x98).
QString decode(QByteArrayView bytes);
// A UTF-8 literal in the source (Russian texts of the protocol) as 1251 bytes.
QByteArray ru(const char *utf8);

} // namespace cp1251
