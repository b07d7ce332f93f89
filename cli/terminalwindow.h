// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "receipt/printjob.h"

#include <QTextStream>

// The print job's window on a terminal: the port and body come from the command line, the
// caption's status and the error box's text go to a stream (standard error).
class TerminalWindow : public PrintJobWindow
{
public:
    // What the caption holds while no job runs; the job restores it silently.
    static inline const QString IdleCaption = QStringLiteral("vr2710-print");

    TerminalWindow(const QString &port, const QString &body, QTextStream &status);

    // Whether the job showed an error box, i.e. some step failed.
    bool jobFailed() const { return m_jobFailed; }

    QString caption() const override { return m_caption; }
    void setCaption(const QString &caption) override;
    QString portSelection() const override { return m_port; }
    QString bodyText() const override { return m_body; }
    void showErrorBox(const ErrorBox &box) override;
    PortNameSettings portNameSettings() const override;

private:
    QString m_caption = IdleCaption;
    QString m_port;
    QString m_body;
    QTextStream &m_status;
    bool m_jobFailed = false;
};
