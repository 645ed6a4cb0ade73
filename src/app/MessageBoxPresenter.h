#pragma once
// The application's alert: a modal QMessageBox on the GUI thread, over the
// application's window. Without a QApplication (no GUI in this process) the
// alert goes to standard error, and a question keeps the default answer.

#include "app/AlertPresenter.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

class CMessageBoxPresenter final : public CAlertPresenter {
public:
    void runModal(const CError& error) override;
    bool ask(const SQuestion& question) override;
    // GUI thread only.
    void dismissQuestion() override;
    void setAnchor(QWidget* window) override { m_anchor = window; }

private:
    QPointer<QWidget> m_anchor;
    QPointer<QMessageBox> m_question; // while one is open
};
