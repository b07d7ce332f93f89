// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "busywait.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QThread>

namespace {

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

void BusyWait::run(const std::function<void()> &work)
{
    qApp->installEventFilter(this);
    QApplication::setOverrideCursor(Qt::BusyCursor);

    QEventLoop loop;
    QThread *worker = QThread::create(work);
    connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;

    QApplication::restoreOverrideCursor();
    qApp->removeEventFilter(this);
}

bool BusyWait::eventFilter(QObject *watched, QEvent *event)
{
    if (!isUserInput(event->type()))
        return QObject::eventFilter(watched, event);
    // A shortcut sees the key as ShortcutOverride first and may consume its KeyPress.
    const bool isKey =
        event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
    if (isKey && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
        emit endRequested();
    return true;
}
