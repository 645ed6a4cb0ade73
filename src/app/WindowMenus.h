#pragma once
// The window's menus: the keys of File and Help, and what Help shows. The
// document connects the actions to what they do.

#include <QCoreApplication>
#include <QString>

#include <optional>

class QWidget;
namespace Ui {
class REVArodozDoc;
}

class CWindowMenus {
    Q_DECLARE_TR_FUNCTIONS(CWindowMenus)

public:
    CWindowMenus() = delete;

    // Open, close and quit by the platform's keys, and Ctrl+W, Ctrl+Q and F1
    // wherever the platform has others (or none: some know no key for quitting).
    static void bindKeys(const Ui::REVArodozDoc& form);
    static void showKeyboardShortcuts(QWidget* parent);
    static void showAbout(QWidget* parent);
    // File › Open Update File…: the file the user chose, starting in folder.
    static std::optional<QString> askForUpdateFile(QWidget* parent, const QString& folder);
};
