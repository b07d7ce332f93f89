// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "receiptarchive.h"

#include "renderer/filesupport.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

ReceiptArchive::ReceiptArchive(const QString &folder, PaperSpec paper, bool keepRawBytes)
    : m_folderName(folder)
    , m_folder(QFile::encodeName(folder))
    , m_renderer(paper)
    , m_keepRawBytes(keepRawBytes)
{
    while (m_folder.size() > 1 && m_folder.endsWith('/'))
        m_folder.chop(1);
}

bool ReceiptArchive::prepare(QString *error)
{
    // Create the missing levels one by one, remembering them for removeCreatedFolders().
    QByteArrayList missing;
    for (QByteArray level = m_folder; !level.isEmpty() && ::access(level.constData(), F_OK) != 0;) {
        missing.prepend(level);
        const qsizetype slash = level.lastIndexOf('/');
        level = slash <= 0 ? QByteArray() : level.left(slash);
    }
    for (const QByteArray &level : missing) {
        if (::mkdir(level.constData(), 0777) != 0 && errno != EEXIST) {
            *error = QStringLiteral("cannot create the output folder %1: %2")
                         .arg(QFile::decodeName(level), systemErrorText(errno));
            return false;
        }
        m_createdFolders.append(level);
    }
    // Try a file, so that a folder we cannot write into is reported now, not at each receipt.
    QByteArray probe;
    int errnum = 0;
    const int fd = createHiddenTemporary(m_folder, &probe, &errnum);
    if (fd < 0) {
        *error = QStringLiteral("cannot write into the output folder %1: %2")
                     .arg(m_folderName, systemErrorText(errnum));
        return false;
    }
    ::close(fd);
    ::unlink(probe.constData());
    return true;
}

void ReceiptArchive::removeCreatedFolders()
{
    while (!m_createdFolders.isEmpty())
        ::rmdir(m_createdFolders.takeLast().constData()); // fails, as it should, if not empty
}

std::unique_ptr<RawSpool> ReceiptArchive::newSpool() const
{
    return m_keepRawBytes ? std::make_unique<RawSpool>(m_folder) : nullptr;
}

QString ReceiptArchive::save(const QString &portName, const PrintedReceipt &receipt,
                             RawSpool *spool, QString *error)
{
    int errnum = 0;
    QByteArray image;
    const int fd = createHiddenTemporary(m_folder, &image, &errnum);
    if (fd >= 0) {
        if (m_renderer.writePng(receipt, fd, m_giveUp, &errnum) && ::fdatasync(fd) != 0)
            errnum = errno;
        if (::close(fd) != 0 && !errnum)
            errnum = errno;
    }
    if (!errnum && spool)
        spool->finish(&errnum);

    QString imagePath;
    if (!errnum) {
        const QString stamp =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
        errnum = place(QStringLiteral("receipt-%1-%2").arg(stamp, portName), image,
                       spool ? spool->path() : QByteArray(), &imagePath);
    }
    if (!image.isEmpty() && errnum)
        ::unlink(image.constData());
    if (spool)
        spool->reset(!errnum);
    if (errnum == ECANCELED) {
        *error = QStringLiteral("the printer stopped before the image was drawn");
        return {};
    }
    if (errnum) {
        *error =
            QStringLiteral("cannot write in %1: %2").arg(m_folderName, systemErrorText(errnum));
        return {};
    }
    return imagePath;
}

int ReceiptArchive::place(const QString &base, const QByteArray &image, const QByteArray &raw,
                          QString *imagePath)
{
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? base : QStringLiteral("%1-%2").arg(base).arg(n);
        const QByteArray stem = m_folder + '/' + QFile::encodeName(name);
        // The raw bytes first: whoever waits for the image finds both once it is there.
        if (!raw.isEmpty()) {
            const int error = renameWithoutReplacing(raw, stem + ".bin");
            if (error == EEXIST)
                continue;
            if (error)
                return error;
        }
        const int error = renameWithoutReplacing(image, stem + ".png");
        if (error && !raw.isEmpty())
            ::rename((stem + ".bin").constData(), raw.constData()); // back, to go together
        if (error == EEXIST)
            continue;
        if (error)
            return error;
        *imagePath = QFile::decodeName(stem + ".png");
        return 0;
    }
}
