#pragma once

#include "update/RunReport.h"

#include <cstdint>

namespace mirelo::test {

// How far a run got, as the transfer's control reports it.
inline SRunProgress progressOf(std::uint64_t reached, std::uint64_t total, std::uint64_t fileMs)
{
    SRunProgress progress;
    progress.reached = reached;
    progress.total = total;
    progress.fileMs = fileMs;
    return progress;
}

} // namespace mirelo::test
