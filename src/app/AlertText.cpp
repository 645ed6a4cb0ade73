#include "app/AlertText.h"

namespace {

constexpr std::int64_t kCocoaFileReadUnknown = 256;
constexpr std::int64_t kCocoaFileReadInvalidFileName = 258;

} // namespace

QString CAlertText::of(const CError& error)
{
    if (error.description()) {
        return *error.description();
    }
    if (error.domain() == NSCocoaErrorDomain) {
        switch (error.code()) {
        case kCocoaFileReadUnknown:
            return QStringLiteral("The file could not be opened. It may be missing, or you may not have "
                                  "permission to read it.");
        case kCocoaFileReadInvalidFileName:
            return QStringLiteral("The file could not be opened because its name is not valid.");
        default:
            break;
        }
    }
    return QStringLiteral("The operation could not be completed. (%1 error %2.)").arg(error.domain()).arg(error.code());
}
