// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "printservermodule.h"

#include "jobstop.h"
#include "portfailure.h"

#include <QFileInfo>

#include <cerrno>
#include <dlfcn.h>

namespace {

// The module, loaded once for the whole program and never unloaded: its connections live on.
struct LoadedModule
{
    PrintServerModule::Factory factory = nullptr;
    QString file; // where it was looked for last
    QString why;  // why it could not be used, as the system said it; empty: it is not there
};

QStringList candidates()
{
    // The tests name the module of the build they run in.
    const QString named = qEnvironmentVariable("VR2710_PRINT_SERVER_MODULE");
    if (!named.isEmpty())
        return {named};
    const QString programFolder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    const QString name = QString::fromLatin1(PrintServerModule::FileName);
    return {programFolder + QLatin1Char('/') + name,
            QFileInfo(programFolder + QStringLiteral("/../" VR2710_MODULE_DIR "/") + name)
                .absoluteFilePath()};
}

LoadedModule load()
{
    LoadedModule module;
    for (const QString &file : candidates()) {
        module.file = file;
        if (!QFileInfo::exists(file))
            continue;
        void *handle = ::dlopen(QFile::encodeName(file).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            module.why = QString::fromLocal8Bit(::dlerror());
            return module;
        }
        module.factory = reinterpret_cast<PrintServerModule::Factory>(
            ::dlsym(handle, PrintServerModule::FactoryName));
        if (!module.factory)
            module.why = QString::fromLocal8Bit(::dlerror());
        return module;
    }
    return module;
}

} // namespace

OpenedConnection openPrintServerQueue(const PortLocation &where, StallBound &stall)
{
    static const LoadedModule module = load();
    if (!module.factory) {
        Failure missing(FailureKind::ModuleMissing);
        missing.errnum = ENOENT;
        missing.serverSays = module.why;
        missing.detail = module.file;
        return {nullptr, failureAt(where, missing)};
    }
    OpenedConnection result;
    module.factory(PrintServerModule::Version, JobStop::flag(), &where, &stall, &result);
    return result;
}
