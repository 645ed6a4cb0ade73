// The Identity Reply reader on any bytes. What it reads, written out again
// as a reply, must be exactly the bytes it read (nothing skipped, nothing
// made up), and must survive the record's JSON unchanged; our own request is
// never an answer.

#include "instrument/DeviceInquiry.h"
#include "tests/fuzz/FuzzCheck.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

std::vector<std::uint8_t> replyOf(const SDeviceIdentity& identity)
{
    std::vector<std::uint8_t> bytes = {0xF0, 0x7E, identity.deviceId, 0x06, 0x02};
    bytes.insert(bytes.end(), identity.manufacturer.begin(),
                 identity.manufacturer.begin() + identity.manufacturerLength);
    for (const std::uint16_t code : {identity.family, identity.model}) {
        bytes.push_back(static_cast<std::uint8_t>(code & 0x7F));
        bytes.push_back(static_cast<std::uint8_t>(code >> 7));
    }
    bytes.insert(bytes.end(), identity.revision.begin(), identity.revision.end());
    bytes.push_back(0xF7);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::optional<SDeviceIdentity> identity = CDeviceInquiry::parseReply(data, size);
    if (CDeviceInquiry::isRequest(data, size)) {
        FUZZ_CHECK(!identity);
    }
    if (identity) {
        FUZZ_CHECK(replyOf(*identity) == std::vector<std::uint8_t>(data, data + size));
        FUZZ_CHECK(SDeviceIdentity::fromJson(identity->toJson()) == identity);
        FUZZ_CHECK(!identity->versionText().empty());
    }
    return 0;
}
