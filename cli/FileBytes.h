#pragma once
// Reads a whole file into memory, with the system's reason when it cannot.

#include <cstdint>
#include <string>
#include <vector>

// False with outError set to the system's reason (as strerror gives it).
bool readWholeFile(const std::string& inPath, std::vector<uint8_t>& outBytes, std::string& outError);
