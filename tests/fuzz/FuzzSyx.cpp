// The .syx reader of `pack` on any bytes. It accepts exactly the inputs that
// are a run of complete SysEx messages (0xF0, data bytes, 0xF7, each at most
// kMaxMessageSize bytes), and then returns them, in order, covering every
// input byte; otherwise it returns no message and an error inside the input.

#include "cli/SyxReader.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>

namespace {

bool isRunOfMessages(const std::uint8_t* data, std::size_t size)
{
    std::size_t start = 0;
    bool open = false;
    for (std::size_t at = 0; at < size; ++at) {
        const std::uint8_t b = data[at];
        if (!open) {
            if (b != 0xF0) {
                return false;
            }
            open = true;
            start = at;
        } else if (b == 0xF7) {
            if (at + 1 - start > CSyxReader::kMaxMessageSize) {
                return false;
            }
            open = false;
        } else if (b >= 0x80) {
            return false;
        }
    }
    return !open;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CSyxReader reader;
    const bool accepted = reader.parse(data, size);
    FUZZ_CHECK(accepted == isRunOfMessages(data, size));
    if (!accepted) {
        FUZZ_CHECK(reader.messages().empty());
        FUZZ_CHECK(reader.error().has_value());
        FUZZ_CHECK(reader.error()->offset.has_value() && *reader.error()->offset <= size);
        FUZZ_CHECK(!reader.describeError("fuzz.syx").empty());
        return 0;
    }
    FUZZ_CHECK(!reader.error().has_value());
    std::size_t at = 0;
    for (const CSysExRun::SMessage& message : reader.messages()) {
        FUZZ_CHECK(message.offset == at);
        FUZZ_CHECK(message.bytes.size() >= 2);
        FUZZ_CHECK(message.bytes.front() == 0xF0 && message.bytes.back() == 0xF7);
        for (std::size_t i = 0; i < message.bytes.size(); ++i) {
            FUZZ_CHECK(message.bytes[i] == data[at + i]);
        }
        at += message.bytes.size();
    }
    FUZZ_CHECK(at == size);
    return 0;
}
