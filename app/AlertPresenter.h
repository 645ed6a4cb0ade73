#pragma once
// Shows an error as an application-modal alert. The application uses the
// message-box presenter; tests install one that records instead of blocking.

class CError;

class CAlertPresenter {
public:
    virtual ~CAlertPresenter() = default;

    // Returns once the user has dismissed the alert.
    virtual void runModal(const CError& error) = 0;

    // The presenter in use: the installed one, else the message-box presenter.
    static CAlertPresenter& current();
    // The caller keeps ownership; null returns to the message-box presenter.
    static void setCurrent(CAlertPresenter* presenter);
};
