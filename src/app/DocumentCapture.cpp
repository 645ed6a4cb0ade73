#include "app/DocumentCapture.h"

#include "app/DocumentAlerts.h"

#include "platform/midi/virtual/CaptureDestination.h"

#include <string>

using mirelo::midi::CaptureDestination;

std::optional<CError> CDocumentCapture::refusal(const QString& updateFile, bool atStart) const
{
    if (m_capture == nullptr) {
        return std::nullopt;
    }
    const std::optional<std::string> problem =
        CaptureDestination::pathProblem(updateFile.toStdString(), m_capture->syxPath());
    if (!problem) {
        return std::nullopt;
    }
    return atStart ? CDocumentAlerts::captureRefusedAtStart(*problem)
                   : CDocumentAlerts::captureRefusedForFile(*problem);
}

std::optional<CError> CDocumentCapture::openOnce()
{
    if (m_capture == nullptr || m_open) {
        return std::nullopt;
    }
    std::string reason;
    if (m_capture->open(reason) != CaptureDestination::OpenResult::kOk) {
        return CDocumentAlerts::captureUnwritable(reason, true);
    }
    m_open = true;
    return std::nullopt;
}

std::optional<CError> CDocumentCapture::restart()
{
    std::string reason;
    if (m_capture != nullptr && !m_capture->restart(reason)) {
        return CDocumentAlerts::captureUnwritable(reason, false);
    }
    return std::nullopt;
}
