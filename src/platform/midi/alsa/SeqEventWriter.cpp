#include "platform/midi/alsa/SeqEventWriter.h"

#include <algorithm>
#include <utility>

namespace mirelo::midi::alsa {

namespace {
// Long enough for any channel or system common message.
constexpr std::size_t kEncoderBufferBytes = 16;
} // namespace

SeqEventWriter::SeqEventWriter(snd_seq_t* seq, std::mutex& handleMutex, int sourcePort, snd_seq_addr_t dest,
                               WirePacer* pacer)
    : SeqEventWriter(
          [seq, &handleMutex](snd_seq_event_t& ev) {
              std::lock_guard lock(handleMutex);
              const int result = snd_seq_event_output_direct(seq, &ev);
              return result < 0 ? result : 0;
          },
          sourcePort, dest, pacer)
{
}

SeqEventWriter::SeqEventWriter(EventSink sink, int sourcePort, snd_seq_addr_t dest, WirePacer* pacer)
    : m_sink(std::move(sink)), m_sourcePort(sourcePort), m_dest(dest), m_pacer(pacer)
{
}

SeqEventWriter::~SeqEventWriter()
{
    if (m_encoder != nullptr) {
        snd_midi_event_free(m_encoder);
    }
}

int SeqEventWriter::write(const std::vector<MidiSegment>& segments)
{
    for (const MidiSegment& segment : segments) {
        const int result = segment.kind == MidiSegment::Kind::sysEx
                               ? writeSysEx(segment.bytes.data(), segment.bytes.size())
                               : writeMessage(segment.bytes);
        if (result < 0) {
            return result;
        }
    }
    return 0;
}

int SeqEventWriter::writeSysEx(const Byte* bytes, std::size_t length)
{
    const std::size_t eventBytes = m_pacer != nullptr ? kWireEventBytes : length;
    for (std::size_t offset = 0; offset < length; offset += eventBytes) {
        const std::size_t chunk = std::min(eventBytes, length - offset);
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
// ALSA's macro clears the length flags with an int mask on an unsigned char.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wsign-conversion"
        snd_seq_ev_set_sysex(&ev, static_cast<unsigned>(chunk), const_cast<Byte*>(bytes + offset));
#pragma GCC diagnostic pop
        if (const int result = output(ev, chunk); result < 0) {
            return result;
        }
    }
    return 0;
}

int SeqEventWriter::writeMessage(const std::vector<Byte>& bytes)
{
    if (m_encoder == nullptr) {
        if (const int result = snd_midi_event_new(kEncoderBufferBytes, &m_encoder); result < 0) {
            m_encoder = nullptr;
            return result;
        }
    }
    snd_midi_event_reset_encode(m_encoder);
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    const long used = snd_midi_event_encode(m_encoder, bytes.data(), static_cast<long>(bytes.size()), &ev);
    if (used < 0 || ev.type == SND_SEQ_EVENT_NONE) {
        // A status the sequencer has no event for (0xF4, 0xF5, 0xF9, 0xFD)
        // still reaches the device unchanged.
        return writeSysEx(bytes.data(), bytes.size());
    }
    return output(ev, bytes.size());
}

int SeqEventWriter::output(snd_seq_event_t& ev, std::size_t wireBytes)
{
    // A port ALSA created for us: its number fits the address's byte.
    snd_seq_ev_set_source(&ev, static_cast<unsigned char>(m_sourcePort));
    snd_seq_ev_set_dest(&ev, m_dest.client, m_dest.port);
    snd_seq_ev_set_direct(&ev);
    if (m_pacer != nullptr) {
        m_pacer->admit(wireBytes);
    }
    return m_sink(ev);
}

} // namespace mirelo::midi::alsa
