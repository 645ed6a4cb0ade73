#pragma once
// On Linux Qt names a combo box by its current text, so a screen reader says
// "Synth A" where the user needs "Output device". This names it by its
// accessible name and keeps the current text as its value.

#include <QAccessibleWidget>

class QComboBox;

class CNamedComboBoxAccessible final : public QAccessibleWidget {
public:
    explicit CNamedComboBoxAccessible(QComboBox* comboBox);

    QString text(QAccessible::Text t) const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
};
