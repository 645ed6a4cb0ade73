#pragma once
// The document's window: the form "REVArodozDoc" is set up on it. It asks its
// close guard before it closes (a run in progress must not end by accident)
// and tells its delegate when it is about to close, which ends the application.

#include <QWidget>

#include <functional>

class CDocumentWindow final : public QWidget {
    Q_OBJECT
public:
    // False keeps the window open.
    using CloseGuard = std::function<bool()>;

    explicit CDocumentWindow(QWidget* parent = nullptr);

    void setCloseGuard(CloseGuard guard) { m_closeGuard = std::move(guard); }

signals:
    // The window is about to close: nothing stopped it.
    void closing(QObject* window);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CloseGuard m_closeGuard;
};
