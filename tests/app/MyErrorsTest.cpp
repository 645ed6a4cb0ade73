#include "app/AlertPresenter.h"
#include "app/AlertText.h"
#include "app/ErrorPresentingTarget.h"
#include "app/MyErrors.h"
#include "platform/base/Bundle.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using mirelo::platform::Bundle;

namespace {

class CRecordingPresenter final : public CAlertPresenter {
public:
    void runModal(const CError& error) override { m_shown.push_back(error); }
    bool ask(const SQuestion& /*question*/) override { return false; }
    void dismissQuestion() override {}
    void setAnchor(QWidget* /*window*/) override {}
    std::vector<CError> m_shown;
};

class CRecordingTarget final : public CErrorPresentingTarget {
public:
    void presentError(const CError& error) override { m_shown.push_back(error); }
    std::vector<CError> m_shown;
};

constexpr std::int32_t kFourCC = 0x666D743F; // 'fmt?'
constexpr std::int32_t kNoDevice = static_cast<std::int32_t>(0xE00002C0u);

// Test tables with a few entries; every other code has none.
class MyErrorsTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::path(testing::TempDir()) / ("myerrors-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        std::ofstream(m_dir / "AudioErrors.json", std::ios::binary)
            << R"({"-10838": "Send failed.", "-536870208": "No such device.", "fmt?": "Unsupported format.",)"
               R"( "A\u00e9BC": "Latin-1 byte.", "-10": "-10"})";
        std::ofstream(m_dir / "OSErrors.json", std::ios::binary) << R"({"-108": "Out of memory."})";
        m_bundle = std::make_unique<Bundle>(m_dir);
        mirelo::platform::overrideMainBundle(m_bundle.get());
        CAlertPresenter::setCurrent(&m_presenter);
    }
    void TearDown() override
    {
        CAlertPresenter::setCurrent(nullptr);
        mirelo::platform::clearMainBundleOverride();
        fs::remove_all(m_dir);
    }

    fs::path m_dir;
    std::unique_ptr<Bundle> m_bundle;
    CRecordingPresenter m_presenter;
};

struct CodeCase {
    std::int32_t code;
    QLatin1StringView domain;
    std::optional<QString> description;
};

TEST_F(MyErrorsTest, ErrorWithCodeChoosesDomainAndDescription)
{
    const CodeCase cases[] = {
        {0, NSCocoaErrorDomain, std::nullopt},
        {256, NSCocoaErrorDomain, std::nullopt},
        {kFourCC, kMyCoreAudioErrorDomain, QStringLiteral("Unsupported format.")},
        {0x41E94243, kMyCoreAudioErrorDomain, QStringLiteral("Latin-1 byte.")},
        {-1, NSOSStatusErrorDomain, QStringLiteral("Unknown OS error: -1.")},
        {-50, NSOSStatusErrorDomain, QStringLiteral("Unknown OS error: -50.")},
        {-108, NSOSStatusErrorDomain, QStringLiteral("Out of memory.")},
        {-10838, kMyCoreAudioErrorDomain, QStringLiteral("Send failed.")},
        // An entry equal to its key cannot be told from a missing one.
        {-10, NSOSStatusErrorDomain, QStringLiteral("Unknown OS error: -10.")},
        {-32767, NSOSStatusErrorDomain, QStringLiteral("Unknown OS error: -32767.")},
        {-32768, NSMachErrorDomain, std::nullopt},
        {INT32_MIN, NSMachErrorDomain, std::nullopt},
        {kNoDevice, kMyCoreAudioErrorDomain, QStringLiteral("No such device.")},
    };
    for (const auto& c : cases) {
        const CError error = MyErrors::errorWithCode(c.code);
        EXPECT_EQ(error, CError(c.domain, c.code, c.description)) << c.code;
    }
}

TEST_F(MyErrorsTest, NoDeviceWithoutAudioEntryIsAMachError)
{
    const Bundle bare(m_dir / "missing folder");
    mirelo::platform::overrideMainBundle(&bare);
    EXPECT_EQ(MyErrors::errorWithCode(kNoDevice), CError(NSMachErrorDomain, kNoDevice));
    EXPECT_EQ(MyErrors::errorWithCode(-10838), CError(NSOSStatusErrorDomain, -10838, "Unknown OS error: -10838."));
}

TEST_F(MyErrorsTest, WithoutMainBundleNothingIsDescribed)
{
    mirelo::platform::overrideMainBundle(nullptr);
    EXPECT_EQ(MyErrors::errorWithAudioStatus(-10838), std::nullopt);
    EXPECT_EQ(MyErrors::errorWithOSStatus(-108), CError(NSOSStatusErrorDomain, -108));
    EXPECT_EQ(MyErrors::errorWithCode(-50), CError(NSOSStatusErrorDomain, -50));
    EXPECT_EQ(MyErrors::errorWithCode(kNoDevice), CError(NSMachErrorDomain, kNoDevice));
    MyErrors::presentAudioError(-10838);
    ASSERT_EQ(m_presenter.m_shown.size(), 1u);
    EXPECT_EQ(m_presenter.m_shown[0], CError(NSOSStatusErrorDomain, -10838));
}

