// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "mainwindow.h"

#include "keyrouting.h"
#include "portbox.h"
#include "readablecolor.h"
#include "wrappingbutton.h"

#include "settings/portnames.h"
#include "stopsignals/stopsignals.h"

#include <QApplication>
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

MainWindow::MainWindow(QWidget *parent)
    : QWidget(parent)
{
    registerResources();
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(Caption);
    setWindowIcon(QIcon(QStringLiteral(":/icons/org.vr2710.Demo.png")));
    resize(fromTwips(0, 0, 7365, 4695).size());
    createControls();
    setUpKeys();
    setUpAccessibility();
    connect(&m_job, &JobRunner::captionChanged, this, &QWidget::setWindowTitle);
    connect(&m_job, &JobRunner::finished, this, &MainWindow::showOutcome);
}

void MainWindow::createControls()
{
    m_heading = place(new QLabel(QStringLiteral("    KORiVANT  VR-2710  DEMO Program"), this),
                      "heading", fromTwips(0, 120, 7332, 612), makeFont(Serif, 19.5, true, true));
    m_portLabel = place(new QLabel(QStringLiteral("Port Setting:"), this), "portLabel",
                        fromTwips(0, 840, 1332, 372), makeFont(Serif, 12));
    for (QLabel *label : {m_heading, m_portLabel}) {
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }

    m_portBox =
        place(new PortBox(this), "portBox", fromTwips(1440, 840, 1692, 360), makeFont(Serif, 12));
    m_portBox->setEditable(true);
    m_portBox->setInsertPolicy(QComboBox::NoInsert); // typed names never join the list
    // Qt's completer would turn a typed "com1" or "LPT" into a listed name; the port box keeps
    // exactly what was typed.
    m_portBox->setCompleter(nullptr);
    m_portBox->addItems(PortNames::all());
    m_portBox->setCurrentText(PortNames::Lpt1);
    paintBlueTexts();

    const QFont buttonFont = makeFont(Serif, 9.75);
    m_receipt15CpiButton = place(new WrappingButton(QStringLiteral("Receipt 15 CPI"), this),
                                 "receipt15CpiButton", fromTwips(3360, 840, 855, 492), buttonFont);
    m_exitButton = place(new QPushButton(QStringLiteral("Exit"), this), "exitButton",
                         fromTwips(6120, 840, 1092, 492), makeFont(Serif, 12));
    m_bodyBox = place(new QPlainTextEdit(this), "bodyBox", fromTwips(0, 1440, 7212, 3252),
                      makeFont(Mono, 12));
    m_receipt12CpiButton = place(new WrappingButton(QStringLiteral("Receipt 12 CPI"), this),
                                 "receipt12CpiButton", fromTwips(4200, 840, 855, 492), buttonFont);
    m_receipt8CpiButton = place(new WrappingButton(QStringLiteral("Receipt 8 CPI"), this),
                                "receipt8CpiButton", fromTwips(5040, 840, 855, 492), buttonFont);
    m_receipt15CpiButton->setDefault(true);

    // The box shows lines, the printer gets CR LF: the conversion happens in bodyText().
    m_bodyBox->setPlainText(
        ReceiptStream::defaultBody().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    m_bodyBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_bodyBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_bodyBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_bodyBox->setTabChangesFocus(true);
    m_bodyBox->setProperty("HelpContextID", BodyHelpContextId);

    connect(m_receipt15CpiButton, &QPushButton::clicked, this,
            [this] { printReceipt(Pitch::Cpi15); });
    connect(m_receipt12CpiButton, &QPushButton::clicked, this,
            [this] { printReceipt(Pitch::Cpi12); });
    connect(m_receipt8CpiButton, &QPushButton::clicked, this,
            [this] { printReceipt(Pitch::Cpi8); });
    connect(m_exitButton, &QPushButton::clicked, this, &QWidget::close);

    setTabOrder(m_portBox, m_receipt15CpiButton);
    setTabOrder(m_receipt15CpiButton, m_exitButton);
    setTabOrder(m_exitButton, m_bodyBox);
    setTabOrder(m_bodyBox, m_receipt12CpiButton);
    setTabOrder(m_receipt12CpiButton, m_receipt8CpiButton);
    m_portBox->setFocus();
}

void MainWindow::setUpKeys()
{
    auto *keys = new KeyRouting(this, m_receipt15CpiButton);
    keys->addTextEntry(m_portBox);
    keys->addTextEntry(m_portBox->lineEdit());
    keys->addMultiLineEntry(m_bodyBox);
    for (QPushButton *button :
         {m_receipt15CpiButton, m_exitButton, m_receipt12CpiButton, m_receipt8CpiButton})
        keys->addButton(button);
}

void MainWindow::setUpAccessibility()
{
    m_portLabel->setBuddy(m_portBox);
    m_portBox->setAccessibleName(QStringLiteral("Port"));
    m_portBox->lineEdit()->setAccessibleName(QStringLiteral("Port"));
    m_portBox->setAccessibleDescription(
        QStringLiteral("The port the printer is attached to: LPT1, COM1 or COM2."));
    m_bodyBox->setAccessibleName(QStringLiteral("Receipt body"));
    m_bodyBox->setAccessibleDescription(
        QStringLiteral("The lines printed in the middle of the "
                       "sample receipt. Ctrl+Enter starts a new line."));
}

void MainWindow::paintBlueTexts()
{
    // The window's own palette: when the theme changes it is up to date before its children's.
    paintBlue(m_heading, palette().color(QPalette::Window));
    paintBlue(m_portLabel, palette().color(QPalette::Window));
    paintBlue(m_portBox, palette().color(QPalette::Base));
}

void MainWindow::changeEvent(QEvent *event)
{
    // A new theme brings a new background; the blue follows it.
    if (event->type() == QEvent::PaletteChange && m_portBox)
        paintBlueTexts();
    QWidget::changeEvent(event);
}

void MainWindow::printReceipt(const PitchCode &pitchCode)
{
    // A queued call or a timer can still ask while the controls are disabled.
    if (isBusy())
        return;
    const QString selection = m_portBox->currentText();
    // A name that is no port prints nothing: the window does not even look busy.
    if (!PortNames::all().contains(selection))
        return;
    const PrintRequest request{.portSelection = selection,
                               .pitch = pitchCode,
                               .body = bodyText(),
                               .settings = PrintSettings::load(),
                               .ports = m_portSystem};

    m_savedCaption = windowTitle();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    enableControls(false);
    m_job.start(request);
}

bool MainWindow::isBusy() const
{
    return m_job.isRunning() || m_errorBox;
}

void MainWindow::enableControls(bool enabled)
{
    if (!enabled) {
        // Disabling the focused control would send the focus from one control to the next.
        m_focusBeforeJob = focusWidget();
        if (m_focusBeforeJob)
            m_focusBeforeJob->clearFocus();
    }
    const std::initializer_list<QWidget *> controls = {
        m_portBox, m_receipt15CpiButton, m_exitButton,
        m_bodyBox, m_receipt12CpiButton, m_receipt8CpiButton};
    for (QWidget *control : controls)
        control->setEnabled(enabled);
    if (enabled && m_focusBeforeJob)
        m_focusBeforeJob->setFocus();
}

void MainWindow::showOutcome(const PrintResult &result)
{
    setWindowTitle(m_savedCaption);
    enableControls(true);
    QApplication::restoreOverrideCursor();
    // Ended by a signal, the program ends too: no box to wait for.
    if (!result.failed() || StopSignals::received() != 0) {
        endJob(result.lastError);
        return;
    }
    m_errorBox = createErrorBox(this, errorBoxFor(result.lastError), m_openHelp);
    m_errorBox->setModal(true);
    connect(m_errorBox, &QDialog::finished, this, [this, failure = result.lastError] {
        m_errorBox->deleteLater();
        m_errorBox = nullptr;
        endJob(failure);
    });
    m_errorBox->show();
}

void MainWindow::endJob(const LastError &lastError)
{
    if (std::exchange(m_closeRequested, false))
        close();
    emit jobFinished(lastError);
}

QString MainWindow::bodyText() const
{
    // toPlainText() would turn non-breaking spaces into spaces; the body goes out as typed.
    QString body = m_bodyBox->document()->toRawText();
    for (const QChar lineBreak : {QChar(QChar::ParagraphSeparator), QChar(QChar::LineSeparator)})
        body.replace(lineBreak, QStringLiteral("\r\n"));
    return body;
}

void MainWindow::endOnStopSignal()
{
    StopSignals::request();
    if (m_errorBox)
        m_errorBox->reject();
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // A close that arrives while a job runs waits for it, and for its error box.
    if (isBusy()) {
        m_closeRequested = true;
        event->ignore();
        return;
    }
    event->accept();
}
