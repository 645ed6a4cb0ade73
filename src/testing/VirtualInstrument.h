#pragma once
// An instrument for tests that run mirelo-updater-cli as a child process: its
// test build (CliTestHooks.cpp) adds it, when MIRELO_VIRTUAL_INSTRUMENT is set,
// to the virtual backend that MIRELO_MIDI_BACKEND=virtual chooses: a hardware
// destination and a source, both of the model and name "Virtual Instrument",
// the source carrying what the instrument sends back. What it does with what
// it receives depends on the value:
//   silent   nothing: an instrument that never answers
//   echo     sends every list back unchanged, as a loop-back (Midi Through) does
//   HEX...   answers every Identity Request (F0 7E <device> 06 01 F7) with these
//            bytes, written in hex, spaces allowed: any bytes, a well-formed
//            Identity Reply or not

#include "platform/midi/MIDIServices.h"

#include <optional>
#include <string_view>
#include <vector>

namespace mirelo::midi {

class ControlledVirtualBackend;

class VirtualInstrument {
public:
    static constexpr const char* kVariable = "MIRELO_VIRTUAL_INSTRUMENT";
    static constexpr const char* kName = "Virtual Instrument";

    // Adds the instrument the variable describes, if it is set. A value that
    // is none of the above is ignored with a line on standard error.
    static void addFromEnvironment(ControlledVirtualBackend& backend);

    // The bytes of a hex text ("F0 7E 00 ..."); nothing unless it is whole bytes.
    static std::optional<std::vector<Byte>> parseHex(std::string_view text);
};

} // namespace mirelo::midi
