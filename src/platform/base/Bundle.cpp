#include "platform/base/Bundle.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace mirelo::platform {

namespace {

// A plain file name: no folders, nothing that climbs out of the bundle.
bool isPlainName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

bool isFolder(const fs::path& path)
{
    std::error_code ec;
    return fs::is_directory(path, ec);
}

#ifdef MIRELO_BUILD_TREE_DIR
// True when `folder` is `tree` or lies below it, after resolving symbolic links.
bool isWithin(const fs::path& folder, const fs::path& tree)
{
    std::error_code ec;
    const fs::path inner = fs::weakly_canonical(folder, ec);
    if (ec) {
        return false;
    }
    const fs::path outer = fs::weakly_canonical(tree, ec);
    if (ec) {
        return false;
    }
    auto innerPart = inner.begin();
    for (const fs::path& part : outer) {
        if (part.empty()) {
            continue; // the trailing "" of a path that ends in a separator
        }
        if (innerPart == inner.end() || *innerPart != part) {
            return false;
        }
        ++innerPart;
    }
    return true;
}
#endif

std::optional<fs::path> executableFolder()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) {
        return std::nullopt;
    }
    return exe.parent_path();
}

// A language name that can only ever make a plain table name.
bool isLanguageName(std::string_view name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

struct PreferredLanguages {
    std::mutex mutex;
    std::vector<std::string> names;
};

PreferredLanguages& preferredLanguagesState()
{
    static PreferredLanguages state;
    return state;
}

struct MainBundleState {
    std::mutex mutex;
    bool searched = false;
    std::unique_ptr<Bundle> found;
    bool overridden = false;
    const Bundle* override = nullptr;
};

MainBundleState& mainBundleState()
{
    static MainBundleState state;
    return state;
}

} // namespace

Bundle::Bundle(fs::path resourcePath) : m_resourcePath(std::move(resourcePath)) {}

std::optional<fs::path> Bundle::pathForResource(std::string_view name) const
{
    if (!isPlainName(name)) {
        return std::nullopt;
    }
    fs::path path = m_resourcePath / fs::path(std::string(name));
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        return std::nullopt;
    }
    return path;
}

std::string Bundle::localizedString(std::string_view key, std::optional<std::string_view> defaultValue,
                                    std::string_view table) const
{
    for (const std::string& language : preferredLanguages()) {
        if (const std::string* text = tableNamed(std::string(table) + "_" + language).find(key)) {
            return *text;
        }
    }
    if (const std::string* text = tableNamed(table).find(key)) {
        return *text;
    }
    return std::string(defaultValue ? *defaultValue : key);
}

const StringTable& Bundle::tableNamed(std::string_view table) const
{
    std::lock_guard lock(m_mutex);
    if (auto it = m_tables.find(table); it != m_tables.end()) {
        return it->second;
    }
    StringTable loaded;
    const std::string fileName = std::string(table) + ".json";
    if (isPlainName(table)) {
        loaded = StringTable::load(m_resourcePath / fileName);
        for (const auto& problem : loaded.problems()) {
            const std::string where = problem.line == 0 ? fileName : fileName + ":" + std::to_string(problem.line);
            std::fprintf(stderr, "%s: %s\n", where.c_str(), problem.message.c_str());
        }
    }
    return m_tables.emplace(std::string(table), std::move(loaded)).first->second;
}

std::optional<fs::path> Bundle::findResourcePath()
{
    if (const char* env = std::getenv("MIRELO_RESOURCES"); env != nullptr && *env != '\0') {
        if (isFolder(env)) {
            return fs::path(env);
        }
        std::fprintf(stderr, "MIRELO_RESOURCES names no folder: %s\n", env);
        return std::nullopt;
    }
    const auto exeFolder = executableFolder();
    if (exeFolder) {
        for (const fs::path& candidate : {*exeFolder / "resources", *exeFolder / ".." / "share" / "mirelo-updater"}) {
            if (isFolder(candidate)) {
                return candidate.lexically_normal();
            }
        }
    }
#ifdef MIRELO_BUILD_TREE_DIR
    // Only a program inside the build tree falls back to the tree's copy: an
    // installed or unpacked one that lost its own resources must say so, not
    // quietly send whatever update file a checkout on this machine holds.
    if (exeFolder && isWithin(*exeFolder, MIRELO_BUILD_TREE_DIR) && isFolder(MIRELO_BUILD_RESOURCES_DIR)) {
        return fs::path(MIRELO_BUILD_RESOURCES_DIR);
    }
#endif
    return std::nullopt;
}

const Bundle* mainBundle()
{
    MainBundleState& state = mainBundleState();
    std::lock_guard lock(state.mutex);
    if (state.overridden) {
        return state.override;
    }
    if (!state.searched) {
        state.searched = true;
        if (auto path = Bundle::findResourcePath()) {
            state.found = std::make_unique<Bundle>(std::move(*path));
        }
    }
    return state.found.get();
}

void setPreferredLanguages(const std::vector<std::string>& languages)
{
    std::vector<std::string> names;
    std::copy_if(languages.begin(), languages.end(), std::back_inserter(names), isLanguageName);
    PreferredLanguages& state = preferredLanguagesState();
    std::lock_guard lock(state.mutex);
    state.names = std::move(names);
}

std::vector<std::string> preferredLanguages()
{
    PreferredLanguages& state = preferredLanguagesState();
    std::lock_guard lock(state.mutex);
    return state.names;
}

void overrideMainBundle(const Bundle* bundle)
{
    MainBundleState& state = mainBundleState();
    std::lock_guard lock(state.mutex);
    state.overridden = true;
    state.override = bundle;
}

void clearMainBundleOverride()
{
    MainBundleState& state = mainBundleState();
    std::lock_guard lock(state.mutex);
    state.overridden = false;
    state.override = nullptr;
}

} // namespace mirelo::platform
