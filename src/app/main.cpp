// mirelo-updater: the desktop window that sends the bundled firmware update
// to a MIDI instrument.
//
// MIRELO_MIDI_BACKEND=virtual with MIRELO_CAPTURE=OUT.syx runs the window
// against a capture destination instead of MIDI hardware, as the CLI's
// `send --capture` does.

#include "app/CommandLineHelp.h"
#include "app/UpdaterApplication.h"

#include <optional>

int main(int argc, char** argv)
{
    if (const std::optional<int> status = CCommandLineHelp::answer(argc, argv)) {
        return *status;
    }
    return CUpdaterApplication::run(argc, argv);
}
