#include "platform/midi/alsa/MidiStreamSplitter.h"

#include "platform/base/SysExBytes.h"

namespace mirelo::midi::alsa {

namespace {

using platform::kSysExEnd;
using platform::kSysExStart;
constexpr Byte kFirstRealTime = 0xF8;

class Splitter {
public:
    std::vector<MidiSegment> run(const std::vector<Byte>& bytes)
    {
        for (Byte b : bytes) {
            feed(b);
        }
        closeCurrent();
        return std::move(m_out);
    }

private:
    enum class State { idle, sysEx, message };

    void feed(Byte b)
    {
        if (b >= kFirstRealTime) {
            // Real-time bytes may sit inside any message on the wire; as an
            // event it goes out where it stands, and a SysEx run resumes after it.
            const bool resumeSysEx = m_state == State::sysEx;
            if (resumeSysEx) {
                closeCurrent();
            }
            m_out.push_back({MidiSegment::Kind::message, {b}});
            if (resumeSysEx) {
                m_state = State::sysEx;
            }
            return;
        }
        if (b == kSysExStart) {
            closeCurrent();
            m_running = 0;
            m_state = State::sysEx;
            m_current.push_back(b);
            return;
        }
        if (b == kSysExEnd) {
            if (m_state != State::sysEx) {
                closeCurrent();
            }
            m_current.push_back(b);
            m_out.push_back({MidiSegment::Kind::sysEx, std::move(m_current)});
            m_current.clear();
            m_state = State::idle;
            return;
        }
        if (b >= 0x80) {
            closeCurrent();
            m_running = b < kSysExStart ? b : 0;
            startMessage(b);
            return;
        }
        switch (m_state) {
        case State::sysEx:
            m_current.push_back(b);
            break;
        case State::message:
            m_current.push_back(b);
            finishMessageIfComplete();
            break;
        case State::idle:
            if (m_running != 0) {
                startMessage(m_running);
                m_current.push_back(b);
                finishMessageIfComplete();
            } else {
                m_state = State::sysEx;
                m_current.push_back(b);
            }
            break;
        }
    }

    void startMessage(Byte status)
    {
        m_state = State::message;
        m_current.assign(1, status);
        finishMessageIfComplete();
    }

    void finishMessageIfComplete()
    {
        if (m_current.size() >= MidiStreamSplitter::messageLength(m_current.front())) {
            m_out.push_back({MidiSegment::Kind::message, std::move(m_current)});
            m_current.clear();
            m_state = State::idle;
        }
    }

    // An unfinished message still goes out, as raw bytes.
    void closeCurrent()
    {
        if (!m_current.empty()) {
            m_out.push_back({MidiSegment::Kind::sysEx, std::move(m_current)});
            m_current.clear();
        }
        m_state = State::idle;
    }

    std::vector<MidiSegment> m_out;
    std::vector<Byte> m_current;
    State m_state = State::idle;
    Byte m_running = 0;
};

} // namespace

std::vector<MidiSegment> MidiStreamSplitter::split(const std::vector<Byte>& bytes)
{
    return Splitter().run(bytes);
}

std::size_t MidiStreamSplitter::messageLength(Byte status)
{
    switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
        return 2;
    case 0xF0:
        switch (status) {
        case 0xF1:
        case 0xF3:
            return 2;
        case 0xF2:
            return 3;
        default:
            return 1;
        }
    default:
        return 3;
    }
}

} // namespace mirelo::midi::alsa
