#pragma once
// Cuts the bytes of one MIDISend into the pieces the sequencer carries as
// single events: complete channel and system messages (sent as the matching
// event), and runs of SysEx bytes (sent as variable-length SysEx events).
// Nothing is dropped: bytes that form no complete message, such as the
// continuation of a SysEx that an earlier send began, travel as a SysEx run,
// which raw MIDI drivers write out unchanged.

#include "platform/midi/MIDIServices.h"

#include <vector>

namespace mirelo::midi::alsa {

struct MidiSegment {
    enum class Kind { sysEx, message };
    Kind kind;
    std::vector<Byte> bytes; // a message always starts with its status byte
    bool operator==(const MidiSegment&) const = default;
};

class MidiStreamSplitter {
public:
    static std::vector<MidiSegment> split(const std::vector<Byte>& bytes);

    // Bytes a message with this status byte takes, status included.
    static std::size_t messageLength(Byte status);
};

} // namespace mirelo::midi::alsa
