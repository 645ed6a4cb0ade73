#pragma once
// Checks an update file off the GUI thread: a large file takes seconds to
// read and verify, and the window must stay responsive and say what it does
// meanwhile. The result reaches the main loop; one check at a time.
//
// GUI thread only; the check itself runs on a thread of its own.

#include "update/UpdateFileFacts.h"
#include "update/UpdateFileLoader.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <thread>

class CUpdateFileCheck {
public:
    struct SResult {
        QString path;
        SUpdateFileLoad load;
        std::optional<SUpdateFileFacts> facts; // when the file is ready to send
    };
    using DoneHandler = std::function<void(const SResult&)>;

    CUpdateFileCheck();
    // Waits for a check still going; its result goes nowhere.
    ~CUpdateFileCheck();
    CUpdateFileCheck(const CUpdateFileCheck&) = delete;
    CUpdateFileCheck& operator=(const CUpdateFileCheck&) = delete;

    // Checks the file at path; onDone gets the result on the main loop,
    // unless this check is gone by then. False while a check goes.
    bool start(const QString& path, DoneHandler onDone);
    bool busy() const { return m_busy; }
    // The file of the check going, or of the last one.
    const QString& path() const { return m_path; }

private:
    std::thread m_thread;
    bool m_busy = false;
    QString m_path;
    // Expires with the check: a result posted after that finds no one to tell.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};
