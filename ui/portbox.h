// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QComboBox>

// The port box: an editable combo box that screen readers announce by its name ("Port")
// rather than by the port it shows, which Qt's own combo box does on Linux.
class PortBox : public QComboBox
{
    Q_OBJECT

public:
    explicit PortBox(QWidget *parent = nullptr);
};
