#pragma once
// The base types and general statuses of the OS API the core was written
// against, shared by every layer. A service's own statuses stay with it: the
// MIDI family in midi/MIDIServices.h, kMPTimeoutErr with the critical regions.

#include <cstdint>

using OSStatus = std::int32_t; // 0 is success
using Byte = std::uint8_t;
using ItemCount = unsigned long;
using ByteCount = unsigned long;

constexpr OSStatus noErr = 0;
constexpr OSStatus kParamErr = -50;
constexpr OSStatus kMemFullErr = -108;
constexpr OSStatus kUnimpErr = -4;
