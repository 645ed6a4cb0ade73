#pragma once
// What the window remembers between starts: the output last sent to, by its
// name (chosen again when it is there at the next start), whether the
// instrument is asked who it is, and, from the
// record of updates, an update that did not complete, which the next start
// mentions until an update to that destination succeeds.

#include <QCoreApplication>
#include <QDateTime>
#include <QString>

#include <filesystem>
#include <optional>

class CUpdateMemory {
    Q_DECLARE_TR_FUNCTIONS(CUpdateMemory)

public:
    struct SIncomplete {
        QString destination;
        QDateTime when;
    };

    CUpdateMemory() = delete;

    static std::optional<QString> lastOutput();
    static void rememberOutput(const QString& name);
    // Whether the instrument is asked who it is (when an output is chosen,
    // and before and after an update): on unless the user switched it off.
    static bool asksInstrument();
    static void rememberAsksInstrument(bool asks);

    // The newest update that left the instrument half-written (failed,
    // interrupted, or sent but not taken, after at least one message) to a
    // destination that no later update reached whole. The record of updates
    // at its usual place when none is given.
    static std::optional<SIncomplete> incompleteUpdate(const std::optional<std::filesystem::path>& log = {});
    // "The last update to “X” did not complete on 7 Dec 2026: send it again."
    static QString notice(const SIncomplete& incomplete);
};
