#include "SMF/MidiMetaEvent.h"

#include "SMF/SMFAssert.h"
#include "SMF/SMFUtil.h"

namespace {
constexpr uint8_t kSequencerSpecificLead0 = 0x43;
constexpr uint8_t kSequencerSpecificLead1 = 0x7B;
constexpr uint8_t kChordMark = 0x01;
constexpr uint8_t kRehearsalMark = 0x02;
} // namespace

void CMidiMetaEvent::setType(uint32_t inType)
{
    SMF_ASSERT(inType < kTypeMax);
    m_type = sMsgType[inType];
}

uint32_t CMidiMetaEvent::getType() const
{
    for (uint32_t i = 0; i < kTypeMax; ++i) {
        if (sMsgType[i] == m_type) {
            return i;
        }
    }
    return kTypeMax;
}

void CMidiMetaEvent::setParam(const uint8_t* inParam, uint32_t inSize)
{
    SMF_ASSERT(nullptr != inParam);
    replaceParamBytes(m_param, m_size, nullptr, inParam, inSize);
}

uint32_t CMidiMetaEvent::getSizeBytes() const
{
    return getVariableValSize(m_size);
}

bool CMidiMetaEvent::isChordEventData() const
{
    return m_size >= 3 && m_param[0] == kSequencerSpecificLead0 &&
           m_param[1] == kSequencerSpecificLead1 && m_param[2] == kChordMark;
}

bool CMidiMetaEvent::isRehearsalMarkEventData() const
{
    return m_size >= 3 && m_param[0] == kSequencerSpecificLead0 &&
           m_param[1] == kSequencerSpecificLead1 && m_param[2] == kRehearsalMark;
}
