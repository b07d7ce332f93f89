// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "testsupport.h"
#include "ui/errorbox.h"
#include "ui/mainwindow.h"
#include "ui/readablecolor.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QColor>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRect>
#include <QSignalSpy>
#include <QSize>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace {

// Answers the next modal box once it is up: hands it to `inspect`, then presses OK.
void answerNextBox(std::function<void(QMessageBox *)> inspect)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, inspect] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll->stop();
        poll->deleteLater();
        inspect(box);
        box->button(QMessageBox::Ok)->click();
    });
    poll->start();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsReady();
    void keys_data();
    void keys();
    void tabOrder();
    void typedNameIsNotAdded();
    void buttonsPrintTheirPitch_data();
    void buttonsPrintTheirPitch();
    void unmatchedPortTouchesNothing_data();
    void unmatchedPortTouchesNothing();
    void errorBoxAfterFailedJob();
    void errorBoxHelp_data();
    void errorBoxHelp();
    void closeDuringJobWaitsForIt();
    void inputDuringJobIsDropped();
    void noSecondJobDuringAJob_data();
    void noSecondJobDuringAJob();
    void escapeWithListOpenClosesTheList();
    void bodyGoesOutAsTyped_data();
    void bodyGoesOutAsTyped();
    void textsReadableInTheme_data();
    void textsReadableInTheme();
    void accessibleNames_data();
    void accessibleNames();
    void controlsStayOnResize();
    void bodyIsNotLimitedTo42();

private:
    template <typename T> T *child(const char *name)
    {
        return m_form->findChild<T *>(QLatin1String(name));
    }
    void selectPort(const QString &name) { child<QComboBox>("portBox")->setCurrentText(name); }
    // The job started last, and its error box, are over.
    bool jobEnded()
    {
        return QTest::qWaitFor([this] { return !m_jobFinished->isEmpty(); });
    }

    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<MainWindow> m_form;
    std::unique_ptr<QSignalSpy> m_jobFinished;
};

void TestMainWindow::init()
{
    m_pty = std::make_unique<PseudoTerminal>();
    writeSettingsFile({{"COM1", QFile::encodeName(m_pty->slavePath())},
                       {"COM2", "/dev/vr2710-missing"},
                       {"LPT1", "/dev/vr2710-no-printer-in-tests"}});
    m_form = std::make_unique<MainWindow>();
    m_jobFinished = std::make_unique<QSignalSpy>(m_form.get(), &MainWindow::jobFinished);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

void TestMainWindow::cleanup()
{
    m_form.reset();
    m_pty.reset();
}

void TestMainWindow::startsReady()
{
    auto *combo = child<QComboBox>("portBox");
    QCOMPARE(QApplication::focusWidget() == combo ||
                 QApplication::focusWidget() == combo->lineEdit(),
             true);
    QCOMPARE(combo->currentText(), QStringLiteral("LPT1"));
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items, (QStringList{"LPT1", "COM1", "COM2"}));
    QCOMPARE(m_form->windowTitle(), QStringLiteral("VR2710 Print Demo Program"));
    QCOMPARE(m_form->size(), QSize(491, 313));
    QCOMPARE(m_form->bodyText(), ReceiptStream::defaultBody());
}

void TestMainWindow::keys_data()
{
    QTest::addColumn<QByteArray>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QByteArray>("printedPitch"); // empty: nothing printed
    QTest::addColumn<bool>("closes");

    const int none = Qt::NoModifier;
    QTest::newRow("Enter in the port box")
        << QByteArray("portBox") << int(Qt::Key_Return) << none << QByteArray("M") << false;
    QTest::newRow("keypad Enter in the port box")
        << QByteArray("portBox") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << QByteArray("M")
        << false;
    QTest::newRow("Enter in the body")
        << QByteArray("bodyBox") << int(Qt::Key_Return) << none << QByteArray("M") << false;
    QTest::newRow("Ctrl+Enter in the body") << QByteArray("bodyBox") << int(Qt::Key_Return)
                                            << int(Qt::ControlModifier) << QByteArray() << false;
    QTest::newRow("Enter on Receipt 15 CPI")
        << QByteArray("receipt15CpiButton") << int(Qt::Key_Return) << none << QByteArray("M")
        << false;
    QTest::newRow("Enter on Receipt 12 CPI")
        << QByteArray("receipt12CpiButton") << int(Qt::Key_Return) << none << QByteArray("P")
        << false;
    QTest::newRow("Enter on Receipt 8 CPI")
        << QByteArray("receipt8CpiButton") << int(Qt::Key_Return) << none << QByteArray(":")
        << false;
    QTest::newRow("Enter on Exit")
        << QByteArray("exitButton") << int(Qt::Key_Return) << none << QByteArray() << true;
    QTest::newRow("Esc in the port box")
        << QByteArray("portBox") << int(Qt::Key_Escape) << none << QByteArray() << true;
    QTest::newRow("Esc in the body")
        << QByteArray("bodyBox") << int(Qt::Key_Escape) << none << QByteArray() << true;
    QTest::newRow("Esc on Receipt 12 CPI")
        << QByteArray("receipt12CpiButton") << int(Qt::Key_Escape) << none << QByteArray() << true;
}

