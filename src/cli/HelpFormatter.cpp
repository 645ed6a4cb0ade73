#include "cli/HelpFormatter.h"

#include <algorithm>
#include <set>
#include <vector>

namespace {

// "--a, --b" in name order: the sets are ordered by address.
std::string names(const std::set<CLI::Option*>& options)
{
    std::vector<std::string> list;
    list.reserve(options.size());
    for (const CLI::Option* option : options) {
        list.push_back(option->get_name());
    }
    std::sort(list.begin(), list.end());
    std::string text;
    for (const std::string& name : list) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

} // namespace

std::string CHelpFormatter::make_option_opts(const CLI::Option* option) const
{
    if (!option->get_option_text().empty()) {
        return " " + option->get_option_text();
    }
    if (option->nonpositional() && option->get_type_size() != 0 && !option->get_type_name().empty()) {
        return " " + get_label(option->get_type_name());
    }
    return {};
}

std::string CHelpFormatter::make_option_desc(const CLI::Option* option) const
{
    std::string description = option->get_description();
    if (!option->get_needs().empty()) {
        description += " (needs " + names(option->get_needs()) + ")";
    }
    if (!option->get_excludes().empty()) {
        description += " (not with " + names(option->get_excludes()) + ")";
    }
    return description;
}
