#pragma once
// How the commands' --help names their arguments, and so how the manual page
// made from it does: an option's argument by the name the command gives it
// (or its type when it gives none), a positional by its own name alone. What
// an option needs or excludes is said in its description; whether an argument
// is required shows in the usage line. CLI11 would print its own words
// instead ("FILE TEXT REQUIRED", "Excludes: --schedule").

#include <CLI/CLI.hpp>

#include <string>

class CHelpFormatter final : public CLI::Formatter {
public:
    std::string make_option_opts(const CLI::Option* option) const override;
    std::string make_option_desc(const CLI::Option* option) const override;
};