void TestMainWindow::keys()
{
    QFETCH(QByteArray, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QByteArray, printedPitch);
    QFETCH(bool, closes);

    selectPort(QStringLiteral("COM1"));
    auto *target = child<QWidget>(focus.constData());
    target->setFocus();
    QWidget *receiver = QApplication::focusWidget();
    QTest::keyClick(receiver, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    const QByteArray received = m_pty->read(200);
    if (printedPitch.isEmpty()) {
        QCOMPARE(received, QByteArray());
    } else {
        QCOMPARE(received.left(3), "\x07\x1b" + printedPitch);
        QVERIFY(jobEnded());
        QCOMPARE(QApplication::focusWidget(), receiver); // where it was before the job
    }
    QCOMPARE(m_form->isVisible(), !closes);
    const bool addsLine = modifiers & Qt::ControlModifier;
    QCOMPARE(m_form->bodyText().count(QLatin1String("\r\n")), addsLine ? 12 : 11);
}

void TestMainWindow::tabOrder()
{
    child<QComboBox>("portBox")->setFocus();
    QStringList order;
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *focused = QApplication::focusWidget();
        if (qobject_cast<QLineEdit *>(focused) &&
            focused->parentWidget() == child<QComboBox>("portBox"))
            focused = focused->parentWidget();
        order << focused->objectName();
    }
    QCOMPARE(order, (QStringList{"receipt15CpiButton", "exitButton", "bodyBox",
                                 "receipt12CpiButton", "receipt8CpiButton", "portBox"}));
}

void TestMainWindow::typedNameIsNotAdded()
{
    auto *combo = child<QComboBox>("portBox");
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("COM9"));
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->currentText(), QStringLiteral("COM9"));
    QCOMPARE(m_pty->read(150), QByteArray());
}

void TestMainWindow::buttonsPrintTheirPitch_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QString>("pitch");
    QTest::addColumn<QString>("body"); // empty: the default body

    QTest::newRow("Receipt 15 CPI")
        << QByteArray("receipt15CpiButton") << Pitch::Cpi15 << QString();
    QTest::newRow("Receipt 12 CPI")
        << QByteArray("receipt12CpiButton") << Pitch::Cpi12 << QString();
    QTest::newRow("Receipt 8 CPI") << QByteArray("receipt8CpiButton") << Pitch::Cpi8 << QString();
    QTest::newRow("edited body prints as edited")
        << QByteArray("receipt12CpiButton") << Pitch::Cpi12
        << QStringLiteral("1. TEA  $1.00\n2. CAKE $2.50");
}

void TestMainWindow::buttonsPrintTheirPitch()
{
    QFETCH(QByteArray, button);
    QFETCH(QString, pitch);
    QFETCH(QString, body);

    if (!body.isEmpty())
        child<QPlainTextEdit>("bodyBox")->setPlainText(body);
    selectPort(QStringLiteral("COM1"));
    QTest::mouseClick(child<QPushButton>(button.constData()), Qt::LeftButton);

    const QByteArray received = m_pty->read();
    QVERIFY(jobEnded());
    const QString printedBody =
        body.isEmpty() ? ReceiptStream::defaultBody() : QString(body).replace("\n", "\r\n");
    QCOMPARE(received, expectedSerialReceipt(received, pitch, printedBody));
    QCOMPARE(m_form->windowTitle(), QStringLiteral("VR2710 Print Demo Program"));
}

