// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "rawspool.h"
#include "renderer/receiptimage.h"

#include <QByteArrayList>

#include <functional>
#include <memory>

// Keeps every finished receipt as a time-stamped PNG in the output folder, and with raw
// bytes on, the bytes it was printed from beside it (same name, ".bin"). The two are
// written under temporary names and renamed when both are complete: a pair is there whole
// or not at all.
class ReceiptArchive
{
public:
    ReceiptArchive(const QString &folder, PaperSpec paper, bool keepRawBytes);

    // Creates the folder and checks that files can be made in it; false with the reason.
    bool prepare(QString *error);
    // After a failed start: removes the folders prepare() created, where they are empty.
    void removeCreatedFolders();
    QString folder() const { return m_folderName; }

    // A spool for one input's raw bytes, or nullptr when raw bytes are not kept.
    std::unique_ptr<RawSpool> newSpool() const;
    // Saves the receipt, and the bytes in `spool` (which may be null) beside it; returns the
    // image's path, or an empty string with `error` set. The spool is empty afterwards.
    QString save(const QString &portName, const PrintedReceipt &receipt, RawSpool *spool,
                 QString *error);
    // Asked between the bands of an image: true gives the image up (the printer is stopping
    // and has no time left for it).
    void setGiveUp(std::function<bool()> giveUp) { m_giveUp = std::move(giveUp); }

private:
    // Moves the finished files to free names; 0 or the errno.
    int place(const QString &base, const QByteArray &image, const QByteArray &raw,
              QString *imagePath);

    QString m_folderName;
    QByteArray m_folder; // native
    ReceiptImage m_renderer;
    bool m_keepRawBytes;
    QByteArrayList m_createdFolders; // deepest last
    std::function<bool()> m_giveUp;
};
