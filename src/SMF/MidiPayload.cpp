#include "SMF/MidiPayload.h"

#include "SMF/SMFUtil.h"

void CMidiPayload::clearParam()
{
    clearParamBytes(m_param, m_size);
}
