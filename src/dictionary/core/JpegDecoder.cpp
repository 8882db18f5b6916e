#include "JpegDecoder.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include <jerror.h>
#include <jpeglib.h>

namespace dictcore {

namespace {

// A progressive file can announce any number of scans, each a pass over the whole
// picture; real pictures have about ten.
constexpr int MaxProgressiveScans = 500;

enum class Failure { None, NotJpeg, TooLarge, TooManyScans, Corrupt };

// libjpeg's error manager with the jump back into decodeInto(). Plain C data only:
// the jump crosses libjpeg's C frames and must not skip any destructor.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    Failure failure;
    char message[JMSG_LENGTH_MAX];
};

struct Decoder {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_progress_mgr progress;
};

[[noreturn]] void onError(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    const int code = cinfo->err->msg_code;
    err->failure = code == JERR_NO_SOI || code == JERR_INPUT_EMPTY ? Failure::NotJpeg
                                                                   : Failure::Corrupt;
    std::longjmp(err->jump, 1);
}

// Warnings (extraneous bytes, a picture cut short) are not printed; the decoder
// goes on with what it has, as picture viewers do.
void silent(j_common_ptr) {}

void onProgress(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor)
        return;
    auto *d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->progressive_mode && d->input_scan_number > MaxProgressiveScans) {
        auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
        err->failure = Failure::TooManyScans;
        err->message[0] = 0;
        std::longjmp(err->jump, 1);
    }
}

// The CMYK bytes that libjpeg gives (inverted when the file carries Adobe's marker,
// which is what such files nearly always do) into RGB, in place, from the front.
void cmykToRgb(unsigned char *row, int width, bool inverted)
{
    for (int x = 0; x < width; ++x) {
        int c = row[4 * x], m = row[4 * x + 1], y = row[4 * x + 2], k = row[4 * x + 3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        row[3 * x] = static_cast<unsigned char>(c * k / 255);
        row[3 * x + 1] = static_cast<unsigned char>(m * k / 255);
        row[3 * x + 2] = static_cast<unsigned char>(y * k / 255);
    }
}

// Everything that libjpeg may leave by its error exit happens in this frame, and
// this frame creates no object with a destructor after setjmp. `out` and `scratch`
// are sized here through plain calls; their owners live in the caller.
bool decodeInto(Decoder &d, const unsigned char *data, unsigned long size, JpegImage *out,
                QByteArray *scratch)
{
    d.cinfo.err = jpeg_std_error(&d.err.pub);
    d.err.pub.error_exit = onError;
    d.err.pub.output_message = silent;
    d.err.failure = Failure::None;
    d.err.message[0] = 0;
    if (setjmp(d.err.jump)) {
        jpeg_destroy_decompress(&d.cinfo);
        return false;
    }
    jpeg_create_decompress(&d.cinfo);
    d.progress.progress_monitor = onProgress;
    d.cinfo.progress = &d.progress;
    jpeg_mem_src(&d.cinfo, data, size);
    jpeg_read_header(&d.cinfo, TRUE);

    const bool cmyk = d.cinfo.jpeg_color_space == JCS_CMYK || d.cinfo.jpeg_color_space == JCS_YCCK;
    d.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    if (qint64(d.cinfo.image_width) * qint64(d.cinfo.image_height) > MaxJpegPixels) {
        d.err.failure = Failure::TooLarge;
        std::snprintf(d.err.message, sizeof d.err.message, "%u x %u",
                      unsigned(d.cinfo.image_width), unsigned(d.cinfo.image_height));
        jpeg_destroy_decompress(&d.cinfo);
        return false;
    }
    jpeg_start_decompress(&d.cinfo);

    const int width = int(d.cinfo.output_width);
    const int height = int(d.cinfo.output_height);
    const int components = d.cinfo.output_components;
    if (width <= 0 || height <= 0 || (components != 3 && components != 4)) {
        d.err.failure = Failure::Corrupt;
        std::snprintf(d.err.message, sizeof d.err.message, "%d x %d, %d", width, height,
                      components);
        jpeg_destroy_decompress(&d.cinfo);
        return false;
    }
    out->width = width;
    out->height = height;
    out->rgb.resize(qsizetype(width) * height * 3);
    scratch->resize(qsizetype(width) * components);
    auto *pixels = reinterpret_cast<unsigned char *>(out->rgb.data());
    auto *line = reinterpret_cast<unsigned char *>(scratch->data());
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        const JDIMENSION y = d.cinfo.output_scanline;
        JSAMPROW row = line;
        if (jpeg_read_scanlines(&d.cinfo, &row, 1) != 1)
            break;   // cannot happen with a memory source; nothing more to read
        if (components == 4)
            cmykToRgb(line, width, d.cinfo.saw_Adobe_marker);
        std::memcpy(pixels + qsizetype(y) * width * 3, line, size_t(width) * 3);
    }
    jpeg_finish_decompress(&d.cinfo);
    jpeg_destroy_decompress(&d.cinfo);
    return true;
}

QString failureText(const ErrorManager &err)
{
    const QString detail = QString::fromLatin1(err.message);
    switch (err.failure) {
    case Failure::NotJpeg:
        return QStringLiteral("не является изображением JPEG (%1)").arg(detail);
    case Failure::TooLarge:
        return QStringLiteral("содержит слишком большое изображение (%1 точек)").arg(detail);
    case Failure::TooManyScans:
        return QStringLiteral("содержит повреждённое изображение JPEG (слишком много проходов)");
    case Failure::Corrupt:
    case Failure::None:
        break;
    }
    return QStringLiteral("содержит повреждённое изображение JPEG (%1)").arg(detail);
}

} // namespace

JpegResult decodeJpeg(const QByteArray &data)
{
    JpegResult result;
    if (data.size() > MaxJpegFileBytes) {
        result.error = QStringLiteral("слишком велик (%1 байт)").arg(data.size());
        return result;
    }
    auto decoder = std::make_unique<Decoder>();
    std::memset(decoder.get(), 0, sizeof(Decoder));
    JpegImage image;
    QByteArray scratch;
    if (!decodeInto(*decoder, reinterpret_cast<const unsigned char *>(data.constData()),
                    static_cast<unsigned long>(data.size()), &image, &scratch)) {
        result.error = failureText(decoder->err);
        return result;
    }
    result.image = std::move(image);
    return result;
}

JpegResult decodeJpegFile(const QString &path)
{
    JpegResult result;
    QFile file(path);
    const QString subject = QStringLiteral("Файл \"%1\" ").arg(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = subject + QStringLiteral("не открывается (%1)").arg(file.errorString());
        return result;
    }
    if (file.size() > MaxJpegFileBytes) {
        result.error = subject + QStringLiteral("слишком велик (%1 байт)").arg(file.size());
        return result;
    }
    const QByteArray bytes = file.readAll();
    result = decodeJpeg(bytes);
    if (!result.image)
        result.error = subject + result.error;
    return result;
}

} // namespace dictcore
