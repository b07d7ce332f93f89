// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "jobrunner.h"

#include <QThread>

JobRunner::~JobRunner()
{
    if (m_worker)
        m_worker->wait();
}

void JobRunner::start(const PrintRequest &request)
{
    if (m_worker)
        return;
    m_worker = QThread::create([this, request] {
        QString shown;
        const PrintResult result = PrintJob::run(request, [this, &shown](const JobStatus &status) {
            if (status.caption == shown)
                return;
            shown = status.caption;
            emit captionChanged(shown); // queued to this object's thread, ahead of the result
        });
        QMetaObject::invokeMethod(
            this, [this, result] { finish(result); }, Qt::QueuedConnection);
    });
    m_worker->setParent(this);
    connect(m_worker, &QThread::finished, m_worker, &QObject::deleteLater);
    m_worker->start();
}

void JobRunner::finish(const PrintResult &result)
{
    m_worker = nullptr; // the thread ends by itself and is then deleted
    emit finished(result);
}
