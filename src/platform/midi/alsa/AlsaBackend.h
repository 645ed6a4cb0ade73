#pragma once
// The ALSA sequencer backend: every MIDI client is a sequencer client, the
// endpoints are the other clients' ports. See PortMapping for the mapping and
// SeqEventWriter for how output reaches a device without losing bytes.

#include "platform/midi/MidiBackend.h"

#include <memory>

namespace mirelo::midi {

std::unique_ptr<MidiBackend> makeAlsaBackend();

} // namespace mirelo::midi
