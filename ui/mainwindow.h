// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "busywait.h"
#include "errorbox.h"
#include "job/printjob.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QMessageBox;
class QPlainTextEdit;
class QPushButton;

// The program's one window: the port box, the receipt body and the four buttons. A receipt
// button runs one print job: the window reads the port and the body, runs the job on a thread
// of its own while it keeps serving the display (busywait.h), shows the status in its caption
// and, if a step failed, one error box. One job at a time, whatever starts it: a click, a key,
// an accessibility action, a timer or a queued call during a job does nothing.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    static inline const QString Caption = QStringLiteral("VR2710 Print Demo Program");
    // The body box's stored help context id.
    static constexpr int BodyHelpContextId = 42;

    explicit MainWindow(QWidget *parent = nullptr);

    // Prints the receipt at this pitch on the port the port box names; returns when the job
    // and its error box are over. Does nothing while a job runs.
    void printReceipt(const PitchCode &pitchCode);
    bool isPrinting() const { return m_printing; }
    // The body as it is to be printed, lines separated by CR LF.
    QString bodyText() const;
    void setHelpOpener(HelpOpener opener) { m_openHelp = std::move(opener); }
    // What the ports of this window's jobs reach of the system; tests put fakes there.
    void setPortSystem(const PortSystem &system) { m_portSystem = system; }

public slots:
    // A stop signal (Ctrl+C, kill) came: the job under way stops at once and the window closes
    // once it has released its port, without an error box.
    void endOnStopSignal();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void createControls();
    void setUpKeys();
    void setUpAccessibility();
    // Blue where it reads well, a lighter one on dark backgrounds.
    void paintBlueTexts();
    void showErrorBox(const LastError &failure);

    QLabel *m_heading = nullptr;
    QLabel *m_portLabel = nullptr;
    QComboBox *m_portBox = nullptr;
    QPushButton *m_receipt15CpiButton = nullptr;
    QPushButton *m_exitButton = nullptr;
    QPlainTextEdit *m_bodyBox = nullptr;
    QPushButton *m_receipt12CpiButton = nullptr;
    QPushButton *m_receipt8CpiButton = nullptr;
    QMessageBox *m_errorBox = nullptr; // while one is shown

    BusyWait m_busyWait;
    PortSystem m_portSystem;
    HelpOpener m_openHelp = openHelpWithDesktop;
    bool m_printing = false;
    bool m_closeRequested = false;
};