void TestMainWindow::unmatchedPortTouchesNothing_data()
{
    QTest::addColumn<QString>("selection");
    QTest::newRow("lower case") << "com1";
    QTest::newRow("leading space") << " COM1";
    QTest::newRow("not in the list") << "COM3";
    QTest::newRow("empty") << "";
}

void TestMainWindow::unmatchedPortTouchesNothing()
{
    QFETCH(QString, selection);
    selectPort(selection);
    bool boxShown = false;
    auto *watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this,
            [&] { boxShown |= QApplication::activeModalWidget() != nullptr; });
    watch->start(5);
    QTest::mouseClick(child<QPushButton>("receipt15CpiButton"), Qt::LeftButton);
    QTest::qWait(50);
    delete watch;
    QVERIFY(!boxShown);
    QCOMPARE(m_pty->read(150), QByteArray());
    QCOMPARE(m_form->windowTitle(), QStringLiteral("VR2710 Print Demo Program"));
}

void TestMainWindow::errorBoxAfterFailedJob()
{
    selectPort(QStringLiteral("COM2"));
    QString title, text, captionMeanwhile;
    QList<QAbstractButton *> buttons;
    QMessageBox::Icon icon = QMessageBox::Critical;
    answerNextBox([&](QMessageBox *box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->buttons();
        captionMeanwhile = m_form->windowTitle();
    });
    QTest::mouseClick(child<QPushButton>("receipt12CpiButton"), Qt::LeftButton);
    QVERIFY(jobEnded());

    QCOMPARE(title, QStringLiteral("Error"));
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons.size(), 1);
    QCOMPARE(captionMeanwhile, QStringLiteral("VR2710 Print Demo Program"));
    // The last failure is the last write on the port that did not open; its CR is a line break.
    QVERIFY2(text.startsWith(
                 QStringLiteral("Error #  9001 was generated by COM2 (/dev/vr2710-missing)\n")),
             qPrintable(text));
    QVERIFY(!text.contains(QLatin1Char('\r')));
    QVERIFY(text.contains(QLatin1String("No such file or directory")));
}

void TestMainWindow::errorBoxHelp_data()
{
    QTest::addColumn<QString>("helpFile");
    QTest::newRow("with a help file") << "/usr/share/doc/vr2710/help.html";
    QTest::newRow("without a help file") << QString();
}

void TestMainWindow::errorBoxHelp()
{
    QFETCH(QString, helpFile);
    QStringList opened;
    const ErrorBox content{QStringLiteral("Error"),
                           QStringLiteral("Error #  5 was generated by X\rY"), helpFile, 17};
    QMessageBox *box =
        createErrorBox(m_form.get(), content, [&](const QString &file, qint32 context) {
            opened << file + QLatin1Char('#') + QString::number(context);
        });
    box->show();
    QApplication::setActiveWindow(box); // as exec() would; the offscreen platform does not
    QVERIFY(QTest::qWaitForWindowActive(box));
    QTest::keyClick(box, Qt::Key_F1);
    QCOMPARE(opened, helpFile.isEmpty() ? QStringList() : QStringList{helpFile + "#17"});
    QCOMPARE(box->buttons().size(), 1);
    delete box;
}

void TestMainWindow::closeDuringJobWaitsForIt()
{
    selectPort(QStringLiteral("COM2"));
    bool visibleAfterClose = false;
    answerNextBox([&](QMessageBox *) {
        // The job is over, its box is not: a close request can arrive here.
        m_form->close();
        visibleAfterClose = m_form->isVisible();
    });
    QTest::mouseClick(child<QPushButton>("receipt15CpiButton"), Qt::LeftButton);
    QVERIFY(jobEnded());
    QVERIFY(visibleAfterClose);
    QVERIFY(!m_form->isPrinting());
    QVERIFY(!m_form->isVisible()); // closed once the job was over
}

