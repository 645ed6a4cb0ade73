// Start-up, opening, the window's fixed fields, saving, teardown and the ways
// closing ends the application.

#include "tests/app/DocumentTestEnvironment.h"

#include "app/AlertPresenter.h"
#include "app/DocumentWindow.h"
#include "app/ProcessActivity.h"
#include "app/REVArodozDelegate.h"

#include "update/FileDigest.h"

#include <QAccessible>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QTimer>
#include <QMenu>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <set>

namespace {

using mirelo::test::Bytes;
using mirelo::test::CDocumentTest;
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
        // The window is up at once and says what it does while the file is
        // checked off the GUI thread; nothing can be sent before that ends.
        EXPECT_TRUE(m_document->window()->isVisible());
        if (m_document->isChecking()) {
            EXPECT_TRUE(m_document->form()->m_txtStatus->text().startsWith("Checking the update file"));
            EXPECT_FALSE(m_document->form()->m_btnPlay->isEnabled());
        }
        ASSERT_TRUE(waitForCheck());
        EXPECT_TRUE(m_terminations.empty());
        EXPECT_TRUE(m_alerts.m_shown.empty());
        ASSERT_NE(delegate.activity(), nullptr);
        EXPECT_EQ(delegate.activity()->reason(), "PreventAppNap");

        ASSERT_NE(m_document->window(), nullptr);
        EXPECT_EQ(m_document->window()->windowTitle(), "mirelo updater.dat");
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
        m_backend.clearSent();
        CDocumentController documents;
        REVArodozDelegate delegate;
        delegate.applicationDidFinishLaunching(nullptr);

        ASSERT_TRUE(QTest::qWaitFor([this] { return !m_terminations.empty(); }, kWaitMs));
        ASSERT_EQ(m_alerts.m_shown.size(), 1u);
        const std::string alert = mirelo::test::CRecordingAlerts::textOf(m_alerts.m_shown[0]);
        EXPECT_NE(alert.find(c.alert), std::string::npos) << alert;
        // One next step, and it is not "send it again".
        EXPECT_NE(alert.find(c.image ? "Reinstall mirelo updater to restore its update file" : "Reinstall"),
                  std::string::npos)
            << alert;
        ASSERT_EQ(m_terminations.size(), 1u);
        EXPECT_EQ(m_terminations[0], 1);
        EXPECT_TRUE(m_backend.sentLists().empty()) << "a damaged update was sent";
        for (const auto& document : documents.documents()) {
            EXPECT_FALSE(document->form()->m_btnPlay->isEnabled());
        }
        documents.closeAllDocuments();
        CZAVController::terminate();
    }
}

