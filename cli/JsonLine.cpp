#include "cli/JsonLine.h"

#include <charconv>

namespace {

void appendNumber(std::string& ioOut, uint64_t inValue)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof(digits), inValue);
    ioOut.append(digits, result.ptr);
}

void appendEscaped(std::string& ioOut, std::string_view inText)
{
    static const char kHex[] = "0123456789abcdef";
    for (const char c : inText) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            ioOut += '\\';
            ioOut += c;
        } else if (u < 0x20) {
            ioOut += "\\u00";
            ioOut += kHex[u >> 4];
            ioOut += kHex[u & 0xF];
        } else {
            ioOut += c;
        }
    }
}

} // namespace

void CJsonLine::key(std::string_view inKey)
{
    m_text += m_text.empty() ? "{\"" : ",\"";
    appendEscaped(m_text, inKey);
    m_text += "\":";
}

CJsonLine& CJsonLine::add(std::string_view inKey, uint64_t inValue)
{
    key(inKey);
    appendNumber(m_text, inValue);
    return *this;
}

CJsonLine& CJsonLine::add(std::string_view inKey, std::string_view inValue)
{
    key(inKey);
    m_text += '"';
    appendEscaped(m_text, inValue);
    m_text += '"';
    return *this;
}

CJsonLine& CJsonLine::addBytes(std::string_view inKey, const uint8_t* pBytes, uint32_t inCount)
{
    key(inKey);
    m_text += '[';
    for (uint32_t i = 0; i < inCount; ++i) {
        if (i > 0) {
            m_text += ',';
        }
        appendNumber(m_text, pBytes[i]);
    }
    m_text += ']';
    return *this;
}

std::string CJsonLine::str() const
{
    std::string out;
    appendTo(out);
    return out;
}

void CJsonLine::appendTo(std::string& ioOut) const
{
    ioOut += m_text.empty() ? "{" : m_text;
    ioOut += "}\n";
}
