#pragma once
// The application's document controller, reduced to what the updater needs:
// open a file as an update document (read it, load and show its window) and
// keep the open documents. The application makes one; it is then the shared one.

#include "app/Error.h"

#include "update/UpdateRun.h"

#include <QUrl>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class REVArodozDoc;
namespace mirelo::midi {
class CaptureDestination;
}

class CDocumentController {
public:
    CDocumentController();
    ~CDocumentController();

    CDocumentController(const CDocumentController&) = delete;
    CDocumentController& operator=(const CDocumentController&) = delete;

    // The controller the application made; null when there is none.
    static CDocumentController* sharedDocumentController();

    // Makes a document, reads the URL and, with display, loads and shows its
    // window. Null when reading failed: the document has presented the error
    // itself, and *outError (when given) holds it.
    std::shared_ptr<REVArodozDoc> openDocumentWithContentsOfURL(const QUrl& url, bool display,
                                                                std::optional<CError>* outError = nullptr);
    void removeDocument(const REVArodozDoc* document);
    const std::vector<std::shared_ptr<REVArodozDoc>>& documents() const { return m_documents; }
    // Given to every document opened from now on: what its destination says
    // about a send that failed.
    void setFailureDetail(CUpdateRun::FailureDetail detail) { m_failureDetail = std::move(detail); }
    // Given to every document opened from now on: the capture destination
    // that stands in for the instrument (MIRELO_CAPTURE).
    void setCapture(mirelo::midi::CaptureDestination* capture) { m_capture = capture; }
    // At application exit: stops every run still going and waits for it.
    // What to say of each run that the exit cut short.
    std::vector<std::string> endRunsForExit();
    // Tears every document down and lets it go (at application exit).
    void closeAllDocuments();

private:
    // A document that closes ends the application. One whose run it cut
    // short is kept until that end, which says what became of the run.
    void documentClosed(REVArodozDoc& document);

    std::vector<std::shared_ptr<REVArodozDoc>> m_documents;
    std::vector<std::shared_ptr<REVArodozDoc>> m_closedDuringRun;
    CUpdateRun::FailureDetail m_failureDetail;
    mirelo::midi::CaptureDestination* m_capture = nullptr;
};
