#pragma once
// The error record that MyErrors builds and alerts show: a domain, a code and,
// when one was found, a description for the user. An alert reads better with
// more: the description as its headline, the reason in plain words, the one
// thing to do about it, and the technical detail (a status) kept for support.

#include <QLatin1StringView>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>

// Stand-ins for the desktop platform's error domains.
inline constexpr QLatin1StringView NSMachErrorDomain{"NSMachErrorDomain"};            // notr: error domain name
inline constexpr QLatin1StringView NSOSStatusErrorDomain{"NSOSStatusErrorDomain"};    // notr: error domain name
inline constexpr QLatin1StringView NSCocoaErrorDomain{"NSCocoaErrorDomain"};          // notr: error domain name
inline constexpr QLatin1StringView kMyCoreAudioErrorDomain{"MyCoreAudioErrorDomain"}; // notr: error domain name
// The updater's own errors: an update that did not complete, an update file
// that may not be sent.
inline constexpr QLatin1StringView kUpdaterErrorDomain{"MireloUpdaterErrorDomain"}; // notr: error domain name
inline constexpr std::int64_t kUpdateIncomplete = 1;
inline constexpr std::int64_t kUpdateFileRefused = 2;
inline constexpr std::int64_t kCaptureRefused = 3;

class CError {
public:
    CError(QString domain, std::int64_t code, std::optional<QString> description = std::nullopt)
        : m_domain(std::move(domain)), m_code(code), m_description(std::move(description))
    {
    }

    const QString& domain() const { return m_domain; }
    std::int64_t code() const { return m_code; }
    // Absent when the record carries no user information.
    const std::optional<QString>& description() const { return m_description; }
    const std::optional<QString>& failureReason() const { return m_failureReason; }
    const std::optional<QString>& recoverySuggestion() const { return m_recoverySuggestion; }
    // A status and its name, or what the system said: under the alert's details.
    const std::optional<QString>& detail() const { return m_detail; }

    CError& withReason(QString reason)
    {
        m_failureReason = std::move(reason);
        return *this;
    }
    CError& withSuggestion(QString suggestion)
    {
        m_recoverySuggestion = std::move(suggestion);
        return *this;
    }
    CError& withDetail(QString detail)
    {
        m_detail = std::move(detail);
        return *this;
    }
    // The same error under a headline that says what the user was doing; its
    // description becomes the reason.
    CError titled(QString headline) const
    {
        CError error = *this;
        if (!error.m_failureReason) {
            error.m_failureReason = error.m_description;
        }
        error.m_description = std::move(headline);
        return error;
    }

    bool operator==(const CError&) const = default;

private:
    QString m_domain;
    std::int64_t m_code;
    std::optional<QString> m_description;
    std::optional<QString> m_failureReason;
    std::optional<QString> m_recoverySuggestion;
    std::optional<QString> m_detail;
};
