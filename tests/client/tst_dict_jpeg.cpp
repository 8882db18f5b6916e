// Decoding of reference pictures with libjpeg: grey, colour, progressive and CMYK
// pictures come out as RGB; files that are not JPEG, cut short, corrupt or too
// large give a Russian error and never end the program.
#include "dictionary/core/JpegDecoder.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <jpeglib.h>

using dictcore::decodeJpeg;
using dictcore::decodeJpegFile;
using dictcore::JpegResult;

namespace {

QByteArray encodeWithQt(const QImage &image, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(95);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

// A 16 x 8 picture: left half red, right half blue.
QImage halves()
{
    QImage image(16, 8, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, x < 8 ? qRgb(220, 20, 20) : qRgb(20, 20, 220));
    return image;
}

// One pixel of a decoded picture.
QRgb at(const dictcore::JpegImage &image, int x, int y)
{
    const auto *p = reinterpret_cast<const uchar *>(image.rgb.constData()) + (y * image.width + x) * 3;
    return qRgb(p[0], p[1], p[2]);
}

bool near(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) < 24 && qAbs(qGreen(a) - qGreen(b)) < 24
           && qAbs(qBlue(a) - qBlue(b)) < 24;
}

// A CMYK picture as print shops write it: Adobe marker, inverted samples
// (255 = no ink), every pixel the same.
QByteArray cmykJpeg(uchar c, uchar m, uchar y, uchar k)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = 8;
    cinfo.image_height = 8;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    unsigned char row[8 * 4];
    for (int x = 0; x < 8; ++x) {
        row[4 * x] = c;
        row[4 * x + 1] = m;
        row[4 * x + 2] = y;
        row[4 * x + 3] = k;
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = row;
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const QByteArray bytes(reinterpret_cast<const char *>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

} // namespace

class TestDictJpeg : public QObject {
    Q_OBJECT
private slots:
    void colourPicture_decodesToRgbRows()
    {
        const JpegResult r = decodeJpeg(encodeWithQt(halves()));
        QVERIFY2(r.image, qPrintable(r.error));
        QCOMPARE(r.image->width, 16);
        QCOMPARE(r.image->height, 8);
        QCOMPARE(r.image->rgb.size(), 16 * 8 * 3);
        QVERIFY(near(at(*r.image, 2, 1), qRgb(220, 20, 20)));
        QVERIFY(near(at(*r.image, 13, 6), qRgb(20, 20, 220)));
    }

    void greyAndProgressivePictures_decodeToRgb()
    {
        QImage grey(10, 10, QImage::Format_Grayscale8);
        grey.fill(128);
        const JpegResult g = decodeJpeg(encodeWithQt(grey));
        QVERIFY2(g.image, qPrintable(g.error));
        QVERIFY(near(at(*g.image, 5, 5), qRgb(128, 128, 128)));

        const JpegResult p = decodeJpeg(encodeWithQt(halves(), true));
        QVERIFY2(p.image, qPrintable(p.error));
        QVERIFY(near(at(*p.image, 13, 6), qRgb(20, 20, 220)));
    }

    void cmykPictureWithAdobeMarker_decodesToRgb()
    {
        // No cyan, full magenta and yellow, no black: red.
        const JpegResult r = decodeJpeg(cmykJpeg(255, 0, 0, 255));
        QVERIFY2(r.image, qPrintable(r.error));
        QCOMPARE(r.image->rgb.size(), 8 * 8 * 3);
        QVERIFY(near(at(*r.image, 4, 4), qRgb(255, 0, 0)));
    }

    void notJpeg_emptyOrPng_saysSo()
    {
        for (const QByteArray &data : {QByteArray(), QByteArray("\x89PNG\r\n\x1a\n"), QByteArray(1000, 'x')}) {
            const JpegResult r = decodeJpeg(data);
            QVERIFY(!r.image);
            QVERIFY2(r.error.startsWith(QStringLiteral("не является изображением JPEG")), qPrintable(r.error));
        }
    }

    void cutShortOrCorrupt_neverCrashes()
    {
        const QByteArray good = encodeWithQt(halves());
        // Cut anywhere: an error, or a picture of the announced size padded by libjpeg.
        for (qsizetype cut = 2; cut < good.size(); cut += 7) {
            const JpegResult r = decodeJpeg(good.left(cut));
            if (r.image)
                QCOMPARE(r.image->rgb.size(), qsizetype(r.image->width) * r.image->height * 3);
            else
                QVERIFY(!r.error.isEmpty());
        }
        // Garbage after the start marker.
        const JpegResult junk = decodeJpeg(QByteArray("\xFF\xD8", 2) + QByteArray(300, '\x55'));
        QVERIFY(!junk.image);
        QVERIFY2(junk.error.startsWith(QStringLiteral("содержит повреждённое изображение JPEG")),
                 qPrintable(junk.error));
    }

    void hugeAnnouncedSize_isRefusedBeforeDecoding()
    {
        QByteArray data = encodeWithQt(halves());
        const qsizetype sof = data.indexOf(QByteArray("\xFF\xC0", 2));
        QVERIFY(sof > 0);
        // Height and width follow the length (2 bytes) and the precision (1 byte).
        for (qsizetype i = sof + 5; i < sof + 9; ++i)
            data[i] = char(0xEA);
        const JpegResult r = decodeJpeg(data);
        QVERIFY(!r.image);
        QVERIFY2(r.error.startsWith(QStringLiteral("содержит слишком большое изображение")), qPrintable(r.error));
    }

    void file_missingOrNotJpeg_errorNamesTheFile()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("нет.jpg"));
        const JpegResult r = decodeJpegFile(missing);
        QVERIFY(!r.image);
        QVERIFY(r.error.startsWith(QStringLiteral("Файл \"") + missing + QStringLiteral("\" не открывается")));

        const QString text = dir.filePath(QStringLiteral("5.jpg"));
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a picture");
        f.close();
        const JpegResult t = decodeJpegFile(text);
        QVERIFY(!t.image);
        QVERIFY(t.error.startsWith(QStringLiteral("Файл \"") + text + QStringLiteral("\" не является изображением JPEG")));

        const QString good = dir.filePath(QStringLiteral("6.jpg"));
        QVERIFY(halves().save(good, "JPG"));
        QVERIFY(decodeJpegFile(good).image);
    }
};

QTEST_MAIN(TestDictJpeg)
#include "tst_dict_jpeg.moc"
