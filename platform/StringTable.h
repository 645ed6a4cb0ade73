#pragma once
// A string table: the key/value text of one ".strings" resource file.
//
// The format is the classic one, in UTF-8:
//
//     /* comment */            // comment to the end of the line
//     "key" = "value";
//
// Inside quotes: \" \\ \n \t \r and \uXXXX (also \UXXXX), a code point in
// four hex digits written out as UTF-8. A raw line break or other control
// character inside quotes is an error (write \n), as are invalid UTF-8, NUL and
// surrogate code points. A later entry for a key replaces the earlier one.
//
// Parsing never fails as a whole: a malformed entry is skipped up to the end of
// its line and noted in problems(), and the rest of the text is still read.

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
        std::size_t line; // 1-based
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
    const std::vector<Problem>& problems() const { return m_problems; }

private:
    friend class StringTableParser;

    std::map<std::string, std::string, std::less<>> m_entries;
    std::vector<Problem> m_problems;
};

} // namespace mirelo::platform
