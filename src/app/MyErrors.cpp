#include "app/MyErrors.h"

#include "app/AlertPresenter.h"
#include "app/ErrorPresentingTarget.h"
#include "platform/base/Bundle.h"

#include <QChar>
#include <QCoreApplication>

namespace {

constexpr std::int32_t kMachBoundary = -32768;

QString lookUp(const mirelo::platform::Bundle& bundle, const QString& key, std::optional<QString> defaultValue,
               const char* table)
{
    const std::string keyBytes = key.toStdString();
    std::optional<std::string> defaultBytes;
    if (defaultValue) {
        defaultBytes = defaultValue->toStdString();
    }
    return QString::fromStdString(bundle.localizedString(keyBytes, defaultBytes, table));
}

} // namespace

QString MyErrors::audioKey(std::int32_t code)
{
    if (code < 0) {
        return QString::number(code);
    }
    const auto bits = static_cast<std::uint32_t>(code);
    QString key;
    for (int shift = 24; shift >= 0; shift -= 8) {
        key.append(QChar(static_cast<char16_t>((bits >> shift) & 0xFFu)));
    }
    return key;
}

CError MyErrors::errorWithCode(std::int32_t code)
{
    if (auto audio = errorWithAudioStatus(code)) {
        return std::move(*audio);
    }
    if (code <= kMachBoundary) {
        return errorWithMachStatus(code);
    }
    if (code < 0) {
        return errorWithOSStatus(code);
    }
    return errorWithCocoaStatus(code);
}

CError MyErrors::errorWithMachStatus(std::int32_t code)
{
    return CError(NSMachErrorDomain, code);
}

CError MyErrors::errorWithCocoaStatus(std::int32_t code)
{
    return CError(NSCocoaErrorDomain, code);
}

CError MyErrors::errorWithOSStatus(std::int32_t code)
{
    const mirelo::platform::Bundle* bundle = mirelo::platform::mainBundle();
    if (bundle == nullptr) {
        return CError(NSOSStatusErrorDomain, code);
    }
    const QString key = QString::number(code);
    const QString fallback = QCoreApplication::translate("MyErrors", "Unknown OS error: %1.").arg(code);
    return CError(NSOSStatusErrorDomain, code, lookUp(*bundle, key, fallback, "OSErrors")); // notr: string table name
}

std::optional<CError> MyErrors::errorWithAudioStatus(std::int32_t code)
{
    const mirelo::platform::Bundle* bundle = mirelo::platform::mainBundle();
    if (bundle == nullptr) {
        return std::nullopt;
    }
    const QString key = audioKey(code);
    QString text = lookUp(*bundle, key, std::nullopt, "AudioErrors"); // notr: string table name
    // The lookup answers the key itself when there is no entry, so an entry
    // equal to its key cannot be told apart from none.
    if (text == key) {
        return std::nullopt;
    }
    return CError(kMyCoreAudioErrorDomain, code, std::move(text));
}

void MyErrors::presentError(const CError& error)
{
    // Without a presenter no alert is made, and nothing is shown.
    if (CAlertPresenter* presenter = CAlertPresenter::current()) {
        presenter->runModal(error);
    }
}

void MyErrors::presentGeneralError(std::int32_t code)
{
    presentError(errorWithCode(code));
}

void MyErrors::presentMachError(std::int32_t code)
{
    presentError(errorWithMachStatus(code));
}

void MyErrors::presentCocoaError(std::int32_t code)
{
    presentError(errorWithCocoaStatus(code));
}

void MyErrors::presentOSError(std::int32_t code)
{
    presentError(errorWithOSStatus(code));
}

void MyErrors::presentAudioError(std::int32_t code)
{
    if (auto audio = errorWithAudioStatus(code)) {
        presentError(*audio);
    } else {
        presentGeneralError(code);
    }
}

void MyErrors::presentGeneralError(std::int32_t code, CErrorPresentingTarget& target)
{
    target.presentError(errorWithCode(code));
}

void MyErrors::presentMachError(std::int32_t code, CErrorPresentingTarget& target)
{
    target.presentError(errorWithMachStatus(code));
}

void MyErrors::presentCocoaError(std::int32_t code, CErrorPresentingTarget& target)
{
    target.presentError(errorWithCocoaStatus(code));
}

void MyErrors::presentOSError(std::int32_t code, CErrorPresentingTarget& target)
{
    target.presentError(errorWithOSStatus(code));
}

void MyErrors::presentAudioError(std::int32_t code, CErrorPresentingTarget& target)
{
    if (auto audio = errorWithAudioStatus(code)) {
        target.presentError(*audio);
    } else {
        presentGeneralError(code, target);
    }
}
