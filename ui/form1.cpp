// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "form1.h"

#include "keyrouting.h"
#include "portbox.h"
#include "readablecolor.h"
#include "wrappingbutton.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

// The icon lives in this library's resources, which a static library must register itself.
static void registerResources()
{
    Q_INIT_RESOURCE(vr2710_ui);
}

namespace {

// Layout is given in twips; at 96 dpi 15 twips make one logical pixel.
QRect fromTwips(int left, int top, int width, int height)
{
    return {qRound(left / 15.0), qRound(top / 15.0), qRound(width / 15.0), qRound(height / 15.0)};
}

QFont makeFont(const QString &family, qreal points, bool bold = false, bool italic = false)
{
    QFont font(family);
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

const QString Serif = QStringLiteral("Times New Roman");
const QString Mono = QStringLiteral("Courier New");
const QColor Blue(0, 0, 255);

// Text in blue, readable on the background it is drawn on.
void paintBlue(QWidget *widget, const QColor &background)
{
    QPalette palette = widget->palette();
    const QColor blue = readableOn(Blue, background);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, blue);
    widget->setPalette(palette);
}

template <typename Widget>
Widget *place(Widget *widget, const char *name, const QRect &geometry, const QFont &font)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    widget->setFont(font);
    return widget;
}

} // namespace

Form1::Form1(QWidget *parent)
    : QWidget(parent)
{
    registerResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(Caption);
    setWindowIcon(QIcon(QStringLiteral(":/icons/org.vr2710.Demo.png")));
    resize(fromTwips(0, 0, 7365, 4695).size());
    createControls();
    setUpKeys();
    setUpAccessibility();
    m_printJob = std::make_unique<PrintJob>(*this, *MSComm1, m_parallelPort);
    // Esc during a job ends the program once the job is over, like a close request.
    connect(&m_busyWait, &BusyWait::endRequested, this, [this] { m_closeRequested = true; });
    Form_Load();
}

void Form1::Form_Load()
{
    m_portNames.ParallelPortName = QStringLiteral("LPT1");
    m_portNames.SerialPortName1 = QStringLiteral("COM1");
    m_portNames.SerialPortName2 = QStringLiteral("COM2");
}

void Form1::createControls()
{
    Label1 = place(new QLabel(QStringLiteral("    KORiVANT  VR-2710  DEMO Program"), this),
                   "Label1", fromTwips(0, 120, 7332, 612), makeFont(Serif, 19.5, true, true));
    Label2 = place(new QLabel(QStringLiteral("Port Setting:"), this), "Label2",
                   fromTwips(0, 840, 1332, 372), makeFont(Serif, 12));
    for (QLabel *label : {Label1, Label2}) {
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }

    Combo1 =
        place(new PortBox(this), "Combo1", fromTwips(1440, 840, 1692, 360), makeFont(Serif, 12));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert); // typed names never join the list
    // Qt's completer would turn a typed "com1" or "LPT" into a listed name; the port box keeps
    // exactly what was typed.
    Combo1->setCompleter(nullptr);
    Combo1->addItems({QStringLiteral("LPT1"), QStringLiteral("COM1"), QStringLiteral("COM2")});
    Combo1->setCurrentText(QStringLiteral("LPT1"));
    paintBlueTexts();

    const QFont buttonFont = makeFont(Serif, 9.75);
    Command1 = place(new WrappingButton(QStringLiteral("Receipt 15 CPI"), this), "Command1",
                     fromTwips(3360, 840, 855, 492), buttonFont);
    Command2 = place(new QPushButton(QStringLiteral("Exit"), this), "Command2",
                     fromTwips(6120, 840, 1092, 492), makeFont(Serif, 12));
    Text1 = place(new QPlainTextEdit(this), "Text1", fromTwips(0, 1440, 7212, 3252),
                  makeFont(Mono, 12));
    Command3 = place(new WrappingButton(QStringLiteral("Receipt 12 CPI"), this), "Command3",
                     fromTwips(4200, 840, 855, 492), buttonFont);
    Command4 = place(new WrappingButton(QStringLiteral("Receipt 8 CPI"), this), "Command4",
                     fromTwips(5040, 840, 855, 492), buttonFont);
    Command1->setDefault(true);

    // The box shows lines, the printer gets CR LF: the conversion happens in bodyText().
    Text1->setPlainText(
        ReceiptStream::defaultBody().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setTabChangesFocus(true);
    Text1->setProperty("HelpContextID", BodyHelpContextId);

    MSComm1 = new SerialPort(this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));

    connect(Command1, &QPushButton::clicked, this, [this] { PrintReceipt(Pitch::Cpi15); });
    connect(Command3, &QPushButton::clicked, this, [this] { PrintReceipt(Pitch::Cpi12); });
    connect(Command4, &QPushButton::clicked, this, [this] { PrintReceipt(Pitch::Cpi8); });
    connect(Command2, &QPushButton::clicked, this, &QWidget::close);

    setTabOrder(Combo1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Text1);
    setTabOrder(Text1, Command3);
    setTabOrder(Command3, Command4);
    Combo1->setFocus();
}

