// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <functional>

// Runs a piece of blocking work on a thread of its own while the calling thread keeps serving
// the window system: the window repaints, answers the window manager's pings and shows title
// changes at once. User input that arrives meanwhile (clicks, keys, the wheel) is dropped rather
// than replayed afterwards, and the busy cursor shows. Esc is remembered as a request to end.
class BusyWait : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Returns once the work has finished.
    void run(const std::function<void()> &work);

signals:
    // Esc was pressed while the work ran.
    void endRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
