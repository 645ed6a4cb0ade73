#include "app/AlertPresenter.h"

#include <atomic>

namespace {

std::atomic<CAlertPresenter*> s_installed{nullptr};

} // namespace

CAlertPresenter* CAlertPresenter::current()
{
    return s_installed.load(std::memory_order_acquire);
}

void CAlertPresenter::setCurrent(CAlertPresenter* presenter)
{
    s_installed.store(presenter, std::memory_order_release);
}
