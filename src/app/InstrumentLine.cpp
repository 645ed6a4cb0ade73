#include "app/InstrumentLine.h"

#include "app/OutputList.h"
#include "app/SentenceText.h"
#include "app/UpdateMemory.h"

#include "QORMIDIManager_Mac.h"
#include "platform/base/EventLoop.h"
#include "update/IdentityCheck.h"
#include "update/RunReport.h"
#include "update/UpdateRun.h"

#include <QLabel>

CInstrumentLine::CInstrumentLine(QLabel* label) : m_label(label)
{
    if (m_label) {
        m_label->hide();
    }
}

CInstrumentLine::~CInstrumentLine()
{
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

std::mutex& CInstrumentLine::portsInUse()
{
    static std::mutex mutex;
    return mutex;
}

void CInstrumentLine::ask(std::size_t destination, const std::string& displayName)
{
    ++m_generation;
    if (m_label) {
        m_label->setText(tr("Asking the instrument who it is\u2026"));
        m_label->show();
    }
    const SRequest request{destination, displayName};
    if (m_busy) {
        // One inquiry at a time: the manager has one input.
        m_pending = request;
        return;
    }
    start(request);
}

void CInstrumentLine::clear()
{
    ++m_generation;
    m_pending.reset();
    if (m_label) {
        m_label->clear();
        m_label->hide();
    }
}

void CInstrumentLine::start(const SRequest& request)
{
    if (m_worker.joinable()) {
        // It posted its answer as its last step: it has ended or is about to.
        m_worker.join();
    }
    m_busy = true;
    m_worker = std::thread([this, request, generation = m_generation, alive = std::weak_ptr<int>(m_alive)] {
        std::optional<SIdentityAnswer> answer;
        {
            // A run that took the ports first asks the instrument itself, before
            // and after. Waiting for it here would hold up whoever waits for this
            // thread (closing the window joins it) until the whole update ended.
            const std::unique_lock lock(portsInUse(), std::try_to_lock);
            CQORMIDIManager* manager = lock.owns_lock() ? CQORMIDIManager::instance() : nullptr;
            if (manager != nullptr) {
                const SIdentityCheck check =
                    CIdentityCheck::before(*manager, request.destination, request.displayName, std::nullopt);
                if (check.asked()) {
                    answer = check.before;
                }
            }
        }
        // Runs on the main loop only while the line is there (its token alive).
        mirelo::platform::mainLoop().post([this, alive, generation, answer] {
            if (alive.lock()) {
                answered(generation, answer);
            }
        });
    });
}

void CInstrumentLine::answered(unsigned generation, const std::optional<SIdentityAnswer>& answer)
{
    m_busy = false;
    if (m_pending) {
        const SRequest next = *m_pending;
        m_pending.reset();
        start(next);
        return;
    }
    if (generation != m_generation || !m_label) {
        return;
    }
    if (!answer) {
        // No source of its own to answer on: not asked, nothing to say.
        m_label->clear();
        m_label->hide();
        return;
    }
    showAnswer(*answer);
}

void CInstrumentLine::showAnswer(const SIdentityAnswer& answer)
{
    ++m_generation;
    m_pending.reset();
    if (m_label) {
        m_label->setText(CSentenceText::textOf(CRunReport::instrumentAnswer(answer)));
        m_label->show();
    }
}

void CInstrumentLine::follow(const COutputList& outputs, bool running)
{
    const std::optional<SIdentitySetup> instrument = setupFor(outputs);
    if (running || !instrument) {
        clear();
        return;
    }
    ask(instrument->destination, instrument->displayName);
}

std::optional<SIdentitySetup> CInstrumentLine::setupFor(const COutputList& outputs)
{
    const std::optional<std::uint64_t> position = outputs.selectedPosition();
    if (!CUpdateMemory::asksInstrument() || outputs.captureIsTheDestination() || !position) {
        return std::nullopt;
    }
    return SIdentitySetup{static_cast<std::size_t>(*position), outputs.rememberedDeviceName()->toStdString(), {}};
}

void CInstrumentLine::afterRun(const SRunEnd& end, const COutputList& outputs)
{
    if (end.identity && end.identity->after && end.identity->after->identity) {
        showAnswer(*end.identity->after);
    } else {
        follow(outputs, false);
    }
}
