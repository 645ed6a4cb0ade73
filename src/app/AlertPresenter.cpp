#include "app/AlertPresenter.h"

#include "app/MessageBoxPresenter.h"

#include <atomic>

namespace {

std::atomic<CAlertPresenter*> s_installed{nullptr};
// Read and written on the GUI thread only.
QPointer<QWidget> s_anchor;

} // namespace

CAlertPresenter& CAlertPresenter::current()
{
    static CMessageBoxPresenter s_messageBox;
    CAlertPresenter* installed = s_installed.load(std::memory_order_acquire);
    return installed != nullptr ? *installed : s_messageBox;
}

void CAlertPresenter::setCurrent(CAlertPresenter* presenter)
{
    s_installed.store(presenter, std::memory_order_release);
}

void CAlertPresenter::setAnchor(QWidget* window)
{
    s_anchor = window;
}

QWidget* CAlertPresenter::anchor()
{
    return s_anchor.data();
}
