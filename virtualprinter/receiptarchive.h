#pragma once

#include "receiptimage.h"

#include <QDir>

// Keeps every finished receipt as a time-stamped PNG in the output folder, and with raw
// bytes on, the bytes it was printed from beside it (same name, ".bin").
class ReceiptArchive
{
public:
    ReceiptArchive(const QString &folder, PaperSpec paper, bool keepRawBytes);

    // Creates the folder; false with the reason in `error` when it cannot.
    bool prepare(QString *error);
    // Saves the receipt; returns the image's path, or an empty string with `error` set.
    QString save(const QString &portName, const PrintedReceipt &receipt, QString *error);

private:
    QDir m_folder;
    ReceiptImage m_renderer;
    bool m_keepRawBytes;
};
