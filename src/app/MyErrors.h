#pragma once
// Turns a bare status into an error record with a domain and, where one can be
// found, a description from the bundle's "AudioErrors" and "OSErrors" tables,
// and shows it. Class operations only; the bundle is platform::mainBundle(),
// the alert goes through CAlertPresenter::current().

#include "app/Error.h"

#include <QString>

#include <cstdint>
#include <optional>

class CErrorPresentingTarget;

class MyErrors {
public:
    MyErrors() = delete;

    // Audio table first, then by range: -32768 and below Mach, -32767 to -1
    // OS status, 0 and above Cocoa.
    static CError errorWithCode(std::int32_t code);
    static CError errorWithMachStatus(std::int32_t code);
    static CError errorWithCocoaStatus(std::int32_t code);
    // With the "OSErrors" text or "Unknown OS error: <code>."; without any
    // description when there is no main bundle.
    static CError errorWithOSStatus(std::int32_t code);
    // Only when "AudioErrors" has an entry (and there is a main bundle).
    static std::optional<CError> errorWithAudioStatus(std::int32_t code);

    static void presentError(const CError& error);
    static void presentGeneralError(std::int32_t code);
    static void presentMachError(std::int32_t code);
    static void presentCocoaError(std::int32_t code);
    static void presentOSError(std::int32_t code);
    static void presentAudioError(std::int32_t code);

    static void presentGeneralError(std::int32_t code, CErrorPresentingTarget& target);
    static void presentMachError(std::int32_t code, CErrorPresentingTarget& target);
    static void presentCocoaError(std::int32_t code, CErrorPresentingTarget& target);
    static void presentOSError(std::int32_t code, CErrorPresentingTarget& target);
    static void presentAudioError(std::int32_t code, CErrorPresentingTarget& target);

    // The key of `code` in "AudioErrors": "%d" when negative, else its four
    // bytes from the most significant, each as one character.
    static QString audioKey(std::int32_t code);
};
