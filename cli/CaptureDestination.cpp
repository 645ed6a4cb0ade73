#include "CaptureDestination.h"

#include <cerrno>
#include <cstring>

CCaptureDestination::CCaptureDestination(std::filesystem::path syxPath)
    : m_syxPath(std::move(syxPath)), m_csvPath(m_syxPath.string() + ".csv")
{
}

bool CCaptureDestination::open(std::string& outError)
{
    std::lock_guard lock(m_mutex);
    m_syx.open(m_syxPath, std::ios::binary | std::ios::trunc);
    if (!m_syx) {
        outError = "cannot create " + m_syxPath.string() + " (" + std::strerror(errno) + ")";
        return false;
    }
    m_csv.open(m_csvPath, std::ios::trunc);
    if (!m_csv) {
        outError = "cannot create " + m_csvPath.string() + " (" + std::strerror(errno) + ")";
        return false;
    }
    m_csv << "index,sent_us,bytes\n";
    // The files are the record; keeping every list in memory too would hold
    // the update twice over.
    m_backend.setRecording(false);
    m_backend.addDestination({"mirelo-updater-cli", kName, kName},
                             [this](MIDIEndpointRef, const MIDIPacketList& list) { receive(list); },
                             mirelo::midi::VirtualBackend::Announce::No);
    return true;
}

void CCaptureDestination::receive(const MIDIPacketList& list)
{
    std::lock_guard lock(m_mutex);
    std::uint64_t size = 0;
    MIDITimeStamp stamp = 0;
    const MIDIPacket* packet = &list.packet[0];
    for (std::uint32_t i = 0; i < list.numPackets; ++i) {
        if (i == 0) {
            stamp = packet->timeStamp;
        }
        m_syx.write(reinterpret_cast<const char*>(packet->data), packet->length);
        size += packet->length;
        packet = MIDIPacketNext(packet);
    }
    if (m_count == 0) {
        m_firstTimeStamp = stamp;
    }
    // Host time is in nanoseconds.
    const std::uint64_t sentUs = stamp >= m_firstTimeStamp ? (stamp - m_firstTimeStamp) / 1000 : 0;
    m_csv << m_count << ',' << sentUs << ',' << size << '\n';
    ++m_count;
}

bool CCaptureDestination::finish(std::string& outError)
{
    std::lock_guard lock(m_mutex);
    m_syx.close();
    m_csv.close();
    if (!m_syx) {
        outError = "writing " + m_syxPath.string() + " failed";
        return false;
    }
    if (!m_csv) {
        outError = "writing " + m_csvPath.string() + " failed";
        return false;
    }
    return true;
}
