#pragma once
// The window's panel of facts about the update file: its name, format and
// tracks, division, messages and bytes, how long the update takes, the
// firmware version it states and its SHA-256 (short; the whole in the
// description and tooltip). Before a file is checked, and for what the file
// does not say, the panel shows a dash rather than a made-up zero.

#include "update/UpdateFileFacts.h"

#include <QCoreApplication>
#include <QString>

#include <optional>

namespace Ui {
class REVArodozDoc;
}

class CFilePanel {
    Q_DECLARE_TR_FUNCTIONS(CFilePanel)

public:
    // Hex digits of the SHA-256 shown; enough to tell files apart at a glance.
    static constexpr int kShortDigest = 16;

    CFilePanel() = delete;

    static void show(Ui::REVArodozDoc& form, const QString& fileName, const std::optional<SUpdateFileFacts>& facts);

    static QString formatText(const SUpdateFileFacts& facts);
    static QString divisionText(const SUpdateFileFacts& facts);
    static QString messagesText(const SUpdateFileFacts& facts);
};
