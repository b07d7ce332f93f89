#pragma once

#include "abstractports.h"
#include "porterror.h"
#include "stallbound.h"

#include <chrono>

// A printer device (/dev/lp0, /dev/usb/lp0, a FIFO) or a file, opened by its port name and
// written like a sequential file. Writes never block: a device that takes no data for the
// stall timeout fails the operation, so an offline printer cannot hang a job.
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
    bool isOpen() const override { return m_fd >= 0; }

    void setStallTimeout(std::chrono::milliseconds timeout) { m_stall.setLimit(timeout); }

private:
    LastError writeAll(const QByteArray &bytes);
    // Waits until the device can take more, within what is left of the stall bound.
    // Returns 0, an errno, or -1 for a timeout.
    int waitWritable();
    LastError timeoutFailure() const;

    int m_fd = -1;
    PortLocation m_location{{}, {}, DeviceKind::PrinterDevice};
    QString m_openFailure;
    StallBound m_stall;
};
