// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "errorbox.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QShortcut>
#include <QUrl>

void openHelpWithDesktop(const QString &helpFile, qint32 /*helpContext*/)
{
    QDesktopServices::openUrl(QUrl::fromUserInput(helpFile));
}

QMessageBox *createErrorBox(QWidget *parent, const ErrorBox &box, const HelpOpener &openHelp)
{
    auto *messageBox = new QMessageBox(parent);
    messageBox->setWindowTitle(box.title);
    messageBox->setIcon(QMessageBox::NoIcon);
    messageBox->setTextFormat(Qt::PlainText);
    messageBox->setText(QString(box.text).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    messageBox->setStandardButtons(QMessageBox::Ok);
    if (!box.helpFile.isEmpty()) {
        auto *help = new QShortcut(QKeySequence(Qt::Key_F1), messageBox);
        QObject::connect(help, &QShortcut::activated, messageBox,
                         [openHelp, box] { openHelp(box.helpFile, box.helpContext); });
    }
    return messageBox;
}
