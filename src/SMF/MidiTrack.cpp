#include "SMF/MidiTrack.h"

#include <algorithm>
#include <cstring>

#include "SMF/SMFAssert.h"
#include "SMF/SMFUtil.h"

namespace {

constexpr uint8_t kEndOfTrack[] = {0x00, 0xFF, 0x2F, 0x00};

CMidiEvent* newEvent(uint8_t inType, uint32_t inTime)
{
    CMidiEvent* e = new CMidiEvent;
    e->setType(inType);
    e->time = inTime;
    return e;
}

// Reads the length field of a meta or SysEx event at pBuff (inAvail bytes
// left) and checks that the data it announces is there too. Returns the
// field's byte count, or 0 when the event is malformed.
uint32_t fetchEventLength(const uint8_t* pBuff, uint32_t inAvail, uint32_t& outLength)
{
    uint32_t length = 0;
    const uint32_t fieldSize = fetchVariableVal(pBuff, inAvail, length);
    if (fieldSize == 0 || length > CMidiTrack::kMaxEventLength || length > inAvail - fieldSize) {
        return 0;
    }
    outLength = length;
    return fieldSize;
}

// The shared body of the two SysEx factories; pBuff is at the lead byte,
// which the caller has checked.
uint32_t newSysExData(CMidiEvent** ppEvt, uint32_t inTime, const uint8_t* pBuff, uint32_t buffSize,
                      bool inKeepLead)
{
    uint32_t length = 0;
    const uint32_t fieldSize = fetchEventLength(pBuff + 1, buffSize - 1, length);
    if (fieldSize == 0) {
        return kInvalidCount;
    }
    SMF_ASSERT(nullptr != ppEvt);
    CMidiEvent* e = newEvent(CMidiEvent::kEventTypeSysEx, inTime);
    const uint8_t* data = pBuff + 1 + fieldSize;
    if (inKeepLead) {
        e->getSysExData()->setParamWithLead(*pBuff, data, length);
    } else {
        e->getSysExData()->setParam(data, length);
    }
    *ppEvt = e;
    return 1 + fieldSize + length;
}

bool isRehearsalMark(const CMidiEvent* inEvent)
{
    const CMidiMetaEvent* meta = inEvent->getMetaData();
    return meta != nullptr && meta->getType() == CMidiMetaEvent::kTypeSequencerSpecific &&
           meta->isRehearsalMarkEventData();
}

} // namespace

CMidiTrack::CMidiTrack() : CChunk(kChunkTagTrack) {}

CMidiTrack::CMidiTrack(uint32_t inTag) : CChunk(inTag) {}

CMidiTrack::~CMidiTrack()
{
    reset(0);
}

uint32_t CMidiTrack::NewEventData(CMidiEvent** ppEvt, const uint8_t* pBuff, uint32_t buffSize,
                                  uint32_t inPrevTime, uint8_t inRunningStatus)
{
    SMF_ASSERT(nullptr != pBuff);
    uint32_t delta = 0;
    const uint32_t deltaSize = fetchVariableVal(pBuff, buffSize, delta);
    if (deltaSize == 0 || deltaSize >= buffSize) {
        return kInvalidCount;
    }
    const uint32_t time = inPrevTime + delta;
    const uint8_t* event = pBuff + deltaSize;
    const uint32_t left = buffSize - deltaSize;

    uint32_t taken = kInvalidCount;
    switch (*event) {
    case kEventHeaderSysEx1:
        taken = NewSysEx1Data(ppEvt, time, event, left);
        break;
    case kEventHeaderSysEx2:
        taken = NewSysEx2Data(ppEvt, time, event, left);
        break;
    case kEventHeaderMeta:
        taken = NewMetaEventData(ppEvt, time, event, left);
        break;
    default:
        taken = NewShortEventData(ppEvt, time, event, left, inRunningStatus);
        break;
    }
    return taken == kInvalidCount ? kInvalidCount : deltaSize + taken;
}

uint32_t CMidiTrack::NewMetaEventData(CMidiEvent** ppEvt, uint32_t inTime, const uint8_t* pBuff,
                                      uint32_t buffSize)
{
    SMF_ASSERT(nullptr != pBuff);
    SMF_ASSERT(0UL < buffSize);
    SMF_ASSERT(kEventHeaderMeta == *pBuff);
    if (buffSize < 3) {
        return kInvalidCount;
    }
    const uint8_t type = pBuff[1];
    uint32_t length = 0;
    const uint32_t fieldSize = fetchEventLength(pBuff + 2, buffSize - 2, length);
    if (fieldSize == 0) {
        return kInvalidCount;
    }
    SMF_ASSERT(nullptr != ppEvt);
    CMidiEvent* e = newEvent(CMidiEvent::kEventTypeMeta, inTime);
    CMidiMetaEvent* meta = e->getMetaData();
    meta->setTypeByte(type);
    meta->setParam(pBuff + 2 + fieldSize, length);
    *ppEvt = e;
    return 2 + fieldSize + length;
}

