#include "update/RunRecord.h"

#include "update/UpdateRecordLog.h"

#include "platform/midi/MIDIServices.h"

#include <cerrno>
#include <ctime>

namespace {

SUpdateRecord::EResult resultOf(const SRunEnd& end)
{
    using EResult = SUpdateRecord::EResult;
    switch (end.how) {
    case SRunEnd::EHow::kSent:
        return end.identity && end.identity->verdict == SIdentityCheck::EVerdict::kDidNotTake ? EResult::kDidNotTake
                                                                                              : EResult::kCompleted;
    case SRunEnd::EHow::kInterrupted:
        return EResult::kInterrupted;
    case SRunEnd::EHow::kNotStarted:
        // Memory that ran out says nothing against the file.
        return end.notStarted.outcome == SUpdateFileLoad::EOutcome::kOutOfMemory ? EResult::kFailed : EResult::kRefused;
    case SRunEnd::EHow::kFailed:
    case SRunEnd::EHow::kOutputClosed:
        break;
    }
    return EResult::kFailed;
}

} // namespace

bool CRunRecord::isHardware(const std::string& displayName)
{
    for (ItemCount i = 0, count = MIDIGetNumberOfDestinations(); i < count; ++i) {
        const MIDIEndpointRef endpoint = MIDIGetDestination(i);
        std::string name;
        if (MIDIObjectGetStringProperty(endpoint, kMIDIPropertyDisplayName, &name) == noErr && name == displayName) {
            std::int32_t hardware = 0;
            return MIDIObjectGetIntegerProperty(endpoint, kMIDIPropertyHardware, &hardware) == noErr && hardware != 0;
        }
    }
    return false;
}

CRunRecord::CRunRecord()
{
    m_record.start = SUpdateRecord::isoTime(std::time(nullptr));
    // The name the program was started by: which front end wrote the record.
    m_record.program = program_invocation_short_name;
    m_record.version = MIRELO_VERSION;
}

void CRunRecord::setFile(const std::filesystem::path& path, const std::string& sha256)
{
    m_record.file = path.string();
    m_record.sha256 = sha256;
}

void CRunRecord::setDestination(const std::string& displayName, bool hardware)
{
    m_record.destination = displayName;
    m_record.hardware = hardware;
}

void CRunRecord::setEnd(const SRunEnd& end, const CRunReport::Destination& destination)
{
    m_record.result = resultOf(end);
    m_record.messagesSent = end.progress.reached;
    m_record.messagesTotal = end.progress.total;
    m_record.bytesSent = end.progress.bytes;
    m_record.status = end.status;
    std::string words = CRunReport::ended(end, destination, m_record.file).plain();
    if (end.identity) {
        const SIdentityCheck& check = *end.identity;
        m_record.identityAsked = check.asked();
        m_record.before = check.before.identity;
        m_record.after = check.identityAfter() ? check.after->identity : std::nullopt;
        for (const std::optional<CSentence>& said :
             {CRunReport::firmwareChange(check), CRunReport::identityVerdict(check, destination)}) {
            if (said) {
                words += "; " + said->plain();
            }
        }
    }
    m_record.words = std::move(words);
}

void CRunRecord::setOutcome(SUpdateRecord::EResult result, std::string words)
{
    m_record.result = result;
    m_record.words = std::move(words);
}

std::optional<std::string> CRunRecord::write()
{
    m_record.end = SUpdateRecord::isoTime(std::time(nullptr));
    const std::optional<std::filesystem::path> path = CUpdateRecordLog::defaultPath();
    if (!path) {
        return std::string("neither XDG_STATE_HOME nor a home folder says where to keep it");
    }
    std::string problem;
    if (!CUpdateRecordLog::append(*path, m_record, problem)) {
        return problem;
    }
    return std::nullopt;
}
