#pragma once
// Words for the user, kept apart from how a front end shows them: a template
// with numbered placeholders (%1 to %9) and its parts, numbers kept as
// numbers. The command-line tool renders a sentence in plain English with
// plain(); the window translates each template and may format numbers for
// the user's language.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Marks a template for the translation tools. update/ never includes Qt, so
// without it the mark is the text itself, spelled as Qt spells it so that
// either definition may come first.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

class CSentence {
public:
    // The scope the templates are marked in.
    static constexpr const char* kScope = "RunReport";

    struct SDuration {
        std::uint64_t ms;
    };
    // A device or file as the user knows it, shown in quotes.
    struct SName {
        std::string text;
    };
    using Nested = std::shared_ptr<const CSentence>;
    // A count, a span of time, a name, text that is shown as it is (a reason
    // the system gave), or a sentence of its own.
    using Part = std::variant<std::uint64_t, SDuration, SName, std::string, Nested>;

    // Gives the text of a template in the user's language.
    using Translate = std::function<std::string(const char* inTemplate)>;

    explicit CSentence(const char* inTemplate, std::vector<Part> inParts = {})
        : m_template(inTemplate), m_parts(std::move(inParts))
    {
    }

    const char* text() const { return m_template; }
    const std::vector<Part>& parts() const { return m_parts; }
    Nested shared() const { return std::make_shared<const CSentence>(*this); }

    // Plain English: counts in digits, names in double quotes.
    std::string plain() const;

    // "14.9 s" below a minute, "4:05" below an hour, "1:02:03" below two days,
    // then whole days ("994 days"), from ten years whole years: all a wait
    // that long needs.
    static std::string durationText(std::uint64_t ms, const Translate& translate = {});
    // The template with %1 to %9 replaced by the parts given; a placeholder
    // without a part stays as it is.
    static std::string fill(std::string_view inTemplate, const std::vector<std::string>& parts);

private:
    const char* m_template;
    std::vector<Part> m_parts;
};
