// The output list: the user's pick, devices that come and go, names that
// cannot be read or are not unique, and failed opens.

#include "DocumentTestEnvironment.h"

#include <QPushButton>

namespace {

using mirelo::midi::VirtualBackend;
using mirelo::test::CDocumentTest;

class OutputSelectionTest : public CDocumentTest {
protected:
    // Lets the posted setup-change notifications reach the document.
    void announce()
    {
        m_backend.notifyClients(kMIDIMsgSetupChanged);
        drainEvents();
    }
};

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
    m_backend.removeEndpoint(a, VirtualBackend::Announce::No);
    m_backend.removeEndpoint(b, VirtualBackend::Announce::No);
    addDestination("Keys C");
    addDestination("Synth A");
    const MIDIEndpointRef movedB = addDestination("Synth B");
    announce();

    EXPECT_EQ(listTitles(), (QStringList{"Keys C", "Synth A", "Synth B"}));
    EXPECT_EQ(document.m_popOutput->currentIndex(), 2);
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

    m_backend.removeEndpoint(b, VirtualBackend::Announce::Yes);
    drainEvents();
    EXPECT_EQ(listTitles(), QStringList{"Synth A"});
    EXPECT_EQ(document.m_popOutput->currentIndex(), 0);
    EXPECT_EQ(document.rememberedDeviceName(), "Synth A");
    EXPECT_EQ(openDestination(), a);
    EXPECT_TRUE(document.m_btnPlay->isEnabled());

    m_backend.removeEndpoint(a, VirtualBackend::Announce::Yes);
    drainEvents();
    EXPECT_EQ(listTitles(), QStringList{"No Device"});
    EXPECT_TRUE(document.remembersNoDeviceMark());
    EXPECT_FALSE(document.m_popOutput->isEnabled());
    EXPECT_FALSE(document.m_btnPlay->isEnabled());
    EXPECT_TRUE(m_alerts.m_shown.empty());

    // A device that comes back is opened at once.
    const MIDIEndpointRef again = addDestination("Synth A", VirtualBackend::Announce::Yes);
    drainEvents();
    EXPECT_EQ(listTitles(), QStringList{"Synth A"});
    EXPECT_EQ(openDestination(), again);
    EXPECT_TRUE(document.m_btnPlay->isEnabled());
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
    EXPECT_EQ(document.m_popOutput->currentIndex(), 0);
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
    EXPECT_EQ(document.m_popOutput->currentIndex(), 0);
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
    EXPECT_EQ(document.m_popOutput->currentIndex(), 1);
    EXPECT_EQ(openDestination(), named);
}

TEST_F(OutputSelectionTest, PickOutsideTheListIsRefusedWithNoSuchDevice)
{
    addDestination("Synth A");
    REVArodozDoc& document = openDocument();

    document.m_popOutput->setCurrentIndex(-1);
    document.smfOutputDevice(document.m_popOutput);
    EXPECT_TRUE(document.remembersNoDeviceMark());
    ASSERT_EQ(m_alerts.m_shown.size(), 1u);
    EXPECT_EQ(m_alerts.m_shown[0].code(), -536870208);
    // A run can still be started.
    EXPECT_TRUE(document.m_popOutput->isEnabled());
    EXPECT_TRUE(document.m_btnPlay->isEnabled());
}

TEST_F(OutputSelectionTest, FailedOpenShowsTheStatusAndLeavesNoSelection)
{
    addDestination("Synth A");
    addDestination("Synth B");
    REVArodozDoc& document = openDocument();

    m_backend.failNextPortCreate(kMIDIServerStartErr);
    pick(1);
    EXPECT_TRUE(document.remembersNoDeviceMark());
    EXPECT_EQ(document.m_popOutput->currentIndex(), -1);
    ASSERT_EQ(m_alerts.m_shown.size(), 1u);
    EXPECT_EQ(m_alerts.m_shown[0].code(), kMIDIServerStartErr);
    EXPECT_TRUE(document.m_btnPlay->isEnabled());
}

} // namespace