TEST_F(MyErrorsTest, DirectConstructorsIgnoreTheTables)
{
    EXPECT_EQ(MyErrors::errorWithMachStatus(-10838), CError(NSMachErrorDomain, -10838));
    EXPECT_EQ(MyErrors::errorWithCocoaStatus(kFourCC), CError(NSCocoaErrorDomain, kFourCC));
    EXPECT_EQ(MyErrors::errorWithOSStatus(-10838), CError(NSOSStatusErrorDomain, -10838, "Unknown OS error: -10838."));
    EXPECT_EQ(MyErrors::errorWithAudioStatus(-50), std::nullopt);
}

TEST_F(MyErrorsTest, AudioKeysAreDecimalOrFourCharacters)
{
    EXPECT_EQ(MyErrors::audioKey(-10838), QStringLiteral("-10838"));
    EXPECT_EQ(MyErrors::audioKey(kFourCC), QStringLiteral("fmt?"));
    EXPECT_EQ(MyErrors::audioKey(0x41E94243), QString::fromUtf8("A\xC3\xA9"
                                                                "BC"));
    EXPECT_EQ(MyErrors::audioKey(0).size(), 4);
}

TEST_F(MyErrorsTest, PresentOperationsReachThePresenterOrTheTarget)
{
    struct Route {
        const char* name;
        void (*present)(std::int32_t);
        void (*presentTo)(std::int32_t, CErrorPresentingTarget&);
        std::int32_t code;
        CError expected;
    };
    const Route routes[] = {
        {"general", &MyErrors::presentGeneralError, &MyErrors::presentGeneralError, -10838,
         CError(kMyCoreAudioErrorDomain, -10838, "Send failed.")},
        {"mach", &MyErrors::presentMachError, &MyErrors::presentMachError, -10838, CError(NSMachErrorDomain, -10838)},
        {"cocoa", &MyErrors::presentCocoaError, &MyErrors::presentCocoaError, 258, CError(NSCocoaErrorDomain, 258)},
        {"os", &MyErrors::presentOSError, &MyErrors::presentOSError, -108,
         CError(NSOSStatusErrorDomain, -108, "Out of memory.")},
        {"audio", &MyErrors::presentAudioError, &MyErrors::presentAudioError, kNoDevice,
         CError(kMyCoreAudioErrorDomain, kNoDevice, "No such device.")},
        // Without an audio entry the general path picks the domain by range.
        {"audio fallback", &MyErrors::presentAudioError, &MyErrors::presentAudioError, -50,
         CError(NSOSStatusErrorDomain, -50, "Unknown OS error: -50.")},
        {"audio fallback mach", &MyErrors::presentAudioError, &MyErrors::presentAudioError, -40000,
         CError(NSMachErrorDomain, -40000)},
    };
    for (const auto& route : routes) {
        m_presenter.m_shown.clear();
        CRecordingTarget target;
        route.present(route.code);
        route.presentTo(route.code, target);
        ASSERT_EQ(m_presenter.m_shown.size(), 1u) << route.name;
        ASSERT_EQ(target.m_shown.size(), 1u) << route.name;
        EXPECT_EQ(m_presenter.m_shown[0], route.expected) << route.name;
        EXPECT_EQ(target.m_shown[0], route.expected) << route.name;
    }
}

// Every alert has a headline, then the reason and the one thing to do in
// plain words; domains, codes and statuses are under its details only.
TEST_F(MyErrorsTest, AlertTextExplainsEveryError)
{
    struct SCase {
        CError error;
        const char* headline;
        const char* body;
        const char* details;
    };
    const SCase cases[] = {
        {CError(kMyCoreAudioErrorDomain, -10838, "Send failed."), "Send failed.", "",
         "MyCoreAudioErrorDomain error -10838"},
        {CError(NSCocoaErrorDomain, 256), "The file could not be opened.",
         "It may be missing, or you may not have permission to read it.", "NSCocoaErrorDomain error 256"},
        {CError(NSCocoaErrorDomain, 258), "The file could not be opened because its name is not valid.", "",
         "NSCocoaErrorDomain error 258"},
        {CError(NSMachErrorDomain, -40000), "The operation could not be completed.", "",
         "NSMachErrorDomain error -40000"},
        {CError(kMyCoreAudioErrorDomain, -10844, "Access was refused. Join the audio group.")
             .titled("\u201CSynth\u201D could not be opened."),
         "\u201CSynth\u201D could not be opened.", "Access was refused. Join the audio group.",
         "MyCoreAudioErrorDomain error -10844"},
        {CError(kUpdaterErrorDomain, kUpdateIncomplete, "The update did not complete.")
             .withReason("Sending stopped at message 3 of 4.")
             .withSuggestion("Check the cable, then send the update again.")
             .withDetail("status -10838 kMIDIMessageSendErr"),
         "The update did not complete.",
         "Sending stopped at message 3 of 4. Check the cable, then send the update again.",
         "status -10838 kMIDIMessageSendErr (MireloUpdaterErrorDomain error 1)"},
    };
    for (const SCase& c : cases) {
        const CAlertText text = CAlertText::of(c.error);
        EXPECT_EQ(text.headline, c.headline);
        EXPECT_EQ(text.body, c.body);
        EXPECT_EQ(text.details, c.details);
        EXPECT_FALSE(text.headline.contains("Domain")) << "codes belong under the details";
        EXPECT_FALSE(text.body.contains("Domain")) << "codes belong under the details";
    }
}

} // namespace
