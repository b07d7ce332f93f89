// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "portbox.h"

#include <QAccessibleWidget>

namespace {

// Name from the accessible name (or the buddy label), value from the text shown.
class AccessiblePortBox : public QAccessibleWidget
{
public:
    explicit AccessiblePortBox(QWidget *box)
        : QAccessibleWidget(box, QAccessible::ComboBox)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return static_cast<QComboBox *>(widget())->currentText();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface *accessiblePortBox(const QString &className, QObject *object)
{
    if (className == QLatin1String(PortBox::staticMetaObject.className()) && object->isWidgetType())
        return new AccessiblePortBox(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

PortBox::PortBox(QWidget *parent)
    : QComboBox(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(accessiblePortBox);
        return true;
    }();
    Q_UNUSED(installed);
}
