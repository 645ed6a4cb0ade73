#pragma once
// The one exception class of our own code: thrown by value when the instrument
// cannot be opened. It carries a classifying error code, the platform status
// behind it (0 when no platform call failed) and a file name.

#include <cstdint>
#include <exception>
#include <string>

namespace mstd {

class CGenericException : public std::exception {
public:
    CGenericException(std::int32_t inErrorCode, std::int32_t inOSErrorCode, const char* inFileName)
        : m_errorCode(inErrorCode), m_osErrorCode(inOSErrorCode), m_fileName(inFileName ? inFileName : "")
    {
    }
    ~CGenericException() override = default;

    virtual std::int32_t getErrorCode() const { return m_errorCode; }
    virtual std::int32_t getOSErrorCode() const { return m_osErrorCode; }
    virtual const std::string& getErrFileName() const { return m_fileName; }

private:
    std::int32_t m_errorCode;
    std::int32_t m_osErrorCode;
    std::string m_fileName;
};

} // namespace mstd
