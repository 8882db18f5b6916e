#pragma once
// Decoding of the reference pictures (JPEG) with libjpeg's own API, into plain RGB
// bytes that the picture window turns into an image. A file that is not a JPEG, is
// corrupt or is too large gives an error text (Russian, for the user) and never
// ends the program: libjpeg's fatal errors return here through setjmp/longjmp.
#include <QByteArray>
#include <QString>
#include <optional>

namespace dictcore {

struct JpegImage {
    int width = 0;
    int height = 0;
    QByteArray rgb;   // width * height * 3 bytes, rows top to bottom, no padding
};

struct JpegResult {
    std::optional<JpegImage> image;   // absent on failure
    // Why, when absent: what is wrong, worded to follow the name of the source
    // ("не является изображением JPEG (...)"); decodeJpegFile puts the file first.
    QString error;
};

// Upper limits: larger files or pictures are refused before memory is taken.
inline constexpr qint64 MaxJpegFileBytes = 64 * 1024 * 1024;
inline constexpr qint64 MaxJpegPixels = 40 * 1000 * 1000;

// Decodes JPEG bytes. Grey, RGB/YCbCr and CMYK/YCCK pictures come out as RGB.
JpegResult decodeJpeg(const QByteArray &data);
// Reads and decodes a file; the error names the file.
JpegResult decodeJpegFile(const QString &path);

} // namespace dictcore
