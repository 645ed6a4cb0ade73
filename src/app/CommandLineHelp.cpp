#include "app/CommandLineHelp.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The manual page is made from this text: its "Exit status:" and
// "Environment:" blocks become the page's sections of those names.
constexpr const char* kStatusAndEnvironment =
    "\n"
    "Exit status:\n"
    "  0  the window was closed while no update was running\n"
    "  1  the update file could not be opened, or the capture file could not be made\n"
    "  2  the window was closed during an update: the instrument must be updated again\n"
    "\n"
    "Environment:\n"
    "  MIRELO_MIDI_BACKEND  alsa (the default: the ALSA sequencer) or virtual (in-process, no hardware)\n"
    "  MIRELO_CAPTURE       with MIRELO_MIDI_BACKEND=virtual: a destination \"Capture\" that writes every "
    "message it receives to this .syx file, and a timing log to the same name with .csv added\n"
    "  MIRELO_RESOURCES     the folder of the bundled update file \"mirelo updater.dat\" and the error string "
    "tables (default: ../share/mirelo-updater from the program's folder)\n"
    "  MIRELO_ALSA_DEBUG    when set, libasound's own error lines are printed too\n"
    "\n"
    "Without MIDI hardware: MIRELO_MIDI_BACKEND=virtual MIRELO_CAPTURE=OUT.syx mirelo-updater\n";

bool asksForInformation(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"-h", "--help", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

std::optional<int> CCommandLineHelp::answer(int argc, char** argv)
{
    if (!asksForInformation(argc, argv)) {
        return std::nullopt;
    }
    // The usage line names the program as installed, not the path it was run by.
    std::vector<char*> arguments(argv, argv + argc);
    char programName[] = "mirelo-updater";
    arguments[0] = programName;
    int count = argc;
    QCoreApplication core(count, arguments.data());
    QCoreApplication::setApplicationName(QStringLiteral("mirelo-updater"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MIRELO_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("mirelo updater: sends the bundled firmware update to a MIDI instrument, from a window."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Print this help and exit"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Print the version and exit"));
    parser.addOption(help);
    parser.addOption(version);
    // Qt's own options are not known here; they do not stop --help.
    parser.parse(QCoreApplication::arguments());

    if (parser.isSet(help)) {
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        std::fputs(kStatusAndEnvironment, stdout);
    } else {
        std::printf("mirelo-updater %s\n", MIRELO_VERSION);
    }
    return 0;
}
