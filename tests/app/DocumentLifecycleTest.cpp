// Start-up, opening, the window's fixed fields, saving, teardown and the ways
// closing ends the application.

#include "tests/app/DocumentTestEnvironment.h"

#include "app/AlertPresenter.h"
#include "app/DocumentWindow.h"
#include "app/ProcessActivity.h"
#include "app/REVArodozDelegate.h"

#include <QAccessible>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace {

using mirelo::test::CDocumentTest;
using mirelo::test::Bytes;
using mirelo::test::CSmfImageBuilder;

class DocumentLifecycleTest : public CDocumentTest {};

struct SStartup {
    std::vector<std::string> destinations;
    QStringList expectedTitles;
    bool enabled;
};

TEST_F(DocumentLifecycleTest, StartupListsTheDestinationsAndOpensTheFirst)
{
    const SStartup cases[] = {
        {{}, {"No Device"}, false},
        {{"Synth A"}, {"Synth A"}, true},
        {{"Synth A", "Synth B"}, {"Synth A", "Synth B"}, true},
    };
    for (const SStartup& c : cases) {
        SCOPED_TRACE(c.destinations.size());
        std::vector<MIDIEndpointRef> refs;
        for (const std::string& name : c.destinations) {
            refs.push_back(addDestination(name));
        }
        CDocumentController documents;
        REVArodozDelegate delegate;
        delegate.applicationDidFinishLaunching(nullptr);

        ASSERT_EQ(documents.documents().size(), 1u);
        m_document = documents.documents().front();
        EXPECT_TRUE(m_terminations.empty());
        EXPECT_TRUE(m_alerts.m_shown.empty());
        ASSERT_NE(delegate.activity(), nullptr);
        EXPECT_EQ(delegate.activity()->reason(), "PreventAppNap");

        ASSERT_NE(m_document->window(), nullptr);
        EXPECT_EQ(m_document->window()->windowTitle(), "mirelo updater");
        EXPECT_EQ(listTitles(), c.expectedTitles);
        EXPECT_EQ(m_document->form()->m_popOutput->isEnabled(), c.enabled);
        EXPECT_EQ(m_document->form()->m_btnPlay->isEnabled(), c.enabled);
        EXPECT_FALSE(m_document->form()->m_btnPlay->isChecked());
        if (refs.empty()) {
            EXPECT_TRUE(m_document->remembersNoDeviceMark());
        } else {
            EXPECT_EQ(m_document->form()->m_popOutput->currentIndex(), 0);
            EXPECT_EQ(m_document->rememberedDeviceName(), QString::fromStdString(c.destinations.front()));
            EXPECT_EQ(openDestination(), refs.front());
        }
        EXPECT_EQ(m_document->form()->m_txtTracks->text(), "0");
        EXPECT_EQ(m_document->form()->m_txtLength_time->text(), "00:00:00.000");
        EXPECT_EQ(m_document->form()->m_txtLength_beats->text(), "0.0");

        m_document.reset();
        documents.closeAllDocuments();
        for (MIDIEndpointRef ref : refs) {
            m_backend.removeEndpoint(ref, mirelo::midi::ControlledVirtualBackend::Announce::No);
        }
    }
}

