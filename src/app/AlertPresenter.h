#pragma once
// Shows an error as an application-modal alert, or asks a question with two
// answers. The application uses the message-box presenter; tests install one
// that records instead of blocking.

#include <QPointer>
#include <QString>
#include <QWidget>

class CError;

class CAlertPresenter {
public:
    // A question whose default answer keeps things as they are.
    struct SQuestion {
        QString text;
        QString keepLabel;    // the default, chosen by Return and Escape
        QString proceedLabel; // the answer that goes ahead
    };

    virtual ~CAlertPresenter() = default;

    // Returns once the user has dismissed the alert.
    virtual void runModal(const CError& error) = 0;
    // True when the user chose to go ahead.
    virtual bool ask(const SQuestion& question) = 0;

    // The presenter in use: the installed one, else the message-box presenter.
    static CAlertPresenter& current();
    // The caller keeps ownership; null returns to the message-box presenter.
    static void setCurrent(CAlertPresenter* presenter);

    // Alerts are shown over this window while it exists, not in the middle
    // of the screen where they may be taken for another program's.
    static void setAnchor(QWidget* window);
    static QWidget* anchor();
};
