#pragma once
// The line under the progress bar that says how the file check or the last
// update ended. Each outcome looks different at a glance (icon and colour,
// not colour alone), the bar of a run that failed looks failed and says so,
// and the line takes the keyboard focus so that a screen reader reads it out
// and a stray Space or Return cannot send the update again.

#include <QCoreApplication>
#include <QString>

namespace Ui {
class REVArodozDoc;
}

class COutcomeLine {
    Q_DECLARE_TR_FUNCTIONS(COutcomeLine)

public:
    enum class EOutcome {
        kNone,     // nothing to say: the line is hidden
        kChecking, // the update file is being checked
        kSent,     // every message went out
        kFailed,   // a run stopped part-way
        kRefused   // nothing was sent: the file could not be sent
    };

    COutcomeLine() = delete;

    // Shows the outcome; with announce, moves the focus to it.
    static void show(Ui::REVArodozDoc& form, EOutcome outcome, const QString& text, bool announce);
    // The bar as a run starts: empty, in its usual colours.
    static void resetBar(Ui::REVArodozDoc& form);
    // The bar after a run that did not complete.
    static void showBarFailed(Ui::REVArodozDoc& form);
    // The notice above the panel that an earlier update did not complete;
    // an empty text hides it.
    static void showNotice(Ui::REVArodozDoc& form, const QString& text);
    // The outcome shown, read back from the line (for the window's tests).
    static EOutcome shown(const Ui::REVArodozDoc& form);
};
