#pragma once
// Writes the segments of one send as sequencer events addressed straight to
// one destination port (never to subscribers: a port that has gone must give
// an error, not a silent success). For a port that drains to a MIDI wire,
// SysEx runs are cut into events of at most 256 bytes and every event waits
// for room in the modelled device buffer; other ports get each run whole.

#include "platform/midi/alsa/MidiStreamSplitter.h"
#include "platform/midi/alsa/WirePacer.h"

#include <alsa/asoundlib.h>

#include <functional>
#include <mutex>
#include <vector>

namespace mirelo::midi::alsa {

class SeqEventWriter {
public:
    static constexpr std::size_t kWireEventBytes = 256;

    // Takes each finished event: 0, or a negative error code. The event's
    // SysEx bytes are valid only during the call.
    using EventSink = std::function<int(snd_seq_event_t& ev)>;

    // `pacer` is null for ports that take whole messages. `handleMutex`
    // guards the handle's shared write buffer against other senders.
    SeqEventWriter(snd_seq_t* seq, std::mutex& handleMutex, int sourcePort, snd_seq_addr_t dest, WirePacer* pacer);
    // Hands the events to `sink` instead of a sequencer.
    SeqEventWriter(EventSink sink, int sourcePort, snd_seq_addr_t dest, WirePacer* pacer);
    ~SeqEventWriter();
    SeqEventWriter(const SeqEventWriter&) = delete;
    SeqEventWriter& operator=(const SeqEventWriter&) = delete;

    // 0, or the first negative error code; nothing after a failed event is sent.
    int write(const std::vector<MidiSegment>& segments);

private:
    int writeSysEx(const Byte* bytes, std::size_t length);
    int writeMessage(const std::vector<Byte>& bytes);
    int output(snd_seq_event_t& ev, std::size_t wireBytes);

    EventSink m_sink;
    int m_sourcePort;
    snd_seq_addr_t m_dest;
    WirePacer* m_pacer;
    snd_midi_event_t* m_encoder = nullptr;
};

} // namespace mirelo::midi::alsa
