#include "app/MessageBoxPresenter.h"

#include "app/AlertText.h"
#include "app/Error.h"

#include <QApplication>
#include <QPushButton>
#include <QThread>

#include <cstdio>

namespace {

void showMessageBox(const CAlertText& text, QWidget* anchor)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), text.headline, QMessageBox::Ok,
                    anchor);
    box.setInformativeText(text.body);
    // Support needs the status; the user does not have to read it.
    box.setDetailedText(text.details);
    box.exec();
}

} // namespace

void CMessageBoxPresenter::runModal(const CError& error)
{
    const CAlertText text = CAlertText::of(error);
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr) {
        std::fprintf(stderr, "%s %s (%s)\n", qPrintable(text.headline), qPrintable(text.body),
                     qPrintable(text.details));
        return;
    }
    if (QThread::currentThread() != app->thread()) {
        // Widgets live on the GUI thread only; show it there without waiting.
        QMetaObject::invokeMethod(
            app, [this, text] { showMessageBox(text, m_anchor.data()); }, Qt::QueuedConnection);
        return;
    }
    showMessageBox(text, m_anchor.data());
}

bool CMessageBoxPresenter::ask(const SQuestion& question)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr || QThread::currentThread() != app->thread()) {
        std::fprintf(stderr, "%s %s\n", qPrintable(question.headline), qPrintable(question.text));
        return false;
    }
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), question.headline,
                    QMessageBox::NoButton, m_anchor.data());
    box.setInformativeText(question.text);
    QPushButton* keep = box.addButton(question.keepLabel, QMessageBox::RejectRole);
    QPushButton* proceed = box.addButton(question.proceedLabel, QMessageBox::AcceptRole);
    box.setDefaultButton(question.proceedIsDefault ? proceed : keep);
    box.setEscapeButton(keep);
    m_question = &box;
    box.exec();
    m_question = nullptr;
    return box.clickedButton() == proceed;
}

void CMessageBoxPresenter::dismissQuestion()
{
    if (m_question) {
        m_question->reject();
    }
}
