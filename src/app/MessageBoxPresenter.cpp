#include "app/MessageBoxPresenter.h"

#include "app/AlertText.h"
#include "app/Error.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

#include <cstdio>

namespace {

void showMessageBox(const QString& text, const QString& detail, QWidget* anchor)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), text, QMessageBox::Ok, anchor);
    box.setInformativeText(detail);
    box.exec();
}

} // namespace

void CMessageBoxPresenter::runModal(const CError& error)
{
    const QString text = CAlertText::of(error);
    // Support needs the status even when the text explains it.
    const QString detail = error.description()
        ? QStringLiteral("(%1 error %2)").arg(error.domain()).arg(error.code())
        : QString();

    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr) {
        std::fprintf(stderr, "%s %s\n", qPrintable(text), qPrintable(detail));
        return;
    }
    if (QThread::currentThread() != app->thread()) {
        // Widgets live on the GUI thread only; show it there without waiting.
        QMetaObject::invokeMethod(
            app, [this, text, detail] { showMessageBox(text, detail, m_anchor.data()); }, Qt::QueuedConnection);
        return;
    }
    showMessageBox(text, detail, m_anchor.data());
}

bool CMessageBoxPresenter::ask(const SQuestion& question)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr || QThread::currentThread() != app->thread()) {
        std::fprintf(stderr, "%s\n", qPrintable(question.text));
        return false;
    }
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), question.text,
                    QMessageBox::NoButton, m_anchor.data());
    QPushButton* keep = box.addButton(question.keepLabel, QMessageBox::RejectRole);
    box.addButton(question.proceedLabel, QMessageBox::DestructiveRole);
    box.setDefaultButton(keep);
    box.setEscapeButton(keep);
    box.exec();
    return box.clickedButton() != nullptr && box.clickedButton() != keep;
}
