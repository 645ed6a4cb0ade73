#pragma once
// Words for a platform status: its symbolic name and what it means for the
// user, from the application's error tables when they are there. The tool and
// the window say a failed send in the same words.

#include "platform/midi/MIDIServices.h"

#include <string>

class CStatusText {
public:
    // "-10838 kMIDIMessageSendErr", or the bare number for an unknown status.
    static std::string name(OSStatus status);
    // The user-facing description from AudioErrors or OSErrors in the
    // resource folder; a short built-in one when neither has it.
    static std::string meaning(OSStatus status);
};
