#include "cli/SyxReader.h"

#include "platform/base/SysExBytes.h"
#include "platform/base/WholeFile.h"

#include <cstdio>

namespace {

using mirelo::platform::kSysExEnd;
using mirelo::platform::kSysExStart;

std::string hexByte(std::uint8_t b)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(b));
    return text;
}

} // namespace

bool CSyxReader::fail(std::optional<std::size_t> offset, std::string what)
{
    m_bytes.clear();
    m_bytes.shrink_to_fit();
    m_count = 0;
    m_error = SError{offset, std::move(what)};
    return false;
}

bool CSyxReader::parse(const std::uint8_t* pData, std::size_t inSize)
{
    m_error.reset();
    m_bytes.assign(pData, pData + inSize);
    return check();
}

bool CSyxReader::readFile(const std::filesystem::path& path)
{
    m_error.reset();
    m_bytes.clear();
    if (const auto read = mirelo::platform::readWholeFile(path, m_bytes); !read.ok()) {
        return fail(std::nullopt, "cannot be read (" + read.reason + ")");
    }
    return check();
}

std::vector<std::uint8_t> CSyxReader::takeBytes()
{
    m_count = 0;
    return std::move(m_bytes);
}

bool CSyxReader::check()
{
    const std::uint8_t* pData = m_bytes.data();
    const std::size_t inSize = m_bytes.size();
    m_count = 0;
    std::size_t pos = 0;
    while (pos < inSize) {
        if (pData[pos] != kSysExStart) {
            return fail(pos, "byte " + hexByte(pData[pos]) + " stands outside any SysEx message (expected 0xF0)");
        }
        const std::size_t start = pos++;
        while (pos < inSize && pData[pos] < 0x80) {
            ++pos;
        }
        if (pos == inSize) {
            return fail(pos, "the SysEx message that starts at offset " + std::to_string(start) +
                                 " is truncated: the input ends before its 0xF7");
        }
        if (pData[pos] == kSysExStart) {
            return fail(pos, "the SysEx message that starts at offset " + std::to_string(start) +
                                 " is truncated: another 0xF0 comes before its 0xF7");
        }
        if (pData[pos] != kSysExEnd) {
            return fail(pos, "data byte " + hexByte(pData[pos]) + " in the SysEx message that starts at offset " +
                                 std::to_string(start) + " is above 0x7F");
        }
        const std::size_t size = pos + 1 - start;
        if (size > kMaxMessageSize) {
            return fail(start, "the SysEx message that starts here is " + std::to_string(size) +
                                   " bytes long; at most " + std::to_string(kMaxMessageSize) + " can be sent");
        }
        ++m_count;
        ++pos;
    }
    return true;
}

std::string CSyxReader::describeError(const std::string& fileName) const
{
    if (!m_error) {
        return fileName;
    }
    if (!m_error->offset) {
        return fileName + ": " + m_error->what;
    }
    char where[64];
    std::snprintf(where, sizeof where, "offset %zu (0x%zX)", *m_error->offset, *m_error->offset);
    return fileName + ": " + where + ": " + m_error->what;
}
