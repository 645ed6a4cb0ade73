#include "platform/base/StringTable.h"

#include "platform/base/WholeFile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <set>
#include <system_error>

namespace mirelo::platform {

namespace {

using Json = nlohmann::json;

// Bounds the memory a hostile file can make us spend on diagnostics.
constexpr std::size_t kMaxProblems = 100;

// A key as JSON writes it: quoted, control characters escaped.
std::string shown(const std::string& key)
{
    return Json(key).dump(-1, ' ', false, Json::error_handler_t::replace);
}

// What the parser says, without the bytes it last read.
std::string reasonOf(const Json::exception& error)
{
    // "[json.exception.parse_error.101] parse error at line 2, column 7: syntax error ...; last read: ..."
    std::string_view text = error.what();
    if (const std::size_t at = text.find("] "); at != std::string_view::npos) {
        text.remove_prefix(at + 2);
    }
    if (const std::size_t at = text.find(": "); text.starts_with("parse error") && at != std::string_view::npos) {
        text.remove_prefix(at + 2); // the line is the table's own
    }
    return std::string(text.substr(0, text.find("; last read")));
}

} // namespace

void StringTable::note(std::size_t line, std::string message)
{
    if (m_problems.size() < kMaxProblems) {
        m_problems.push_back({line, std::move(message)});
    } else if (m_problems.size() == kMaxProblems) {
        m_problems.push_back({line, "further problems not listed"});
    }
}

StringTable StringTable::parse(const std::uint8_t* data, std::size_t size)
{
    return parse(std::string_view(reinterpret_cast<const char*>(data), size));
}

StringTable StringTable::parse(std::string_view text)
{
    StringTable table;
    std::set<std::string> keys;
    std::vector<std::string> duplicates;
    // Only the members of the one object are kept: whatever is nested deeper
    // is dropped as it is read, so hostile nesting costs no memory.
    const Json::parser_callback_t keepMembers = [&](int depth, Json::parse_event_t event, Json& parsed) {
        if (depth == 1 && event == Json::parse_event_t::key && !keys.insert(parsed.get<std::string>()).second) {
            duplicates.push_back(parsed.get<std::string>());
        }
        return depth <= 1;
    };
    Json document;
    try {
        document = Json::parse(text.begin(), text.end(), keepMembers, true, true);
    } catch (const Json::parse_error& error) {
        // byte counts from 1 and names the byte that stopped the reading.
        const std::size_t at = std::min<std::size_t>(error.byte == 0 ? 0 : error.byte - 1, text.size());
        const auto line = static_cast<std::size_t>(std::count(text.begin(), text.begin() + at, '\n')) + 1;
        table.note(line, reasonOf(error));
        return table;
    } catch (const Json::exception& error) {
        table.note(0, reasonOf(error)); // a number too large to hold, say
        return table;
    }
    if (!document.is_object()) {
        table.note(1, "a string table is one JSON object of \"key\": \"text\" members");
        return table;
    }
    for (const std::string& key : duplicates) {
        table.note(0, "duplicate key " + shown(key) + ": the later entry replaces the earlier one");
    }
    for (auto& [key, value] : document.items()) {
        if (value.is_string()) {
            table.m_entries.emplace(key, value.get<std::string>());
        } else {
            table.note(0, "the text of " + shown(key) + " is not a string; left out");
        }
    }
    return table;
}

StringTable StringTable::load(const std::filesystem::path& file)
{
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        return {};
    }
    std::vector<std::uint8_t> bytes;
    if (const FileRead read = readWholeFile(file, bytes, kMaxFileSize); !read.ok()) {
        StringTable failed;
        failed.note(0, "cannot read " + file.string() + ": " + read.reason);
        return failed;
    }
    return parse(bytes.data(), bytes.size());
}

const std::string* StringTable::find(std::string_view key) const
{
    const auto it = m_entries.find(key);
    return it == m_entries.end() ? nullptr : &it->second;
}

std::vector<std::string> StringTable::keys() const
{
    std::vector<std::string> keys;
    keys.reserve(m_entries.size());
    for (const auto& entry : m_entries) {
        keys.push_back(entry.first);
    }
    return keys;
}

} // namespace mirelo::platform
