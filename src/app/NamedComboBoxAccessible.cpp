#include "app/NamedComboBoxAccessible.h"

#include <QComboBox>

CNamedComboBoxAccessible::CNamedComboBoxAccessible(QComboBox* comboBox)
    : QAccessibleWidget(comboBox, QAccessible::ComboBox)
{
}

QString CNamedComboBoxAccessible::text(QAccessible::Text t) const
{
    const auto* comboBox = static_cast<const QComboBox*>(widget());
    switch (t) {
    case QAccessible::Name:
        return comboBox->accessibleName();
    case QAccessible::Value:
        return comboBox->currentText();
    default:
        return QAccessibleWidget::text(t);
    }
}

QStringList CNamedComboBoxAccessible::actionNames() const
{
    return {showMenuAction(), pressAction()};
}

void CNamedComboBoxAccessible::doAction(const QString& actionName)
{
    if (actionName == showMenuAction() || actionName == pressAction()) {
        static_cast<QComboBox*>(widget())->showPopup();
    }
}