// Keyboard users start on the send button and reach it, the output list and
// the menus with Alt; screen readers find a name and a description on every
// control, the window as a window, the chosen output as the list's value with
// its items and label, the progress bar without actions, and a time field
// that does not rename itself as it counts.
TEST_F(DocumentLifecycleTest, KeyboardAndAssistiveTechnologyReachEveryControl)
{
    addDestination("Synth A");
    addDestination("Synth B");
    REVArodozDoc& document = openDocument();
    document.showWindows();
    CDocumentWindow* window = document.window();
    EXPECT_EQ(window->focusWidget(), document.form()->m_btnPlay);
    EXPECT_EQ(m_alerts.m_anchor, window) << "alerts are shown over the window";

    EXPECT_EQ(QKeySequence::mnemonic(document.form()->m_btnPlay->text()), QKeySequence(Qt::ALT | Qt::Key_S));
    const auto* outputLabel = window->findChild<QLabel*>("lblOutput");
    ASSERT_NE(outputLabel, nullptr);
    EXPECT_EQ(QKeySequence::mnemonic(outputLabel->text()), QKeySequence(Qt::ALT | Qt::Key_O));
    EXPECT_EQ(outputLabel->buddy(), document.form()->m_popOutput);
    for (const QMenu* menu : {document.form()->menuFile, document.form()->menuHelp}) {
        EXPECT_FALSE(QKeySequence::mnemonic(menu->title()).isEmpty()) << menu->title().toStdString();
        for (const QAction* action : menu->actions()) {
            EXPECT_TRUE(action->isSeparator() || !QKeySequence::mnemonic(action->text()).isEmpty())
                << action->text().toStdString();
        }
    }
    EXPECT_TRUE(document.form()->actionShortcuts->shortcuts().contains(QKeySequence(Qt::Key_F1)));
    EXPECT_TRUE(document.form()->actionOpen->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_O)));

    std::vector<QWidget*> controls = {document.form()->m_progress};
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        // The form's controls that a user can reach now, not Qt's own parts of them.
        if ((widget->focusPolicy() & Qt::TabFocus) != 0 && widget->objectName().startsWith("m_") &&
            widget->isVisibleTo(window)) {
            controls.push_back(widget);
        }
    }
    EXPECT_GE(controls.size(), 3u);
    for (QWidget* control : controls) {
        SCOPED_TRACE(control->objectName().toStdString());
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty());
        EXPECT_FALSE(accessible->text(QAccessible::Description).isEmpty());
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(window)->role(), QAccessible::Window);

    // The list says which output is chosen, offers its items and is labelled "Output".
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(document.form()->m_popOutput);
    EXPECT_EQ(list->role(), QAccessible::ComboBox);
    EXPECT_EQ(list->text(QAccessible::Value), "Synth A");
    pick(1);
    EXPECT_EQ(list->text(QAccessible::Value), "Synth B");
    QStringList items;
    for (int i = 0; i < list->childCount(); ++i) {
        QAccessibleInterface* child = list->child(i);
        for (int j = 0; child != nullptr && j < child->childCount(); ++j) {
            items << child->child(j)->text(QAccessible::Name);
        }
    }
    EXPECT_EQ(items, (QStringList{"Synth A", "Synth B"}));
    bool labelled = false;
    for (const auto& [other, relation] : list->relations(QAccessible::Label)) {
        labelled = labelled || other->object() == outputLabel;
    }
    EXPECT_TRUE(labelled);

    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(document.form()->m_progress);
    EXPECT_EQ(bar->role(), QAccessible::ProgressBar);
    EXPECT_EQ(bar->text(QAccessible::Name), "Update progress");
    EXPECT_EQ(bar->text(QAccessible::Value), "0%");
    EXPECT_EQ(bar->valueInterface(), nullptr) << "a value interface offers Increase and Decrease";
    EXPECT_TRUE(bar->actionInterface() == nullptr || bar->actionInterface()->actionNames().isEmpty());

    QAccessibleInterface* elapsed = QAccessible::queryAccessibleInterface(document.form()->m_txtPosition_time);
    document.form()->m_txtPosition_time->setText("00:00:01.2");
    EXPECT_EQ(elapsed->text(QAccessible::Name), "Elapsed time");

    QAccessibleInterface* play = QAccessible::queryAccessibleInterface(document.form()->m_btnPlay);
    EXPECT_EQ(play->role(), QAccessible::Button);
    EXPECT_TRUE(play->state().checkable);
    EXPECT_FALSE(play->state().checked);
    document.form()->m_btnPlay->setChecked(true);
    EXPECT_TRUE(play->state().checked);
    document.form()->m_btnPlay->setChecked(false);
}

