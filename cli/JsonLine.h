#pragma once
// Builds one JSON object on one line, keys in the order they are added, no
// spaces: the machine-readable output of the CLI's commands.

#include <cstdint>
#include <string>
#include <string_view>

class CJsonLine {
public:
    CJsonLine& add(std::string_view inKey, uint64_t inValue);
    CJsonLine& add(std::string_view inKey, std::string_view inValue);
    CJsonLine& addBytes(std::string_view inKey, const uint8_t* pBytes, uint32_t inCount);

    // The object with its closing brace and a newline.
    std::string str() const;
    // Appends the finished line to ioOut, which saves a copy per line.
    void appendTo(std::string& ioOut) const;

private:
    void key(std::string_view inKey);

    std::string m_text;
};
