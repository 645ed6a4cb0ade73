#pragma once
// The window application from start to end: the Qt application, the alert
// presenter, the capture destination when MIRELO_CAPTURE asks for one, the
// main loop, the document controller and the delegate; then, after the main
// loop, what became of a run that closing cut short, in the exit status and
// on standard error.

#include <functional>

class CUpdaterApplication {
public:
    // Quit while the worker still sends: the instrument holds half an update.
    static constexpr int kExitQuitDuringUpdate = 2;

    CUpdaterApplication() = delete;

    // The exit status. afterLaunch runs on the main loop once the update
    // document is open (a test driver acts there as a user would).
    static int run(int argc, char** argv, const std::function<void()>& afterLaunch = {});
};