void TestMainWindow::inputDuringJobIsDropped()
{
    // More than a pseudo-terminal holds: the job waits for this test to read.
    child<QPlainTextEdit>("bodyBox")->setPlainText(QString(20000, QLatin1Char('x')));
    selectPort(QStringLiteral("COM1"));
    QByteArray received;
    bool stillShownAfterEscape = false;
    QTimer::singleShot(50, this, [&] {
        // Inside the job: the window's event loop runs, so this timer fires.
        QVERIFY(m_form->isPrinting());
        QTest::mouseClick(child<QPushButton>("receipt8CpiButton"), Qt::LeftButton);
        QTest::keyClick(child<QPlainTextEdit>("bodyBox"), Qt::Key_A);
        QTest::keyClick(child<QPlainTextEdit>("bodyBox"), Qt::Key_Escape);
        stillShownAfterEscape = m_form->isVisible();
        received = m_pty->read();
    });
    QTest::mouseClick(child<QPushButton>("receipt15CpiButton"), Qt::LeftButton);
    QVERIFY(jobEnded());

    received += m_pty->read();
    QVERIFY(stillShownAfterEscape);
    QVERIFY(!m_form->isVisible()); // Esc ended the program once the job was over
    QCOMPARE(received.count('\f'), 1);
    QVERIFY(received.startsWith("\x07\x1bM"));
    QVERIFY(!child<QPlainTextEdit>("bodyBox")->toPlainText().contains(QLatin1Char('a')));
}

void TestMainWindow::noSecondJobDuringAJob_data()
{
    QTest::addColumn<QString>("route");
    QTest::newRow("a screen reader presses Receipt 8 CPI") << "accessibility";
    QTest::newRow("a screen reader presses Exit") << "accessibility exit";
    QTest::newRow("a queued call") << "queued";
}

void TestMainWindow::noSecondJobDuringAJob()
{
    QFETCH(QString, route);
    // More than a pseudo-terminal holds: the job waits for this test to read.
    child<QPlainTextEdit>("bodyBox")->setPlainText(QString(20000, QLatin1Char('x')));
    selectPort(QStringLiteral("COM1"));
    QByteArray received;
    bool stillPrinting = false;
    bool shownAfterClose = false;
    QTimer::singleShot(50, this, [&] {
        const char *button =
            route.endsWith(QLatin1String("exit")) ? "exitButton" : "receipt8CpiButton";
        if (route.startsWith(QLatin1String("accessibility"))) {
            QAccessibleInterface *pressable =
                QAccessible::queryAccessibleInterface(child<QWidget>(button));
            pressable->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        } else {
            QMetaObject::invokeMethod(
                m_form.get(), [this] { m_form->printReceipt(Pitch::Cpi8); }, Qt::QueuedConnection);
        }
        QTest::qWait(200); // a press clicks 100 ms later: a second job would run now
        stillPrinting = m_form->isPrinting();
        m_form->close();
        shownAfterClose = m_form->isVisible();
        received = m_pty->read();
    });
    QTest::mouseClick(child<QPushButton>("receipt15CpiButton"), Qt::LeftButton);
    QVERIFY(jobEnded());

    received += m_pty->read();
    QVERIFY(stillPrinting);
    QVERIFY(shownAfterClose); // the close waits for the job
    QVERIFY(!m_form->isVisible());
    QCOMPARE(received.count('\f'), 1);
    QVERIFY(received.startsWith("\x07\x1bM"));
}

void TestMainWindow::escapeWithListOpenClosesTheList()
{
    auto *combo = child<QComboBox>("portBox");
    combo->showPopup();
    QTRY_VERIFY(combo->view()->isVisible());
    QTest::keyClick(combo->view(), Qt::Key_Escape); // the open list has the keyboard
    QTRY_VERIFY(!combo->view()->isVisible());
    QTest::qWait(50);
    QVERIFY(m_form->isVisible());
}

void TestMainWindow::bodyGoesOutAsTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("printed");
    QTest::newRow("non-breaking space")
        << QStringLiteral("1.\u00a0TEA\n2. CAKE") << QStringLiteral("1.\u00a0TEA\r\n2. CAKE");
    QTest::newRow("pasted line separator")
        << QStringLiteral("TEA\u2028CAKE\n") << QStringLiteral("TEA\r\nCAKE\r\n");
}

void TestMainWindow::bodyGoesOutAsTyped()
{
    QFETCH(QString, typed);
    QFETCH(QString, printed);
    child<QPlainTextEdit>("bodyBox")->setPlainText(typed);
    QCOMPARE(m_form->bodyText(), printed);
}

