// The string-table reader on any bytes: it must stay inside them and report
// problems on lines that exist. The same bytes, cut at NUL bytes into
// key/value pairs and written out as a table with every character that needs
// it escaped, must read back as exactly those entries.

#include "tests/fuzz/FuzzCheck.h"
#include "platform/StringTable.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using mirelo::platform::StringTable;

// Well-formed UTF-8: shortest forms, no surrogates, nothing past U+10FFFF.
bool isValidUtf8(const std::string& text)
{
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<std::uint8_t>(text[at]);
        std::size_t length = 1;
        std::uint32_t cp = lead;
        if (lead >= 0x80) {
            if ((lead & 0xE0) == 0xC0) {
                length = 2;
                cp = lead & 0x1F;
            } else if ((lead & 0xF0) == 0xE0) {
                length = 3;
                cp = lead & 0x0F;
            } else if ((lead & 0xF8) == 0xF0) {
                length = 4;
                cp = lead & 0x07;
            } else {
                return false;
            }
            if (at + length > text.size()) {
                return false;
            }
            for (std::size_t i = 1; i < length; ++i) {
                const auto next = static_cast<std::uint8_t>(text[at + i]);
                if ((next & 0xC0) != 0x80) {
                    return false;
                }
                cp = (cp << 6) | (next & 0x3F);
            }
            const std::uint32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
            if (cp < shortest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
                return false;
            }
        }
        at += length;
    }
    return true;
}

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default:
            if (static_cast<std::uint8_t>(c) < 0x20 && c != '\t') {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
                out += escape;
            } else {
                out.push_back(c);
            }
        }
    }
    return out + "\"";
}

void checkHostileBytes(const std::uint8_t* data, std::size_t size)
{
    const StringTable table = StringTable::parse(data, size);
    const std::size_t lines = 1 + static_cast<std::size_t>(std::count(data, data + size, '\n'));
    for (const StringTable::Problem& problem : table.problems()) {
        FUZZ_CHECK(problem.line >= 1 && problem.line <= lines);
        FUZZ_CHECK(!problem.message.empty());
    }
}

void checkWrittenTable(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> fields(1);
    for (std::size_t at = 0; at < size; ++at) {
        if (data[at] == 0) {
            fields.emplace_back();
        } else {
            fields.back().push_back(static_cast<char>(data[at]));
        }
    }
    std::map<std::string, std::string> expected;
    std::size_t duplicates = 0;
    std::string text = "/* written by the fuzzer */\n";
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
        const std::string& key = fields[i];
        const std::string& value = fields[i + 1];
        if (key.empty() || !isValidUtf8(key) || !isValidUtf8(value)) {
            continue;
        }
        duplicates += expected.count(key);
        expected[key] = value;
        text += quoted(key) + " = " + quoted(value) + ";\n";
    }
    const StringTable table = StringTable::parse(text);
    FUZZ_CHECK(table.problems().size() == std::min<std::size_t>(duplicates, 101));
    FUZZ_CHECK(table.size() == expected.size());
    for (const auto& [key, value] : expected) {
        const std::string* found = table.find(key);
        FUZZ_CHECK(found != nullptr && *found == value);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    checkHostileBytes(data, size);
    checkWrittenTable(data, size);
    return 0;
}
