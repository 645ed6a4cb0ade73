#include "MidiSysExEvent.h"

#include <cstring>

#include "SMFAssert.h"
#include "SMFUtil.h"

uint32_t CMidiSysExEvent::getType() const
{
    return (m_size > 0 && m_param[0] == 0xF0) ? kTypeSysEx1 : kTypeSysEx2;
}

void CMidiSysExEvent::setParam(const uint8_t* inParam, uint32_t inSize)
{
    SMF_ASSERT(0 != inParam);
    uint8_t* param = new uint8_t[inSize];
    std::memcpy(param, inParam, inSize);
    delete[] m_param;
    m_param = param;
    m_size = inSize;
}

void CMidiSysExEvent::setParamWithLead(uint8_t inLead, const uint8_t* inParam, uint32_t inSize)
{
    SMF_ASSERT(0 != inParam);
    uint8_t* param = new uint8_t[inSize + 1];
    param[0] = inLead;
    std::memcpy(param + 1, inParam, inSize);
    delete[] m_param;
    m_param = param;
    m_size = inSize + 1;
}

void CMidiSysExEvent::clearParam()
{
    delete[] m_param;
    m_param = nullptr;
    m_size = 0;
}

uint32_t CMidiSysExEvent::getSizeBytes() const
{
    return getVariableValSize(m_size);
}
