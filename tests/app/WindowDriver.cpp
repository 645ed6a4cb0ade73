// mirelo_window_driver HOW ANSWER: the window application as it ships, with a
// user at it: presses Play and, once a tenth of the update has gone, closes
// the window (HOW: window-button, ctrl-w or ctrl-q) and answers the question
// (ANSWER: close-anyway or keep-sending). After Keep Sending it waits for the
// run to end and closes the window again. The exit status and standard error
// are the application's own; the tests of closing during a run read them.

#include "app/UpdaterApplication.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr auto kPoll = std::chrono::milliseconds(10);
constexpr auto kGiveUp = std::chrono::seconds(60);
constexpr int kGaveUp = 99;

QWidget* documentWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("REVArodozDoc") && widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

// Clicks the answer as soon as the question is up.
void answerTheQuestion(const QString& label)
{
    auto* answerer = new QTimer(qApp);
    QObject::connect(answerer, &QTimer::timeout, answerer, [answerer, label] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            for (QAbstractButton* button : box->buttons()) {
                if (QString(button->text()).remove(QLatin1Char('&')) == label) {
                    answerer->stop();
                    answerer->deleteLater();
                    QTest::mouseClick(button, Qt::LeftButton);
                    return;
                }
            }
        }
    });
    answerer->start(kPoll);
}

void closeWindow(QWidget* window, const std::string& how)
{
    if (how == "window-button") {
        window->close(); // what the title bar's button does
        return;
    }
    QTest::keyClick(window, how == "ctrl-w" ? Qt::Key_W : Qt::Key_Q, Qt::ControlModifier);
}

class CUser {
public:
    CUser(std::string how, bool closeAnyway) : m_how(std::move(how)), m_closeAnyway(closeAnyway) {}

    void start()
    {
        auto* timer = new QTimer(qApp);
        QObject::connect(timer, &QTimer::timeout, [this] { step(); });
        timer->start(kPoll);
        QTimer::singleShot(kGiveUp, [] {
            std::fprintf(stderr, "mirelo_window_driver: the window never got where it should\n");
            QCoreApplication::exit(kGaveUp);
        });
    }

private:
    enum class EStep { kPlay, kCloseDuringRun, kCloseAfterRun, kDone };

    void step()
    {
        QWidget* window = documentWindow();
        if (window == nullptr) {
            return;
        }
        auto* play = window->findChild<QPushButton*>(QStringLiteral("m_btnPlay"));
        auto* bar = window->findChild<QProgressBar*>(QStringLiteral("m_progress"));
        // Keys go to the active window.
        if (QApplication::activeWindow() != window) {
            window->activateWindow();
            return;
        }
        switch (m_step) {
        case EStep::kPlay:
            QTest::mouseClick(play, Qt::LeftButton);
            m_step = EStep::kCloseDuringRun;
            break;
        case EStep::kCloseDuringRun:
            if (bar->value() >= 10 && bar->value() < 100) {
                m_step = m_closeAnyway ? EStep::kDone : EStep::kCloseAfterRun;
                answerTheQuestion(m_closeAnyway ? QStringLiteral("Close Anyway") : QStringLiteral("Keep Sending"));
                closeWindow(window, m_how);
            }
            break;
        case EStep::kCloseAfterRun:
            if (bar->value() == 100 && !play->isChecked()) {
                m_step = EStep::kDone;
                closeWindow(window, m_how);
            }
            break;
        case EStep::kDone:
            break;
        }
    }

    std::string m_how;
    bool m_closeAnyway;
    EStep m_step = EStep::kPlay;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: mirelo_window_driver window-button|ctrl-w|ctrl-q close-anyway|keep-sending\n");
        return EXIT_FAILURE;
    }
    CUser user(argv[1], std::string(argv[2]) == "close-anyway");
    int appArgc = 1; // the program's name; the rest is the driver's
    return CUpdaterApplication::run(appArgc, argv, [&user] { user.start(); });
}
