#include "app/DocumentWindow.h"

#include <QCloseEvent>

CDocumentWindow::CDocumentWindow(QWidget* parent) : QWidget(parent)
{
}

void CDocumentWindow::closeEvent(QCloseEvent* event)
{
    emit windowWillClose(this);
    event->accept();
}
