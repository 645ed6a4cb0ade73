#pragma once
// A string table: one JSON resource file, an object that maps each key to its
// text, in UTF-8:
//
//     /* comment */
//     {
//         "-50": "A value passed to the system was not valid.",
//         "-108": "There is not enough memory."
//     }
//
// Comments (/* */ and //) may stand anywhere white space may. Text that is not
// such an object gives an empty table and one problem on the line where
// reading stopped; a member whose value is not a string is left out and noted,
// and of two members with one key the later replaces the earlier, noted too.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace mirelo::platform {

class StringTable {
public:
    struct Problem {
        std::size_t line; // 1-based; 0 when the problem has no one line
        std::string message;
    };

    // Files larger than this are refused unread: a table is a few kilobytes.
    static constexpr std::size_t kMaxFileSize = 1u << 20;

    // Reads any bytes; never reads outside [data, data + size).
    static StringTable parse(const std::uint8_t* data, std::size_t size);
    static StringTable parse(std::string_view text);

    // A missing file gives an empty table with no problems; an unreadable or
    // oversized one gives an empty table with one problem (line 0).
    static StringTable load(const std::filesystem::path& file);

    // Null when the key has no entry.
    const std::string* find(std::string_view key) const;
    std::size_t size() const { return m_entries.size(); }
    // In order; what a translated table is checked against.
    std::vector<std::string> keys() const;
    const std::vector<Problem>& problems() const { return m_problems; }

private:
    void note(std::size_t line, std::string message);

    std::map<std::string, std::string, std::less<>> m_entries;
    std::vector<Problem> m_problems;
};

} // namespace mirelo::platform
