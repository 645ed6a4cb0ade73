// The fault matrix through the update document: opened as the application
// opens it, then Play, on the virtual backend and the simulated clock. Each
// row checks the alerts shown, the bar after the run, the messages that
// reached "Synth", that nothing went out after a failed send, and leaks.

#include "tests/app/DocumentTestEnvironment.h"
#include "tests/faults/FaultTable.h"
#include "tests/faults/FaultWorld.h"
#include "tests/support/ScopedRecordFolder.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#if defined(__SANITIZE_ADDRESS__)
// fontconfig, loaded by Qt's offscreen platform, keeps caches that LSan cannot
// always trace back to a root while the program runs. Ours stay checked.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
#endif

namespace {

using mirelo::test::CFaultSetup;
using mirelo::test::CScopedRecordFolder;
using mirelo::test::EFault;
using mirelo::test::SFaultRow;

class FaultMatrixDocument : public mirelo::test::CDocumentTest, public testing::WithParamInterface<SFaultRow> {
protected:
    void SetUp() override
    {
        mirelo::test::leaksSinceLastCheck();
        CDocumentTest::SetUp();
        writeUpdateFile(mirelo::test::faultUpdateImage());
        // The alerts read their texts from the application's own tables.
        for (const char* table : {"OSErrors.json", "AudioErrors.json"}) {
            std::filesystem::copy_file(std::filesystem::path(MIRELO_SOURCE_RESOURCES_DIR) / table, m_dir / table);
        }
    }
    void TearDown() override
    {
        m_setup.reset();
        CDocumentTest::TearDown();
        EXPECT_EQ(mirelo::test::leaksSinceLastCheck(), 0) << "leaked";
    }

    std::string alertTexts() const
    {
        std::string texts;
        for (const CError& error : m_alerts.m_shown) {
            texts += "[" + error.domain().toStdString() + " " + std::to_string(error.code()) + ": " +
                     mirelo::test::CRecordingAlerts::textOf(error) + "]";
        }
        return texts;
    }

    std::unique_ptr<CFaultSetup> m_setup;
};

TEST_P(FaultMatrixDocument, UserSeesTheOutcomeAndNothingGoesOutAfterAFailure)
{
    const SFaultRow& row = GetParam();
    // The device controller first, as at launch: a failing client creation is
    // then the document's own.
    CZAVController::initialize();
    m_setup = std::make_unique<CFaultSetup>(m_backend, m_clock, row);
    const CScopedRecordFolder record(m_dir / "state");

    std::shared_ptr<REVArodozDoc> document;
    try {
        document = std::shared_ptr<REVArodozDoc>(&openDocument(), [](REVArodozDoc*) {});
    } catch (const std::runtime_error&) {
    }
    if (row.documentBar == mirelo::test::kNoBar) {
        EXPECT_FALSE(document) << "the document opened";
    } else {
        ASSERT_TRUE(document) << alertTexts();
        EXPECT_EQ(document->form()->m_txtOutputHint->isHidden(), row.fault != EFault::kNoInstrument)
            << "the hint shows exactly when no instrument is connected";
        mirelo::test::spoilUpdateFile(row.fault, m_updateFile);
        // As the user sends it: a send to a port that is no instrument asks
        // first, and the user goes ahead.
        m_alerts.m_goAhead = true;
        document->form()->m_btnPlay->click();
        EXPECT_EQ(m_alerts.m_asked.size(), row.fault == EFault::kNoInstrument ? 1u : 0u);
        ASSERT_TRUE(waitForRunEnd());
        drainEvents();
        EXPECT_EQ(document->form()->m_progress->value(), static_cast<int>(row.documentBar));
        EXPECT_FALSE(document->smfIsRunning());
        EXPECT_FALSE(document->form()->m_btnPlay->isChecked());
    }

    if (row.documentAlert == nullptr) {
        EXPECT_TRUE(m_alerts.m_shown.empty()) << alertTexts();
    } else if (row.documentBar == mirelo::test::kNoBar) {
        // No MIDI system: the user is asked whether to retry, in plain words.
        EXPECT_TRUE(m_alerts.m_shown.empty()) << alertTexts();
        ASSERT_EQ(m_alerts.m_asked.size(), 1u);
        EXPECT_NE(m_alerts.m_asked[0].text.toStdString().find(row.documentAlert), std::string::npos)
            << m_alerts.m_asked[0].text.toStdString();
    } else {
        EXPECT_EQ(m_alerts.m_shown.size(), 1u) << alertTexts();
        EXPECT_NE(alertTexts().find(row.documentAlert), std::string::npos) << alertTexts();
    }
    EXPECT_EQ(m_setup->sentToSynth(), row.documentSent);
    EXPECT_FALSE(m_setup->sentAfterAFailure()) << "a message went out after a failed send";
    EXPECT_EQ(record.results(), CScopedRecordFolder::expected(row.documentRecord));
    if (row.fault == EFault::kSameName) {
        EXPECT_EQ(m_backend.sentLists().size(), row.documentSent) << "the run was split between the two";
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrixDocument, testing::ValuesIn(mirelo::test::kFaultRows),
                         [](const auto& row) { return mirelo::test::rowTestName(row.param); });

} // namespace
