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
#include <vector>

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

    // The text of `key` in table `table` (file "<table>.json", after the
    // tables of the preferred languages below); when no table has an entry,
    // `defaultValue` if given, else the key itself. Tables are read once, on
    // first use. Thread-safe.
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

// The languages whose tables answer first, most preferred first, as locale
// names ("de_DE", "de"): table "T" answers from "T_de_DE.json", then
// "T_de.json", then "T.json", entry by entry. None unless a front end sets
// them: the window sets the session's, while the command-line tool stays in
// English for the scripts that read it. A name of anything but letters,
// digits and '_' is left out.
void setPreferredLanguages(const std::vector<std::string>& languages);
std::vector<std::string> preferredLanguages();

// For tests: make mainBundle() return `bundle` (null: "no main bundle") until
// clearMainBundleOverride(). The caller keeps ownership.
void overrideMainBundle(const Bundle* bundle);
void clearMainBundleOverride();

} // namespace mirelo::platform
