// The manager's input procedure on arbitrary packet lists. Every message it
// hands to the callback runs from 0xF0 to 0xF7 with only data bytes between,
// and the messages are exactly those a plain reading of the byte stream finds:
// none lost, none made up, none cut.

#include "testing/ControlledVirtualBackend.h"
#include "QORMIDIManager_Mac.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/fuzz/PacketListDecoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct SReceived {
    std::vector<Bytes> messages;
};

void onMessage(void* context, const Byte* data, std::uint32_t length)
{
    FUZZ_CHECK(data != nullptr);
    FUZZ_CHECK(length >= 2);
    FUZZ_CHECK(data[0] == 0xF0);
    FUZZ_CHECK(data[length - 1] == 0xF7);
    for (std::uint32_t i = 1; i + 1 < length; ++i) {
        FUZZ_CHECK(data[i] < 0x80);
    }
    static_cast<SReceived*>(context)->messages.emplace_back(data, data + length);
}

// The messages in the concatenated bytes: an 0xF0 opens one, data bytes join
// it, 0xF7 closes it, any other status byte drops it.
std::vector<Bytes> expectedMessages(const std::vector<SPacketListImage>& lists)
{
    std::vector<Bytes> out;
    Bytes open;
    for (const auto& list : lists) {
        for (const auto& packet : list.packets) {
            for (const std::uint8_t b : packet) {
                if (b < 0x80) {
                    if (!open.empty()) {
                        open.push_back(b);
                    }
                    continue;
                }
                if (!open.empty() && b == 0xF7) {
                    open.push_back(b);
                    out.push_back(open);
                }
                open.clear();
                if (b == 0xF0) {
                    open.push_back(b);
                }
            }
        }
    }
    return out;
}

struct SInput {
    mirelo::midi::ControlledVirtualBackend backend;
    SReceived received;
    CQORMIDIManager* manager = nullptr;
    SPacketListImage reset = makePacketList({{0xF8}}); // drops a message left open by the last input

    SInput()
    {
        mirelo::midi::setActiveBackend(&backend);
        backend.addSource({"Fuzz", "Fuzz In", "Fuzz In"}, mirelo::midi::ControlledVirtualBackend::Announce::No);
        CQORMIDIManager::initialize(nullptr, nullptr);
        manager = CQORMIDIManager::instance();
        FUZZ_CHECK(manager->openMidiIn(0, onMessage, &received, 512) == noErr);
    }
};

SInput& input()
{
    static SInput* s = new SInput; // lives for the process: the backend's threads may outlast static destructors
    return *s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SInput& in = input();
    CQORMIDIManager::procMidiIn(in.reset.list(), in.manager, nullptr);
    in.received.messages.clear();

    const std::vector<SPacketListImage> lists = decodePacketLists(data, size);
    for (const auto& list : lists) {
        CQORMIDIManager::procMidiIn(list.list(), in.manager, nullptr);
    }
    FUZZ_CHECK(in.received.messages == expectedMessages(lists));
    return 0;
}
