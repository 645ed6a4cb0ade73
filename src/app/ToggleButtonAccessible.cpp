#include "app/ToggleButtonAccessible.h"

#include <QPushButton>

CToggleButtonAccessible::CToggleButtonAccessible(QPushButton* button) : QAccessibleWidget(button, QAccessible::Button)
{
}

QString CToggleButtonAccessible::text(QAccessible::Text t) const
{
    const auto* button = static_cast<const QPushButton*>(widget());
    if (t == QAccessible::Name && button->accessibleName().isEmpty()) {
        // Named by its caption, as a user reads it: without the mnemonic's mark.
        return QString(button->text()).remove(QLatin1Char('&'));
    }
    return QAccessibleWidget::text(t);
}

QAccessible::State CToggleButtonAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    const auto* button = static_cast<const QPushButton*>(widget());
    state.checkable = true;
    state.checked = button->isChecked();
    state.pressed = button->isChecked();
    state.defaultButton = button->isDefault();
    return state;
}

QStringList CToggleButtonAccessible::actionNames() const
{
    return {toggleAction(), pressAction()};
}

void CToggleButtonAccessible::doAction(const QString& actionName)
{
    if (actionName == toggleAction() || actionName == pressAction()) {
        static_cast<QPushButton*>(widget())->click();
    }
}
