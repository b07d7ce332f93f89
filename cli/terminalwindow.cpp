// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "terminalwindow.h"

TerminalWindow::TerminalWindow(const QString &port, const QString &body, QTextStream &status)
    : m_port(port)
    , m_body(body)
    , m_status(status)
{
}

void TerminalWindow::setCaption(const QString &caption)
{
    m_caption = caption;
    if (caption != IdleCaption)
        m_status << caption << Qt::endl;
}

void TerminalWindow::showErrorBox(const ErrorBox &box)
{
    m_jobFailed = true;
    QString text = box.text;
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_status << text << Qt::endl;
}

PortNameSettings TerminalWindow::portNameSettings() const
{
    return {QStringLiteral("LPT1"), QStringLiteral("COM1"), QStringLiteral("COM2")};
}