uint32_t CMidiTrack::NewSysEx1Data(CMidiEvent** ppEvt, uint32_t inTime, const uint8_t* pBuff,
                                   uint32_t buffSize)
{
    SMF_ASSERT(nullptr != pBuff);
    SMF_ASSERT(0UL < buffSize);
    SMF_ASSERT(kEventHeaderSysEx1 == *pBuff);
    // The param is the whole message, lead byte included, ready to be sent.
    return newSysExData(ppEvt, inTime, pBuff, buffSize, true);
}

uint32_t CMidiTrack::NewSysEx2Data(CMidiEvent** ppEvt, uint32_t inTime, const uint8_t* pBuff,
                                   uint32_t buffSize)
{
    SMF_ASSERT(nullptr != pBuff);
    SMF_ASSERT(0UL < buffSize);
    SMF_ASSERT(kEventHeaderSysEx2 == *pBuff);
    return newSysExData(ppEvt, inTime, pBuff, buffSize, false);
}

uint32_t CMidiTrack::NewShortEventData(CMidiEvent** ppEvt, uint32_t inTime, const uint8_t* pBuff,
                                       uint32_t buffSize, uint8_t inRunningStatus)
{
    SMF_ASSERT(nullptr != pBuff);
    SMF_ASSERT(0UL < buffSize);
    uint8_t status = *pBuff;
    uint32_t row = CMidiEvent::GetShortEventType(status);
    uint32_t statusSize = 1;
    if (row == CMidiShortEvent::kTypeMax) {
        status = inRunningStatus;
        row = CMidiEvent::GetShortEventType(status);
        statusSize = 0;
        if (row == CMidiShortEvent::kTypeMax) {
            return kInvalidCount; // a data byte with no running status to apply
        }
    }
    const uint32_t dataSize = CMidiShortEvent::shortMsgInfo[row].dataSize;
    if (dataSize > buffSize - statusSize) {
        return kInvalidCount;
    }
    SMF_ASSERT(nullptr != ppEvt);
    CMidiEvent* e = newEvent(CMidiEvent::kEventTypeShort, inTime);
    CMidiShortEvent* shortEvent = e->getShortData();
    shortEvent->setStatus(status);
    shortEvent->setParam(pBuff + statusSize, dataSize);
    *ppEvt = e;
    return statusSize + dataSize;
}

bool CMidiTrack::readChunkBody(const uint8_t* pBuff, uint32_t inSize)
{
    if (inSize == 0) {
        return true;
    }
    SMF_ASSERT(nullptr != pBuff);
    const size_t firstNew = m_events.size();
    uint32_t consumed = 0;
    uint32_t prevTime = 0;
    uint8_t runningStatus = 0;
    while (consumed < inSize) {
        CMidiEvent* e = nullptr;
        const uint32_t taken =
            NewEventData(&e, pBuff + consumed, inSize - consumed, prevTime, runningStatus);
        if (taken == kInvalidCount) {
            // A malformed body leaves the track as it was before this read.
            std::vector<CMidiEvent*> added(m_events.begin() + static_cast<std::ptrdiff_t>(firstNew),
                                           m_events.end());
            m_events.resize(firstNew);
            resetChunkData(added);
            return false;
        }
        if (isEndOfTrackEvent(e)) {
            e->resetEvent();
            delete e;
            break;
        }
        AddEvent(e);
        if (e->getType() == CMidiEvent::kEventTypeShort) {
            runningStatus = e->getShortData()->getStatus();
        }
        prevTime = e->time;
        consumed += taken;
    }
    return true;
}

uint32_t CMidiTrack::getChunkDataSize() const
{
    uint32_t size = 0;
    uint32_t prevTime = 0;
    for (const CMidiEvent* e : m_events) {
        size += getVariableValSize(e->time - prevTime);
        prevTime = e->time;
        switch (e->getType()) {
        case CMidiEvent::kEventTypeMeta: {
            const CMidiMetaEvent* meta = e->getMetaData();
            size += 2 + meta->getSizeBytes() + meta->getSize();
            break;
        }
        case CMidiEvent::kEventTypeSysEx: {
            const CMidiSysExEvent* sysEx = e->getSysExData();
            size += sysEx->getSizeBytes() + sysEx->getSize();
            if (sysEx->getType() != CMidiSysExEvent::kTypeSysEx1) {
                ++size;
            }
            break;
        }
        case CMidiEvent::kEventTypeShort: {
            const CMidiShortEvent* shortEvent = e->getShortData();
            size += shortEvent->getSize();
            if (shortEvent->getType() != CMidiShortEvent::kTypeMax) {
                ++size;
            }
            break;
        }
        default:
            SMF_ASSERT(false);
        }
    }
    return size + sizeof(kEndOfTrack);
}

