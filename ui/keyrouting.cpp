#include "keyrouting.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QShortcut>

namespace {

const char *const RoleProperty = "vr2710KeyRole";
enum class Role { TextEntry = 1, MultiLine, Button };

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

void KeyRouting::addTextEntry(QWidget *entry)
{
    entry->setProperty(RoleProperty, int(Role::TextEntry));
    entry->installEventFilter(this);
}

void KeyRouting::addMultiLineEntry(QPlainTextEdit *entry)
{
    entry->setProperty(RoleProperty, int(Role::MultiLine));
    entry->installEventFilter(this);
}

void KeyRouting::addButton(QAbstractButton *button)
{
    button->setProperty(RoleProperty, int(Role::Button));
    button->installEventFilter(this);
}

bool KeyRouting::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (!isEnter(key))
        return QObject::eventFilter(watched, event);

    switch (Role(watched->property(RoleProperty).toInt())) {
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
