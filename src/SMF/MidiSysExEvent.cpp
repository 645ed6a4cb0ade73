#include "SMF/MidiSysExEvent.h"

#include "SMF/SMFAssert.h"
#include "SMF/SMFUtil.h"

uint32_t CMidiSysExEvent::getType() const
{
    return (m_size > 0 && m_param[0] == 0xF0) ? kTypeSysEx1 : kTypeSysEx2;
}

void CMidiSysExEvent::setParam(const uint8_t* inParam, uint32_t inSize)
{
    SMF_ASSERT(nullptr != inParam);
    replaceParamBytes(m_param, m_size, nullptr, inParam, inSize);
}

void CMidiSysExEvent::setParamWithLead(uint8_t inLead, const uint8_t* inParam, uint32_t inSize)
{
    SMF_ASSERT(nullptr != inParam);
    replaceParamBytes(m_param, m_size, &inLead, inParam, inSize);
}

uint32_t CMidiSysExEvent::getSizeBytes() const
{
    return getVariableValSize(m_size);
}
