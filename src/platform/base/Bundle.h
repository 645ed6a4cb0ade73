#pragma once
// The application's resource folder: the bundled update file and the string
// tables. The main bundle is the first of these folders that exists:
//
//   1. $MIRELO_RESOURCES, when set and not empty (and then only that one);
//   2. "resources" beside the executable;
//   3. "../share/mirelo-updater" from the executable's folder (installed);
//   4. the build tree's resources folder, compiled in, for programs run from
//      inside the build tree only.
//
// When none exists there is no main bundle, and callers must cope with that.

#include "platform/base/StringTable.h"

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace mirelo::platform {

class Bundle {
public:
    explicit Bundle(std::filesystem::path resourcePath);

    ~Bundle() = default;
    Bundle(const Bundle&) = delete;
    Bundle& operator=(const Bundle&) = delete;

    const std::filesystem::path& resourcePath() const { return m_resourcePath; }

    // `name` with its extension ("mirelo updater.dat"). None when no regular
    // file of that name lies directly in the folder.
    std::optional<std::filesystem::path> pathForResource(std::string_view name) const;

    // The text of `key` in table `table` (file "<table>.json"); when the
    // table has no entry, `defaultValue` if given, else the key itself. Tables
    // are read once, on first use. Thread-safe.
    std::string localizedString(std::string_view key, std::optional<std::string_view> defaultValue,
                                std::string_view table) const;

    // Where the main bundle would be found now, following the order above.
    static std::optional<std::filesystem::path> findResourcePath();

private:
    const StringTable& tableNamed(std::string_view table) const;

    std::filesystem::path m_resourcePath;
    mutable std::mutex m_mutex;
    mutable std::map<std::string, StringTable, std::less<>> m_tables;
};

// The application's bundle, found on first use; null when there is none.
const Bundle* mainBundle();

// For tests: make mainBundle() return `bundle` (null: "no main bundle") until
// clearMainBundleOverride(). The caller keeps ownership.
void overrideMainBundle(const Bundle* bundle);
void clearMainBundleOverride();

} // namespace mirelo::platform
