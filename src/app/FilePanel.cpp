#include "app/FilePanel.h"

#include "app/SentenceText.h"
#include "ui_REVArodozDoc.h"

namespace {

const QString kUnknown = QStringLiteral("\u2013");

} // namespace

QString CFilePanel::formatText(const SUpdateFileFacts& facts)
{
    const QLocale locale = CSentenceText::locale();
    return (facts.tracks == 1 ? tr("format %1, %2 track") : tr("format %1, %2 tracks"))
        .arg(locale.toString(facts.format), locale.toString(facts.tracks));
}

QString CFilePanel::divisionText(const SUpdateFileFacts& facts)
{
    const QLocale locale = CSentenceText::locale();
    if (const std::optional<int> frames = facts.smpteFrames()) {
        // 29 stands for 29.97 drop-frame.
        const QString rate = *frames == 29 ? locale.toString(29.97, 'f', 2) : locale.toString(*frames);
        return tr("%1 frames per second, %2 ticks per frame").arg(rate, locale.toString(facts.ticks()));
    }
    return tr("%1 ticks per quarter note").arg(locale.toString(facts.ticks()));
}

QString CFilePanel::messagesText(const SUpdateFileFacts& facts)
{
    const QLocale locale = CSentenceText::locale();
    return tr("%1 SysEx, %2 bytes")
        .arg(locale.toString(static_cast<qulonglong>(facts.messages)),
             locale.toString(static_cast<qulonglong>(facts.bytes)));
}

void CFilePanel::show(Ui::REVArodozDoc& form, const QString& fileName, const std::optional<SUpdateFileFacts>& facts)
{
    form.m_txtFileName->setText(fileName.isEmpty() ? kUnknown : fileName);
    form.m_txtType->setText(facts ? formatText(*facts) : kUnknown);
    form.m_txtResolution->setText(facts ? divisionText(*facts) : kUnknown);
    form.m_txtMessages->setText(facts ? messagesText(*facts) : kUnknown);
    form.m_txtLength_time->setText(facts ? CSentenceText::durationOf(facts->durationMs) : kUnknown);
    form.m_txtVersion->setText(facts && facts->version ? QString::fromStdString(facts->version->text()) : kUnknown);

    const QString digest = facts ? QString::fromStdString(facts->sha256) : QString();
    form.m_txtDigest->setText(digest.isEmpty() ? kUnknown : digest.left(kShortDigest) + QStringLiteral("\u2026"));
    // The whole digest where a technician comparing it can read or copy it.
    form.m_txtDigest->setToolTip(digest);
    form.m_txtDigest->setAccessibleDescription(digest.isEmpty() ? QString() : tr("SHA-256 %1").arg(digest));
}
