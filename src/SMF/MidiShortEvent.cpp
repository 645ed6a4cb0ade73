#include "SMF/MidiShortEvent.h"

#include "SMF/SMFAssert.h"
#include "SMF/SMFUtil.h"

const CMidiShortEvent::SMsgInfo CMidiShortEvent::shortMsgInfo[kTypeMax] = {
    {0x80, 2}, // kTypeNoteOff
    {0x90, 2}, // kTypeNoteOn
    {0xA0, 2}, // kTypePolyPressure
    {0xB0, 2}, // kTypeControlChange
    {0xC0, 1}, // kTypeProgramChange
    {0xD0, 1}, // kTypeChannelPressure
    {0xE0, 2}, // kTypePitchBend
};

void CMidiShortEvent::setChannel(uint8_t inChannel)
{
    SMF_ASSERT(inChannel < 0x10);
    m_type = static_cast<uint8_t>((m_type & 0xF0u) | inChannel);
}

void CMidiShortEvent::setType(uint32_t inType)
{
    SMF_ASSERT(inType < kTypeMax);
    m_type = static_cast<uint8_t>(shortMsgInfo[inType].status | (m_type & 0x0Fu));
}

void CMidiShortEvent::setParam(const uint8_t* inParam, uint32_t inSize)
{
    SMF_ASSERT(nullptr != inParam);
    replaceParamBytes(m_param, m_size, nullptr, inParam, inSize);
}

uint32_t CMidiShortEvent::getType() const
{
    const uint8_t message = m_type & 0xF0u;
    for (uint32_t i = 0; i < kTypeMax; ++i) {
        if (shortMsgInfo[i].status == message) {
            return i;
        }
    }
    return kTypeMax;
}
