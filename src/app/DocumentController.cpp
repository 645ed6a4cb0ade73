#include "app/DocumentController.h"

#include "app/REVArodozDoc.h"

#include <algorithm>

namespace {

CDocumentController* s_shared = nullptr;

} // namespace

CDocumentController::CDocumentController()
{
    if (s_shared == nullptr) {
        s_shared = this;
    }
}

CDocumentController::~CDocumentController()
{
    closeAllDocuments();
    if (s_shared == this) {
        s_shared = nullptr;
    }
}

CDocumentController* CDocumentController::sharedDocumentController()
{
    return s_shared;
}

std::shared_ptr<REVArodozDoc> CDocumentController::openDocumentWithContentsOfURL(const QUrl& url, bool display,
                                                                                 std::optional<CError>* outError)
{
    std::shared_ptr<REVArodozDoc> document = REVArodozDoc::create();
    document->setCloseHandler([this](REVArodozDoc& closed) { documentClosed(closed); });
    if (m_failureDetail) {
        document->setFailureDetail(m_failureDetail);
    }
    document->setCapture(m_capture);
    std::optional<CError> error;
    if (!document->readFromURL(url, QString::fromLatin1(REVArodozDoc::kDocumentType), &error)) {
        if (outError != nullptr) {
            *outError = std::move(error);
        }
        return nullptr;
    }
    m_documents.push_back(document);
    document->makeWindowControllers();
    if (display) {
        document->showWindows();
    }
    return document;
}

void CDocumentController::removeDocument(const REVArodozDoc* document)
{
    std::erase_if(m_documents, [document](const auto& held) { return held.get() == document; });
}

void CDocumentController::documentClosed(REVArodozDoc& document)
{
    if (document.runIsCutShort()) {
        for (const auto& held : m_documents) {
            if (held.get() == &document) {
                m_closedDuringRun.push_back(held);
            }
        }
    }
    removeDocument(&document);
}

std::vector<std::string> CDocumentController::endRunsForExit()
{
    std::vector<std::string> notices;
    for (const auto* documents : {&m_closedDuringRun, &m_documents}) {
        for (const auto& document : *documents) {
            if (std::optional<std::string> notice = document->endRunForExit()) {
                notices.push_back(std::move(*notice));
            }
        }
    }
    return notices;
}

void CDocumentController::closeAllDocuments()
{
    // Moved out first: a document's teardown may call back into removeDocument.
    std::vector<std::shared_ptr<REVArodozDoc>> documents = std::move(m_documents);
    m_documents.clear();
    for (const auto& document : documents) {
        document->terminateREVArodozDoc();
    }
    m_closedDuringRun.clear();
}
