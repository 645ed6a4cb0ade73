// The window speaks the session's language: the application as it ships,
// started with LANG and LANGUAGE as a session sets them, read by a user who
// presses Play (mirelo_window_words); and the names a session's languages give
// the translations to look for.

#include "app/Translations.h"
#include "tests/cli/CliProcess.h"
#include "tests/support/SmfImageBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using mirelo::test::CSmfImageBuilder;

TEST(WindowLanguage, SessionLanguagesGiveTheNamesOfTranslations)
{
    const struct {
        QStringList uiLanguages;
        const char* names;
    } cases[] = {
        // LANG=de_DE.UTF-8
        {{"de-DE", "de-Latn-DE", "de"}, "de_DE de de_Latn_DE de_Latn"},
        // LANG=de_CH.UTF-8: Qt gives no bare "de", which the German translation is named by.
        {{"de-CH", "de-Latn-CH"}, "de_CH de de_Latn_CH de_Latn"},
        // LANGUAGE=fr:de: each language in turn.
        {{"fr", "fr-FR", "de", "de-DE"}, "fr fr_FR de de_DE"},
        {{"C"}, "C"},
        {{}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CTranslations::candidates(c.uiLanguages).join(QLatin1Char(' ')).toStdString(), c.names)
            << c.uiLanguages.join(QLatin1Char(',')).toStdString();
    }
}

// The program's resource folder for these runs: a short update file (four
// messages of 300 bytes) and the shipped error tables.
class WindowLanguageRun : public testing::Test {
protected:
    void SetUp() override
    {
        CSmfImageBuilder image(96, 0);
        image.track().tempo(0, 500000);
        for (std::uint32_t i = 0; i < 4; ++i) {
            image.sysEx(i, CSmfImageBuilder::message(300, i));
        }
        const auto bytes = image.build();
        std::ofstream(m_resources / "mirelo updater.dat", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        for (const auto& entry : fs::directory_iterator(MIRELO_SOURCE_RESOURCES_DIR)) {
            if (entry.path().extension() == ".json") {
                fs::copy_file(entry.path(), m_resources.path() / entry.path().filename());
            }
        }
    }

    // What the window said, by name; run with the session's variables given
    // and every other one that chooses a language removed.
    std::map<std::string, std::string> read(const CCliProcess::Environment& session,
                                            const std::vector<std::string>& args = {})
    {
        CCliProcess::Environment environment{{"LANG", std::nullopt},
                                             {"LANGUAGE", std::nullopt},
                                             {"LC_ALL", std::nullopt},
                                             {"LC_MESSAGES", std::nullopt},
                                             {"LC_NUMERIC", std::nullopt},
                                             {"QT_QPA_PLATFORM", "offscreen"},
                                             {"MIRELO_MIDI_BACKEND", "virtual"},
                                             {"MIRELO_CAPTURE", (m_capture / "out.syx").string()},
                                             {"MIRELO_RESOURCES", m_resources.path().string()}};
        for (const auto& [name, value] : session) {
            environment[name] = value;
        }
        SCliOptions options;
        options.program = MIRELO_WINDOW_WORDS_PATH;
        const SCliResult result = CCliProcess::run(args, environment, options);
        EXPECT_EQ(result.status, 0) << result.err;
        std::map<std::string, std::string> said;
        std::istringstream lines(result.out);
        for (std::string line; std::getline(lines, line);) {
            const std::size_t tab = line.find('\t');
            if (tab != std::string::npos) {
                said[line.substr(0, tab)] = line.substr(tab + 1);
            }
        }
        return said;
    }

    CScratchDirectory m_resources;
    CScratchDirectory m_capture;
};

TEST_F(WindowLanguageRun, FollowsTheSession)
{
    const struct {
        const char* session;
        CCliProcess::Environment environment;
        const char* output;
        const char* play;
        const char* qtCancel; // Qt's own translation, loaded with the window's
        // The status line after the run, the time it took left out.
        const char* sentBefore;
        const char* sentAfter;
    } cases[] = {
        {"German",
         {{"LANG", "de_DE.UTF-8"}},
         "&Ausgang:",
         "&Update senden",
         "Abbrechen",
         "4 Nachrichten (1.200 Bytes) in ",
         " an \u201ECapture\u201C gesendet."},
        {"C",
         {{"LANG", "C"}},
         "&Output:",
         "&Send Update",
         "Cancel",
         "Sent 4 messages (1,200 bytes) in ",
         " to \u201CCapture\u201D."},
        // No translation: English words, the session's numbers.
        {"French",
         {{"LANG", "fr_FR.UTF-8"}},
         "&Output:",
         "&Send Update",
         "Cancel",
         "Sent 4 messages (1\u202F200 bytes) in ",
         " to \u201CCapture\u201D."},
        // English put first: English words, German numbers still.
        {"English before German",
         {{"LANG", "de_DE.UTF-8"}, {"LANGUAGE", "en:de"}},
         "&Output:",
         "&Send Update",
         "Cancel",
         "Sent 4 messages (1.200 bytes) in ",
         " to \u201CCapture\u201D."},
        // A language without a translation before one with.
        {"French before German",
         {{"LANG", "fr_FR.UTF-8"}, {"LANGUAGE", "fr:de"}},
         "&Ausgang:",
         "&Update senden",
         "Abbrechen",
         "4 Nachrichten (1\u202F200 Bytes) in ",
         " an \u201ECapture\u201C gesendet."},
        {"German by LC_ALL",
         {{"LANG", "C"}, {"LC_ALL", "de_DE.UTF-8"}},
         "&Ausgang:",
         "&Update senden",
         "Abbrechen",
         "4 Nachrichten (1.200 Bytes) in ",
         " an \u201ECapture\u201C gesendet."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.session);
        std::map<std::string, std::string> said = read(c.environment);
        EXPECT_EQ(said["title"], "mirelo updater.dat") << "the title names the update file";
        EXPECT_EQ(said["lblOutput"], c.output);
        EXPECT_EQ(said["m_btnPlay"], c.play);
        EXPECT_EQ(said["qt.Cancel"], c.qtCancel);
        const std::string& status = said["status"];
        EXPECT_EQ(status.rfind(c.sentBefore, 0), 0u) << status;
        EXPECT_TRUE(status.size() > std::string(c.sentAfter).size() &&
                    status.compare(status.size() - std::string(c.sentAfter).size(), std::string::npos, c.sentAfter) ==
                        0)
            << status;
        EXPECT_EQ(said.count("alert"), 0u) << said["alert"];
    }
}

TEST_F(WindowLanguageRun, FailureAlertIsInTheSessionsLanguage)
{
    std::map<std::string, std::string> said = read({{"LANG", "de_DE.UTF-8"}}, {"fail-at", "3"});
    // A German headline; the cause in the German error table's words.
    EXPECT_EQ(said["alert"], "Das Update wurde nicht abgeschlossen.");
    EXPECT_NE(said["alert.detail"].find("Die Update-Daten konnten nicht an das MIDI-Ger\u00E4t gesendet werden."),
              std::string::npos)
        << said["alert.detail"];
    EXPECT_EQ(said["status"], "Bei Nachricht 3 von 4 abgebrochen: Das Instrument muss erneut aktualisiert werden.");
    EXPECT_EQ(said["alert.button"], "OK");

    said = read({{"LANG", "C"}}, {"fail-at", "3"});
    EXPECT_EQ(said["alert"], "The update did not complete.");
    EXPECT_NE(said["alert.detail"].find("The update data could not be sent to the MIDI device."), std::string::npos)
        << said["alert.detail"];
}

} // namespace
