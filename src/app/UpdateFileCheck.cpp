#include "app/UpdateFileCheck.h"

#include "platform/base/EventLoop.h"

CUpdateFileCheck::CUpdateFileCheck() = default;

CUpdateFileCheck::~CUpdateFileCheck()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool CUpdateFileCheck::start(const QString& path, DoneHandler onDone)
{
    if (m_busy) {
        return false;
    }
    // The last check has posted its result: its thread is at its end.
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_busy = true;
    m_path = path;
    m_thread = std::thread([this, path, onDone = std::move(onDone), alive = std::weak_ptr<int>(m_alive)] {
        SResult result{path, {}, std::nullopt};
        CFirmwareSchedule schedule;
        SUpdateFileFacts facts;
        result.load = CUpdateFileLoader::load(path.toStdString(), schedule, &facts);
        if (result.load.ready()) {
            result.facts = std::move(facts);
        }
        mirelo::platform::mainLoop().post([this, alive, onDone, result = std::move(result)] {
            if (alive.lock()) {
                m_busy = false;
                onDone(result);
            }
        });
    });
    return true;
}
