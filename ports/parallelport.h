// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "abstractports.h"
#include "devicewriter.h"
#include "networkport.h"
#include "porterror.h"
#include "stallbound.h"
#include "systemconsole.h"

#include <chrono>

// A printer device (/dev/lp0, /dev/usb/lp0, a FIFO) or a file, opened by its port name and
// written like a sequential file. The target is resolved first: nothing is ever created under
// /dev, however the path is spelled. The job holds it exclusively (flock), so a second job at
// the same time fails as busy. Writes never block: a device that takes no data for the stall
// timeout fails the operation, so an offline printer cannot hang a job.
class ParallelPort : public AbstractParallelPort
{
public:
    ParallelPort() = default;
    ~ParallelPort() override;
    ParallelPort(const ParallelPort &) = delete;
    ParallelPort &operator=(const ParallelPort &) = delete;

    LastError open(const QString &deviceName) override;
    LastError print(const QByteArray &text, bool lineEnd) override;
    LastError close() override;
    bool isOpen() const override { return m_fd >= 0 || m_network.isOpen(); }

    void setStallTimeout(std::chrono::milliseconds timeout) { m_stall.setLimit(timeout); }
    void setSystemConsole(const SystemConsole &console) { m_console = console; }
    // The calls made on the open device; the port does not own them.
    void setDeviceCalls(DeviceCalls &calls) { m_calls = &calls; }

private:
    LastError openFailure(const LastError &failure);
    // A failed write, in the printer's words where it answers LPGETSTATUS.
    LastError writeFailure(int result) const;
    QString printerSays() const;

    int m_fd = -1;
    PortLocation m_location{{}, {}, DeviceKind::PrinterDevice, {}};
    QString m_openFailure;
    StallBound m_stall;
    NetworkConnection m_network{m_stall}; // a socket:// device
    SystemConsole m_console;
    DeviceCalls *m_calls = &DeviceCalls::system();
};
