// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

// The raw bytes of the receipt being printed, written to a hidden temporary file in the
// output folder as they arrive: a receipt of any length is kept whole without being held in
// memory. The first write failure is kept with its errno; later bytes are only counted.
class RawSpool
{
public:
    explicit RawSpool(const QByteArray &folder);
    ~RawSpool(); // removes the temporary file unless it was handed over
    RawSpool(const RawSpool &) = delete;
    RawSpool &operator=(const RawSpool &) = delete;

    void append(const QByteArray &bytes);
    // Bytes appended since the last reset, written or not.
    qint64 size() const { return m_size; }
    // Flushes the file to disk and closes it; false with errno in `error` if anything failed.
    bool finish(int *error);
    // The temporary file, valid after a successful finish().
    QByteArray path() const { return m_path; }
    // Forgets the file (after it was renamed) or removes it, and starts again empty.
    void reset(bool handedOver);

private:
    bool open();

    QByteArray m_folder;
    QByteArray m_path;
    int m_fd = -1;
    int m_error = 0;
    qint64 m_size = 0;
};
