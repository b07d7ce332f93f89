// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include "failure/errorbox.h"

#include <functional>

class QWidget;
class QMessageBox;

// Opens a help file at a context; the default hands the file to the desktop.
using HelpOpener = std::function<void(const QString &helpFile, qint32 helpContext)>;
void openHelpWithDesktop(const QString &helpFile, qint32 helpContext);

// The modal error box: title "Error", OK only, no icon, the CR of the text shown as a line
// break. Where the failure carries a help file, F1 opens it; otherwise nothing extra shows.
QMessageBox *createErrorBox(QWidget *parent, const ErrorBox &box, const HelpOpener &openHelp);
