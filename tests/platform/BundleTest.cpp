#include "platform/base/Bundle.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>
#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using mirelo::platform::Bundle;

namespace {

class BundleTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::path(testing::TempDir()) / ("bundle-" + std::to_string(::getpid()));
        fs::create_directories(m_dir / "folder.dat");
        write("mirelo updater.dat", "MThd");
        write("Strings.json", R"({"hello": "Hello, world.", "same": "same"})");
    }
    void TearDown() override
    {
        ::unsetenv("MIRELO_RESOURCES");
        fs::remove_all(m_dir);
    }
    void write(const std::string& name, const std::string& text)
    {
        std::ofstream(m_dir / name, std::ios::binary) << text;
    }

    fs::path m_dir;
};

TEST_F(BundleTest, FindsPlainFilesOnly)
{
    const Bundle bundle(m_dir);
    EXPECT_EQ(bundle.pathForResource("mirelo updater.dat"), m_dir / "mirelo updater.dat");
    for (const char* refused :
         {"missing.dat", "folder.dat", "", ".", "..", "../bundle/mirelo updater.dat", "/etc/passwd"}) {
        EXPECT_EQ(bundle.pathForResource(refused), std::nullopt) << refused;
    }
}

TEST_F(BundleTest, LooksUpTextThenDefaultThenKey)
{
    const Bundle bundle(m_dir);
    EXPECT_EQ(bundle.localizedString("hello", std::nullopt, "Strings"), "Hello, world.");
    EXPECT_EQ(bundle.localizedString("hello", "fallback", "Strings"), "Hello, world.");
    EXPECT_EQ(bundle.localizedString("absent", "fallback", "Strings"), "fallback");
    EXPECT_EQ(bundle.localizedString("absent", std::nullopt, "Strings"), "absent");
    EXPECT_EQ(bundle.localizedString("same", std::nullopt, "Strings"), "same");
    EXPECT_EQ(bundle.localizedString("hello", std::nullopt, "NoSuchTable"), "hello");
    EXPECT_EQ(bundle.localizedString("hello", "fallback", "../Strings"), "fallback");
}

TEST_F(BundleTest, PreferredLanguagesAnswerFirstEntryByEntry)
{
    write("Strings_de.json", R"({"hello": "Hallo, Welt."})");
    write("Strings_de_AT.json", R"({"hello": "Servus, Welt."})");
    const Bundle bundle(m_dir);
    struct SCase {
        std::vector<std::string> languages;
        const char* hello;
    };
    const SCase cases[] = {
        {{}, "Hello, world."},
        {{"de"}, "Hallo, Welt."},
        {{"de_AT", "de"}, "Servus, Welt."},
        {{"de_CH", "de"}, "Hallo, Welt."},
        {{"fr_FR", "fr"}, "Hello, world."},
        // A name that could reach outside the folder is never asked for.
        {{"../Strings_de", "x/../de", ""}, "Hello, world."},
    };
    for (const SCase& c : cases) {
        mirelo::platform::setPreferredLanguages(c.languages);
        EXPECT_EQ(bundle.localizedString("hello", std::nullopt, "Strings"), c.hello)
            << testing::PrintToString(c.languages);
        // What the language's table lacks still comes from the English one.
        EXPECT_EQ(bundle.localizedString("same", std::nullopt, "Strings"), "same");
        EXPECT_EQ(bundle.localizedString("absent", "fallback", "Strings"), "fallback");
    }
    mirelo::platform::setPreferredLanguages({});
}

TEST_F(BundleTest, TablesAreReadOnce)
{
    const Bundle bundle(m_dir);
    EXPECT_EQ(bundle.localizedString("hello", std::nullopt, "Strings"), "Hello, world.");
    write("Strings.json", R"({"hello": "changed"})");
    EXPECT_EQ(bundle.localizedString("hello", std::nullopt, "Strings"), "Hello, world.");
}

