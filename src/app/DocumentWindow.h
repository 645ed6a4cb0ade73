#pragma once
// The document's window: the form "REVArodozDoc" is set up on it. It asks its
// close guard before it closes (a run in progress must not end by accident),
// tells its delegate when it is about to close, which ends the application,
// and takes an update file dropped onto it.

#include <QMainWindow>

#include <functional>

class CDocumentWindow final : public QMainWindow {
    Q_OBJECT
public:
    // False keeps the window open.
    using CloseGuard = std::function<bool()>;
    // True when a dropped file may be opened now.
    using DropGuard = std::function<bool()>;

    explicit CDocumentWindow(QWidget* parent = nullptr);

    void setCloseGuard(CloseGuard guard) { m_closeGuard = std::move(guard); }
    void setDropGuard(DropGuard guard) { m_dropGuard = std::move(guard); }

signals:
    // The window is about to close: nothing stopped it.
    void closing(QObject* window);
    // One local file was dropped onto the window.
    void fileDropped(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    CloseGuard m_closeGuard;
    DropGuard m_dropGuard;
};
