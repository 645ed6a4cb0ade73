#pragma once
// Play is a button that stays on while an update goes out. Qt reports a
// checkable push button to assistive technology as a check box, which is not
// what a user sees; this reports it as a button with an on/off state.

#include <QAccessibleWidget>

class QPushButton;

class CToggleButtonAccessible final : public QAccessibleWidget {
public:
    explicit CToggleButtonAccessible(QPushButton* button);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
};