void TestMainWindow::textsReadableInTheme_data()
{
    QTest::addColumn<QColor>("window");
    QTest::addColumn<QColor>("base");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<bool>("keepsPureBlue");
    QTest::newRow("light") << QColor(0xef, 0xef, 0xef) << QColor(Qt::white) << QColor(Qt::black)
                           << true;
    QTest::newRow("dark") << QColor(0x35, 0x35, 0x35) << QColor(0x2a, 0x2a, 0x2a)
                          << QColor(0xee, 0xee, 0xee) << false;
}

void TestMainWindow::textsReadableInTheme()
{
    QFETCH(QColor, window);
    QFETCH(QColor, base);
    QFETCH(QColor, text);
    QFETCH(bool, keepsPureBlue);

    const QPalette before = QApplication::palette();
    QPalette theme(text, window, window.lighter(), window.darker(), window, text, text, base,
                   window);
    theme.setColor(QPalette::Button, window);
    theme.setColor(QPalette::ButtonText, text);
    QApplication::setPalette(theme);
    QTest::qWait(20);

    const auto contrast = [](QWidget *widget, QPalette::ColorRole fore, QPalette::ColorRole back) {
        return contrastRatio(widget->palette().color(fore), widget->palette().color(back));
    };
    for (const char *label : {"heading", "portLabel"}) {
        QVERIFY2(contrast(child<QWidget>(label), QPalette::WindowText, QPalette::Window) >= 4.5,
                 label);
        QCOMPARE(child<QWidget>(label)->palette().color(QPalette::WindowText) == QColor(0, 0, 255),
                 keepsPureBlue);
    }
    QVERIFY(contrast(child<QWidget>("portBox"), QPalette::Text, QPalette::Base) >= 4.5);
    QVERIFY(contrast(child<QWidget>("bodyBox"), QPalette::Text, QPalette::Base) >= 4.5);
    for (const char *button :
         {"receipt15CpiButton", "exitButton", "receipt12CpiButton", "receipt8CpiButton"})
        QVERIFY2(contrast(child<QWidget>(button), QPalette::ButtonText, QPalette::Button) >= 4.5,
                 button);
    QApplication::setPalette(before);
}

void TestMainWindow::accessibleNames_data()
{
    QTest::addColumn<QByteArray>("control");
    QTest::addColumn<QString>("name");
    QTest::newRow("port box") << QByteArray("portBox") << "Port";
    QTest::newRow("port box's edit field") << QByteArray("portBox.edit") << "Port";
    QTest::newRow("body") << QByteArray("bodyBox") << "Receipt body";
    QTest::newRow("button") << QByteArray("receipt12CpiButton") << "Receipt 12 CPI";
    QTest::newRow("window") << QByteArray("MainWindow") << "VR2710 Print Demo Program";
}

void TestMainWindow::accessibleNames()
{
    QFETCH(QByteArray, control);
    QFETCH(QString, name);
    QWidget *widget = control == "MainWindow"     ? m_form.get()
                      : control == "portBox.edit" ? child<QComboBox>("portBox")->lineEdit()
                                                  : child<QWidget>(control.constData());
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), name);
    if (control == "portBox") {
        // "Port Setting:" is announced as the box's label.
        const auto labels = accessible->relations(QAccessible::Label);
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels.first().first->object(), child<QObject>("portLabel"));
    }
}

void TestMainWindow::controlsStayOnResize()
{
    QMap<QString, QRect> before;
    for (QWidget *control : m_form->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        before.insert(control->objectName(), control->geometry());
    m_form->resize(900, 700);
    QTest::qWait(20);
    for (QWidget *control : m_form->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        QCOMPARE(control->geometry(), before.value(control->objectName()));
    QCOMPARE(child<QPlainTextEdit>("bodyBox")->geometry(), QRect(0, 96, 481, 217));
}

void TestMainWindow::bodyIsNotLimitedTo42()
{
    auto *body = child<QPlainTextEdit>("bodyBox");
    QCOMPARE(body->property("HelpContextID").toInt(), 42);
    body->clear();
    const QString typed(100, QLatin1Char('x'));
    QTest::keyClicks(body, typed);
    QCOMPARE(m_form->bodyText(), typed);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
