#pragma once
// Shows an error as an application-modal alert, or asks a question with two
// answers. The application installs the message-box presenter it owns; tests
// install one that records instead of blocking.

#include <QString>

class CError;
class QWidget;

class CAlertPresenter {
public:
    struct SQuestion {
        QString headline;     // the question itself
        QString text;         // what is at stake
        QString keepLabel;    // keeps things as they are; Escape
        QString proceedLabel; // the answer that goes ahead
        // Return chooses keepLabel unless going ahead is the one sensible
        // answer (Retry after the user has fixed the cause).
        bool proceedIsDefault = false;
    };

    virtual ~CAlertPresenter() = default;

    // Returns once the user has dismissed the alert.
    virtual void runModal(const CError& error) = 0;
    // True when the user chose to go ahead.
    virtual bool ask(const SQuestion& question) = 0;
    // A question still open no longer applies (what it asked about has
    // ended): it closes as if the user had kept things as they are.
    virtual void dismissQuestion() = 0;
    // Alerts are shown over this window while it exists, not in the middle
    // of the screen where they may be taken for another program's.
    virtual void setAnchor(QWidget* window) = 0;

    // The presenter installed, or null: then no alert is made, and every
    // question keeps things as they are.
    static CAlertPresenter* current();
    // The caller keeps ownership; null uninstalls it.
    static void setCurrent(CAlertPresenter* presenter);
};
