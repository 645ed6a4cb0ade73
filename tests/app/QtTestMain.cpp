#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <unistd.h>

int main(int argc, char** argv)
{
    // These tests never want a real display, also when run outside ctest.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Every update run is kept in the record of updates: these tests' runs
    // go to a folder of their own, never to the user's.
    const std::filesystem::path state =
        std::filesystem::temp_directory_path() / ("mirelo-test-state-" + std::to_string(::getpid()));
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString(state.string()));
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // Numbers as the tests write them, whatever the session running them;
    // the tests of the window's language start it with a language of their own.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const int status = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(state, ignored);
    return status;
}
