#include "update/IdentityCheck.h"

#include "instrument/InstrumentPairing.h"
#include "platform/base/Interrupt.h"

namespace {

using EOutcome = SIdentityAnswer::EOutcome;
using EVerdict = SIdentityCheck::EVerdict;

bool runs(const SDeviceIdentity& identity, const SFirmwareVersion& version)
{
    return identity.revision == version.revision();
}

// What it says after the update tells whether the update took; without a
// version to look for, only a change of revision says that something did.
bool settles(const SIdentityCheck& check, const SIdentityAnswer& answer)
{
    if (!answer.identity) {
        return false;
    }
    if (check.carried) {
        return runs(*answer.identity, *check.carried);
    }
    return answer.identity->revision != check.before.identity->revision;
}

} // namespace

const SDeviceIdentity* SIdentityCheck::identityBefore() const
{
    return before.identity ? &*before.identity : nullptr;
}

const SDeviceIdentity* SIdentityCheck::identityAfter() const
{
    return after && after->identity ? &*after->identity : nullptr;
}

SIdentityCheck CIdentityCheck::before(CQORMIDIManager& manager, std::size_t destination, const std::string& displayName,
                                      const std::optional<SFirmwareVersion>& carried)
{
    SIdentityCheck check;
    check.carried = carried;
    const std::vector<SPortNames> destinations = CInstrumentPairing::currentDestinations();
    // The output was opened by index: a list that moved since would pair another device's source.
    const bool stillThere = destination < destinations.size() && destinations[destination].displayName == displayName;
    const std::optional<std::size_t> source =
        stillThere ? CInstrumentPairing::sourceFor(destinations, destination, CInstrumentPairing::currentSources())
                   : std::nullopt;
    if (!source) {
        check.verdict = EVerdict::kNoInput;
        check.before.outcome = EOutcome::kNoInput;
        return check;
    }
    check.before = CIdentityInquiry::ask(manager, *source);
    check.verdict = EVerdict::kUnanswered;
    return check;
}

void CIdentityCheck::after(CQORMIDIManager& manager, const std::string& displayName, SIdentityCheck& check,
                           const mirelo::platform::Interrupt* stop)
{
    if (!check.before.identity) {
        return;
    }
    SInquiryOptions options;
    options.stop = stop;
    const SIdentityAnswer answer = CIdentityInquiry::askUntil(
        manager, displayName, CIdentityInquiry::kRestartWait,
        [&check](const SIdentityAnswer& heard) { return settles(check, heard); }, options);
    check.after = answer;
    if (answer.identity && (settles(check, answer) || stop == nullptr || !stop->raised())) {
        check.verdict = !check.carried                           ? EVerdict::kNoVersion
                        : runs(*answer.identity, *check.carried) ? EVerdict::kTook
                                                                 : EVerdict::kDidNotTake;
        return;
    }
    if (stop != nullptr && stop->raised()) {
        check.verdict = EVerdict::kStopped;
    } else if (answer.outcome == EOutcome::kGone) {
        check.verdict = EVerdict::kGoneAfter;
    } else {
        check.verdict = EVerdict::kSilentAfter;
    }
}

void CIdentityCheck::incomplete(SIdentityCheck& check)
{
    if (check.before.identity) {
        check.verdict = EVerdict::kIncomplete;
    }
}
