#pragma once
// The application's delegate: at launch it brings up the device controller,
// opens the bundled update file as the one document with its window, and
// holds a process activity so that the system never idles the machine away
// under an update. Every callback runs on the GUI thread.

#include <QObject>

#include <memory>
#include <mutex>

class CProcessActivity;
class REVArodozDoc;

class REVArodozDelegate final : public QObject {
public:
    static constexpr const char* kActivityReason = "PreventAppNap"; // notr: inhibit argument
    // The status the application ends with when it cannot open its document.
    static constexpr int kExitNoDocument = 1;

    enum class ETerminateReply { kTerminateNow };

    bool applicationShouldOpenUntitledFile(QObject* sender) const;
    void applicationDidFinishLaunching(QObject* sender);
    bool applicationShouldTerminateAfterLastWindowClosed(QObject* sender) const;
    ETerminateReply applicationShouldTerminate(QObject* sender) const;
    void applicationWillTerminate(QObject* sender);
    void windowWillClose(QObject* sender);

    std::shared_ptr<CProcessActivity> activity() const;
    void setActivity(std::shared_ptr<CProcessActivity> activity);

private:
    bool openUpdateDocument();

    mutable std::mutex m_activityMutex;
    std::shared_ptr<CProcessActivity> m_activity;
};
