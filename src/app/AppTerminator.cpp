#include "app/AppTerminator.h"

#include <QCoreApplication>

namespace {

CAppTerminator::Observer& observer()
{
    static CAppTerminator::Observer s_observer;
    return s_observer;
}

} // namespace

void CAppTerminator::terminate(QObject* sender, int status)
{
    if (observer()) {
        observer()(sender, status);
    }
    QCoreApplication::exit(status);
}

void CAppTerminator::setObserver(Observer newObserver)
{
    observer() = std::move(newObserver);
}
