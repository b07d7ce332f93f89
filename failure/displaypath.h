// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// A path (or any bytes a user gave) for messages: as it is where it is UTF-8, other bytes
// shown as \xHH, so that a message never shows another file's name.
QString displayPath(const QByteArray &path);
