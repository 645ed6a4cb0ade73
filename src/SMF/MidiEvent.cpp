#include "SMF/MidiEvent.h"

#include <cstring>

#include "SMF/SMFAssert.h"

CMidiEvent::CMidiEvent() : m_short(), m_type(kEventTypeNone), time(0) {}

CMidiEvent::~CMidiEvent()
{
    // Whatever the event type, the param lives at the same place in every payload.
    m_short.clearParam();
}

uint32_t CMidiEvent::GetShortEventType(uint8_t inStatus)
{
    // Rows are 0x80, 0x90 ... 0xE0 in order, so the high nibble is the row.
    const uint32_t message = inStatus >> 4;
    return (message >= 0x8 && message <= 0xE) ? message - 0x8 : CMidiShortEvent::kTypeMax;
}

namespace {
struct SMetaIndexTable {
    uint8_t index[256];
    constexpr SMetaIndexTable() : index()
    {
        for (auto& i : index) {
            i = CMidiMetaEvent::kTypeMax;
        }
        // Backwards, so the first position wins as a forward search would.
        for (uint32_t i = CMidiMetaEvent::kTypeMax; i > 0; --i) {
            index[CMidiMetaEvent::sMsgType[i - 1]] = static_cast<uint8_t>(i - 1);
        }
    }
};
constexpr SMetaIndexTable kMetaIndex;
} // namespace

uint32_t CMidiEvent::GetMetaEventType(uint8_t inType)
{
    return kMetaIndex.index[inType];
}

void CMidiEvent::setDataType(uint32_t inType)
{
    switch (m_type) {
    case kEventTypeMeta:
        m_meta.setType(inType);
        break;
    case kEventTypeShort:
        m_short.setType(inType);
        break;
    case kEventTypeSysEx:
        // Nothing reads it; it is kept only so the call is not lost silently.
        m_sysEx.setTypeByte(static_cast<uint8_t>(inType));
        break;
    default:
        break;
    }
}

uint32_t CMidiEvent::getDataType() const
{
    switch (m_type) {
    case kEventTypeShort:
        return m_short.getType();
    case kEventTypeSysEx:
        return m_sysEx.getType();
    case kEventTypeMeta:
        return m_meta.getType();
    default:
        return 0;
    }
}

uint32_t CMidiEvent::getDataSize() const
{
    switch (m_type) {
    case kEventTypeShort:
    case kEventTypeSysEx:
    case kEventTypeMeta:
        return m_short.getSize();
    default:
        return 0;
    }
}

void CMidiEvent::setDataParam(const uint8_t* inData, uint32_t inSize)
{
    SMF_ASSERT(nullptr != inData);
    switch (m_type) {
    case kEventTypeMeta:
        m_meta.setParam(inData, inSize);
        break;
    case kEventTypeSysEx:
        m_sysEx.setParam(inData, inSize);
        break;
    default:
        m_short.setParam(inData, inSize);
        break;
    }
}

void CMidiEvent::getDataParam(uint8_t* ioBuff) const
{
    SMF_ASSERT(nullptr != ioBuff);
    if (m_type >= kEventTypeShort && m_type <= kEventTypeMeta && m_short.getSize() > 0) {
        std::memcpy(ioBuff, m_short.getParam(), m_short.getSize());
    }
}

void CMidiEvent::resetEvent()
{
    switch (m_type) {
    case kEventTypeShort:
        m_short.clearParam();
        break;
    case kEventTypeSysEx:
        m_sysEx.clearParam();
        break;
    case kEventTypeMeta:
        m_meta.clearParam();
        break;
    default:
        SMF_ASSERT(false);
    }
}

const CMidiShortEvent* CMidiEvent::getShortData() const
{
    return m_type == kEventTypeShort ? &m_short : nullptr;
}

const CMidiMetaEvent* CMidiEvent::getMetaData() const
{
    return m_type == kEventTypeMeta ? &m_meta : nullptr;
}

const CMidiSysExEvent* CMidiEvent::getSysExData() const
{
    return m_type == kEventTypeSysEx ? &m_sysEx : nullptr;
}

CMidiShortEvent* CMidiEvent::getShortData()
{
    return m_type == kEventTypeShort ? &m_short : nullptr;
}

CMidiMetaEvent* CMidiEvent::getMetaData()
{
    return m_type == kEventTypeMeta ? &m_meta : nullptr;
}

CMidiSysExEvent* CMidiEvent::getSysExData()
{
    return m_type == kEventTypeSysEx ? &m_sysEx : nullptr;
}
