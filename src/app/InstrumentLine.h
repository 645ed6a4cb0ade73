#pragma once
// The line under the output list that says who the selected instrument is
// and which firmware it runs, from its own answer to an identity request.
// The request goes out on a worker, so the window never waits for the
// answer; a selection that changes meanwhile asks again, and an answer to an
// earlier selection is dropped.
//
// Threads: everything on the GUI thread; the worker only asks and posts the
// answer to the main loop. An inquiry and an update run both open the MIDI
// manager's input: each holds portsInUse() while it does, and an inquiry
// that finds a run holding it gives way (the run asks for itself).

#include <QCoreApplication>
#include <QPointer>

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class COutputList;
class QLabel;
struct SIdentityAnswer;
struct SIdentitySetup;
struct SRunEnd;

class CInstrumentLine {
    Q_DECLARE_TR_FUNCTIONS(CInstrumentLine)

public:
    explicit CInstrumentLine(QLabel* label);
    // Waits for an inquiry on its way (at most the answer's wait).
    ~CInstrumentLine();
    CInstrumentLine(const CInstrumentLine&) = delete;
    CInstrumentLine& operator=(const CInstrumentLine&) = delete;

    // Asks the instrument at destination index `destination`, which the
    // manager's output is open on.
    void ask(std::size_t destination, const std::string& displayName);
    // Nothing to ask (the capture, no device, the setting off, a run going):
    // the line is hidden and a late answer is dropped.
    void clear();
    // An answer heard elsewhere (after an update run).
    void showAnswer(const SIdentityAnswer& answer);
    // What the instrument said after a run is what it runs now; when it said
    // nothing, it is asked again.
    void afterRun(const SRunEnd& end, const COutputList& outputs);
    // Asks about the output selected in outputs, or hides the line when
    // there is nobody to ask or a run goes (the run asks for itself).
    void follow(const COutputList& outputs, bool running);
    // Who to ask about the selected output: nobody for the capture file,
    // which is no instrument, nor while the user has switched asking off.
    static std::optional<SIdentitySetup> setupFor(const COutputList& outputs);
    // An inquiry is on its way or waiting to go.
    bool busy() const { return m_busy || m_pending.has_value(); }

    static std::mutex& portsInUse();

private:
    struct SRequest {
        std::size_t destination;
        std::string displayName;
    };

    void start(const SRequest& request);
    void answered(unsigned generation, const std::optional<SIdentityAnswer>& answer);

    QPointer<QLabel> m_label;
    std::thread m_worker;
    bool m_busy = false;
    std::optional<SRequest> m_pending;
    unsigned m_generation = 0;
    // Expires with the line: an answer posted after that finds no one to tell.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};
