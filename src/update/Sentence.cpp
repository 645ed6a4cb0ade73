#include "update/Sentence.h"

namespace {

constexpr std::uint64_t kMinuteMs = 60'000;
constexpr std::uint64_t kHourMs = 60 * kMinuteMs;
constexpr std::uint64_t kDayMs = 24 * kHourMs;
constexpr std::uint64_t kYearMs = 365 * kDayMs + kDayMs / 4;
// Below this a span reads best in hours, minutes and seconds; then in days;
// then in years.
constexpr std::uint64_t kDaysFrom = 2 * kDayMs;
constexpr std::uint64_t kYearsFrom = 3650 * kDayMs;

std::string twoDigits(std::uint64_t value)
{
    return (value < 10 ? "0" : "") + std::to_string(value);
}

} // namespace

std::string CSentence::plain() const
{
    std::vector<std::string> rendered;
    rendered.reserve(m_parts.size());
    for (const Part& part : m_parts) {
        if (const auto* number = std::get_if<std::uint64_t>(&part)) {
            rendered.push_back(std::to_string(*number));
        } else if (const auto* duration = std::get_if<SDuration>(&part)) {
            rendered.push_back(durationText(duration->ms));
        } else if (const auto* name = std::get_if<SName>(&part)) {
            rendered.push_back("\"" + name->text + "\"");
        } else if (const auto* text = std::get_if<std::string>(&part)) {
            rendered.push_back(*text);
        } else if (const auto* nested = std::get_if<Nested>(&part); nested != nullptr && *nested) {
            rendered.push_back((*nested)->plain());
        } else {
            rendered.emplace_back();
        }
    }
    return fill(m_template, rendered);
}

std::string CSentence::durationText(std::uint64_t ms, const Translate& translate)
{
    const auto words = [&translate](const char* inTemplate) {
        return translate ? translate(inTemplate) : std::string(inTemplate);
    };
    if (ms < kMinuteMs) {
        return fill(words(QT_TRANSLATE_NOOP("RunReport", "%1.%2 s")),
                    {std::to_string(ms / 1000), std::to_string(ms % 1000 / 100)});
    }
    const std::uint64_t seconds = ms / 1000;
    if (ms < kHourMs) {
        return fill(words(QT_TRANSLATE_NOOP("RunReport", "%1:%2")),
                    {std::to_string(seconds / 60), twoDigits(seconds % 60)});
    }
    if (ms < kDaysFrom) {
        return fill(words(QT_TRANSLATE_NOOP("RunReport", "%1:%2:%3")),
                    {std::to_string(seconds / 3600), twoDigits(seconds / 60 % 60), twoDigits(seconds % 60)});
    }
    if (ms < kYearsFrom) {
        return fill(words(QT_TRANSLATE_NOOP("RunReport", "%1 days")), {std::to_string(ms / kDayMs)});
    }
    return fill(words(QT_TRANSLATE_NOOP("RunReport", "%1 years")), {std::to_string(ms / kYearMs)});
}

std::string CSentence::fill(std::string_view inTemplate, const std::vector<std::string>& parts)
{
    std::string text;
    text.reserve(inTemplate.size());
    for (std::size_t i = 0; i < inTemplate.size(); ++i) {
        const char c = inTemplate[i];
        if (c == '%' && i + 1 < inTemplate.size() && inTemplate[i + 1] >= '1' && inTemplate[i + 1] <= '9') {
            const auto index = static_cast<std::size_t>(inTemplate[i + 1] - '1');
            if (index < parts.size()) {
                text += parts[index];
                ++i;
                continue;
            }
        }
        text += c;
    }
    return text;
}
