#include "app/OutcomeLine.h"

#include "ui_REVArodozDoc.h"

#include <QStyle>

namespace {

constexpr int kIconSize = 22;
constexpr const char* kOutcomeProperty = "outcome"; // notr: property name

struct SLook {
    QStyle::StandardPixmap icon;
    QColor background;
    QColor border;
};

SLook lookOf(COutcomeLine::EOutcome outcome)
{
    using EOutcome = COutcomeLine::EOutcome;
    switch (outcome) {
    case EOutcome::kSent:
        return {QStyle::SP_DialogApplyButton, QColor(0xE3, 0xF4, 0xE1), QColor(0x2E, 0x7D, 0x32)};
    case EOutcome::kFailed:
        return {QStyle::SP_MessageBoxCritical, QColor(0xFB, 0xE3, 0xE1), QColor(0xC6, 0x28, 0x28)};
    case EOutcome::kRefused:
        return {QStyle::SP_MessageBoxWarning, QColor(0xFF, 0xF4, 0xD6), QColor(0xB2, 0x6A, 0x00)};
    case EOutcome::kChecking:
    case EOutcome::kNone:
        break;
    }
    return {QStyle::SP_MessageBoxInformation, QColor(0xE8, 0xF0, 0xFB), QColor(0x3B, 0x6E, 0xA8)};
}

} // namespace

void COutcomeLine::show(Ui::REVArodozDoc& form, EOutcome outcome, const QString& text, bool announce)
{
    form.m_outcome->setProperty(kOutcomeProperty, static_cast<int>(outcome));
    if (outcome == EOutcome::kNone) {
        form.m_outcome->hide();
        form.m_txtStatus->clear();
        return;
    }
    const SLook look = lookOf(outcome);
    QPalette palette = form.m_outcome->palette();
    palette.setColor(QPalette::Window, look.background);
    // Dark text on the light background, whatever the desktop's theme.
    palette.setColor(QPalette::WindowText, QColor(0x1B, 0x1B, 0x1B));
    palette.setColor(QPalette::Text, QColor(0x1B, 0x1B, 0x1B));
    palette.setColor(QPalette::Light, look.border);
    palette.setColor(QPalette::Dark, look.border);
    palette.setColor(QPalette::Mid, look.border);
    form.m_outcome->setPalette(palette);

    QStyle* style = form.m_outcome->style();
    form.m_imgOutcome->setPixmap(style->standardIcon(look.icon, nullptr, form.m_outcome).pixmap(kIconSize, kIconSize));
    static const char* const kIconNames[] = {"", QT_TR_NOOP("Checking"), QT_TR_NOOP("Sent"), QT_TR_NOOP("Failed"),
                                             QT_TR_NOOP("Not sent")};
    form.m_imgOutcome->setAccessibleName(tr(kIconNames[static_cast<int>(outcome)]));
    form.m_txtStatus->setText(text);
    form.m_outcome->show();
    if (announce) {
        // The focus moves off the send button: the outcome is what a screen
        // reader says next, and Space no longer starts another run.
        form.m_txtStatus->setFocus(Qt::OtherFocusReason);
    }
}

void COutcomeLine::resetBar(Ui::REVArodozDoc& form)
{
    form.m_progress->setPalette(QPalette());
    form.m_progress->setFormat(QStringLiteral("%p%"));
    form.m_progress->setValue(0);
}

void COutcomeLine::showBarFailed(Ui::REVArodozDoc& form)
{
    QPalette palette = form.m_progress->palette();
    palette.setColor(QPalette::Highlight, lookOf(EOutcome::kFailed).border);
    form.m_progress->setPalette(palette);
    form.m_progress->setFormat(tr("Stopped at %p%"));
}

void COutcomeLine::showNotice(Ui::REVArodozDoc& form, const QString& text)
{
    form.m_txtNotice->setVisible(!text.isEmpty());
    form.m_txtNotice->setText(text);
    QPalette palette = form.m_txtNotice->palette();
    palette.setColor(QPalette::WindowText, lookOf(EOutcome::kFailed).border);
    form.m_txtNotice->setPalette(palette);
}

COutcomeLine::EOutcome COutcomeLine::shown(const Ui::REVArodozDoc& form)
{
    const QVariant outcome = form.m_outcome->property(kOutcomeProperty);
    return outcome.isValid() ? static_cast<EOutcome>(outcome.toInt()) : EOutcome::kNone;
}
