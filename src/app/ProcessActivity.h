#pragma once
// A process activity that keeps the system from idling or sleeping the
// machine while it is held. On Linux it is a logind inhibitor lock taken over
// the system bus; without a bus that answers, the token holds nothing.

#include <QDBusUnixFileDescriptor>
#include <QString>

#include <cstdint>
#include <memory>

class CProcessActivity {
public:
    // Options in the desktop platform's terms (user initiated, latency
    // critical); logind has no such levels, so they only document intent.
    static constexpr std::uint64_t kUserInitiatedLatencyCritical = 0xFF00FFFFFFULL;

    // Never null: without logind the token does nothing.
    static std::shared_ptr<CProcessActivity> beginActivity(std::uint64_t options, const QString& reason);

    ~CProcessActivity() = default;
    CProcessActivity(const CProcessActivity&) = delete;
    CProcessActivity& operator=(const CProcessActivity&) = delete;

    bool holdsInhibitor() const { return m_lock.isValid(); }
    const QString& reason() const { return m_reason; }

private:
    CProcessActivity(QString reason, QDBusUnixFileDescriptor lock);

    QString m_reason;
    // The inhibitor lasts as long as this descriptor stays open.
    QDBusUnixFileDescriptor m_lock;
};
