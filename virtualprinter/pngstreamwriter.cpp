// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "pngstreamwriter.h"

#include "filesupport.h"

#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr qsizetype OutputBuffer = 1 << 16;
// A receipt is mostly white paper: the fastest level already packs it well, and a slower
// one would hold up the printer for little gain.
constexpr int CompressionLevel = Z_BEST_SPEED;

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

} // namespace

PngStreamWriter::PngStreamWriter(int fd, QSize size, double dotsPerInch)
    : m_fd(fd)
    , m_size(size)
    , m_zlib(std::make_unique<z_stream_s>())
    , m_row(1 + 3 * size.width(), Qt::Uninitialized)
    , m_compressed(OutputBuffer, Qt::Uninitialized)
{
    if (deflateInit(m_zlib.get(), CompressionLevel) != Z_OK) {
        m_zlib.reset();
        fail(ENOMEM);
        return;
    }
    static const char signature[] = "\x89PNG\r\n\x1a\n";
    QByteArray header = bigEndian32(size.width()) + bigEndian32(size.height());
    header +=
        QByteArray("\x08\x02\x00\x00\x00", 5); // 8 bits, RGB, deflate, no filter, no interlace
    const quint32 dotsPerMetre = quint32(dotsPerInch / 0.0254 + 0.5);
    const QByteArray physical =
        bigEndian32(dotsPerMetre) + bigEndian32(dotsPerMetre) + QByteArray(1, '\x01');
    if (writeAll(signature, 8) && writeChunk("IHDR", header))
        writeChunk("pHYs", physical);
}

PngStreamWriter::~PngStreamWriter()
{
    if (m_zlib)
        deflateEnd(m_zlib.get());
}

bool PngStreamWriter::append(const QImage &band)
{
    if (m_error)
        return false;
    const QImage rgb = band.convertToFormat(QImage::Format_RGB888);
    const int rows = qMin(rgb.height(), m_size.height() - m_rowsWritten);
    uchar *row = reinterpret_cast<uchar *>(m_row.data());
    for (int y = 0; y < rows; ++y) {
        // Each row starts with its filter type: 0, none; the white runs pack well as they are.
        row[0] = 0;
        std::memcpy(row + 1, rgb.constScanLine(y), 3 * size_t(m_size.width()));
        if (!deflateRows(row, m_row.size(), false))
            return false;
    }
    m_rowsWritten += rows;
    return true;
}

bool PngStreamWriter::finish()
{
    if (m_error)
        return false;
    if (m_rowsWritten != m_size.height())
        return fail(EINVAL);
    return deflateRows(nullptr, 0, true) && writeChunk("IEND", {});
}

bool PngStreamWriter::deflateRows(const uchar *data, qsizetype size, bool last)
{
    z_stream_s &zlib = *m_zlib;
    zlib.next_in = const_cast<uchar *>(data);
    zlib.avail_in = uInt(size);
    int status;
    do {
        zlib.next_out = reinterpret_cast<uchar *>(m_compressed.data());
        zlib.avail_out = uInt(m_compressed.size());
        status = deflate(&zlib, last ? Z_FINISH : Z_NO_FLUSH);
        if (status == Z_STREAM_ERROR)
            return fail(EINVAL);
        const qsizetype produced = m_compressed.size() - zlib.avail_out;
        if (produced > 0 && !writeChunk("IDAT", m_compressed.left(produced)))
            return false;
    } while (zlib.avail_out == 0 || (last && status != Z_STREAM_END));
    return true;
}

bool PngStreamWriter::writeChunk(const char type[4], const QByteArray &data)
{
    QByteArray chunk = bigEndian32(quint32(data.size()));
    chunk.append(type, 4);
    chunk += data;
    const uLong crc =
        crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef *>(chunk.constData()) + 4,
              uInt(chunk.size() - 4));
    chunk += bigEndian32(quint32(crc));
    return writeAll(chunk.constData(), chunk.size());
}

bool PngStreamWriter::writeAll(const char *data, qsizetype size)
{
    const int error = ::writeAll(m_fd, data, size);
    return error == 0 || fail(error);
}

bool PngStreamWriter::fail(int error)
{
    if (!m_error)
        m_error = error;
    return false;
}
