#pragma once
// The scheduled messages' bytes and times as one stream of records, each a
// tick step, a millisecond step and the message's bytes, with the numbers
// written as variable-length quantities. Tens of millions of two-byte
// messages fit in about the memory of the file they came from, where an
// object and a vector per message took twenty times that.
//
// The records live in blocks of up to 1 MiB that are never moved once
// filled: growing never copies what is there, so building costs no second
// copy at its peak, and a message's bytes always lie in one block.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class CMessageStream {
public:
    struct SRecord {
        std::uint64_t tickStep = 0;
        std::uint64_t millisecondStep = 0;
        std::span<const std::uint8_t> bytes;
    };

    // Reads the records front to back. The stream must outlive it and not
    // grow while it reads.
    class CReader {
    public:
        CReader() = default;
        explicit CReader(const CMessageStream& stream) : m_stream(&stream) {}
        // The next record; call only while records remain.
        SRecord next();

    private:
        std::uint64_t number();

        const CMessageStream* m_stream = nullptr;
        std::size_t m_block = 0;
        std::size_t m_position = 0;
    };

    // Throws std::bad_alloc when memory runs out; the stream is then as before.
    void append(std::uint64_t tickStep, std::uint64_t millisecondStep, std::span<const std::uint8_t> bytes);
    void clear();

    // Bytes held, the unused tails of the blocks included.
    std::size_t capacity() const;

private:
    struct SBlock {
        std::unique_ptr<std::uint8_t[]> data;
        std::size_t size = 0;
        std::size_t used = 0;
    };

    std::vector<SBlock> m_blocks;
};
