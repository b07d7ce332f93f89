// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "keyrouting.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPlainTextEdit>

namespace {

bool isEnter(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

} // namespace

KeyRouting::KeyRouting(QWidget *window, QAbstractButton *defaultButton)
    : QObject(window)
    , m_window(window)
    , m_defaultButton(defaultButton)
{
    // Esc that no control takes reaches the window. An open list takes its own Esc (it lives
    // in a popup, outside the window), so Esc there closes the list only.
    window->installEventFilter(this);
}

void KeyRouting::watch(QWidget *widget, Role role)
{
    m_roles.insert(widget, role);
    widget->installEventFilter(this);
}

void KeyRouting::addTextEntry(QWidget *entry)
{
    watch(entry, Role::TextEntry);
}

void KeyRouting::addMultiLineEntry(QPlainTextEdit *entry)
{
    watch(entry, Role::MultiLine);
}

void KeyRouting::addButton(QAbstractButton *button)
{
    watch(button, Role::Button);
}

bool KeyRouting::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (watched == m_window && key->key() == Qt::Key_Escape) {
        m_window->close();
        return true;
    }
    const auto role = m_roles.constFind(watched);
    if (!isEnter(key) || role == m_roles.constEnd())
        return QObject::eventFilter(watched, event);

    switch (*role) {
    case Role::TextEntry:
        m_defaultButton->click();
        return true;
    case Role::MultiLine:
        if (key->modifiers() & Qt::ControlModifier)
            static_cast<QPlainTextEdit *>(watched)->insertPlainText(QStringLiteral("\n"));
        else
            m_defaultButton->click();
        return true;
    case Role::Button:
        static_cast<QAbstractButton *>(watched)->click();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
