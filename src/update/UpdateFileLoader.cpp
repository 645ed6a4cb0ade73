#include "update/UpdateFileLoader.h"

#include "update/FileDigest.h"

#include "platform/base/Bundle.h"
#include "platform/base/WholeFile.h"

#include <cstdint>
#include <limits>
#include <vector>

SUpdateFileLoad CUpdateFileLoader::locate(const std::optional<std::filesystem::path>& inFile)
{
    if (inFile) {
        return {SUpdateFileLoad::EOutcome::kReady, *inFile, {}, std::nullopt};
    }
    const mirelo::platform::Bundle* bundle = mirelo::platform::mainBundle();
    if (bundle == nullptr) {
        return {SUpdateFileLoad::EOutcome::kNoBundledFile, {}, {}, std::nullopt};
    }
    if (std::optional<std::filesystem::path> found = bundle->pathForResource(kBundledFileName)) {
        return {SUpdateFileLoad::EOutcome::kReady, std::move(*found), {}, std::nullopt};
    }
    return {SUpdateFileLoad::EOutcome::kNoBundledFile, bundle->resourcePath(), {}, std::nullopt};
}

SUpdateFileLoad CUpdateFileLoader::load(const std::filesystem::path& inPath, CFirmwareSchedule& outSchedule,
                                        SUpdateFileFacts* outFacts)
{
    using mirelo::platform::FileReadOutcome;
    using EOutcome = SUpdateFileLoad::EOutcome;
    std::vector<std::uint8_t> bytes;
    if (const auto read = mirelo::platform::readWholeFile(inPath, bytes); !read.ok()) {
        const EOutcome outcome = read.result == FileReadOutcome::kOutOfMemory ? EOutcome::kOutOfMemory
                                 : read.result == FileReadOutcome::kTooLarge  ? EOutcome::kTooLarge
                                                                              : EOutcome::kUnreadable;
        return {outcome, inPath, read.reason, std::nullopt};
    }
    // The read limit keeps every file far below the transfer's 32-bit length.
    static_assert(mirelo::platform::kWholeFileLimit < std::numeric_limits<std::uint32_t>::max());
    std::string digest = CFileDigest::sha256(bytes.data(), bytes.size());
    switch (outSchedule.build(bytes.data(), static_cast<std::uint32_t>(bytes.size()))) {
    case CFirmwareSchedule::EResult::kOk:
        if (outFacts != nullptr) {
            *outFacts = CUpdateFileFacts::of(bytes, outSchedule);
        }
        return {EOutcome::kReady, inPath, {}, std::nullopt, std::move(digest)};
    case CFirmwareSchedule::EResult::kRefused:
        return {EOutcome::kRefused, inPath, {}, outSchedule.refusal(), std::move(digest)};
    case CFirmwareSchedule::EResult::kOutOfMemory:
        break;
    }
    // No reason: the memory ran out building the schedule, not reading the file.
    return {EOutcome::kOutOfMemory, inPath, {}, std::nullopt, std::move(digest)};
}
