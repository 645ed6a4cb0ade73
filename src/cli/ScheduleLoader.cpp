#include "cli/ScheduleLoader.h"

#include "cli/ExitStatus.h"

#include "platform/base/WholeFile.h"

#include <cstdint>
#include <limits>
#include <vector>

int CScheduleLoader::load(const std::string& inPath, CFirmwareSchedule& outSchedule, std::ostream& err,
                          const std::string& inPrefix)
{
    using mirelo::platform::FileReadOutcome;
    std::vector<std::uint8_t> bytes;
    const auto read = mirelo::platform::readWholeFile(inPath, bytes);
    if (!read.ok()) {
        err << inPrefix << "cannot read " << inPath << ": " << read.reason << "\n";
        return read.result == FileReadOutcome::kOutOfMemory ? cli_exit::kFailed : cli_exit::kBadInput;
    }
    // The read limit keeps every file far below the transfer's 32-bit length.
    static_assert(mirelo::platform::kWholeFileLimit < std::numeric_limits<std::uint32_t>::max());
    switch (outSchedule.build(bytes.data(), static_cast<std::uint32_t>(bytes.size()))) {
    case CFirmwareSchedule::EResult::kOk:
        return cli_exit::kSuccess;
    case CFirmwareSchedule::EResult::kRefused:
        err << inPrefix << outSchedule.refusal()->sentenceFor(inPath) << "\n";
        return cli_exit::kBadInput;
    case CFirmwareSchedule::EResult::kOutOfMemory:
        break;
    }
    err << inPrefix << inPath << ": out of memory while building the schedule\n";
    return cli_exit::kFailed;
}