void Form1::setUpKeys()
{
    auto *keys = new KeyRouting(this, Command1, Command2);
    keys->addTextEntry(Combo1);
    keys->addTextEntry(Combo1->lineEdit());
    keys->addMultiLineEntry(Text1);
    for (QPushButton *button : {Command1, Command2, Command3, Command4})
        keys->addButton(button);
}

void Form1::setUpAccessibility()
{
    Label2->setBuddy(Combo1);
    Combo1->setAccessibleName(QStringLiteral("Port"));
    Combo1->lineEdit()->setAccessibleName(QStringLiteral("Port"));
    Combo1->setAccessibleDescription(
        QStringLiteral("The port the printer is attached to: LPT1, COM1 or COM2."));
    Text1->setAccessibleName(QStringLiteral("Receipt body"));
    Text1->setAccessibleDescription(
        QStringLiteral("The lines printed in the middle of the "
                       "sample receipt. Ctrl+Enter starts a new line."));
}

void Form1::paintBlueTexts()
{
    // The form's own palette: when the theme changes it is up to date before its children's.
    paintBlue(Label1, palette().color(QPalette::Window));
    paintBlue(Label2, palette().color(QPalette::Window));
    paintBlue(Combo1, palette().color(QPalette::Base));
}

void Form1::changeEvent(QEvent *event)
{
    // A new theme brings a new background; the blue follows it.
    if (event->type() == QEvent::PaletteChange && Combo1)
        paintBlueTexts();
    QWidget::changeEvent(event);
}

void Form1::PrintReceipt(const PitchCode &pitchCode)
{
    const PitchCode ownCopy = pitchCode;
    m_printing = true;
    m_printJob->PrintReceipt(ownCopy);
    m_printing = false;
    if (m_closeRequested)
        close();
}

void Form1::runPortWork(const std::function<void()> &work)
{
    m_busyWait.run(work);
}

QString Form1::caption() const
{
    return windowTitle();
}

void Form1::setCaption(const QString &caption)
{
    setWindowTitle(caption);
}

QString Form1::portSelection() const
{
    return Combo1->currentText();
}

QString Form1::bodyText() const
{
    // toPlainText() would turn non-breaking spaces into spaces; the body goes out as typed.
    QString body = Text1->document()->toRawText();
    for (const QChar lineBreak : {QChar(QChar::ParagraphSeparator), QChar(QChar::LineSeparator)})
        body.replace(lineBreak, QStringLiteral("\r\n"));
    return body;
}

void Form1::showErrorBox(const ErrorBox &box)
{
    QMessageBox *messageBox = createErrorBox(this, box, m_openHelp);
    messageBox->exec();
    delete messageBox;
}

void Form1::closeEvent(QCloseEvent *event)
{
    // A close that arrives while a job runs waits for it, and for its error box.
    if (m_printing) {
        m_closeRequested = true;
        event->ignore();
        return;
    }
    event->accept();
}
