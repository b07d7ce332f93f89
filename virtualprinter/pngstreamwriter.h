// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <memory>

struct z_stream_s;

// Writes an 8-bit RGB PNG to a file descriptor band by band, so that a tall receipt's image
// never has to exist whole in memory (QImageWriter needs the whole image). Write failures
// keep their errno, so that a full disk is reported as one.
class PngStreamWriter
{
public:
    PngStreamWriter(int fd, QSize size, double dotsPerInch);
    ~PngStreamWriter();
    PngStreamWriter(const PngStreamWriter &) = delete;
    PngStreamWriter &operator=(const PngStreamWriter &) = delete;

    // Appends the rows of `band`, which is as wide as the image; false once anything failed.
    bool append(const QImage &band);
    // Ends the image after its last row; false if anything failed.
    bool finish();
    // The errno of the failure, 0 if none.
    int error() const { return m_error; }

private:
    bool deflateRows(const uchar *data, qsizetype size, bool last);
    bool writeChunk(const char type[4], const QByteArray &data);
    bool writeAll(const char *data, qsizetype size);
    bool fail(int error);

    int m_fd;
    QSize m_size;
    int m_rowsWritten = 0;
    int m_error = 0;
    std::unique_ptr<z_stream_s> m_zlib;
    QByteArray m_row;
    QByteArray m_compressed;
};
