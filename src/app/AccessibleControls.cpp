#include "app/AccessibleControls.h"

#include "app/NamedComboBoxAccessible.h"
#include "app/ToggleButtonAccessible.h"

#include <QComboBox>
#include <QPushButton>

namespace {

QAccessibleInterface* accessibleControl(const QString& /*className*/, QObject* object)
{
    if (auto* button = qobject_cast<QPushButton*>(object); button != nullptr && button->isCheckable()) {
        return new CToggleButtonAccessible(button);
    }
    if (auto* comboBox = qobject_cast<QComboBox*>(object);
        comboBox != nullptr && !comboBox->isEditable() && !comboBox->accessibleName().isEmpty()) {
        return new CNamedComboBoxAccessible(comboBox);
    }
    return nullptr;
}

} // namespace

void installAccessibleControls()
{
    static const bool s_installed = [] {
        QAccessible::installFactory(accessibleControl);
        return true;
    }();
    static_cast<void>(s_installed);
}
