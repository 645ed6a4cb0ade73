#pragma once
// The document's window: the form "REVArodozDoc" is set up on it. It tells its
// delegate when it is about to close, which ends the application.

#include <QWidget>

class CDocumentWindow final : public QWidget {
    Q_OBJECT
public:
    explicit CDocumentWindow(QWidget* parent = nullptr);

signals:
    void windowWillClose(QObject* window);

protected:
    void closeEvent(QCloseEvent* event) override;
};