TEST_F(DocumentLifecycleTest, MissingOrDamagedUpdateFileAtStartupAlertsAndEndsWithFailure)
{
    struct SCase {
        const char* name;
        std::optional<Bytes> image; // none: the file is missing
        const char* alert;
    };
    const SCase cases[] = {
        {"missing", std::nullopt, "mirelo updater.dat"},
        {"status byte inside a SysEx",
         CSmfImageBuilder(96, 0).track().tempo(0, 500000).sysEx(0, {0xF0, 0x7D, 0x90, 0xF7}).build(),
         "mirelo updater.dat: track 0, event 1 at byte 33: SysEx holds status byte 0x90"},
        {"no SysEx", CSmfImageBuilder(96, 0).track().tempo(0, 500000).build(),
         "mirelo updater.dat: the file holds no SysEx message"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_alerts.m_shown.clear();
        m_terminations.clear();
        if (c.image) {
            writeUpdateFile(*c.image);
        } else {
            std::filesystem::remove(m_updateFile);
        }
        CZAVController::initialize();
        const std::size_t clients = m_backend.clientCount();
        CDocumentController documents;
        REVArodozDelegate delegate;
        delegate.applicationDidFinishLaunching(nullptr);

        EXPECT_TRUE(documents.documents().empty());
        ASSERT_EQ(m_alerts.m_shown.size(), 1u);
        ASSERT_TRUE(m_alerts.m_shown[0].description());
        EXPECT_TRUE(m_alerts.m_shown[0].description()->contains(QString::fromLatin1(c.alert)))
            << m_alerts.m_shown[0].description()->toStdString();
        ASSERT_EQ(m_terminations.size(), 1u);
        EXPECT_EQ(m_terminations[0], 1);
        EXPECT_EQ(m_backend.clientCount(), clients) << "a damaged update got as far as the MIDI system";
        CZAVController::terminate();
    }
}

// Keyboard users start on Play and reach Play and Output with Alt; screen
// readers find a name and a description on every control, and Play as a
// button that stays on while an update goes out.
TEST_F(DocumentLifecycleTest, KeyboardAndAssistiveTechnologyReachEveryControl)
{
    addDestination("Synth A");
    REVArodozDoc& document = openDocument();
    document.showWindows();
    CDocumentWindow* window = document.window();
    EXPECT_EQ(window->focusWidget(), document.form()->m_btnPlay);
    EXPECT_EQ(m_alerts.m_anchor, window) << "alerts are shown over the window";

    EXPECT_EQ(QKeySequence::mnemonic(document.form()->m_btnPlay->text()), QKeySequence(Qt::ALT | Qt::Key_P));
    const auto* outputLabel = window->findChild<QLabel*>("lblOutput");
    ASSERT_NE(outputLabel, nullptr);
    EXPECT_EQ(QKeySequence::mnemonic(outputLabel->text()), QKeySequence(Qt::ALT | Qt::Key_O));
    EXPECT_EQ(outputLabel->buddy(), document.form()->m_popOutput);
    for (const char* label : {"lblPositionSlider", "lblTempoSlider"}) {
        ASSERT_NE(window->findChild<QLabel*>(label), nullptr) << label;
        EXPECT_NE(window->findChild<QLabel*>(label)->buddy(), nullptr) << label;
    }

    std::vector<QWidget*> controls = {document.form()->m_progress};
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        // The form's controls, not Qt's own parts of them (a list's popup).
        if (widget->focusPolicy() != Qt::NoFocus && widget->objectName().startsWith("m_")) {
            controls.push_back(widget);
        }
    }
    EXPECT_GE(controls.size(), 8u);
    for (QWidget* control : controls) {
        SCOPED_TRACE(control->objectName().toStdString());
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty());
        EXPECT_FALSE(accessible->text(QAccessible::Description).isEmpty());
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(document.form()->m_progress)->text(QAccessible::Name), "Update progress");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(document.form()->m_popOutput)->text(QAccessible::Name), "Output device");

    QAccessibleInterface* play = QAccessible::queryAccessibleInterface(document.form()->m_btnPlay);
    EXPECT_EQ(play->role(), QAccessible::Button);
    EXPECT_TRUE(play->state().checkable);
    EXPECT_FALSE(play->state().checked);
    document.form()->m_btnPlay->setChecked(true);
    EXPECT_TRUE(play->state().checked);
    document.form()->m_btnPlay->setChecked(false);
}

TEST_F(DocumentLifecycleTest, OpeningFailuresPresentTheirErrorAndMakeNoClient)
{
    struct SCase {
        QUrl url;
        std::int64_t code;
    };
    const SCase cases[] = {
        {QUrl(), 258},
        {QUrl("http://example.org/mirelo%20updater.dat"), 258},
        {QUrl::fromLocalFile(QString::fromStdString((m_dir / "absent.dat").string())), 256},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.url.toString().toStdString());
        m_alerts.m_shown.clear();
        const std::size_t clients = m_backend.clientCount();
        auto document = REVArodozDoc::create();
        std::optional<CError> error;
        EXPECT_FALSE(document->readFromURL(c.url, REVArodozDoc::kDocumentType, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
        EXPECT_EQ(error->code(), c.code);
        ASSERT_EQ(m_alerts.m_shown.size(), 1u);
        EXPECT_EQ(m_alerts.m_shown[0], *error);
        EXPECT_EQ(m_backend.clientCount(), clients);
        EXPECT_EQ(document->midiClient(), 0u);
        EXPECT_FALSE(document->filePath());
    }
}

TEST_F(DocumentLifecycleTest, NoMidiClientMeansNoDocument)
{
    CZAVController::initialize();
    m_backend.failNextClientCreate(kMIDIServerStartErr);
    CDocumentController documents;
    std::optional<CError> error;
    auto document = documents.openDocumentWithContentsOfURL(
        QUrl::fromLocalFile(QString::fromStdString(m_updateFile.string())), true, &error);
    EXPECT_EQ(document, nullptr);
    EXPECT_TRUE(documents.documents().empty());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), kMIDIServerStartErr);
    EXPECT_EQ(m_alerts.m_shown.size(), 1u);
}