// The panel says what the file is, so that a technician can tell it from
// another: a file with one firmware byte changed shows another SHA-256.
TEST_F(DocumentLifecycleTest, TheFilePanelShowsWhatTheFileIs)
{
    const auto twoTracks = [] {
        CSmfImageBuilder image(480, 1);
        image.track().tempo(0, 500000);
        image.track().sysEx(0, CSmfImageBuilder::message(10, 1)).sysEx(960, CSmfImageBuilder::message(20, 2));
        return image.build();
    };
    Bytes changedByte = updateImage();
    changedByte[changedByte.size() - 10] ^= 0x01;
    // The header message of the project's firmware format names version 2.7.
    const Bytes versioned = CSmfImageBuilder(96, 0)
                                .track()
                                .sysEx(0, {0xF0, 0x7D, 0x4D, 0x01, 2, 7, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0xF7})
                                .build();
    struct SCase {
        const char* what;
        Bytes image;
        QStringList shown; // format, division, messages, how long, firmware
    };
    const SCase cases[] = {
        {"one track",
         updateImage(),
         {"format 0, 1 track", "96 ticks per quarter note", "4 SysEx, 1,200 bytes", "1.5 s", "\u2013"}},
        {"a firmware byte changed",
         changedByte,
         {"format 0, 1 track", "96 ticks per quarter note", "4 SysEx, 1,200 bytes", "1.5 s", "\u2013"}},
        {"two tracks",
         twoTracks(),
         {"format 1, 2 tracks", "480 ticks per quarter note", "2 SysEx, 30 bytes", "1.0 s", "\u2013"}},
        {"SMPTE division",
         CSmfImageBuilder(0xE728, 0).track().sysEx(0, {0xF0, 0x01, 0xF7}).build(),
         {"format 0, 1 track", "25 frames per second, 40 ticks per frame", "1 SysEx, 3 bytes", "0.0 s", "\u2013"}},
        {"a stated firmware version",
         versioned,
         {"format 0, 1 track", "96 ticks per quarter note", "1 SysEx, 19 bytes", "0.0 s", "2.7"}},
    };
    std::set<QString> digests;
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        writeUpdateFile(c.image);
        REVArodozDoc& document = openDocument();
        const auto& form = *document.form();
        EXPECT_EQ(form.m_txtFileName->text(), "mirelo updater.dat");
        EXPECT_EQ((QStringList{form.m_txtType->text(), form.m_txtResolution->text(), form.m_txtMessages->text(),
                               form.m_txtLength_time->text(), form.m_txtVersion->text()}),
                  c.shown);
        const QString digest = QString::fromStdString(CFileDigest::sha256(c.image.data(), c.image.size()));
        EXPECT_EQ(form.m_txtDigest->text(), digest.left(16) + "\u2026");
        EXPECT_EQ(form.m_txtDigest->toolTip(), digest);
        EXPECT_TRUE(form.m_txtDigest->accessibleDescription().contains(digest));
        digests.insert(form.m_txtDigest->text());
        m_document.reset();
        m_documents.reset();
        CZAVController::terminate();
    }
    EXPECT_EQ(digests.size(), std::size(cases)) << "two files look alike";
}

// Another update file, chosen under File › Open… or dropped onto the window,
// becomes the document only once it has passed the same check; one that fails
// it is refused with the same words, and the document keeps the file it had.
TEST_F(DocumentLifecycleTest, AnotherUpdateFileIsCheckedBeforeItIsTheDocument)
{
    m_backend.addDestination({"model", "Synth A", "Synth A", true}, {},
                             mirelo::midi::ControlledVirtualBackend::Announce::No);
    REVArodozDoc& document = openDocument();
    CDocumentWindow& window = *document.window();
    EXPECT_EQ(window.windowTitle(), "mirelo updater.dat");

    const auto write = [this](const char* name, const Bytes& image) {
        const std::filesystem::path path = m_dir / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        return QString::fromStdString(path.string());
    };
    CSmfImageBuilder twoMessages(480, 0);
    twoMessages.track().sysEx(0, CSmfImageBuilder::message(10, 1)).sysEx(480, CSmfImageBuilder::message(20, 2));
    const QString other = write("other firmware.mid", twoMessages.build());
    Bytes damagedImage = updateImage();
    damagedImage.resize(damagedImage.size() - 5);
    const QString damaged = write("damaged.mid", damagedImage);

    // File › Open…: the menu's action, the dialog, the file chosen there.
    // An earlier test that ended "the application" leaves Qt's quit flag set,
    // and a dialog's loop would return at once; the application's own loop
    // running once clears it, as it is clear in the application.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    QTimer::singleShot(0, [&other] {
        ASSERT_TRUE(QTest::qWaitFor([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); }));
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        // The file's name typed where the dialog asks for it, then Return.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(other);
        QTest::keyClick(name, Qt::Key_Return);
    });
    document.form()->actionOpen->trigger();
    ASSERT_TRUE(waitForCheck());
    EXPECT_EQ(window.windowTitle(), "other firmware.mid");
    EXPECT_EQ(document.form()->m_txtFileName->text(), "other firmware.mid");
    EXPECT_EQ(document.form()->m_txtMessages->text(), "2 SysEx, 30 bytes");
    EXPECT_TRUE(document.form()->m_btnPlay->isEnabled());
    EXPECT_TRUE(m_alerts.m_shown.empty());

    // A damaged file dropped onto the window is refused; nothing changes.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(damaged)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    EXPECT_TRUE(document.isChecking()) << "the check runs off the GUI thread";
    EXPECT_FALSE(document.form()->m_btnPlay->isEnabled()) << "nothing is sent while a file is checked";
    ASSERT_TRUE(waitForCheck());
    ASSERT_EQ(m_alerts.m_shown.size(), 1u);
    EXPECT_EQ(m_alerts.m_shown[0].description(), "\u201Cdamaged.mid\u201D is damaged and cannot be sent.");
    EXPECT_EQ(m_alerts.m_shown[0].recoverySuggestion(),
              "Nothing was sent. Download the update file again, or open another one.");
    EXPECT_EQ(window.windowTitle(), "other firmware.mid");
    EXPECT_EQ(document.form()->m_txtMessages->text(), "2 SysEx, 30 bytes");
    EXPECT_TRUE(document.form()->m_btnPlay->isEnabled());

    // What goes out is the file the window shows.
    m_backend.clearSent();
    document.form()->m_btnPlay->click();
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(document.form()->m_txtStatus->text(), "Sent 2 messages (30 bytes) in 0.5 s to \u201CSynth A\u201D.");
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

