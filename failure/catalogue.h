// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "failure.h"

#include <QList>

// The one place that decides what a failure says: its number, its source ("COM2 (/dev/ttyS1)",
// the settings file) and its description, in one voice: what failed, the cause in plain words,
// one thing to do.
namespace Catalogue {

LastError describe(const Failure &failure);

// Every number describe() gives of its own accord, for the documentation to list; besides
// these, a failed system call gives the system's errno. AlreadyOpen and NoSuchPortNumber are
// left out: they answer a caller's misuse of a port, which no job makes.
QList<qint32> numbersGiven();

// How the messages name a port and its target: "COM2 (/dev/ttyS1)".
QString portSource(const QString &port, const QByteArray &target);

} // namespace Catalogue
