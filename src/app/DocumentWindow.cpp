#include "app/DocumentWindow.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QSessionManager>

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
    // The desktop session ending is one more way of closing: the guard asks
    // first, and a "no" keeps the session going.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& session) {
            if (m_closeGuard && session.allowsInteraction()) {
                const bool mayClose = m_closeGuard();
                session.release();
                if (!mayClose) {
                    session.cancel();
                }
            }
        });
    }
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
