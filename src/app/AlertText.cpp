#include "app/AlertText.h"

namespace {

constexpr std::int64_t kCocoaFileReadUnknown = 256;
constexpr std::int64_t kCocoaFileReadInvalidFileName = 258;

} // namespace

CAlertText CAlertText::of(const CError& error)
{
    CAlertText text;
    if (error.description()) {
        text.headline = *error.description();
    } else if (error.domain() == NSCocoaErrorDomain && error.code() == kCocoaFileReadUnknown) {
        text.headline = tr("The file could not be opened.");
        text.body = tr("It may be missing, or you may not have permission to read it.");
    } else if (error.domain() == NSCocoaErrorDomain && error.code() == kCocoaFileReadInvalidFileName) {
        text.headline = tr("The file could not be opened because its name is not valid.");
    } else {
        text.headline = tr("The operation could not be completed.");
    }
    QStringList body;
    for (const std::optional<QString>& part : {error.failureReason(), error.recoverySuggestion()}) {
        if (part && !part->isEmpty()) {
            body << *part;
        }
    }
    if (!body.isEmpty()) {
        text.body = body.join(QLatin1Char(' '));
    }
    text.details = tr("%1 error %2").arg(error.domain()).arg(error.code());
    if (error.detail()) {
        text.details = tr("%1 (%2)").arg(*error.detail(), text.details);
    }
    return text;
}
