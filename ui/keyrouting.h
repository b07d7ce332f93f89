// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QObject>

class QAbstractButton;
class QPlainTextEdit;

// The keys of a dialog-style window on a plain top-level widget:
// - Enter in a text entry clicks the default button (Ctrl+Enter in the body adds a line break);
// - Enter on a focused push button clicks that button;
// - Esc anywhere in the window asks the window to close, as its cancel button does; with a list
//   open it closes the list. While the controls are disabled (a job runs) keys reach the window
//   itself, so Esc still asks, and the window decides when to close.
class KeyRouting : public QObject
{
    Q_OBJECT

public:
    KeyRouting(QWidget *window, QAbstractButton *defaultButton);

    // Enter here clicks the default button.
    void addTextEntry(QWidget *entry);
    // Enter here clicks the default button, Ctrl+Enter inserts a line break.
    void addMultiLineEntry(QPlainTextEdit *entry);
    // Enter here clicks this button.
    void addButton(QAbstractButton *button);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Role { TextEntry, MultiLine, Button };
    void watch(QWidget *widget, Role role);

    QHash<QObject *, Role> m_roles;
    QWidget *m_window;
    QAbstractButton *m_defaultButton;
};
