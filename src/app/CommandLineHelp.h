#pragma once
// --help and --version of the window program. They are answered before the
// window's application object exists, so they need no display: a terminal
// without one, and the build that makes the manual page from the help, can
// read them.

#include <optional>

class CCommandLineHelp {
public:
    CCommandLineHelp() = delete;

    // When the arguments ask for the help or the version, prints it on standard
    // output and returns the exit status. Otherwise none: the window starts,
    // and every other argument is Qt's (-platform, -style, ...).
    static std::optional<int> answer(int argc, char** argv);
};
