#pragma once

#include "lasterror.h"
#include "receiptstream.h"

#include <QString>

class AbstractSerialPort;
class AbstractParallelPort;

// The names the port selection is compared with; set once when the window loads.
struct PortNameSettings
{
    QString ParallelPortName;
    QString SerialPortName1;
    QString SerialPortName2;
};

// What the error box shows.
struct ErrorBox
{
    QString title;
    QString text;
    QString helpFile;
    qint32 helpContext = 0;
};

// All a print job knows of its window.
class PrintJobWindow
{
public:
    virtual ~PrintJobWindow() = default;

    virtual QString caption() const = 0;
    virtual void setCaption(const QString &caption) = 0;
    virtual QString portSelection() const = 0;
    // The body as it is to be printed, lines separated by CR LF.
    virtual QString bodyText() const = 0;
    virtual void showErrorBox(const ErrorBox &box) = 0;
    virtual PortNameSettings portNameSettings() const = 0;
    virtual AbstractSerialPort &serialPort() = 0;
};

// Prints one demonstration receipt on the port the window's selection names. Every step runs
// even when an earlier one failed; the last failure is shown once, after the caption is back.
class PrintJob
{
public:
    static inline const QString SerialCaption = QStringLiteral("VR2710 Printing ...");
    static inline const QString ParallelCaption = QStringLiteral("VR2710 Printing...LPT1");

    PrintJob(PrintJobWindow &window, AbstractParallelPort &parallelPort, Clock clock = systemClock);

    void PrintReceipt(const PitchCode &pitchCode);

    static ErrorBox errorBoxFor(const LastError &error);

private:
    // The stream for this job, or the failure that prevents building it.
    std::optional<ReceiptStream> buildStream(const PitchCode &pitchCode, ContinueOnError &job);
    void printSerial(const QString &selection, const PitchCode &pitchCode);
    void printParallel(const QString &deviceName, const PitchCode &pitchCode);
    void finish(const QString &savedCaption, const ContinueOnError &job);

    PrintJobWindow &m_window;
    AbstractParallelPort &m_parallelPort;
    Clock m_clock;
};
