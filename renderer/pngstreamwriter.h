// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QSize>

struct png_struct_def;
struct png_info_def;

// Writes an 8-bit RGB PNG to a file descriptor band by band through libpng, so that a tall
// receipt's image never has to exist whole in memory (QImageWriter needs the whole image).
// Write failures keep their errno, so that a full disk is reported as one.
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
    // Runs `step`, which calls into libpng, where a libpng error can land (libpng reports
    // errors by longjmp). `step` must hold nothing that needs destroying.
    template <typename Step> bool guarded(Step step);
    static void writeData(png_struct_def *png, unsigned char *data, size_t size);
    bool fail(int error);

    int m_fd;
    QSize m_size;
    int m_rowsWritten = 0;
    int m_error = 0;
    int m_writeError = 0; // the errno of the write that failed inside libpng
    png_struct_def *m_png = nullptr;
    png_info_def *m_info = nullptr;
};
