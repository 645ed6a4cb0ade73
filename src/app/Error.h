#pragma once
// The error record that MyErrors builds and alerts show: a domain, a code and,
// when one was found, a description for the user.

#include <QLatin1StringView>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>

// Stand-ins for the desktop platform's error domains.
inline constexpr QLatin1StringView NSMachErrorDomain{"NSMachErrorDomain"};
inline constexpr QLatin1StringView NSOSStatusErrorDomain{"NSOSStatusErrorDomain"};
inline constexpr QLatin1StringView NSCocoaErrorDomain{"NSCocoaErrorDomain"};
inline constexpr QLatin1StringView kMyCoreAudioErrorDomain{"MyCoreAudioErrorDomain"};
// The updater's own errors: an update that did not complete, an update file
// that may not be sent.
inline constexpr QLatin1StringView kUpdaterErrorDomain{"MireloUpdaterErrorDomain"};
inline constexpr std::int64_t kUpdateIncomplete = 1;
inline constexpr std::int64_t kUpdateFileRefused = 2;

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

    bool operator==(const CError&) const = default;

private:
    QString m_domain;
    std::int64_t m_code;
    std::optional<QString> m_description;
};