// No MIDI system: the user is told so in plain words and may try again (after
// loading the sequencer) or quit; quitting leaves no document.
TEST_F(DocumentLifecycleTest, NoMidiSystemOffersRetry)
{
    for (const bool retry : {false, true}) {
        SCOPED_TRACE(retry ? "Retry" : "Quit");
        m_alerts.m_asked.clear();
        m_alerts.m_shown.clear();
        m_alerts.m_goAhead = retry;
        CZAVController::initialize();
        m_backend.failNextClientCreate(kMIDIServerStartErr);
        CDocumentController documents;
        std::optional<CError> error;
        auto document = documents.openDocumentWithContentsOfURL(
            QUrl::fromLocalFile(QString::fromStdString(m_updateFile.string())), true, &error);
        ASSERT_EQ(m_alerts.m_asked.size(), 1u);
        EXPECT_EQ(m_alerts.m_asked[0].headline, "There is no MIDI system to send the update through.");
        EXPECT_TRUE(m_alerts.m_asked[0].text.contains("MIDI system could not be started"))
            << m_alerts.m_asked[0].text.toStdString();
        EXPECT_EQ(m_alerts.m_asked[0].proceedLabel, "&Retry");
        EXPECT_TRUE(m_alerts.m_asked[0].proceedIsDefault);
        EXPECT_TRUE(m_alerts.m_shown.empty()) << "asked once, not told twice";
        if (retry) {
            ASSERT_NE(document, nullptr);
            EXPECT_NE(document->midiClient(), 0u);
            EXPECT_FALSE(error);
        } else {
            EXPECT_EQ(document, nullptr);
            EXPECT_TRUE(documents.documents().empty());
            ASSERT_TRUE(error);
            EXPECT_EQ(error->code(), kMIDIServerStartErr);
        }
        documents.closeAllDocuments();
        CZAVController::terminate();
    }
}

TEST_F(DocumentLifecycleTest, UnreadDocumentShowsNoDeviceAndCannotPlay)
{
    addDestination("Synth A");
    m_document = REVArodozDoc::create();
    m_document->makeWindowControllers();
    EXPECT_EQ(listTitles(), QStringList{"No Device"});
    EXPECT_FALSE(m_document->form()->m_btnPlay->isEnabled());
    EXPECT_FALSE(m_document->form()->m_popOutput->isEnabled());
    EXPECT_EQ(m_document->form()->m_txtType->text(), "\u2013") << "no file, no facts";
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
