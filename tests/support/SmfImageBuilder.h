#pragma once
// Builds Standard MIDI File images for tests: events are given at absolute
// ticks, in order, and written with delta times.

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace mirelo::test {

using Bytes = std::vector<std::uint8_t>;

class CSmfImageBuilder {
public:
    explicit CSmfImageBuilder(std::uint16_t division, std::uint16_t format = 1) : m_division(division), m_format(format)
    {
    }

    // Starts a new track; events go to the last track started.
    CSmfImageBuilder& track()
    {
        m_tracks.emplace_back();
        m_lastTick.push_back(0);
        return *this;
    }

    CSmfImageBuilder& tempo(std::uint32_t tick, std::uint32_t microsecondsPerQuarter)
    {
        return meta(tick, 0x51,
                    {static_cast<std::uint8_t>(microsecondsPerQuarter >> 16),
                     static_cast<std::uint8_t>(microsecondsPerQuarter >> 8),
                     static_cast<std::uint8_t>(microsecondsPerQuarter)});
    }

    CSmfImageBuilder& meta(std::uint32_t tick, std::uint8_t type, const Bytes& data)
    {
        Bytes& out = event(tick);
        out.push_back(0xFF);
        out.push_back(type);
        vlq(out, static_cast<std::uint32_t>(data.size()));
        out.insert(out.end(), data.begin(), data.end());
        return *this;
    }

    // A whole message from 0xF0 on, stored as an 0xF0 event.
    CSmfImageBuilder& sysEx(std::uint32_t tick, const Bytes& message)
    {
        Bytes& out = event(tick);
        out.push_back(0xF0);
        vlq(out, static_cast<std::uint32_t>(message.size() - 1));
        out.insert(out.end(), message.begin() + 1, message.end());
        return *this;
    }

    // An event of any lead byte: delta time, then the bytes as given.
    CSmfImageBuilder& raw(std::uint32_t tick, const Bytes& bytes)
    {
        Bytes& out = event(tick);
        out.insert(out.end(), bytes.begin(), bytes.end());
        return *this;
    }

    // Bytes with no delta time in front: for a stream that lost a byte.
    CSmfImageBuilder& rawBytes(const Bytes& bytes)
    {
        if (m_tracks.empty()) {
            track();
        }
        m_tracks.back().insert(m_tracks.back().end(), bytes.begin(), bytes.end());
        return *this;
    }

    // An event of lead 0xF0 or 0xF7 carrying exactly `data` after its length.
    CSmfImageBuilder& sysExEvent(std::uint32_t tick, std::uint8_t lead, const Bytes& data)
    {
        Bytes& out = event(tick);
        out.push_back(lead);
        vlq(out, static_cast<std::uint32_t>(data.size()));
        out.insert(out.end(), data.begin(), data.end());
        return *this;
    }

    CSmfImageBuilder& noteOn(std::uint32_t tick, std::uint8_t note)
    {
        Bytes& out = event(tick);
        out.insert(out.end(), {0x90, note, 0x40});
        return *this;
    }

    Bytes build() const
    {
        Bytes image = chunkHead("MThd", 6);
        append16(image, m_format);
        append16(image, static_cast<std::uint16_t>(m_tracks.size()));
        append16(image, m_division);
        for (const Bytes& body : m_tracks) {
            Bytes withEnd = body;
            withEnd.insert(withEnd.end(), {0x00, 0xFF, 0x2F, 0x00});
            Bytes head = chunkHead("MTrk", static_cast<std::uint32_t>(withEnd.size()));
            image.insert(image.end(), head.begin(), head.end());
            image.insert(image.end(), withEnd.begin(), withEnd.end());
        }
        return image;
    }

    // A message of `size` bytes, F0 ... F7, whose body bytes tell it apart.
    static Bytes message(std::uint32_t size, std::uint32_t seed)
    {
        Bytes out(size < 2 ? 2 : size, 0);
        out.front() = 0xF0;
        for (std::size_t i = 1; i + 1 < out.size(); ++i) {
            out[i] = static_cast<std::uint8_t>((std::size_t{seed} * 31 + i) & 0x7F);
        }
        out.back() = 0xF7;
        return out;
    }

private:
    Bytes& event(std::uint32_t tick)
    {
        if (m_tracks.empty()) {
            track();
        }
        Bytes& out = m_tracks.back();
        vlq(out, tick - m_lastTick.back());
        m_lastTick.back() = tick;
        return out;
    }

    static void vlq(Bytes& out, std::uint32_t value)
    {
        std::uint8_t groups[5];
        int n = 0;
        do {
            groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
            value >>= 7;
        } while (value != 0);
        while (n > 1) {
            out.push_back(static_cast<std::uint8_t>(groups[--n] | 0x80));
        }
        out.push_back(groups[0]);
    }

    static void append16(Bytes& out, std::uint16_t v)
    {
        out.push_back(static_cast<std::uint8_t>(v >> 8));
        out.push_back(static_cast<std::uint8_t>(v));
    }

    static Bytes chunkHead(const char* tag, std::uint32_t size)
    {
        Bytes out(tag, tag + 4);
        out.insert(out.end(), {static_cast<std::uint8_t>(size >> 24), static_cast<std::uint8_t>(size >> 16),
                               static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)});
        return out;
    }

    std::uint16_t m_division;
    std::uint16_t m_format;
    std::vector<Bytes> m_tracks;
    std::vector<std::uint32_t> m_lastTick;
};

} // namespace mirelo::test
