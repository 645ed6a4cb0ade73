// Linked into the test build of mirelo-updater-cli only, so that an end-to-end
// test can stage what a real MIDI system would bring, through the environment:
//   MIRELO_TEST_FAIL_SEND=k:status   the k-th send that reaches the backend the
//       program installs (the capture destination's, with --capture) returns
//       the status and delivers nothing, as a device that refuses a message
//   MIRELO_VIRTUAL_INSTRUMENT=...    with MIRELO_MIDI_BACKEND=virtual, the
//       virtual backend holds the instrument VirtualInstrument.h describes
//
// The linker sends the program's calls of setActiveBackend here (--wrap, see
// CMakeLists.txt): the backend installed while none is gets wrapped, and
// going back to none goes back to the instrument's backend.

#include "platform/midi/MidiBackend.h"
#include "testing/ControlledVirtualBackend.h"
#include "testing/FailingBackend.h"
#include "testing/SendFailure.h"
#include "testing/VirtualInstrument.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>
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

// The virtual backend the program would choose, with the instrument in it;
// null unless both variables ask for it.
std::unique_ptr<mirelo::midi::ControlledVirtualBackend> instrumentBackend()
{
    const char* chosen = std::getenv("MIRELO_MIDI_BACKEND");
    const char* instrument = std::getenv(mirelo::midi::VirtualInstrument::kVariable);
    if (chosen == nullptr || std::string_view(chosen) != "virtual" || instrument == nullptr || *instrument == '\0') {
        return nullptr;
    }
    auto backend = std::make_unique<mirelo::midi::ControlledVirtualBackend>();
    mirelo::midi::VirtualInstrument::addFromEnvironment(*backend);
    return backend;
}

// Read before main, so that a malformed value is reported once, at the start.
const std::optional<SendFailure> s_failure = requestedFailure();
// Lives until exit, as the program's own choice of backend does.
mirelo::midi::ControlledVirtualBackend* const s_instrumentBackend = instrumentBackend().release();
[[maybe_unused]] const bool s_instrumentInstalled = [] {
    realSetActiveBackend(s_instrumentBackend);
    return true;
}();
// The wrapper of the backend installed now; kept after the program goes back
// to none, until the next one is installed.
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
    realSetActiveBackend(backend != nullptr ? backend : s_instrumentBackend);
}
