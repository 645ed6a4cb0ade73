#pragma once
// Picks the destination that `send --to` names: an index, a display name
// exactly, or else a case-insensitive prefix of exactly one display name.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class CDestinationChooser {
public:
    explicit CDestinationChooser(std::vector<std::string> displayNames) : m_names(std::move(displayNames)) {}

    // The index, or none with error() saying why (no match, several matches,
    // index out of range).
    std::optional<std::size_t> choose(const std::string& what);
    const std::string& error() const { return m_error; }

private:
    std::vector<std::string> m_names;
    std::string m_error;
};
