// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "pngstreamwriter.h"

#include "filesupport.h"

#include <png.h>

#include <cerrno>

namespace {

// zlib's fastest level: a receipt is mostly white paper, which it already packs well, and a
// slower one would hold up the printer for little gain.
constexpr int CompressionLevel = 1;
// Each IDAT chunk holds this much, so that an image takes few writes.
constexpr size_t CompressionBuffer = 1 << 16;

// libpng's default handlers print to standard error; the writer reports failures itself.
[[noreturn]] void onError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void noFlush(png_structp) {}

} // namespace

template <typename Step> bool PngStreamWriter::guarded(Step step)
{
    if (m_error)
        return false;
    // libpng's own failures (memory, a state it refuses) have no errno: EINVAL stands for them.
    if (setjmp(png_jmpbuf(m_png)))
        return fail(m_writeError ? m_writeError : EINVAL);
    step();
    return true;
}

void PngStreamWriter::writeData(png_structp png, png_bytep data, size_t size)
{
    auto *writer = static_cast<PngStreamWriter *>(png_get_io_ptr(png));
    const int error = ::writeAll(writer->m_fd, reinterpret_cast<const char *>(data), qint64(size));
    if (error) {
        writer->m_writeError = error;
        png_error(png, "write failed");
    }
}

PngStreamWriter::PngStreamWriter(int fd, QSize size, double dotsPerInch)
    : m_fd(fd)
    , m_size(size)
{
    m_png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (m_png)
        m_info = png_create_info_struct(m_png);
    if (!m_info) {
        fail(ENOMEM);
        return;
    }
    png_set_write_fn(m_png, this, writeData, noFlush);
    const png_uint_32 dotsPerMetre = png_uint_32(dotsPerInch / 0.0254 + 0.5);
    guarded([this, dotsPerMetre] {
        png_set_IHDR(m_png, m_info, png_uint_32(m_size.width()), png_uint_32(m_size.height()), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_set_pHYs(m_png, m_info, dotsPerMetre, dotsPerMetre, PNG_RESOLUTION_METER);
        // No row filter: the white runs pack well as they are, and filtering costs time.
        png_set_filter(m_png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
        png_set_compression_level(m_png, CompressionLevel);
        png_set_compression_buffer_size(m_png, CompressionBuffer);
        png_write_info(m_png, m_info);
    });
}

PngStreamWriter::~PngStreamWriter()
{
    if (m_png)
        png_destroy_write_struct(&m_png, &m_info);
}

bool PngStreamWriter::append(const QImage &band)
{
    if (m_error)
        return false;
    // Made here, outside the libpng calls: a longjmp must not skip its destructor.
    const QImage rgb = band.convertToFormat(QImage::Format_RGB888);
    const int rows = qMin(rgb.height(), m_size.height() - m_rowsWritten);
    if (!guarded([this, &rgb, rows] {
            for (int y = 0; y < rows; ++y)
                png_write_row(m_png, rgb.constScanLine(y));
        }))
        return false;
    m_rowsWritten += rows;
    return true;
}

bool PngStreamWriter::finish()
{
    if (m_error)
        return false;
    if (m_rowsWritten != m_size.height())
        return fail(EINVAL);
    return guarded([this] { png_write_end(m_png, nullptr); });
}

bool PngStreamWriter::fail(int error)
{
    if (!m_error)
        m_error = error;
    return false;
}
