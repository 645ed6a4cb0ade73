#include "app/DocumentWindow.h"

#include <QCloseEvent>

CDocumentWindow::CDocumentWindow(QWidget* parent) : QWidget(parent)
{
}

void CDocumentWindow::closeEvent(QCloseEvent* event)
{
    if (m_closeGuard && !m_closeGuard()) {
        event->ignore();
        return;
    }
    emit closing(this);
    event->accept();
}
