// The output list: the user's pick, devices that come and go, names that
// cannot be read or are not unique, failed opens, and the hint beside the
// list while no instrument is selected.

#include "tests/app/DocumentTestEnvironment.h"

#include "app/InstrumentLine.h"
#include "app/UpdateMemory.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

#include <functional>
#include <utility>
#include <vector>

namespace {

using mirelo::midi::ControlledVirtualBackend;
using mirelo::test::CDocumentTest;

class OutputSelectionTest : public CDocumentTest {
protected:
    // Lets the posted setup-change notifications reach the document.
    void announce()
    {
        m_backend.notifyClients(kMIDIMsgSetupChanged);
        drainEvents();
    }

    MIDIEndpointRef addPort(const char* name, bool hardware,
                            ControlledVirtualBackend::Announce announce = ControlledVirtualBackend::Announce::No)
    {
        return m_backend.addDestination({"model", name, name, hardware}, {}, announce);
    }

    bool hintShown() const { return !m_document->form()->m_txtOutputHint->isHidden(); }

    // What the instrument line says once its answer is in; empty while hidden.
    QString instrumentLine() const
    {
        const QLabel* line = m_document->form()->m_txtInstrument;
        const bool settled = QTest::qWaitFor(
            [this] {
                drainEvents();
                return !m_document->instrumentBusy();
            },
            kWaitMs);
        EXPECT_TRUE(settled);
        return line->isHidden() ? QString() : line->text();
    }
};

struct SStartup {
    const char* setup;
    std::vector<std::pair<const char*, bool>> ports; // name and hardware, in the order they appeared
    QStringList titles;
    bool hint;
    const char* lastOutput; // remembered from the last start; null: none
    int selected;
};

const SStartup kStartups[] = {
    {"software_ports_only",
     {{"Midi Through Port-0", false}, {"VirMIDI 0-0", false}},
     {"Midi Through Port-0", "VirMIDI 0-0"},
     true,
     nullptr,
     0},
    {"an_instrument_that_came_after_Midi_Through",
     {{"Midi Through Port-0", false}, {"ZAV10 MIDI 1", true}},
     {"ZAV10 MIDI 1", "Midi Through Port-0"},
     false,
     nullptr,
     0},
    {"nothing_at_all", {}, {"No Device"}, true, nullptr, 0},
    {"the_output_last_sent_to",
     {{"ZAV10 MIDI 1", true}, {"ZAV10 MIDI 2", true}},
     {"ZAV10 MIDI 1", "ZAV10 MIDI 2"},
     false,
     "ZAV10 MIDI 2",
     1},
    {"the_output_last_sent_to_is_gone",
     {{"ZAV10 MIDI 1", true}, {"VirMIDI 0-0", false}},
     {"ZAV10 MIDI 1", "VirMIDI 0-0"},
     false,
     "ZAV10 MIDI 2",
     0},
};

class OutputAtStartup : public OutputSelectionTest, public testing::WithParamInterface<SStartup> {};

TEST_P(OutputAtStartup, TheInstrumentIsOpenedFirstAndAHintStandsInForIt)
{
    const SStartup& row = GetParam();
    for (const auto& [name, hardware] : row.ports) {
        addPort(name, hardware);
    }
    if (row.lastOutput != nullptr) {
        CUpdateMemory::rememberOutput(row.lastOutput);
    }
    REVArodozDoc& document = openDocument();
    EXPECT_EQ(listTitles(), row.titles);
    EXPECT_EQ(document.form()->m_popOutput->currentIndex(), row.selected);
    if (!row.ports.empty()) {
        EXPECT_EQ(openDestination(), MIDIGetDestination(static_cast<ItemCount>(row.selected)));
    }
    EXPECT_EQ(hintShown(), row.hint);
    if (row.hint) {
        EXPECT_EQ(document.form()->m_txtOutputHint->text(),
                  "No instrument connected: connect it by USB and switch it on; it appears here.");
    }
}

INSTANTIATE_TEST_SUITE_P(Setups, OutputAtStartup, testing::ValuesIn(kStartups),
                         [](const auto& row) { return std::string(row.param.setup); });

TEST_F(OutputSelectionTest, TheHintFollowsTheSelection)
{
    addPort("Midi Through Port-0", false);
    addPort("VirMIDI 0-0", false);
    REVArodozDoc& document = openDocument();
    MIDIEndpointRef keys = 0;
    struct SStep {
        const char* what;
        std::function<void()> act;
        int selected;
        bool hint;
    };
    const std::vector<SStep> steps = {
        {"an instrument is plugged in: the chosen port stays chosen, the hint stays",
         [&] {
             keys = addPort("ZAV10 MIDI 1", true, ControlledVirtualBackend::Announce::Yes);
             drainEvents();
         },
         1, true},
        {"the user picks the instrument", [&] { pick(0); }, 0, false},
        {"the user picks a software port", [&] { pick(2); }, 2, true},
        {"the user picks the instrument again", [&] { pick(0); }, 0, false},
        {"the instrument is unplugged: Midi Through is selected",
         [&] {
             m_backend.removeEndpoint(keys, ControlledVirtualBackend::Announce::Yes);
             drainEvents();
         },
         0, true},
    };
    for (const SStep& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(document.form()->m_popOutput->currentIndex(), step.selected);
        EXPECT_EQ(openDestination(), MIDIGetDestination(static_cast<ItemCount>(step.selected)));
        EXPECT_EQ(hintShown(), step.hint);
    }
    EXPECT_TRUE(m_alerts.m_shown.empty());
}

// Sending to a port that is no instrument asks first, Cancel the default;
// the user's own pick is the output chosen again at the next start.
TEST_F(OutputSelectionTest, SendingToASoftwarePortAsksFirst)
{
    addPort("ZAV10 MIDI 1", true);
    addPort("Midi Through Port-0", false);
    REVArodozDoc& document = openDocument();
    pick(1);
    EXPECT_EQ(document.form()->m_txtOutputHint->text(),
              "This output is a software port, not the instrument: choose the instrument above.");
    m_backend.clearSent();
    document.form()->m_btnPlay->click();
    ASSERT_EQ(m_alerts.m_asked.size(), 1u);
    EXPECT_EQ(m_alerts.m_asked[0].headline, "Send the update to \u201CMidi Through Port-0\u201D?");
    EXPECT_EQ(m_alerts.m_asked[0].keepLabel, "Cancel");
    EXPECT_FALSE(m_alerts.m_asked[0].proceedIsDefault);
    EXPECT_FALSE(document.smfIsRunning());
    EXPECT_TRUE(m_backend.sentLists().empty());
    EXPECT_EQ(CUpdateMemory::lastOutput(), "Midi Through Port-0");

    pick(0);
    document.form()->m_btnPlay->click();
    EXPECT_EQ(m_alerts.m_asked.size(), 1u) << "the instrument needs no question";
    EXPECT_TRUE(document.smfIsRunning());
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(CUpdateMemory::lastOutput(), "ZAV10 MIDI 1");
}

TEST_F(OutputSelectionTest, PickingAnEntryOpensItAndRemembersItsTitle)
{
    addDestination("Synth A");
    const MIDIEndpointRef b = addDestination("Synth B");
    REVArodozDoc& document = openDocument();

    pick(1);
    EXPECT_EQ(openDestination(), b);
    EXPECT_EQ(document.rememberedDeviceName(), "Synth B");
    EXPECT_TRUE(m_alerts.m_shown.empty());
}

TEST_F(OutputSelectionTest, ChosenDeviceIsFoundAgainAfterAnotherComesBeforeIt)
{
    const MIDIEndpointRef a = addDestination("Synth A");
    const MIDIEndpointRef b = addDestination("Synth B");
    REVArodozDoc& document = openDocument();
    pick(1);

    // The platform's order changes: a new device stands first.
    m_backend.removeEndpoint(a, ControlledVirtualBackend::Announce::No);
    m_backend.removeEndpoint(b, ControlledVirtualBackend::Announce::No);
    addDestination("Keys C");
    addDestination("Synth A");
    const MIDIEndpointRef movedB = addDestination("Synth B");
    announce();

    EXPECT_EQ(listTitles(), (QStringList{"Keys C", "Synth A", "Synth B"}));
    EXPECT_EQ(document.form()->m_popOutput->currentIndex(), 2);
    EXPECT_EQ(document.rememberedDeviceName(), "Synth B");
    EXPECT_EQ(openDestination(), movedB);
    EXPECT_TRUE(m_alerts.m_shown.empty());
}

TEST_F(OutputSelectionTest, ChosenDeviceRemovedFallsBackToTheFirstThenToNoDevice)
{
    const MIDIEndpointRef a = addDestination("Synth A");
    const MIDIEndpointRef b = addDestination("Synth B");
    REVArodozDoc& document = openDocument();
    pick(1);

    m_backend.removeEndpoint(b, ControlledVirtualBackend::Announce::Yes);
    drainEvents();
    EXPECT_EQ(listTitles(), QStringList{"Synth A"});
    EXPECT_EQ(document.form()->m_popOutput->currentIndex(), 0);
    EXPECT_EQ(document.rememberedDeviceName(), "Synth A");
    EXPECT_EQ(openDestination(), a);
    EXPECT_TRUE(document.form()->m_btnPlay->isEnabled());

    m_backend.removeEndpoint(a, ControlledVirtualBackend::Announce::Yes);
    drainEvents();
    EXPECT_EQ(listTitles(), QStringList{"No Device"});
    EXPECT_TRUE(document.remembersNoDeviceMark());
    EXPECT_FALSE(document.form()->m_popOutput->isEnabled());
    EXPECT_FALSE(document.form()->m_btnPlay->isEnabled());
    EXPECT_TRUE(m_alerts.m_shown.empty());

    // A device that comes back is opened at once.
    const MIDIEndpointRef again = addDestination("Synth A", ControlledVirtualBackend::Announce::Yes);
    drainEvents();
    EXPECT_EQ(listTitles(), QStringList{"Synth A"});
    EXPECT_EQ(openDestination(), again);
    EXPECT_TRUE(document.form()->m_btnPlay->isEnabled());
}

TEST_F(OutputSelectionTest, UnreadableNameIsListedByPositionAndNotFoundAgain)
{
    const MIDIEndpointRef first = addDestination("Synth A");
    addDestination("Synth B");
    addDestination("Synth C");
    const MIDIEndpointRef unnamed = addDestination(std::nullopt);
    REVArodozDoc& document = openDocument();
    EXPECT_EQ(listTitles(), (QStringList{"Synth A", "Synth B", "Synth C", "Endpoint-3"}));

    pick(3);
    EXPECT_EQ(openDestination(), unnamed);
    EXPECT_EQ(document.rememberedDeviceName(), "Endpoint-3");

    announce();
    EXPECT_EQ(document.form()->m_popOutput->currentIndex(), 0);
    EXPECT_EQ(document.rememberedDeviceName(), "Synth A");
    EXPECT_EQ(openDestination(), first);
}

TEST_F(OutputSelectionTest, SameNameTwiceFindsTheFirst)
{
    const MIDIEndpointRef first = addDestination("Twin");
    addDestination("Twin");
    REVArodozDoc& document = openDocument();

    pick(1);
    announce();
    EXPECT_EQ(document.form()->m_popOutput->currentIndex(), 0);
    EXPECT_EQ(openDestination(), first);
}

TEST_F(OutputSelectionTest, DeviceNamedLikeTheMarkIsStillADevice)
{
    addDestination("Synth A");
    const MIDIEndpointRef named = addDestination("No Device");
    REVArodozDoc& document = openDocument();

    pick(1);
    ASSERT_EQ(document.rememberedDeviceName(), "No Device");
    EXPECT_FALSE(document.remembersNoDeviceMark());
    announce();
    EXPECT_EQ(document.form()->m_popOutput->currentIndex(), 1);
    EXPECT_EQ(openDestination(), named);
}

TEST_F(OutputSelectionTest, PickOutsideTheListIsRefusedWithNoSuchDevice)
{
    addDestination("Synth A");
    REVArodozDoc& document = openDocument();

    document.form()->m_popOutput->setCurrentIndex(-1);
    document.smfOutputDevice(document.form()->m_popOutput);
    EXPECT_TRUE(document.remembersNoDeviceMark());
    ASSERT_EQ(m_alerts.m_shown.size(), 1u);
    EXPECT_EQ(m_alerts.m_shown[0].code(), -536870208);
    // A run can still be started.
    EXPECT_TRUE(document.form()->m_popOutput->isEnabled());
    EXPECT_TRUE(document.form()->m_btnPlay->isEnabled());
}

TEST_F(OutputSelectionTest, FailedOpenShowsTheStatusAndLeavesNoSelection)
{
    addDestination("Synth A");
    addDestination("Synth B");
    REVArodozDoc& document = openDocument();

    m_backend.failNextPortCreate(kMIDIServerStartErr);
    pick(1);
    EXPECT_TRUE(document.remembersNoDeviceMark());
    EXPECT_EQ(document.form()->m_popOutput->currentIndex(), -1);
    ASSERT_EQ(m_alerts.m_shown.size(), 1u);
    EXPECT_EQ(m_alerts.m_shown[0].code(), kMIDIServerStartErr);
    EXPECT_TRUE(document.form()->m_btnPlay->isEnabled());
}

// The line under the list says who the selected instrument is: what it
// answers, that it did not, or nothing where it cannot or may not be asked.
TEST_F(OutputSelectionTest, TheInstrumentLineSaysWhoTheSelectedInstrumentIs)
{
    // The answer comes on the backend's receive thread: each simulated wait lets it in first.
    m_clock.setSleepHook([this](std::uint64_t) { m_backend.waitForIncoming(); });
    addAnsweringInstrument();
    addPort("Midi Through Port-0", false);
    m_backend.addDestination({"Quiet Keys", "Quiet Keys", "Quiet Keys", true}, {},
                             ControlledVirtualBackend::Announce::No);
    m_backend.addSource({"Quiet Keys", "Quiet Keys", "Quiet Keys", true}, ControlledVirtualBackend::Announce::No);
    REVArodozDoc& document = openDocument();
    ASSERT_EQ(listTitles(), (QStringList{"Virtual Instrument", "Quiet Keys", "Midi Through Port-0"}));
    EXPECT_EQ(instrumentLine(), "manufacturer 0x7D, family 0x0001, model 0x000A \u00b7 firmware 1.0");
    EXPECT_EQ(document.form()->m_txtInstrument->accessibleName(), "Instrument");

    pick(1);
    EXPECT_EQ(instrumentLine(), "did not answer (many instruments do not)");
    m_backend.clearSent();
    pick(2);
    EXPECT_EQ(instrumentLine(), "") << "Midi Through has no source of its own to answer on";
    EXPECT_EQ(identityRequests(), 0u);

    // Switched off, and remembered: no request at all, as before the line existed.
    document.form()->actionAskInstrument->trigger();
    EXPECT_FALSE(CUpdateMemory::asksInstrument());
    m_backend.clearSent();
    pick(0);
    EXPECT_EQ(instrumentLine(), "");
    EXPECT_EQ(identityRequests(), 0u);
    document.form()->actionAskInstrument->trigger();
    EXPECT_EQ(instrumentLine(), "manufacturer 0x7D, family 0x0001, model 0x000A \u00b7 firmware 1.0");
    EXPECT_EQ(identityRequests(), 1u);

    // While a run holds the instrument's input, an inquiry gives way at once (the run asks
    // for itself): one that waited for the run would hold up closing the window until the
    // whole update had gone.
    {
        const std::lock_guard run(CInstrumentLine::portsInUse());
        m_backend.clearSent();
        pick(1);
        EXPECT_EQ(instrumentLine(), "");
        EXPECT_EQ(identityRequests(), 0u);
    }
}

} // namespace
