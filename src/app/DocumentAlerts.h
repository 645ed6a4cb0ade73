#pragma once
// The alerts and questions of the update document, each a headline, the
// cause in plain words and the one thing to do. Kept apart from the document
// so that its words read as a whole and the document keeps to what happens.

#include "app/Error.h"

#include "update/UpdateFileLoader.h"

#include <QCoreApplication>
#include <QString>
#include <QUrl>

#include <optional>
#include <string>

class CDocumentAlerts {
    Q_DECLARE_TR_FUNCTIONS(CDocumentAlerts)

public:
    CDocumentAlerts() = delete;

    // --- the update file ---
    static CError notALocalFile(const QUrl& url);
    static CError noFileAt(const QString& path);
    // bundled: the file the application opens by itself, which only a
    // reinstall restores; another one the user can fetch again.
    static CError cannotBeSent(const SUpdateFileLoad& load, const QString& name, bool bundled);

    // --- MIRELO_CAPTURE ---
    // The capture path would write over the update file, or is no plain file.
    static CError captureRefusedAtStart(const std::string& problem);
    static CError captureRefusedForFile(const std::string& problem);
    // The capture could not be opened (at start) or restarted (before a run).
    static CError captureUnwritable(const std::string& reason, bool atStart);

    // --- questions: true to go ahead ---
    // No MIDI system: Retry once the user has started one.
    static bool retryWithoutMidiSystem(std::int32_t status);
    // The whole update already went to destination.
    static bool sendAgain(const QString& destination);
    // destination is a port that is not an instrument connected by USB.
    static bool sendToSoftwarePort(const QString& destination);
    // Before a run the user starts: asks sendAgain() after a whole run and
    // sendToSoftwarePort() before sending to one; true when both go ahead.
    static bool confirmSend(const QString& destination, bool afterWholeRun, bool toSoftwarePort);
    // A run is going: "Close Anyway" is the answer that goes ahead.
    static bool closeDuringRun(const std::optional<std::string>& destination);
};
