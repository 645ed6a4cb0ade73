#pragma once
// A failing send that a test asks of a child process through its environment:
// MIRELO_TEST_FAIL_SEND="k:status" fails the k-th send with that status. Only
// the test build of mirelo-updater-cli reads it (CliTestHooks.cpp); the
// programs that ship know nothing of it.

#include "platform/base/MacTypes.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace mirelo::midi {

struct SendFailure {
    static constexpr const char* kVariable = "MIRELO_TEST_FAIL_SEND";

    std::size_t sendNumber; // from 1
    OSStatus status;        // never noErr

    // The failure the text asks for: exactly "k:status" in decimal, k from 1
    // and a status other than 0; nullopt for anything else.
    static std::optional<SendFailure> parse(std::string_view text);
};

} // namespace mirelo::midi
