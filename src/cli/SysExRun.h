#pragma once
// A run of whole SysEx messages, F0 ... F7 one after the other with only data
// bytes between, read as messages where they lie: a .syx file of two million
// messages of two bytes stays four megabytes, not an object per message.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>

class CSysExRun {
public:
    struct SMessage {
        std::size_t offset = 0;              // of its 0xF0 in the run
        std::span<const std::uint8_t> bytes; // 0xF0 through 0xF7
    };

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = SMessage;
        using difference_type = std::ptrdiff_t;
        using pointer = const SMessage*;
        using reference = const SMessage&;

        const_iterator() = default;
        const_iterator(std::span<const std::uint8_t> run, std::size_t offset) : m_run(run) { at(offset); }
        reference operator*() const { return m_message; }
        pointer operator->() const { return &m_message; }
        const_iterator& operator++()
        {
            at(m_message.offset + m_message.bytes.size());
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const const_iterator& other) const { return m_message.offset == other.m_message.offset; }

    private:
        void at(std::size_t offset)
        {
            std::size_t end = offset;
            while (end < m_run.size() && m_run[end] != kEnd) {
                ++end;
            }
            m_message.offset = offset;
            m_message.bytes = m_run.subspan(offset, end < m_run.size() ? end + 1 - offset : m_run.size() - offset);
        }

        std::span<const std::uint8_t> m_run;
        SMessage m_message;
    };

    CSysExRun() = default;
    // `run` must be whole messages (CSyxReader checks that); `count` of them.
    CSysExRun(std::span<const std::uint8_t> run, std::size_t count) : m_run(run), m_count(count) {}

    const_iterator begin() const { return const_iterator(m_run, 0); }
    const_iterator end() const { return const_iterator(m_run, m_run.size()); }
    std::size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    std::span<const std::uint8_t> bytes() const { return m_run; }

private:
    static constexpr std::uint8_t kEnd = 0xF7;

    std::span<const std::uint8_t> m_run;
    std::size_t m_count = 0;
};
