#include "app/DocumentWindow.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

namespace {

// The one local file a drag carries; empty for anything else.
QString droppedFile(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile()) {
        return {};
    }
    return data->urls().front().toLocalFile();
}

} // namespace

CDocumentWindow::CDocumentWindow(QWidget* parent) : QMainWindow(parent)
{
    setAcceptDrops(true);
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

void CDocumentWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedFile(event->mimeData()).isEmpty() && (!m_dropGuard || m_dropGuard())) {
        event->acceptProposedAction();
    }
}

void CDocumentWindow::dropEvent(QDropEvent* event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty() || (m_dropGuard && !m_dropGuard())) {
        return;
    }
    event->acceptProposedAction();
    emit fileDropped(path);
}
