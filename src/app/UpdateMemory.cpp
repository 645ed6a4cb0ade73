#include "app/UpdateMemory.h"

#include "app/SentenceText.h"

#include "update/UpdateRecordLog.h"

#include <QSettings>

#include <map>

namespace {

constexpr const char* kLastOutputKey = "output/last";        // notr: settings key
constexpr const char* kAsksInstrumentKey = "instrument/ask"; // notr: settings key

QSettings settings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("mirelo-updater"),
                     QStringLiteral("mirelo-updater"));
}

bool leftHalfWritten(const SUpdateRecord& record)
{
    using EResult = SUpdateRecord::EResult;
    switch (record.result) {
    case EResult::kFailed:
    case EResult::kInterrupted:
    case EResult::kDidNotTake:
        return record.messagesSent > 0 || record.result == EResult::kDidNotTake;
    case EResult::kCompleted:
    case EResult::kRefused:
        break;
    }
    return false;
}

} // namespace

bool CUpdateMemory::asksInstrument()
{
    return settings().value(QLatin1String(kAsksInstrumentKey), true).toBool();
}

void CUpdateMemory::rememberAsksInstrument(bool asks)
{
    settings().setValue(QLatin1String(kAsksInstrumentKey), asks);
}

std::optional<QString> CUpdateMemory::lastOutput()
{
    const QString name = settings().value(QLatin1String(kLastOutputKey)).toString();
    return name.isEmpty() ? std::nullopt : std::optional<QString>(name);
}

void CUpdateMemory::rememberOutput(const QString& name)
{
    settings().setValue(QLatin1String(kLastOutputKey), name);
}

std::optional<CUpdateMemory::SIncomplete>
CUpdateMemory::incompleteUpdate(const std::optional<std::filesystem::path>& log)
{
    const std::optional<std::filesystem::path> path = log ? log : CUpdateRecordLog::defaultPath();
    if (!path) {
        return std::nullopt;
    }
    // Oldest first: each destination ends up with its latest update that
    // either completed (forgotten) or left the instrument half-written.
    std::map<std::string, const SUpdateRecord*> halfWritten;
    const CUpdateRecordLog::SContents contents = CUpdateRecordLog::read(*path);
    for (const CUpdateRecordLog::SEntry& entry : contents.entries) {
        if (entry.record.result == SUpdateRecord::EResult::kCompleted) {
            halfWritten.erase(entry.record.destination);
        } else if (leftHalfWritten(entry.record)) {
            halfWritten[entry.record.destination] = &entry.record;
        }
    }
    std::optional<SIncomplete> newest;
    for (const auto& [destination, record] : halfWritten) {
        QDateTime when = QDateTime::fromString(QString::fromStdString(record->start), Qt::ISODate);
        if (!newest || when > newest->when) {
            newest = SIncomplete{QString::fromStdString(destination), std::move(when)};
        }
    }
    return newest;
}

QString CUpdateMemory::notice(const SIncomplete& incomplete)
{
    // The day written out, so that 7/12 and 12/7 cannot be mistaken; the
    // translation gives the order its language writes a day in.
    const QString day = CSentenceText::locale().toString(incomplete.when.date(), tr("d MMM yyyy", "date of an update"));
    return tr("The last update to \u201C%1\u201D did not complete on %2: send it again.")
        .arg(incomplete.destination, day);
}
