// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "busywait.h"
#include "errorbox.h"
#include "ports/parallelport.h"
#include "ports/serialport.h"
#include "receipt/printjob.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The program's one window: port selection, receipt body and the four buttons. It is the
// print job's window: the job reads the caption, the selection and the body through it, and
// runs its port operations through it, on a thread of their own, so the window stays alive.
class Form1 : public QWidget, public PrintJobWindow
{
    Q_OBJECT

public:
    static inline const QString Caption = QStringLiteral("VR2710 Print Demo Program");
    // The body box's stored help context id.
    static constexpr int BodyHelpContextId = 42;

    explicit Form1(QWidget *parent = nullptr);

    void PrintReceipt(const PitchCode &pitchCode);
    bool isPrinting() const { return m_printing; }
    void setHelpOpener(HelpOpener opener) { m_openHelp = std::move(opener); }

    // PrintJobWindow
    QString caption() const override;
    void setCaption(const QString &caption) override;
    QString portSelection() const override;
    QString bodyText() const override;
    void showErrorBox(const ErrorBox &box) override;
    PortNameSettings portNameSettings() const override { return m_portNames; }
    void runPortWork(const std::function<void()> &work) override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void Form_Load();
    void createControls();
    void setUpKeys();
    void setUpAccessibility();
    // The description's blue where it reads well, a lighter one on dark backgrounds.
    void paintBlueTexts();

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *Combo1 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPlainTextEdit *Text1 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command4 = nullptr;
    SerialPort *MSComm1 = nullptr;

    PortNameSettings m_portNames;
    ParallelPort m_parallelPort;
    BusyWait m_busyWait;
    std::unique_ptr<PrintJob> m_printJob;
    HelpOpener m_openHelp = openHelpWithDesktop;
    bool m_printing = false;
    bool m_closeRequested = false;
};
