// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "catalogue.h"

#include "displaypath.h"
#include "wording.h"

#include <cerrno>
#include <cstring>

using namespace Wording;

namespace {

// The number of a failure: the system's errno where a system call failed, or ours.
qint32 numberOf(const Failure &failure)
{
    switch (failure.kind) {
    case FailureKind::System:
    case FailureKind::PrinterReports:
    case FailureKind::ConnectionClosed:
    case FailureKind::DefaultServerDown:
        return failure.errnum;
    case FailureKind::ConnectFailed:
        if (failure.errnum == ECANCELED)
            return ErrorNumber::Stopped;
        return failure.errnum == ETIMEDOUT ? ErrorNumber::Timeout : failure.errnum;
    case FailureKind::Busy:
        return EBUSY;
    case FailureKind::NoSuchQueue:
    case FailureKind::ModuleMissing:
        return ENOENT;
    case FailureKind::NotAuthorized:
        return EACCES;
    case FailureKind::UnknownTargetKind:
    case FailureKind::BadAddress:
    case FailureKind::ModuleOtherVersion:
        return EINVAL;
    case FailureKind::Console:
        return ErrorNumber::SystemConsole;
    case FailureKind::NotOpen:
        return ErrorNumber::PortNotOpen;
    case FailureKind::AlreadyOpen:
        return ErrorNumber::PortAlreadyOpen;
    case FailureKind::NoSuchPortNumber:
        return ErrorNumber::InvalidPortNumber;
    case FailureKind::TimedOut:
    case FailureKind::LookupTimedOut:
    case FailureKind::ExchangeTimedOut:
    case FailureKind::JobNotCompleted:
        return ErrorNumber::Timeout;
    case FailureKind::Stopped:
    case FailureKind::ServerStopped:
        return ErrorNumber::Stopped;
    case FailureKind::SettingsFile:
        return ErrorNumber::SettingsFile;
    case FailureKind::CodePage:
    case FailureKind::CodePageMissing:
        return ErrorNumber::UnknownCodePage;
    case FailureKind::HostNotFound:
        return ErrorNumber::HostNotFound;
    case FailureKind::Tls:
        return ErrorNumber::SecureConnection;
    case FailureKind::ServerClosed:
    case FailureKind::ServerRedirect:
    case FailureKind::ServerNotHttp:
    case FailureKind::ServerNotIpp:
    case FailureKind::ServerCutShort:
        return ErrorNumber::PrintServerAnswer;
    case FailureKind::ServerHttpError:
        // A refusal in HTTP's words is the same refusal as in IPP's.
        if (failure.exchange.httpStatus == 401 || failure.exchange.httpStatus == 403)
            return EACCES;
        return failure.exchange.httpStatus == 404 ? ENOENT : ErrorNumber::PrintServerAnswer;
    case FailureKind::QueueNotAccepting:
    case FailureKind::ServerRefused:
    case FailureKind::NoJobNumber:
        return ErrorNumber::PrintServerRefused;
    case FailureKind::JobCancelled:
    case FailureKind::JobAborted:
        return ErrorNumber::PrintJobAborted;
    }
    return failure.errnum;
}

QString sourceOf(const Failure &failure)
{
    const FailurePlace &place = failure.place;
    switch (failure.kind) {
    case FailureKind::SettingsFile:
        return displayPath(place.settingsFile);
    case FailureKind::CodePage:
    case FailureKind::CodePageMissing:
        return place.setIn == FailurePlace::SetIn::Environment ? place.variable
                                                               : displayPath(place.settingsFile);
    default:
        return Catalogue::portSource(place.port, place.target);
    }
}

bool onDevice(const FailurePlace &place)
{
    return place.targetIs == TargetIs::Device || place.targetIs == TargetIs::ControllingTerminal;
}

QString deviceToUse(const FailurePlace &place)
{
    return place.serialLine ? QStringLiteral("the serial device to use (for example /dev/ttyUSB0)")
                            : QStringLiteral("the printer device to use (for example "
                                             "/dev/usb/lp0) or to a file to print into");
}

// What to do about a failed system call, where the errno and the target tell.
QString adviceFor(int errnum, const FailurePlace &place)
{
    const bool serial = place.serialLine;
    const QString device = displayPath(place.target);
    // Targets that are no printer at all, whatever the call said.
    if (place.targetIs == TargetIs::ControllingTerminal)
        return QStringLiteral("%1 stands for the terminal of the program that opens it (and "
                              "this one has none): a terminal, not a printer. To print, %2.")
            .arg(device, setTargetTo(place, deviceToUse(place)));
    if (place.targetIs == TargetIs::SystemFile)
        return QStringLiteral("%1 is a file of the system's /proc or /sys, not a printer. To "
                              "print, %2.")
            .arg(device, setTargetTo(place, deviceToUse(place)));
    switch (errnum) {
    case EACCES:
    case EPERM:
        if (serial)
            return QStringLiteral("Add your user to the \"dialout\" group "
                                  "(sudo usermod -aG dialout $USER), then log in again.");
        if (onDevice(place))
            return QStringLiteral("Add your user to the \"lp\" group "
                                  "(sudo usermod -aG lp $USER), then log in again.");
        return QStringLiteral("Check the permissions of %1.").arg(device);
    case ENOENT:
    case ENODEV:
        if (place.target.isEmpty())
            return QStringLiteral("No device is known for the port %1.").arg(place.port);
        if (serial && !onDevice(place))
            return QStringLiteral("A COM port prints to a serial device, never to a file (only "
                                  "LPT1 can): %1.")
                .arg(setTargetTo(place, deviceToUse(place)));
        if (onDevice(place))
            return QStringLiteral("Connect the printer, or %1.")
                .arg(setTargetTo(place, deviceToUse(place)));
        return QStringLiteral("Check that the folder of %1 exists.").arg(device);
    case EBUSY:
        return QStringLiteral("Another program is using %1; close it and try again.").arg(device);
    case ENXIO:
        if (serial)
            return QStringLiteral("The device %1 is not present; check that it is connected.")
                .arg(device);
        return QStringLiteral("Nothing takes data from %1: the printer is off line or not "
                              "connected (or no program is reading this pipe).")
            .arg(device);
    case EIO:
    case EPIPE:
        return QStringLiteral("The connection to the printer was lost; check the cable and "
                              "that the printer is switched on.");
    case ENOSPC:
        // The parallel-port driver's word for "out of paper"; on a file it is a full disk.
        if (!serial && onDevice(place))
            return QStringLiteral("The printer is out of paper; load paper and print again.");
        return QStringLiteral("The disk is full; free some space and print again.");
    case EISDIR:
        return QStringLiteral("%1 is a folder; %2.")
            .arg(device, setTargetTo(place, QStringLiteral("a device instead")));
    case ENOTTY:
        if (serial)
            return QStringLiteral("%1 is not a serial device; %2.")
                .arg(device, setTargetTo(place, QStringLiteral("one")));
        return {};
    default:
        return {};
    }
}

QString printerSays(PrinterCondition condition)
{
    switch (condition) {
    case PrinterCondition::OutOfPaper:
        return QStringLiteral("The printer is out of paper. Load paper and print again.");
    case PrinterCondition::OffLine:
        return QStringLiteral("The printer is off line. Switch it on and put it on line, then "
                              "print again.");
    case PrinterCondition::Error:
        return QStringLiteral("The printer reports an error (a paper jam, an open cover or the "
                              "like). Clear it, then print again.");
    case PrinterCondition::Unknown:
    case PrinterCondition::Fine:
        break;
    }
    return {};
}

QString busy(const Failure &failure)
{
    const FailureHolder &holder = failure.holder;
    const QString source = Catalogue::portSource(failure.place.port, failure.place.target);
    const auto process = [](qint64 pid, const QString &name) {
        return name.isEmpty() ? QStringLiteral("process %1").arg(pid)
                              : QStringLiteral("process %1 (%2)").arg(pid).arg(name);
    };
    if (holder.pid > 0 && holder.reaperPid > 0)
        return QStringLiteral("%1 is locked by %2, which has ended but was not yet reaped by its "
                              "parent, %3; the lock holds until then. Close that parent program "
                              "(or wait until it reaps its child), then print again.")
            .arg(source, process(holder.pid, holder.processName),
                 process(holder.reaperPid, holder.reaperName));
    if (holder.pid > 0)
        return QStringLiteral("%1 is in use by %2. Close that program or wait until it is done, "
                              "then print again.")
            .arg(source, process(holder.pid, holder.processName));
    if (holder.lockIsFolder)
        return QStringLiteral("%1 is locked by %2, a folder where its lock file belongs, which "
                              "names no program. If no program uses the port, remove that folder "
                              "and print again.")
            .arg(source, displayPath(holder.lockFile));
    if (!holder.lockFile.isEmpty())
        return QStringLiteral("%1 is locked by %2, which names no running program. If no program "
                              "uses the port, remove that file and print again.")
            .arg(source, displayPath(holder.lockFile));
    return QStringLiteral("%1 is in use by another program. Close it or wait until it is done, "
                          "then print again.")
        .arg(source);
}

QString timedOut(const Failure &failure)
{
    QString advice = printerSays(failure.printer);
    if (advice.isEmpty())
        advice = failure.peer.host.isEmpty()
                     ? QStringLiteral("Check that the printer is switched on, on line and has "
                                      "paper.")
                     : QStringLiteral("Check that the printer is switched on and connected to "
                                      "the network.");
    return QStringLiteral("%1 took no data for %2 s. %3")
        .arg(displayPath(failure.place.target), seconds(failure.bound), advice);
}

QString unknownTargetKind(const Failure &failure)
{
    const FailurePlace &place = failure.place;
    QStringList kinds;
    for (const QString &prefix : failure.detail.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        kinds << prefix + QStringLiteral("...");
    QString text = QStringLiteral("\"%1\" looks like an address, but not of a kind this program "
                                  "knows (%2). Correct %3.")
                       .arg(displayPath(place.target), kinds.join(QStringLiteral(", ")),
                            whereToSetTarget(place));
    // Only a printer port prints into a file; "./" keeps a colon from reading as a scheme.
    if (!place.serialLine)
        text += QStringLiteral(" A file whose name has a colon before any \"/\" is written with "
                               "./ before it, as ./name:x.");
    return text;
}

QString settingsFileProblem(const Failure &failure)
{
    const QString file = displayPath(failure.place.settingsFile);
    QString what;
    switch (failure.settings) {
    case SettingsProblem::None:
        break;
    case SettingsProblem::Unreadable:
        return QStringLiteral("The settings file %1 cannot be read: %2.")
            .arg(file, systemText(failure.errnum));
    case SettingsProblem::NotRegular:
        return QStringLiteral("The settings file %1 cannot be read: it is not a regular file.")
            .arg(file);
    case SettingsProblem::NulByte:
        what =
            QStringLiteral("holds a NUL byte on line %1, which no setting can.").arg(failure.line);
        break;
    case SettingsProblem::UnknownGroup:
        what = QStringLiteral("has an unknown group [%1] on line %2; its groups are [ports] and "
                              "[printing].")
                   .arg(failure.detail)
                   .arg(failure.line);
        break;
    case SettingsProblem::NotASetting:
        what = QStringLiteral("cannot be read on line %1: \"%2\" is neither a [group] nor a "
                              "key=value line.")
                   .arg(failure.line)
                   .arg(failure.detail);
        break;
    case SettingsProblem::UnknownKey:
        what = QStringLiteral("has an unknown key \"%1\" on line %2; it knows COM1, COM2 and LPT1 "
                              "under [ports] and codepage under [printing].")
                   .arg(failure.detail)
                   .arg(failure.line);
        break;
    }
    return QStringLiteral("The settings file %1 %2 Correct or remove it.").arg(file, what);
}

QString codePage(const Failure &failure)
{
    if (failure.place.setIn == FailurePlace::SetIn::Environment)
        return QStringLiteral("%1 is set to \"%2\", which is not a code page this program "
                              "supports. Set it to 437, 850, 858 or 1252, or unset it for 437.")
            .arg(failure.place.variable, failure.codePage);
    return QStringLiteral("The settings file sets codepage to \"%1\" on line %2, which is not a "
                          "code page this program supports. Set it to 437, 850, 858 or 1252, or "
                          "remove the line for 437.")
        .arg(failure.codePage)
        .arg(failure.line);
}

QString notOpen(const Failure &failure)
{
    const QString port =
        failure.place.serialLine ? QStringLiteral("serial port") : QStringLiteral("printer port");
    QString description = QStringLiteral("The %1 is not open, so nothing was sent.").arg(port);
    if (failure.cause.isFailure())
        description += QStringLiteral(" Opening it failed (error %1): %2")
                           .arg(failure.cause.number)
                           .arg(failure.cause.description);
    return description;
}

QString describeText(const Failure &failure)
{
    const FailurePlace &place = failure.place;
    switch (failure.kind) {
    case FailureKind::System: {
        QString description = sentence(systemText(failure.errnum));
        if (const QString advice = adviceFor(failure.errnum, place); !advice.isEmpty())
            description += QLatin1Char(' ') + advice;
        return description;
    }
    case FailureKind::PrinterReports:
        return printerSays(failure.printer);
    case FailureKind::Busy:
        return busy(failure);
    case FailureKind::Console:
        return QStringLiteral("%1 is the system console, so nothing was sent to it. Connect the "
                              "printer to another port, or %2.")
            .arg(displayPath(place.target), setTargetTo(place, QStringLiteral("its device")));
    case FailureKind::NotOpen:
        return notOpen(failure);
    case FailureKind::AlreadyOpen:
        return place.serialLine ? QStringLiteral("The serial port is already open.")
                                : QStringLiteral("The printer port is already open.");
    case FailureKind::NoSuchPortNumber:
        return QStringLiteral("There is no serial port number %1.").arg(failure.portNumber);
    case FailureKind::TimedOut:
        return timedOut(failure);
    case FailureKind::Stopped:
        return QStringLiteral("The job was stopped before %1 had the whole receipt.")
            .arg(displayPath(place.target));
    case FailureKind::UnknownTargetKind:
        return unknownTargetKind(failure);
    case FailureKind::ModuleMissing:
        return QStringLiteral("Printing to a print server needs %1, which cannot be loaded (%2). "
                              "Install the print-server library (sudo apt install libcups2), and "
                              "this program's package (vr2710-demo) again.")
            .arg(failure.detail,
                 failure.serverSays.isEmpty() ? systemText(failure.errnum) : failure.serverSays);
    case FailureKind::ModuleOtherVersion:
        return QStringLiteral("The print-server module belongs to another version of this "
                              "program. Install this program's package (vr2710-demo) again.");
    case FailureKind::SettingsFile:
        return settingsFileProblem(failure);
    case FailureKind::CodePage:
        return codePage(failure);
    case FailureKind::CodePageMissing:
        return QStringLiteral("This system cannot convert text to code page %1: the C library's "
                              "conversion modules (gconv, from the libc6 package) are missing. "
                              "Reinstall libc6.")
            .arg(failure.codePage);
    default:
        break;
    }
    return networkDescription(failure);
}

} // namespace

namespace Catalogue {

LastError describe(const Failure &failure)
{
    LastError error;
    error.number = numberOf(failure);
    error.source = sourceOf(failure);
    error.description = describeText(failure);
    return error;
}

QList<qint32> numbersGiven()
{
    using namespace ErrorNumber;
    return {ENOENT,
            EACCES,
            EBUSY,
            EINVAL,
            PortNotOpen,
            Timeout,
            UnknownCodePage,
            SystemConsole,
            SettingsFile,
            HostNotFound,
            PrintServerRefused,
            PrintJobAborted,
            SecureConnection,
            Stopped,
            PrintServerAnswer};
}

QString portSource(const QString &port, const QByteArray &target)
{
    if (target.isEmpty())
        return port;
    return QStringLiteral("%1 (%2)").arg(port, displayPath(target));
}

} // namespace Catalogue

namespace Wording {

QString sentence(QString text)
{
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    return text;
}

QString capitalized(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

QString systemText(int errnum)
{
    return QString::fromLocal8Bit(std::strerror(errnum));
}

QString seconds(std::chrono::milliseconds bound)
{
    return QString::number(double(bound.count()) / 1000.0, 'g', 3);
}

QString whereToSetTarget(const FailurePlace &place)
{
    switch (place.setIn) {
    case FailurePlace::SetIn::Environment:
        return place.variable;
    case FailurePlace::SetIn::SettingsFile:
        return QStringLiteral("%1= on line %2 of the settings file %3")
            .arg(place.port)
            .arg(place.line)
            .arg(displayPath(place.settingsFile));
    case FailurePlace::SetIn::Default:
        break;
    }
    return QStringLiteral("%1 or the settings file").arg(place.variable);
}

QString setTargetTo(const FailurePlace &place, const QString &what)
{
    const QString file = displayPath(place.settingsFile);
    switch (place.setIn) {
    case FailurePlace::SetIn::Environment:
        return QStringLiteral("set %1 to %2").arg(place.variable, what);
    case FailurePlace::SetIn::SettingsFile:
        return QStringLiteral("change %1= on line %2 of the settings file %3 to %4")
            .arg(place.port)
            .arg(place.line)
            .arg(file, what);
    case FailurePlace::SetIn::Default:
        break;
    }
    return QStringLiteral("set %1 (or %2= under [ports] in the settings file %3) to %4")
        .arg(place.variable, place.port, file, what);
}

} // namespace Wording
