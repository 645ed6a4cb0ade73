#include "app/ProcessActivity.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>

namespace {

constexpr int kBusTimeoutMs = 2000;
const char* const kWhat = "idle:sleep";    // notr: inhibit argument
const char* const kWho = "mirelo updater"; // notr: inhibit argument: the product name
const char* const kMode = "block";         // notr: inhibit argument

QDBusUnixFileDescriptor takeInhibitor(const QString& reason)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || bus.interface() == nullptr) {
        return {};
    }
    if (!bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.login1")).value()) {
        return {};
    }
    QDBusInterface manager(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), bus);
    manager.setTimeout(kBusTimeoutMs);
    const QDBusReply<QDBusUnixFileDescriptor> reply =
        manager.call(QStringLiteral("Inhibit"), QString::fromLatin1(kWhat), QString::fromLatin1(kWho), reason,
                     QString::fromLatin1(kMode));
    if (!reply.isValid()) {
        return {};
    }
    return reply.value();
}

} // namespace

CProcessActivity::CProcessActivity(QString reason, QDBusUnixFileDescriptor lock)
    : m_reason(std::move(reason)), m_lock(lock)
{
}

std::shared_ptr<CProcessActivity> CProcessActivity::beginActivity(std::uint64_t /*options*/, const QString& reason)
{
    return std::shared_ptr<CProcessActivity>(new CProcessActivity(reason, takeInhibitor(reason)));
}
