#include "jpegcodec.h"

#include "systemerror.h"

#include <QCoreApplication>
#include <QFile>

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

// libjpeg reports fatal errors through error_exit, which must not return.
// We longjmp back into the small phase functions below. Each phase holds
// only plain values between its setjmp and the library calls, so the jump
// skips no C++ destructor; the owning RAII objects live in the callers.

namespace {

// Pictures larger than this are refused instead of allocating gigabytes.
constexpr qint64 maxPixels = qint64(1) << 28;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void exitWithJump(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (e.g. a truncated file) would go to stderr: keep them quiet.
void ignoreMessage(j_common_ptr) { }

void installErrorManager(ErrorManager& err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = exitWithJump;
    err.pub.output_message = ignoreMessage;
    err.message[0] = '\0';
}

QString libraryMessage(const ErrorManager& err)
{
    return QString::fromLocal8Bit(err.message);
}

// --- encoding ---------------------------------------------------------------

struct Compressor {
    ErrorManager err;
    jpeg_compress_struct cinfo;
    unsigned char* buffer = nullptr;  // grown by libjpeg with malloc
    unsigned long size = 0;
    bool created = false;

    Compressor()
    {
        installErrorManager(err);
        cinfo.err = &err.pub;
    }
    ~Compressor()
    {
        if (created)
            jpeg_destroy_compress(&cinfo);
        std::free(buffer);
    }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
};

bool startCompress(Compressor& c, int width, int height, int quality, int dpi)
{
    if (setjmp(c.err.jump))
        return false;
    jpeg_create_compress(&c.cinfo);
    c.created = true;
    jpeg_mem_dest(&c.cinfo, &c.buffer, &c.size);
    c.cinfo.image_width = JDIMENSION(width);
    c.cinfo.image_height = JDIMENSION(height);
    c.cinfo.input_components = 3;
    c.cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c.cinfo);
    // force_baseline keeps every quantiser within 8 bits: a baseline file.
    jpeg_set_quality(&c.cinfo, quality, TRUE);
    c.cinfo.dct_method = JDCT_ISLOW;
    if (dpi > 0) {
        c.cinfo.write_JFIF_header = TRUE;
        c.cinfo.density_unit = 1;  // dots per inch
        c.cinfo.X_density = UINT16(dpi);
        c.cinfo.Y_density = UINT16(dpi);
    }
    jpeg_start_compress(&c.cinfo, TRUE);
    return true;
}

// One row of the picture as packed RGB bytes in out (3 x width).
void rgbRow(const QImage& picture, int y, unsigned char* out)
{
    if (picture.format() == QImage::Format_RGB888) {
        std::memcpy(out, picture.constScanLine(y), size_t(picture.width()) * 3);
        return;
    }
    const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
    for (int x = 0; x < picture.width(); ++x) {
        out[3 * x] = uchar(qRed(in[x]));
        out[3 * x + 1] = uchar(qGreen(in[x]));
        out[3 * x + 2] = uchar(qBlue(in[x]));
    }
}

// picture is RGB888 or 32-bit opaque; row is a buffer of 3 x width bytes.
bool writeRows(Compressor& c, const QImage& picture, unsigned char* row)
{
    if (setjmp(c.err.jump))
        return false;
    // Row by row: QImage rows are padded to 4 bytes, libjpeg rows are not.
    while (c.cinfo.next_scanline < c.cinfo.image_height) {
        rgbRow(picture, int(c.cinfo.next_scanline), row);
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&c.cinfo, rows, 1);
    }
    jpeg_finish_compress(&c.cinfo);
    return true;
}

// --- decoding ---------------------------------------------------------------

struct Decompressor {
    ErrorManager err;
    jpeg_decompress_struct cinfo;
    bool created = false;

    Decompressor()
    {
        installErrorManager(err);
        cinfo.err = &err.pub;
    }
    ~Decompressor()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
};

bool readHeader(Decompressor& d, const QByteArray& bytes)
{
    if (setjmp(d.err.jump))
        return false;
    jpeg_create_decompress(&d.cinfo);
    d.created = true;
    jpeg_mem_src(&d.cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&d.cinfo, TRUE);
    d.cinfo.out_color_space = JCS_EXT_RGB;  // grey pictures come out as RGB too
    jpeg_start_decompress(&d.cinfo);
    return true;
}

bool readRows(Decompressor& d, uchar* bits, qsizetype bytesPerLine)
{
    if (setjmp(d.err.jump))
        return false;
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        JSAMPROW row = bits + qsizetype(d.cinfo.output_scanline) * bytesPerLine;
        jpeg_read_scanlines(&d.cinfo, &row, 1);
    }
    jpeg_finish_decompress(&d.cinfo);
    return true;
}

}  // namespace

namespace jpeg {

Result<QByteArray> encode(const QImage& picture, int quality, int dpi)
{
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0)
        return failure(QStringLiteral("没有可编码的图像"));
    if (picture.width() > JPEG_MAX_DIMENSION || picture.height() > JPEG_MAX_DIMENSION)
        return failure(QStringLiteral("图像太大，无法保存为JPEG"));
    const QImage::Format f = picture.format();
    const bool direct = f == QImage::Format_RGB888 || f == QImage::Format_RGB32;
    const QImage rgb = direct ? picture : picture.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull())
        return failure(QStringLiteral("内存不足，无法编码图像"));

    std::vector<unsigned char> row(size_t(rgb.width()) * 3);
    Compressor c;
    if (!startCompress(c, rgb.width(), rgb.height(), qBound(1, quality, 100), qBound(0, dpi, 65535)) ||
        !writeRows(c, rgb, row.data()))
        return failure(QStringLiteral("JPEG编码失败: ") + libraryMessage(c.err));
    return QByteArray(reinterpret_cast<const char*>(c.buffer), qsizetype(c.size));
}

Result<QImage> decode(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return failure(QStringLiteral("文件为空，不是JPEG图像"));
    Decompressor d;
    if (!readHeader(d, bytes))
        return failure(QStringLiteral("不是可读的JPEG图像: ") + libraryMessage(d.err));
    const int width = int(d.cinfo.output_width);
    const int height = int(d.cinfo.output_height);
    if (d.cinfo.output_components != 3 || qint64(width) * height > maxPixels)
        return failure(QStringLiteral("JPEG图像尺寸或格式不受支持"));
    QImage picture(width, height, QImage::Format_RGB888);
    if (picture.isNull())
        return failure(QStringLiteral("内存不足，无法读取JPEG图像"));
    if (!readRows(d, picture.bits(), picture.bytesPerLine()))
        return failure(QStringLiteral("JPEG图像已损坏: ") + libraryMessage(d.err));
    return picture;
}

}  // namespace jpeg

Result<QImage> loadJpeg(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("无法打开文件 %1: %2").arg(path, systemerror::withChinese(file.errorString())));
    return jpeg::decode(file.readAll());
}