TEST_F(BundleTest, ConcurrentLookupsShareOneTable)
{
    const Bundle bundle(m_dir);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                if (bundle.localizedString("hello", std::nullopt, i % 2 ? "Strings" : "Other") == "absent") {
                    ++wrong;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(bundle.localizedString("hello", std::nullopt, "Strings"), "Hello, world.");
}

TEST_F(BundleTest, EnvironmentNamesTheFolder)
{
    ::setenv("MIRELO_RESOURCES", m_dir.c_str(), 1);
    EXPECT_EQ(Bundle::findResourcePath(), m_dir);
    // A folder named but missing means no bundle, not a silent fall-back elsewhere.
    ::setenv("MIRELO_RESOURCES", (m_dir / "missing").c_str(), 1);
    EXPECT_EQ(Bundle::findResourcePath(), std::nullopt);
}

TEST_F(BundleTest, BuildTreeCopyIsFoundWithoutEnvironment)
{
    ::unsetenv("MIRELO_RESOURCES");
    const auto found = Bundle::findResourcePath();
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(fs::is_regular_file(*found / "OSErrors.json"));
}

TEST_F(BundleTest, OverrideReplacesMainBundleUntilCleared)
{
    const Bundle bundle(m_dir);
    mirelo::platform::overrideMainBundle(&bundle);
    EXPECT_EQ(mirelo::platform::mainBundle(), &bundle);
    mirelo::platform::overrideMainBundle(nullptr);
    EXPECT_EQ(mirelo::platform::mainBundle(), nullptr);
    mirelo::platform::clearMainBundleOverride();
    EXPECT_NE(mirelo::platform::mainBundle(), nullptr);
}

// The shipped tables: they parse cleanly and describe every status the
// program can produce, in every language they are shipped in.
TEST(ShippedTables, DescribeEveryStatusTheProgramProduces)
{
    const Bundle bundle{fs::path(MIRELO_SOURCE_RESOURCES_DIR)};
    for (const char* table : {"AudioErrors", "OSErrors", "AudioErrors_de", "OSErrors_de"}) {
        const auto parsed =
            mirelo::platform::StringTable::load(fs::path(MIRELO_SOURCE_RESOURCES_DIR) / (std::string(table) + ".json"));
        EXPECT_NE(parsed.size(), 0u) << table;
        EXPECT_TRUE(parsed.problems().empty()) << table << ": " << parsed.problems().front().message;
    }
    std::vector<std::string> audioKeys;
    for (int code = -10845; code <= -10830; ++code) {
        audioKeys.push_back(std::to_string(code));
    }
    audioKeys.push_back(std::to_string(static_cast<std::int32_t>(0xE00002C0u)));
    for (const auto& key : audioKeys) {
        const std::string text = bundle.localizedString(key, std::nullopt, "AudioErrors");
        EXPECT_NE(text, key);
        EXPECT_EQ(text.back(), '.') << key;
    }
    for (const char* key : {"-4", "-50", "-108"}) {
        EXPECT_NE(bundle.localizedString(key, std::nullopt, "OSErrors"), key);
    }
    const std::string noSequencer = bundle.localizedString("-10839", std::nullopt, "AudioErrors");
    EXPECT_EQ(noSequencer.rfind("The MIDI system could not be started.", 0), 0u);
    // Running without hardware takes both variables; naming one leads nowhere.
    EXPECT_NE(noSequencer.find("MIRELO_MIDI_BACKEND=virtual"), std::string::npos) << noSequencer;
    EXPECT_NE(noSequencer.find("MIRELO_CAPTURE="), std::string::npos) << noSequencer;
}

// A translated table says what the English one says: every key of it, no key
// of its own (a mistyped key would leave its status in English), and the same
// names the user must type.
TEST(ShippedTables, TranslationsHaveTheEnglishKeys)
{
    const fs::path folder(MIRELO_SOURCE_RESOURCES_DIR);
    const Bundle bundle(folder);
    for (const std::string language : {"de"}) {
        for (const std::string table : {"AudioErrors", "OSErrors"}) {
            const auto english = mirelo::platform::StringTable::load(folder / (table + ".json"));
            const auto translated = mirelo::platform::StringTable::load(folder / (table + "_" + language + ".json"));
            EXPECT_EQ(translated.size(), english.size()) << table << "_" << language;
            for (const std::string& key : english.keys()) {
                const std::string* text = translated.find(key);
                ASSERT_NE(text, nullptr) << table << "_" << language << " has no " << key;
                EXPECT_NE(*text, *english.find(key)) << table << "_" << language << " " << key;
                EXPECT_EQ(text->back(), '.') << table << "_" << language << " " << key;
            }
        }
        mirelo::platform::setPreferredLanguages({language});
        const std::string noSequencer = bundle.localizedString("-10839", std::nullopt, "AudioErrors");
        mirelo::platform::setPreferredLanguages({});
        for (const char* typed : {"MIRELO_MIDI_BACKEND=virtual", "MIRELO_CAPTURE=", "snd-seq", "/dev/snd/seq"}) {
            EXPECT_NE(noSequencer.find(typed), std::string::npos) << language << ": " << noSequencer;
        }
    }
}

} // namespace
