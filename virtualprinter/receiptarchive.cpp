#include "receiptarchive.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>

ReceiptArchive::ReceiptArchive(const QString &folder, PaperSpec paper, bool keepRawBytes)
    : m_folder(folder)
    , m_renderer(paper)
    , m_keepRawBytes(keepRawBytes)
{
}

bool ReceiptArchive::prepare(QString *error)
{
    if (m_folder.mkpath(QStringLiteral(".")))
        return true;
    *error = QStringLiteral("cannot create the output folder %1").arg(m_folder.absolutePath());
    return false;
}

QString ReceiptArchive::save(const QString &portName, const PrintedReceipt &receipt, QString *error)
{
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    QString base = QStringLiteral("receipt-%1-%2").arg(stamp, portName);
    for (int n = 2; QFile::exists(m_folder.filePath(base + QStringLiteral(".png"))); ++n)
        base = QStringLiteral("receipt-%1-%2-%3").arg(stamp, portName).arg(n);

    const QString imagePath = m_folder.filePath(base + QStringLiteral(".png"));
    if (m_keepRawBytes) {
        QSaveFile raw(m_folder.filePath(base + QStringLiteral(".bin")));
        if (!raw.open(QIODevice::WriteOnly) || raw.write(receipt.bytes) != receipt.bytes.size() ||
            !raw.commit()) {
            *error = QStringLiteral("cannot write %1: %2").arg(raw.fileName(), raw.errorString());
            return {};
        }
    }
    // Written under a temporary name and renamed, so that a watcher never sees half a PNG.
    QSaveFile image(imagePath);
    if (!image.open(QIODevice::WriteOnly) || !m_renderer.render(receipt).save(&image, "PNG") ||
        !image.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(imagePath, image.errorString());
        return {};
    }
    return imagePath;
}
