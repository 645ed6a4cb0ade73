#pragma once
// The application's alert: a modal QMessageBox on the GUI thread. Without a
// QApplication (no GUI in this process) the alert goes to standard error.

#include "app/AlertPresenter.h"

class CMessageBoxPresenter final : public CAlertPresenter {
public:
    void runModal(const CError& error) override;
};
