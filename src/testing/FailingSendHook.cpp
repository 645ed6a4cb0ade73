// Linked into the test build of mirelo-updater-cli only, so that an end-to-end
// test can make the program meet a device that refuses a message: with
// MIRELO_TEST_FAIL_SEND=k:status, the k-th send that reaches the backend the
// program installs (the capture destination's, with --capture) returns the
// status and delivers nothing.
//
// The linker sends the program's calls of setActiveBackend here (--wrap, see
// CMakeLists.txt), and the backend installed while none is gets wrapped.
// Whatever the program stacks on top of it later sees the failure as the
// device's own.

#include "platform/midi/MidiBackend.h"
#include "testing/FailingBackend.h"
#include "testing/SendFailure.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <type_traits>

// setActiveBackend as MidiBackend.cpp defines it, and the hook, under the
// names the linker gives them: "__real_" and "__wrap_" before the mangled name.
void realSetActiveBackend(mirelo::midi::MidiBackend* backend) __asm__(
    "__real__ZN6mirelo4midi16setActiveBackendEPNS0_11MidiBackendE");
void hookedSetActiveBackend(mirelo::midi::MidiBackend* backend) __asm__(
    "__wrap__ZN6mirelo4midi16setActiveBackendEPNS0_11MidiBackendE");
static_assert(std::is_same_v<decltype(&mirelo::midi::setActiveBackend), decltype(&realSetActiveBackend)>,
              "setActiveBackend changed: update its mangled name here and in CMakeLists.txt");

namespace {

using mirelo::midi::SendFailure;

std::optional<SendFailure> requestedFailure()
{
    const char* value = std::getenv(SendFailure::kVariable);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    std::optional<SendFailure> failure = SendFailure::parse(value);
    if (!failure) {
        std::fprintf(stderr, "%s=\"%s\" is not k:status (k from 1, a non-zero status); ignored\n",
                     SendFailure::kVariable, value);
    }
    return failure;
}

// Read before main, so that a malformed value is reported once, at the start.
const std::optional<SendFailure> s_failure = requestedFailure();
// The wrapper of the backend installed now; kept after the program goes back
// to the default backend, until the next one is installed.
std::unique_ptr<mirelo::midi::FailingBackend> s_wrapper;
bool s_installed = false;

} // namespace

void hookedSetActiveBackend(mirelo::midi::MidiBackend* backend)
{
    // The first backend installed stands for the device; what the program
    // stacks on it later goes in as it is.
    const bool first = backend != nullptr && !s_installed;
    s_installed = backend != nullptr;
    if (first && s_failure) {
        s_wrapper = std::make_unique<mirelo::midi::FailingBackend>(*backend, *s_failure);
        backend = s_wrapper.get();
    }
    realSetActiveBackend(backend);
}