bool CMidiTrack::writeChunkBody(uint8_t* ioBuff, uint32_t& outWritten)
{
    SMF_ASSERT(nullptr != ioBuff);
    uint8_t* out = ioBuff;
    uint32_t prevTime = 0;
    for (const CMidiEvent* e : m_events) {
        // A quantity past four bytes could not be read back by any reader.
        const uint32_t delta = e->time - prevTime;
        if (delta > kVariableValMax) {
            return false;
        }
        const uint32_t deltaSize = getVariableValSize(delta);
        setVariableVal(delta, deltaSize, out);
        out += deltaSize;
        prevTime = e->time;

        switch (e->getType()) {
        case CMidiEvent::kEventTypeMeta: {
            const CMidiMetaEvent* meta = e->getMetaData();
            // The reader refuses longer data, so such a file could not be read back.
            if (meta->getSize() > kMaxEventLength) {
                return false;
            }
            *out++ = kEventHeaderMeta;
            *out++ = meta->getTypeByte();
            setVariableVal(meta->getSize(), meta->getSizeBytes(), out);
            out += meta->getSizeBytes();
            if (meta->getSize() > 0) {
                std::memcpy(out, meta->getParam(), meta->getSize());
                out += meta->getSize();
            }
            break;
        }
        case CMidiEvent::kEventTypeSysEx: {
            const CMidiSysExEvent* sysEx = e->getSysExData();
            if (sysEx->getSize() > kVariableValMax) {
                return false;
            }
            // Always an 0xF0 event. The field is sized for the whole param, so
            // when the 0xF0 is part of the param it may carry a leading 0x80.
            const bool hasLead = sysEx->getType() == CMidiSysExEvent::kTypeSysEx1;
            const uint8_t* bytes = sysEx->getParam();
            uint32_t count = sysEx->getSize();
            if (hasLead) {
                ++bytes;
                --count;
            }
            if (count > kMaxEventLength) {
                return false;
            }
            *out++ = kEventHeaderSysEx1;
            setVariableVal(count, sysEx->getSizeBytes(), out);
            out += sysEx->getSizeBytes();
            if (count > 0) {
                std::memcpy(out, bytes, count);
                out += count;
            }
            break;
        }
        case CMidiEvent::kEventTypeShort: {
            // Running status is never written: every message carries its status.
            const CMidiShortEvent* shortEvent = e->getShortData();
            if (shortEvent->getType() != CMidiShortEvent::kTypeMax) {
                *out++ = shortEvent->getStatus();
            }
            if (shortEvent->getSize() > 0) {
                std::memcpy(out, shortEvent->getParam(), shortEvent->getSize());
                out += shortEvent->getSize();
            }
            break;
        }
        default:
            SMF_ASSERT(false);
        }
    }
    std::memcpy(out, kEndOfTrack, sizeof(kEndOfTrack));
    out += sizeof(kEndOfTrack);
    outWritten = static_cast<uint32_t>(out - ioBuff);
    return true;
}

void CMidiTrack::resetChunkData()
{
    resetChunkData(m_events);
}

void CMidiTrack::resetChunkData(std::vector<CMidiEvent*>& ioEvents)
{
    for (CMidiEvent* e : ioEvents) {
        e->resetEvent();
        delete e;
    }
    ioEvents.clear();
}

bool CMidiTrack::isEndOfTrackEvent(const CMidiEvent* inEvent) const
{
    SMF_ASSERT(nullptr != inEvent);
    const CMidiMetaEvent* meta = inEvent->getMetaData();
    return meta != nullptr && meta->getType() == CMidiMetaEvent::kTypeEndOfTrack;
}

void CMidiTrack::sortEvents()
{
    // compareMidiEvent calls two rehearsal marks at one time each other's
    // predecessor, which no sort may be given; this key orders everything else
    // the same way and keeps such a pair in its stored order.
    std::stable_sort(m_events.begin(), m_events.end(),
                     [](const CMidiEvent* a, const CMidiEvent* b) {
                         if (a->time != b->time) {
                             return a->time < b->time;
                         }
                         return isRehearsalMark(a) && !isRehearsalMark(b);
                     });
}

const CMidiEvent* CMidiTrack::GetEvent(uint32_t inIndex) const
{
    return inIndex < m_events.size() ? m_events[inIndex] : nullptr;
}

CMidiEvent* CMidiTrack::GetEvent(uint32_t inIndex)
{
    return inIndex < m_events.size() ? m_events[inIndex] : nullptr;
}

CMidiEvent* CMidiTrack::pullEvent(uint32_t inIndex)
{
    CMidiEvent* e = inIndex < m_events.size() ? m_events[inIndex] : nullptr;
    SMF_ASSERT(nullptr != e);
    m_events.erase(m_events.begin() + static_cast<std::ptrdiff_t>(inIndex));
    return e;
}

void CMidiTrack::AddEvent(CMidiEvent* pEvt)
{
    SMF_ASSERT(nullptr != pEvt);
    m_events.push_back(pEvt);
}

bool compareMidiEvent(const CMidiEvent* a, const CMidiEvent* b)
{
    SMF_ASSERT(nullptr != a);
    SMF_ASSERT(nullptr != b);
    if (a->time == b->time) {
        const CMidiMetaEvent* meta = a->getMetaData();
        if (meta != nullptr && meta->getType() == CMidiMetaEvent::kTypeSequencerSpecific) {
            if (meta->isRehearsalMarkEventData()) {
                return true;
            }
            if (meta->isChordEventData()) {
                return false;
            }
        }
    }
    return a->time < b->time;
}
