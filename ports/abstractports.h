// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "failure/lasterror.h"

#include <QByteArray>
#include <QString>

// The operations a print job performs on a serial line. Each returns the failure it met, or a
// record with number 0; a failing operation stops where it failed and changes nothing else.
class AbstractSerialPort
{
public:
    virtual ~AbstractSerialPort() = default;

    // Selects COM<number>; does not open it.
    virtual LastError setPortNumber(qint16 number) = 0;
    virtual LastError open() = 0;
    // Sends the bytes as they are, adding nothing; returns once they are handed to the system.
    virtual LastError write(const QByteArray &bytes) = 0;
    // Waits (bounded) for the output to leave, then releases the device.
    virtual LastError close() = 0;
    virtual bool isOpen() const = 0;
};

// The operations a print job performs on a printer device opened by its name.
class AbstractParallelPort
{
public:
    virtual ~AbstractParallelPort() = default;

    virtual LastError open(const QString &deviceName) = 0;
    // Writes the text and, with lineEnd, CR LF after it.
    virtual LastError print(const QByteArray &text, bool lineEnd) = 0;
    virtual LastError close() = 0;
    virtual bool isOpen() const = 0;
};
