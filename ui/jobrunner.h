// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "job/printjob.h"

#include <QObject>

class QThread;

// Runs one print job at a time on a worker thread of its own, so that the thread that starts it
// goes back to its event loop at once: the window repaints, answers the desktop and shows its
// caption while the ports block. What the job tells arrives as signals on the starting thread:
// each new status caption, then the result.
class JobRunner : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    // A job still under way is waited for: the window ends only after its job, or after a stop
    // signal made the job release its port (within JobStop::CheckIntervalMs).
    ~JobRunner() override;

    // From start() until finished() has been emitted.
    bool isRunning() const { return m_worker != nullptr; }
    // Starts the job; does nothing while one runs.
    void start(const PrintRequest &request);

signals:
    void captionChanged(const QString &caption);
    void finished(const PrintResult &result);

private:
    void finish(const PrintResult &result);

    QThread *m_worker = nullptr;
};
