#include "app/AccessibleControls.h"

#include "app/ProgressBarAccessible.h"
#include "app/ToggleButtonAccessible.h"

#include <QProgressBar>
#include <QPushButton>

namespace {

QAccessibleInterface* accessibleControl(const QString& /*className*/, QObject* object)
{
    if (auto* button = qobject_cast<QPushButton*>(object); button != nullptr && button->isCheckable()) {
        return new CToggleButtonAccessible(button);
    }
    if (auto* bar = qobject_cast<QProgressBar*>(object)) {
        return new CProgressBarAccessible(bar);
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
