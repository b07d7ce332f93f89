// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "errorbox.h"
#include "job/printjob.h"
#include "jobrunner.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class QLabel;
class QMessageBox;
class QPlainTextEdit;
class QPushButton;

// The program's one window: the port box, the receipt body and the four buttons. A receipt
// button runs one print job: the window reads the port and the body, starts the job on a thread
// of its own (jobrunner.h) and goes back to its event loop. While the job runs, its controls take
// no input and the caption shows the job's status; when it ends, one error box tells its last
// failure, if any. One job at a time, whatever asks for a second: a click, a key, an
// accessibility action, a timer or a queued call during a job or its box does nothing.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    static inline const QString Caption = QStringLiteral("VR2710 Print Demo Program");
    // The body box's stored help context id.
    static constexpr int BodyHelpContextId = 42;

    explicit MainWindow(QWidget *parent = nullptr);

    // Starts printing the receipt at this pitch on the port the port box names, and returns at
    // once; jobFinished() tells when it is over. Does nothing while a job or its error box is
    // up, or when the port box names no port.
    void printReceipt(const PitchCode &pitchCode);
    bool isPrinting() const { return m_job.isRunning(); }
    // The body as it is to be printed, lines separated by CR LF.
    QString bodyText() const;
    void setHelpOpener(HelpOpener opener) { m_openHelp = std::move(opener); }
    // What the ports of this window's jobs reach of the system; tests put fakes there.
    void setPortSystem(const PortSystem &system) { m_portSystem = system; }

signals:
    // The job and its error box, if one showed, are over; the window takes input again.
    void jobFinished(const LastError &lastError);

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
    // Job or error box up: a close request waits for them.
    bool isBusy() const;
    // While a job runs the controls are disabled, which drops every kind of input to them; keys
    // reach the window itself, where Esc asks to close.
    void enableControls(bool enabled);
    void showOutcome(const PrintResult &result);
    void endJob(const LastError &lastError);

    QLabel *m_heading = nullptr;
    QLabel *m_portLabel = nullptr;
    QComboBox *m_portBox = nullptr;
    QPushButton *m_receipt15CpiButton = nullptr;
    QPushButton *m_exitButton = nullptr;
    QPlainTextEdit *m_bodyBox = nullptr;
    QPushButton *m_receipt12CpiButton = nullptr;
    QPushButton *m_receipt8CpiButton = nullptr;
    QPointer<QMessageBox> m_errorBox; // while one is shown

    JobRunner m_job;
    QString m_savedCaption;             // while a job runs
    QPointer<QWidget> m_focusBeforeJob; // given back when it ends
    PortSystem m_portSystem;
    HelpOpener m_openHelp = openHelpWithDesktop;
    bool m_closeRequested = false;
};
