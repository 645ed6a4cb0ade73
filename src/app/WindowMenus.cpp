#include "app/WindowMenus.h"

#include "ui_REVArodozDoc.h"

#include <QAction>
#include <QFileDialog>
#include <QKeySequence>
#include <QMessageBox>

#include <tuple>

void CWindowMenus::bindKeys(const Ui::REVArodozDoc& form)
{
    form.actionOpen->setShortcuts(QKeySequence::Open);
    form.actionShortcuts->setShortcuts(QKeySequence::HelpContents);
    const std::tuple<QAction*, QKeySequence::StandardKey, QKeySequence> keys[] = {
        {form.actionClose, QKeySequence::Close, QKeySequence(Qt::CTRL | Qt::Key_W)},
        {form.actionQuit, QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {form.actionShortcuts, QKeySequence::HelpContents, QKeySequence(Qt::Key_F1)}};
    for (const auto& [action, standard, usual] : keys) {
        QList<QKeySequence> bound = QKeySequence::keyBindings(standard);
        if (!bound.contains(usual)) {
            bound.append(usual);
        }
        action->setShortcuts(bound);
    }
}

void CWindowMenus::showKeyboardShortcuts(QWidget* parent)
{
    const QString text = tr("<table>"
                            "<tr><td><b>Alt+S</b></td><td>Send the update</td></tr>"
                            "<tr><td><b>Alt+O</b></td><td>Choose the output</td></tr>"
                            "<tr><td><b>Ctrl+O</b></td><td>Open another update file</td></tr>"
                            "<tr><td><b>Ctrl+W</b></td><td>Close the window</td></tr>"
                            "<tr><td><b>Ctrl+Q</b></td><td>Quit</td></tr>"
                            "<tr><td><b>F1</b></td><td>These keyboard shortcuts</td></tr>"
                            "</table><p>Closing during an update asks first.</p>");
    QMessageBox box(QMessageBox::Information, tr("Keyboard Shortcuts"), text, QMessageBox::Close, parent);
    box.setTextFormat(Qt::RichText);
    box.exec();
}

void CWindowMenus::showAbout(QWidget* parent)
{
    QMessageBox::about(parent, tr("About mirelo updater"),
                       tr("<p><b>mirelo updater %1</b></p><p>Sends a firmware update, stored as SysEx messages in a "
                          "Standard MIDI File, to a MIDI instrument, each message at the time the file gives it.</p>"
                          "<p>Keep the instrument connected and switched on until the update has ended.</p>")
                           .arg(QStringLiteral(MIRELO_VERSION)));
}

std::optional<QString> CWindowMenus::askForUpdateFile(QWidget* parent, const QString& folder)
{
    QFileDialog dialog(parent, tr("Open Update File"), folder,
                       tr("Update files (*.dat *.mid *.midi *.smf);;All files (*)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}
