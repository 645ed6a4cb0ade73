#include "platform/StringTable.h"

#include <fstream>
#include <system_error>

namespace mirelo::platform {

namespace {

// Bounds the memory a hostile file can make us spend on diagnostics.
constexpr std::size_t kMaxProblems = 100;

bool isSpace(std::uint8_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

int hexValue(std::uint8_t c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

void appendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

class StringTableParser {
public:
    StringTableParser(const std::uint8_t* data, std::size_t size, StringTable& table)
        : m_data(data), m_size(size), m_table(table)
    {
    }

    void run()
    {
        if (m_size >= 3 && m_data[0] == 0xEF && m_data[1] == 0xBB && m_data[2] == 0xBF) {
            m_pos = 3;
        }
        for (;;) {
            std::string error;
            if (!skipBlanks(error)) {
                note(m_line, error);
                return;
            }
            if (atEnd()) {
                return;
            }
            const std::size_t entryLine = m_line;
            if (!readEntry(error)) {
                note(m_line, error);
                // An entry left unfinished at the end of its line ("a" = "1" with no
                // ';') must not cost the next line's entry as well.
                if (m_line == entryLine) {
                    skipRestOfLine();
                }
            }
        }
    }

private:
    bool atEnd() const { return m_pos >= m_size; }
    std::uint8_t peek(std::size_t ahead = 0) const { return m_data[m_pos + ahead]; }
    bool has(std::size_t count) const { return m_size - m_pos >= count; }

    void note(std::size_t line, std::string message)
    {
        auto& problems = m_table.m_problems;
        if (problems.size() < kMaxProblems) {
            problems.push_back({line, std::move(message)});
        } else if (problems.size() == kMaxProblems) {
            problems.push_back({line, "further problems not listed"});
        }
    }

    void advance()
    {
        if (peek() == '\n') {
            ++m_line;
        }
        ++m_pos;
    }

    void skipRestOfLine()
    {
        while (!atEnd() && peek() != '\n') {
            ++m_pos;
        }
    }

    // Whitespace and comments. False only for a comment that never ends.
    bool skipBlanks(std::string& error)
    {
        while (!atEnd()) {
            const std::uint8_t c = peek();
            if (isSpace(c)) {
                advance();
            } else if (c == '/' && has(2) && peek(1) == '/') {
                skipRestOfLine();
            } else if (c == '/' && has(2) && peek(1) == '*') {
                const std::size_t startLine = m_line;
                m_pos += 2;
                while (!(has(2) && peek() == '*' && peek(1) == '/')) {
                    if (atEnd()) {
                        error = "comment opened on line " + std::to_string(startLine) + " never closes";
                        return false;
                    }
                    advance();
                }
                m_pos += 2;
            } else {
                return true;
            }
        }
        return true;
    }

    bool expect(std::uint8_t wanted, const char* what, std::string& error)
    {
        if (!skipBlanks(error)) {
            return false;
        }
        if (atEnd() || peek() != wanted) {
            error = std::string("expected ") + what;
            return false;
        }
        ++m_pos;
        return true;
    }

    bool readEntry(std::string& error)
    {
        const std::size_t line = m_line;
        std::string key;
        std::string value;
        if (!readQuoted(key, "key", error)) {
            return false;
        }
        if (key.empty()) {
            error = "empty key";
            return false;
        }
        if (!expect('=', "'=' after the key", error) || !skipBlanks(error) || !readQuoted(value, "value", error)
            || !expect(';', "';' after the value", error)) {
            return false;
        }
        auto [it, inserted] = m_table.m_entries.try_emplace(std::move(key), value);
        if (!inserted) {
            note(line, "duplicate key \"" + it->first + "\": this entry replaces the earlier one");
            it->second = std::move(value);
        }
        return true;
    }

    bool readQuoted(std::string& out, const char* what, std::string& error)
    {
        if (atEnd() || peek() != '"') {
            error = std::string("expected a quoted ") + what;
            return false;
        }
        ++m_pos;
        for (;;) {
            if (atEnd()) {
                error = std::string("the ") + what + " has no closing quote";
                return false;
            }
            const std::uint8_t c = peek();
            if (c == '"') {
                ++m_pos;
                return true;
            }
            if (c == '\\') {
                if (!readEscape(out, error)) {
                    return false;
                }
            } else if (c == '\n' || c == '\r') {
                error = std::string("line break inside the ") + what + " (write \\n)";
                return false;
            } else if (c < 0x20 && c != '\t') {
                error = std::string("control character inside the ") + what;
                return false;
            } else if (c < 0x80) {
                out.push_back(static_cast<char>(c));
                ++m_pos;
            } else if (!readUtf8(out)) {
                error = std::string("invalid UTF-8 inside the ") + what;
                return false;
            }
        }
    }

    bool readEscape(std::string& out, std::string& error)
    {
        ++m_pos; // the backslash
        if (atEnd()) {
            error = "backslash at the end of the text";
            return false;
        }
        const std::uint8_t c = peek();
        ++m_pos;
        switch (c) {
        case '"': out.push_back('"'); return true;
        case '\\': out.push_back('\\'); return true;
        case 'n': out.push_back('\n'); return true;
        case 't': out.push_back('\t'); return true;
        case 'r': out.push_back('\r'); return true;
        case 'u':
        case 'U': {
            std::uint32_t cp = 0;
            for (int i = 0; i < 4; ++i) {
                const int digit = atEnd() ? -1 : hexValue(peek());
                if (digit < 0) {
                    error = "\\u needs four hex digits";
                    return false;
                }
                cp = cp * 16 + static_cast<std::uint32_t>(digit);
                ++m_pos;
            }
            if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) {
                error = "\\u names no character that a table may hold";
                return false;
            }
            appendUtf8(out, cp);
            return true;
        }
        default:
            // Step back so that a line break after the backslash still ends the line.
            --m_pos;
            error = "unknown escape";
            return false;
        }
    }

    // One well-formed UTF-8 sequence of two to four bytes: no overlong forms,
    // no surrogates, nothing above U+10FFFF.
    bool readUtf8(std::string& out)
    {
        const std::uint8_t lead = peek();
        std::size_t length = 0;
        std::uint32_t cp = 0;
        std::uint32_t minimum = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            cp = lead & 0x1Fu;
            minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            cp = lead & 0x0Fu;
            minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            cp = lead & 0x07u;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (!has(length)) {
            return false;
        }
        for (std::size_t i = 1; i < length; ++i) {
            const std::uint8_t next = peek(i);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (next & 0x3Fu);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        out.append(reinterpret_cast<const char*>(m_data + m_pos), length);
        m_pos += length;
        return true;
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
    std::size_t m_line = 1;
    StringTable& m_table;
};

StringTable StringTable::parse(const std::uint8_t* data, std::size_t size)
{
    StringTable table;
    if (data != nullptr && size != 0) {
        StringTableParser(data, size, table).run();
    }
    return table;
}

StringTable StringTable::parse(std::string_view text)
{
    return parse(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

StringTable StringTable::load(const std::filesystem::path& file)
{
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        return {};
    }
    StringTable failed;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        failed.m_problems.push_back({0, "cannot open " + file.string()});
        return failed;
    }
    // Read one byte past the limit rather than trusting the size on disk.
    std::string bytes(kMaxFileSize + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        failed.m_problems.push_back({0, "cannot read " + file.string()});
        return failed;
    }
    const auto count = static_cast<std::size_t>(in.gcount());
    if (count > kMaxFileSize) {
        failed.m_problems.push_back({0, file.string() + " is larger than a string table may be"});
        return failed;
    }
    bytes.resize(count);
    return parse(bytes);
}

const std::string* StringTable::find(std::string_view key) const
{
    const auto it = m_entries.find(key);
    return it == m_entries.end() ? nullptr : &it->second;
}

} // namespace mirelo::platform
