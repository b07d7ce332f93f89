#pragma once

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
// print job's window: the job reads the caption, the selection and the body through it.
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
    AbstractSerialPort &serialPort() override { return *MSComm1; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void createControls();
    void setUpKeys();

    QLabel *Label1;
    QLabel *Label2;
    QComboBox *Combo1;
    QPushButton *Command1;
    QPushButton *Command2;
    QPlainTextEdit *Text1;
    QPushButton *Command3;
    QPushButton *Command4;
    SerialPort *MSComm1;

    PortNameSettings m_portNames;
    ParallelPort m_parallelPort;
    PrintJob m_printJob;
    HelpOpener m_openHelp = openHelpWithDesktop;
    bool m_printing = false;
    bool m_closeRequested = false;
};
