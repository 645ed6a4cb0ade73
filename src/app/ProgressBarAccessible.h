#pragma once
// The update's progress bar as assistive technology meets it: a progress bar
// with its name, its percentage as its value text, and no actions. Qt gives
// it a value interface, which Linux's accessibility bridge offers as
// Increase and Decrease actions that a user cannot and must not take.

#include <QAccessibleWidget>

class QProgressBar;

class CProgressBarAccessible final : public QAccessibleWidget {
public:
    explicit CProgressBarAccessible(QProgressBar* bar);

    QString text(QAccessible::Text t) const override;
    QStringList actionNames() const override { return {}; }
};
