#include "app/ProgressBarAccessible.h"

#include <QProgressBar>

CProgressBarAccessible::CProgressBarAccessible(QProgressBar* bar) : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

QString CProgressBarAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value) {
        return static_cast<const QProgressBar*>(widget())->text();
    }
    return QAccessibleWidget::text(t);
}
