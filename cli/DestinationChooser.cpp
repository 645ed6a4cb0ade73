#include "DestinationChooser.h"

#include <algorithm>
#include <cctype>

namespace {

bool isIndex(const std::string& text)
{
    return !text.empty() && text.size() <= 9 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool startsWithIgnoringCase(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](unsigned char a, unsigned char b) {
               return std::tolower(a) == std::tolower(b);
           });
}

} // namespace

std::optional<std::size_t> CDestinationChooser::choose(const std::string& what)
{
    m_error.clear();
    if (isIndex(what)) {
        const std::size_t index = std::stoul(what);
        if (index < m_names.size()) {
            return index;
        }
        m_error = "there is no destination " + what + " (there " +
                  (m_names.size() == 1 ? std::string("is 1") : "are " + std::to_string(m_names.size())) + ")";
        return std::nullopt;
    }
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (m_names[i] == what) {
            return i;
        }
    }
    std::vector<std::size_t> matches;
    if (!what.empty()) {
        for (std::size_t i = 0; i < m_names.size(); ++i) {
            if (startsWithIgnoringCase(m_names[i], what)) {
                matches.push_back(i);
            }
        }
    }
    if (matches.size() == 1) {
        return matches.front();
    }
    if (matches.empty()) {
        m_error = "no destination is called \"" + what + "\"";
    } else {
        m_error = "\"" + what + "\" could be any of";
        for (std::size_t i : matches) {
            m_error += (i == matches.front() ? " " : ", ") + std::to_string(i) + " \"" + m_names[i] + "\"";
        }
    }
    return std::nullopt;
}
