// The string-table reader on any bytes: it must stay inside them and report
// problems on lines that exist. The same bytes, cut at NUL bytes into
// key/text pairs and written out as a JSON table, must read back as exactly
// those entries.

#include "platform/base/StringTable.h"
#include "tests/fuzz/FuzzCheck.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using mirelo::platform::StringTable;

void checkHostileBytes(const std::uint8_t* data, std::size_t size)
{
    const StringTable table = StringTable::parse(data, size);
    const std::size_t lines = 1 + static_cast<std::size_t>(std::count(data, data + size, '\n'));
    for (const StringTable::Problem& problem : table.problems()) {
        FUZZ_CHECK(problem.line <= lines);
        FUZZ_CHECK(!problem.message.empty());
    }
}

// Whether JSON can carry the text: it must be UTF-8.
bool writable(const std::string& text)
{
    try {
        static_cast<void>(nlohmann::json(text).dump());
        return true;
    } catch (const nlohmann::json::type_error&) {
        return false;
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
    nlohmann::ordered_json expected = nlohmann::ordered_json::object();
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
        if (writable(fields[i]) && writable(fields[i + 1])) {
            expected[fields[i]] = fields[i + 1];
        }
    }
    const StringTable table = StringTable::parse("/* written by the fuzzer */\n" + expected.dump(2) + "\n");
    FUZZ_CHECK(table.problems().empty());
    FUZZ_CHECK(table.size() == expected.size());
    for (const auto& [key, value] : expected.items()) {
        const std::string* found = table.find(key);
        FUZZ_CHECK(found != nullptr && *found == value.get<std::string>());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    checkHostileBytes(data, size);
    checkWrittenTable(data, size);
    return 0;
}
