// mirelo_window_words [fail-at K]: the window application as it ships, with
// a user who reads it. Once the update document is open it prints the words
// of the window (its title, then every named label, button and box, and
// Qt's word for a standard Cancel button), presses
// Play and, when the run has ended, prints the alert it raised (and presses
// its button) and the status line; then closes the window. With fail-at K the
// K-th message cannot be sent. Lines are "name<TAB>text". The tests of the
// window's language run it with LANG and LANGUAGE as a session sets them,
// against the capture destination (MIRELO_MIDI_BACKEND=virtual,
// MIRELO_CAPTURE).

#include "app/UpdaterApplication.h"

#include "platform/midi/MidiBackend.h"
#include "testing/FailingBackend.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

constexpr auto kPoll = std::chrono::milliseconds(10);
constexpr auto kGiveUp = std::chrono::seconds(60);
constexpr int kGaveUp = 99;

void say(const QString& name, const QString& text)
{
    std::printf("%s\t%s\n", qPrintable(name), qPrintable(text));
    std::fflush(stdout);
}

QWidget* documentWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("REVArodozDoc") && widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

void sayWords(QWidget* window)
{
    say(QStringLiteral("title"), window->windowTitle());
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (const auto* button = qobject_cast<QAbstractButton*>(widget)) {
            say(widget->objectName(), button->text());
        } else if (const auto* label = qobject_cast<QLabel*>(widget)) {
            say(widget->objectName(), label->text());
        } else if (const auto* box = qobject_cast<QGroupBox*>(widget)) {
            say(widget->objectName(), box->title());
        }
        if (!widget->accessibleName().isEmpty()) {
            say(widget->objectName() + QStringLiteral(".accessibleName"), widget->accessibleName());
        }
    }
    // Qt's own words, as the window's alerts and questions get them.
    QMessageBox standard;
    standard.setStandardButtons(QMessageBox::Cancel);
    say(QStringLiteral("qt.Cancel"), standard.button(QMessageBox::Cancel)->text());
}

class CReader {
public:
    explicit CReader(std::size_t failAt) : m_failAt(failAt) {}

    void start()
    {
        auto* timer = new QTimer(qApp);
        QObject::connect(timer, &QTimer::timeout, [this] { step(); });
        timer->start(kPoll);
        QTimer::singleShot(kGiveUp, [] {
            std::fprintf(stderr, "mirelo_window_words: the run never ended\n");
            QCoreApplication::exit(kGaveUp);
        });
    }

private:
    void step()
    {
        QWidget* window = documentWindow();
        if (window == nullptr || m_done) {
            return;
        }
        auto* play = window->findChild<QPushButton*>(QStringLiteral("m_btnPlay"));
        auto* bar = window->findChild<QProgressBar*>(QStringLiteral("m_progress"));
        if (!m_played) {
            sayWords(window);
            if (m_failAt != 0) {
                // The destination, as a device that refuses that message.
                m_failing = std::make_unique<mirelo::midi::FailingBackend>(
                    mirelo::midi::activeBackend(), mirelo::midi::SendFailure{m_failAt, kMIDIMessageSendErr});
                mirelo::midi::setActiveBackend(m_failing.get());
            }
            m_played = true;
            QTest::mouseClick(play, Qt::LeftButton);
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            say(QStringLiteral("alert"), box->text());
            say(QStringLiteral("alert.detail"), box->informativeText());
            QAbstractButton* answer = box->defaultButton() != nullptr ? box->defaultButton() : box->buttons().value(0);
            say(QStringLiteral("alert.button"), answer->text());
            m_alerted = true;
            QTest::mouseClick(answer, Qt::LeftButton);
            return;
        }
        if (!play->isChecked() && (bar->value() == 100 || m_alerted)) {
            say(QStringLiteral("status"), window->findChild<QLabel*>(QStringLiteral("m_txtStatus"))->text());
            m_done = true;
            window->close();
        }
    }

    std::size_t m_failAt;
    // Stands in front of the capture destination from Play on.
    std::unique_ptr<mirelo::midi::FailingBackend> m_failing;
    bool m_played = false;
    bool m_alerted = false;
    bool m_done = false;
};

} // namespace

int main(int argc, char** argv)
{
    std::size_t failAt = 0;
    if (argc == 3 && std::string(argv[1]) == "fail-at") {
        failAt = std::strtoul(argv[2], nullptr, 10);
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: mirelo_window_words [fail-at K]\n");
        return EXIT_FAILURE;
    }
    CReader reader(failAt);
    int appArgc = 1; // the program's name; the rest is the reader's
    return CUpdaterApplication::run(appArgc, argv, [&reader] { reader.start(); });
}
