#pragma once
// Precondition checks of the SMF library. Unlike <cassert> they stay in every
// build type: a broken precondition means the caller's own data is already
// wrong, and carrying on would read or write memory that is not ours.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace smf_detail {

// "/src/SMF/MidiTrack.cpp" -> "SMF/MidiTrack", the name the messages use.
inline void printSourceName(const char* inPath)
{
    const char* start = inPath;
    for (const char* p = inPath; (p = std::strstr(p, "SMF/")) != nullptr; ++p) {
        start = p;
    }
    const char* dot = std::strrchr(start, '.');
    const int length = dot ? static_cast<int>(dot - start) : static_cast<int>(std::strlen(start));
    std::fprintf(stderr, "%.*s", length, start);
}

[[noreturn]] inline void assertionFailed(const char* inCondition, const char* inFile,
                                         unsigned inLine, const char* inFunction)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%s: ", program_invocation_short_name);
    printSourceName(inFile);
    std::fprintf(stderr, ":%u: %s: Assertion `%s' failed.\n", inLine, inFunction, inCondition);
    std::fflush(stderr);
    std::abort();
}

} // namespace smf_detail

#define SMF_ASSERT(cond)                                                                           \
    ((cond) ? static_cast<void>(0)                                                                 \
            : ::smf_detail::assertionFailed(#cond, __FILE__, __LINE__, __PRETTY_FUNCTION__))
