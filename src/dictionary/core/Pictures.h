#pragma once
// Reference pictures of dictionary entries: JPEG files named by their number.
#include <QString>
#include <QtGlobal>

namespace dictcore {

// The file of picture `number` under `currentDir`: "Картинки/<n>.jpg" if it exists,
// else "graphics/<n>.jpg" if that exists, else an empty text. Numbers below 1 name
// no picture.
QString findReferencePicture(qint32 number, const QString &currentDir);

} // namespace dictcore
