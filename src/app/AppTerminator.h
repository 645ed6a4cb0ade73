#pragma once
// The application object's terminate request: ends the main loop with a
// status. Tests observe the requests, since they run no main loop of their own.

#include <functional>

class QObject;

class CAppTerminator {
public:
    using Observer = std::function<void(QObject* sender, int status)>;

    CAppTerminator() = delete;

    // Asks the running main loop to return `status`; goes ahead at once.
    static void terminate(QObject* sender, int status = 0);
    // Called on every request, before the loop is asked; null removes it.
    static void setObserver(Observer observer);
};
