#include "keyrouting.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QShortcut>

namespace {

bool isEnter(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

} // namespace

KeyRouting::KeyRouting(QWidget *window, QAbstractButton *defaultButton,
                       QAbstractButton *cancelButton)
    : QObject(window)
    , m_defaultButton(defaultButton)
    , m_cancelButton(cancelButton)
{
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, m_cancelButton, &QAbstractButton::click);
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
