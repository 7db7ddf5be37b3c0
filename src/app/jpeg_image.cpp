#include "app/jpeg_image.h"

#include <QFile>
#include <QtEndian>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

// The shipped pictures live in a resource of this static library; without a reference the linker would drop it.
static void InitPictureResource()
{
    Q_INIT_RESOURCE(vesk);
}

namespace vesk {

namespace {

constexpr JDIMENSION kMaxSide = 16384;

struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

// libjpeg's default would print and exit(); we jump back to the decoder and report a null image instead.
[[noreturn]] void OnError(j_common_ptr info)
{
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    std::longjmp(errors->jump, 1);
}

// Warnings (such as a premature end of the data) are counted by libjpeg; the decoder treats them as damage.
void OnMessage(j_common_ptr /*info*/) { }

// Everything the decoder touches after setjmp lives here, behind a pointer that does not change, so a longjmp
// leaves it in a well-defined state.
struct DecodeState
{
    jpeg_decompress_struct info {};
    ErrorManager errors {};
    QImage image;
    std::vector<JSAMPLE> cmykRow;
    bool created = false;
};

QRgb FromCmyk(const JSAMPLE* p, bool inverted)
{
    // Adobe writes CMYK inverted; plain CMYK is rare but handled the same way with the bytes flipped.
    const int c = inverted ? p[0] : 255 - p[0];
    const int m = inverted ? p[1] : 255 - p[1];
    const int y = inverted ? p[2] : 255 - p[2];
    const int k = inverted ? p[3] : 255 - p[3];
    return qRgb(c * k / 255, m * k / 255, y * k / 255);
}

} // namespace

QImage DecodeJpeg(QByteArrayView bytes)
{
    if (bytes.size() < 4 || bytes.size() > 0x7fffffff)
        return {};
    const auto state = std::make_unique<DecodeState>();
    state->info.err = jpeg_std_error(&state->errors.base);
    state->errors.base.error_exit = OnError;
    state->errors.base.output_message = OnMessage;

    if (setjmp(state->errors.jump) != 0) {
        if (state->created)
            jpeg_destroy_decompress(&state->info);
        return {};
    }

    jpeg_create_decompress(&state->info);
    state->created = true;
    jpeg_mem_src(&state->info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&state->info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&state->info);
        return {};
    }

    const bool cmyk = state->info.jpeg_color_space == JCS_CMYK || state->info.jpeg_color_space == JCS_YCCK;
    if (cmyk)
        state->info.out_color_space = JCS_CMYK;
    else
        state->info.out_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRA : JCS_EXT_ARGB;

    jpeg_start_decompress(&state->info);
    const JDIMENSION width = state->info.output_width;
    const JDIMENSION height = state->info.output_height;
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) {
        jpeg_destroy_decompress(&state->info);
        return {};
    }
    state->image = QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    if (state->image.isNull()) {
        jpeg_destroy_decompress(&state->info);
        return {};
    }

    const bool adobe = state->info.saw_Adobe_marker != 0;
    if (cmyk)
        state->cmykRow.resize(static_cast<size_t>(width) * 4);
    JSAMPLE* const cmykLine = state->cmykRow.data();

    while (state->info.output_scanline < height) {
        const int y = static_cast<int>(state->info.output_scanline);
        JSAMPROW row = cmyk ? cmykLine : state->image.scanLine(y);
        jpeg_read_scanlines(&state->info, &row, 1);
        if (cmyk) {
            auto* out = reinterpret_cast<QRgb*>(state->image.scanLine(y));
            for (JDIMENSION x = 0; x < width; ++x)
                out[x] = FromCmyk(cmykLine + static_cast<size_t>(x) * 4, adobe);
        }
    }
    jpeg_finish_decompress(&state->info);
    const bool damaged = state->errors.base.num_warnings > 0;
    jpeg_destroy_decompress(&state->info);
    if (damaged)
        return {};
    return std::move(state->image);
}

QImage LoadShippedPicture(const QString& fileName)
{
    InitPictureResource();
    QFile file(QStringLiteral(":/pictures/") + fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (fileName.endsWith(QStringLiteral(".jpg"), Qt::CaseInsensitive))
        return DecodeJpeg(bytes);
    return QImage::fromData(bytes);
}

} // namespace vesk
