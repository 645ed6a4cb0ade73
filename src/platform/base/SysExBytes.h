#pragma once
// The status bytes that open and close a System Exclusive message, for every
// layer that reads or writes one. (The SMF library names the file format's
// event lead bytes itself; it depends on nothing.)

#include <cstdint>

namespace mirelo::platform {

inline constexpr std::uint8_t kSysExStart = 0xF0;
inline constexpr std::uint8_t kSysExEnd = 0xF7;

} // namespace mirelo::platform