TEST_F(DocumentLifecycleTest, UnreadDocumentShowsNoDeviceAndCannotPlay)
{
    addDestination("Synth A");
    m_document = REVArodozDoc::create();
    m_document->makeWindowControllers();
    EXPECT_EQ(listTitles(), QStringList{"No Device"});
    EXPECT_FALSE(m_document->form()->m_btnPlay->isEnabled());
    EXPECT_FALSE(m_document->form()->m_popOutput->isEnabled());
    EXPECT_EQ(m_document->form()->m_txtTracks->text(), "0");
    EXPECT_TRUE(m_alerts.m_shown.empty());
}

TEST_F(DocumentLifecycleTest, SavingIsRefused)
{
    REVArodozDoc& document = openDocument();
    std::optional<CError> error;
    EXPECT_FALSE(document.dataOfType(REVArodozDoc::kDocumentType, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NSOSStatusErrorDomain);
    EXPECT_EQ(error->code(), -4);
    EXPECT_FALSE(document.dataOfType(REVArodozDoc::kDocumentType, nullptr));
}

TEST_F(DocumentLifecycleTest, TeardownTwiceReleasesOnceAndKeepsTheNoDeviceMark)
{
    REVArodozDoc& document = openDocument();
    const std::size_t clients = m_backend.clientCount();
    ASSERT_NE(document.midiClient(), 0u);

    document.terminateREVArodozDoc();
    EXPECT_EQ(m_backend.clientCount(), clients - 1);
    EXPECT_EQ(document.midiClient(), 0u);
    EXPECT_FALSE(document.filePath());
    EXPECT_EQ(document.outputNumEndpoints(), 0u);
    EXPECT_FALSE(document.rememberedDeviceName()); // no destination: the mark
    EXPECT_TRUE(document.remembersNoDeviceMark());

    document.terminateREVArodozDoc();
    EXPECT_EQ(m_backend.clientCount(), clients - 1);
    EXPECT_TRUE(document.remembersNoDeviceMark());
    EXPECT_TRUE(m_alerts.m_shown.empty());
    // The third teardown comes with the document's end, in TearDown.
}

TEST_F(DocumentLifecycleTest, TeardownForgetsARememberedDevice)
{
    addDestination("Synth A");
    REVArodozDoc& document = openDocument();
    ASSERT_EQ(document.rememberedDeviceName(), "Synth A");
    document.terminateREVArodozDoc();
    document.terminateREVArodozDoc();
    EXPECT_FALSE(document.rememberedDeviceName());
    EXPECT_FALSE(document.remembersNoDeviceMark());
}

TEST_F(DocumentLifecycleTest, ClosingTheDocumentEndsTheApplication)
{
    REVArodozDoc& document = openDocument();
    std::weak_ptr<REVArodozDoc> weak = m_document;
    m_document.reset();
    document.close();
    EXPECT_TRUE(m_documents->documents().empty());
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(m_terminations, std::vector<int>{0});
    drainEvents(); // the window goes later
}

TEST_F(DocumentLifecycleTest, ClosingTheWindowEndsTheApplication)
{
    CDocumentController documents;
    REVArodozDelegate delegate;
    delegate.applicationDidFinishLaunching(nullptr);
    ASSERT_EQ(documents.documents().size(), 1u);
    EXPECT_TRUE(delegate.applicationShouldTerminateAfterLastWindowClosed(nullptr));
    EXPECT_FALSE(delegate.applicationShouldOpenUntitledFile(nullptr));

    documents.documents().front()->window()->close();
    EXPECT_EQ(m_terminations, std::vector<int>{0});
}

} // namespace
