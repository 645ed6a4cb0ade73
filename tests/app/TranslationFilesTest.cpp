// The window's translations cannot fall behind its sources: every .ts file in
// translations/ is brought up to date with lupdate in a scratch copy, which
// must then hold no sentence that is unfinished (new or changed in the
// sources) or vanished (gone from them); every translation keeps the
// placeholders and the shortcut of its English; and no text in app/ reaches
// the user without going through translation.

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct SMessage {
    std::string context;
    std::string source;
    std::string translation;
    std::string type; // "", "unfinished", "vanished" or "obsolete"
};

std::vector<SMessage> readTs(const fs::path& path, std::string& error)
{
    QFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::ReadOnly)) {
        error = "cannot open " + path.string();
        return {};
    }
    std::vector<SMessage> messages;
    std::string context;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        const auto name = xml.name();
        if (name == QLatin1String("name")) {
            context = xml.readElementText().toStdString();
        } else if (name == QLatin1String("message")) {
            messages.emplace_back();
            messages.back().context = context;
        } else if (name == QLatin1String("source") && !messages.empty()) {
            messages.back().source = xml.readElementText().toStdString();
        } else if (name == QLatin1String("translation") && !messages.empty()) {
            messages.back().type = xml.attributes().value(QLatin1String("type")).toString().toStdString();
            messages.back().translation = xml.readElementText(QXmlStreamReader::IncludeChildElements).toStdString();
        }
    }
    if (xml.hasError()) {
        error = path.string() + ": " + xml.errorString().toStdString();
    }
    return messages;
}

std::vector<fs::path> tsFiles()
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(MIRELO_TRANSLATIONS_DIR)) {
        if (entry.path().extension() == ".ts") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(TranslationFiles, AreCompleteForTheSources)
{
    const std::vector<fs::path> files = tsFiles();
    ASSERT_FALSE(files.empty()) << "no .ts file in " << MIRELO_TRANSLATIONS_DIR;
    const fs::path scratch = fs::path(testing::TempDir()) / ("mirelo-ts-" + std::to_string(::getpid()));
    fs::create_directories(scratch);
    for (const fs::path& file : files) {
        const fs::path copy = scratch / file.filename();
        fs::copy_file(file, copy, fs::copy_options::overwrite_existing);
        // As the update_translations target runs it, but keeping what vanished.
        QProcess lupdate;
        lupdate.setProcessChannelMode(QProcess::MergedChannels);
        QStringList arguments = QStringLiteral(MIRELO_LUPDATE_OPTIONS).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        arguments << QStringLiteral("@" MIRELO_LUPDATE_SOURCES) << QStringLiteral("-ts")
                  << QString::fromStdString(copy.string());
        lupdate.start(QStringLiteral(MIRELO_LUPDATE_PATH), arguments);
        ASSERT_TRUE(lupdate.waitForFinished(60'000)) << "lupdate did not finish";
        ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAll().toStdString();

        std::string error;
        const std::vector<SMessage> messages = readTs(copy, error);
        ASSERT_TRUE(error.empty()) << error;
        EXPECT_FALSE(messages.empty()) << file;
        std::ostringstream behind;
        for (const SMessage& message : messages) {
            if (!message.type.empty()) {
                behind << "\n  " << message.type << " [" << message.context << "] " << message.source;
            }
        }
        EXPECT_TRUE(behind.str().empty())
            << file.filename().string() << " is behind the sources (build the target update_translations, then "
            << "translate what is unfinished and remove what vanished):" << behind.str();
    }
    fs::remove_all(scratch);
}

// The %1 to %99 of a text, each once; and its shortcut letter's marker.
std::multiset<std::string> placeholders(const std::string& text)
{
    std::multiset<std::string> found;
    static const QRegularExpression kPlaceholder(QStringLiteral("%L?[1-9][0-9]?"));
    for (const auto& match : kPlaceholder.globalMatch(QString::fromStdString(text))) {
        found.insert(match.captured().remove(QLatin1Char('L')).toStdString());
    }
    return found;
}

int shortcuts(const std::string& text)
{
    const QString plain = QString::fromStdString(text).replace(QStringLiteral("&&"), QString());
    return static_cast<int>(plain.count(QLatin1Char('&')));
}

TEST(TranslationFiles, KeepPlaceholdersAndShortcuts)
{
    for (const fs::path& file : tsFiles()) {
        std::string error;
        const std::vector<SMessage> messages = readTs(file, error);
        ASSERT_TRUE(error.empty()) << error;
        for (const SMessage& message : messages) {
            const std::string where = file.filename().string() + " [" + message.context + "] " + message.source;
            if (!message.type.empty()) {
                continue; // the test above reports it
            }
            EXPECT_FALSE(message.translation.empty()) << where;
            // A dropped %2 would show a sentence without its count; a doubled
            // one, a count where another belongs.
            EXPECT_EQ(placeholders(message.translation), placeholders(message.source)) << where;
            EXPECT_EQ(shortcuts(message.translation), shortcuts(message.source)) << where;
        }
    }
}

// ---- No text in app/ reaches the user untranslated ----
//
// Every string literal in the window's sources is read with the call it is an
// argument of. It is translated when that call is tr(), translate() or a
// QT_*_NOOP mark; it needs no translation when it holds no letters (a format,
// a quotation mark) or when that call never shows its arguments (below). Any
// other literal is text a user would read in English: the check names it.
// A literal that is not shown although it stands elsewhere (an object name
// returned, a D-Bus argument in a constant) says so where it stands, with a
// comment "// notr: why" on its line, as .ui files say notr="true".

// Calls that put text through translation.
const std::set<std::string> kTranslating = {"tr",           "translate",           "qtTrId",
                                            "QT_TR_NOOP",   "QT_TRANSLATE_NOOP",   "QT_TRANSLATE_NOOP3",
                                            "QT_TR_N_NOOP", "QT_TRANSLATE_N_NOOP", "QT_TRID_NOOP"};
// Calls that only make a string of a literal: the call that receives it decides.
const std::set<std::string> kWrapping = {"QStringLiteral", "QLatin1String", "QLatin1StringView", "QByteArrayLiteral",
                                         "QString",        "QStringView",   "QByteArray",        "QUtf8StringView",
                                         "fromLatin1",     "fromUtf8",      "fromLocal8Bit",     "fromStdString",
                                         "string",         "string_view"};
// Calls whose literals a user never reads as the window's words.
const std::set<std::string> kNeverShown = {
    // object names, which tests and the accessible tree find controls by
    "setObjectName", "findChild", "findChildren",
    // the environment, file names and resources
    "qgetenv", "qputenv", "qEnvironmentVariable", "qEnvironmentVariableIsSet", "qEnvironmentVariableIsEmpty", "getenv",
    "QFile", "QFileInfo", "QDir", "fromLocalFile", "QIcon", "fromTheme", "addFile",
    // the application's identity for the desktop and the session bus
    "setApplicationName", "setOrganizationName", "setOrganizationDomain", "setDesktopFileName", "QDBusInterface",
    "isServiceRegistered", "call",
    // diagnostics on standard error and in the system log: in English, as the
    // command-line tool's, for the scripts and reports that read them
    "fprintf", "printf", "syslog", "qDebug", "qInfo", "qWarning", "qCritical", "qFatal",
    // style sheets, dynamic properties, settings keys
    "setStyleSheet", "setProperty", "property", "QSettings", "value", "setValue"};
// Files that never speak in the window: the program's --help is command-line
// output, in English as the command-line tool's is, and its manual page is
// made from it.
const std::set<std::string> kCommandLineFiles = {"CommandLineHelp.cpp"};

// Words that may stand before a call's name without declaring anything.
const std::set<std::string> kKeywords = {"return", "else",      "case",     "throw",    "new",
                                         "delete", "co_return", "co_yield", "co_await", "typename",
                                         "const",  "constexpr", "static",   "inline",   "emit"};

struct SLiteral {
    int line;
    std::string text; // as written between the quotes, escapes and all
    std::string call; // the call it is an argument of, wrappers passed over
};

bool isIdentifierChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

// A small C++ reader: literals, comments, preprocessor lines, brackets and
// the names before them. Enough for the sources it reads, which compile.
class CLiteralReader {
public:
    explicit CLiteralReader(std::string text) : m_text(std::move(text)) {}

    std::vector<SLiteral> literals()
    {
        while (m_at < m_text.size()) {
            step();
        }
        return std::move(m_literals);
    }
    const std::set<int>& markedLines() const { return m_marked; }

private:
    struct SFrame {
        char open;
        std::string name;
    };

    char at(std::size_t offset = 0) const { return m_at + offset < m_text.size() ? m_text[m_at + offset] : '\0'; }

    void advance(std::size_t count = 1)
    {
        for (; count > 0 && m_at < m_text.size(); --count, ++m_at) {
            m_line += m_text[m_at] == '\n' ? 1 : 0;
        }
    }

    void step()
    {
        const char c = at();
        if (c == '/' && at(1) == '/') {
            const std::size_t end = m_text.find('\n', m_at);
            const std::string comment = m_text.substr(m_at, end == std::string::npos ? end : end - m_at);
            if (comment.rfind("// notr", 0) == 0) {
                m_marked.insert(m_line);
            }
            advance(comment.size());
        } else if (c == '/' && at(1) == '*') {
            const std::size_t end = m_text.find("*/", m_at + 2);
            advance(end == std::string::npos ? m_text.size() : end + 2 - m_at);
        } else if (c == '#' && m_lineStart) {
            skipPreprocessorLine();
        } else if (c == '"') {
            readString(false);
        } else if (c == '\'') {
            skipQuoted('\'');
            m_name.clear();
            m_lastWasName = false;
        } else if (std::isdigit(static_cast<unsigned char>(c)) != 0) {
            while (isIdentifierChar(at()) || at() == '\'' || at() == '.') {
                advance(); // 1'000'000, 0x7Fu, 1.5e3
            }
            m_name.clear();
            m_lastWasName = false;
        } else if (isIdentifierChar(c)) {
            readIdentifier();
        } else {
            punctuation(c);
        }
        if (c == '\n') {
            m_lineStart = true;
        } else if (std::isspace(static_cast<unsigned char>(c)) == 0) {
            m_lineStart = false;
        }
        if (!std::isspace(static_cast<unsigned char>(c)) && c != '"' && c != '/') {
            m_afterLiteral = false;
        }
    }

    void skipPreprocessorLine()
    {
        while (m_at < m_text.size() && !(at() == '\n' && m_text[m_at - 1] != '\\')) {
            advance();
        }
    }

    void skipQuoted(char quote)
    {
        advance();
        while (m_at < m_text.size() && at() != quote && at() != '\n') {
            advance(at() == '\\' ? 2 : 1);
        }
        advance();
    }

    void readIdentifier()
    {
        const std::size_t start = m_at;
        while (isIdentifierChar(at())) {
            advance();
        }
        const std::string word = m_text.substr(start, m_at - start);
        // "QDBusInterface manager(...)" constructs a QDBusInterface.
        m_typeName = m_lastWasName && kKeywords.count(m_name) == 0 ? m_name : std::string();
        m_lastWasName = true;
        if (at() == '"' && (word == "R" || word == "u8R" || word == "uR" || word == "UR" || word == "LR")) {
            readString(true);
        } else if (at() == '"' && (word == "u8" || word == "u" || word == "U" || word == "L")) {
            readString(false);
        } else if (at() == '\'' && (word == "u8" || word == "u" || word == "U" || word == "L")) {
            skipQuoted('\'');
            m_name.clear();
        } else {
            m_name = word;
        }
    }

    void readString(bool raw)
    {
        const int line = m_line;
        std::string text;
        if (raw) {
            const std::size_t open = m_text.find('(', m_at);
            const std::string close = ")" + m_text.substr(m_at + 1, open - m_at - 1) + "\"";
            const std::size_t end = m_text.find(close, open);
            text = m_text.substr(open + 1, end - open - 1);
            advance(end + close.size() - m_at);
        } else {
            const std::size_t start = m_at + 1;
            skipQuoted('"');
            text = m_text.substr(start, m_at - start - 1);
        }
        // "abc " "def": one literal, as the compiler joins it.
        if (m_afterLiteral && !m_literals.empty()) {
            m_literals.back().text += text;
        } else {
            m_literals.push_back({line, text, enclosingCall()});
        }
        m_afterLiteral = true;
        m_name.clear();
        m_lastWasName = false;
    }

    std::string enclosingCall() const
    {
        for (auto frame = m_frames.rbegin(); frame != m_frames.rend(); ++frame) {
            if (frame->open == '(' && !frame->name.empty() && kWrapping.count(frame->name) == 0) {
                return frame->name;
            }
        }
        return {};
    }

    void punctuation(char c)
    {
        if (!std::isspace(static_cast<unsigned char>(c))) {
            m_lastWasName = false;
        }
        if (c == '(' || c == '{' || c == '[') {
            m_frames.push_back({c, c != '(' ? std::string() : m_typeName.empty() ? m_name : m_typeName});
            m_name.clear();
            m_typeName.clear();
        } else if ((c == ')' || c == '}' || c == ']') && !m_frames.empty()) {
            m_frames.pop_back();
            m_name.clear();
        } else if (c == '<' && !m_name.empty()) {
            m_templates.push_back(m_name); // findChild<QLabel*>(...) is a call of findChild
        } else if (c == '>' && !(m_at > 0 && m_text[m_at - 1] == '-') && !m_templates.empty()) {
            m_name = m_templates.back();
            m_templates.pop_back();
        } else if (c == ':' || c == '*' || c == '&' || c == '>') {
            // a qualified name or a template argument goes on
        } else if (std::isspace(static_cast<unsigned char>(c)) == 0) {
            m_name.clear();
        }
        advance();
    }

    std::string m_text;
    std::size_t m_at = 0;
    int m_line = 1;
    bool m_lineStart = true;
    bool m_afterLiteral = false;
    std::string m_name;     // the last name read, which a '(' makes a call of
    std::string m_typeName; // the name before it, when it declares a variable of that type
    bool m_lastWasName = false;
    std::vector<SFrame> m_frames;
    std::vector<std::string> m_templates;
    std::vector<SLiteral> m_literals;
    std::set<int> m_marked;
};

// Escapes, %1 placeholders and printf formats taken out, does any letter remain?
bool hasWords(const std::string& literal)
{
    QString text = QString::fromUtf8(literal);
    static const QRegularExpression kEscape(QStringLiteral(R"(\\(x[0-9A-Fa-f]+|u[0-9A-Fa-f]{4}|U[0-9A-Fa-f]{8}|.))"));
    static const QRegularExpression kFormat(
        QStringLiteral(R"(%([-+ #0-9.]*(hh|h|ll|l|z|j|t|L|q)?[diouxXeEfgGcsp%]|L?[0-9]+))"));
    text.remove(kEscape).remove(kFormat);
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
}

std::vector<std::string> untranslated(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    CLiteralReader reader{std::string(std::istreambuf_iterator<char>(in), {})};
    std::vector<std::string> found;
    for (const SLiteral& literal : reader.literals()) {
        if (kTranslating.count(literal.call) != 0 || kNeverShown.count(literal.call) != 0 || !hasWords(literal.text) ||
            reader.markedLines().count(literal.line) != 0) {
            continue;
        }
        found.push_back(file.filename().string() + ":" + std::to_string(literal.line) + ": \"" + literal.text + "\"" +
                        (literal.call.empty() ? std::string() : " in " + literal.call + "()"));
    }
    return found;
}

TEST(WindowSources, ShowNoTextWithoutTranslation)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(MIRELO_APP_SOURCE_DIR)) {
        const std::string extension = entry.path().extension().string();
        if ((extension == ".cpp" || extension == ".h") &&
            kCommandLineFiles.count(entry.path().filename().string()) == 0) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    std::ostringstream found;
    for (const fs::path& file : files) {
        for (const std::string& where : untranslated(file)) {
            found << "\n  " << where;
        }
    }
    EXPECT_TRUE(found.str().empty()) << "text shown without translation (tr(), QT_TRANSLATE_NOOP; or "
                                        "\"// notr: why\" where it is not shown):"
                                     << found.str();
}

// The reader itself, on what it must tell apart.
TEST(WindowSources, ReaderTellsTranslatedFromShownText)
{
    const struct {
        const char* code;
        std::vector<std::string> found;
    } cases[] = {
        {R"(label->setText(tr("Play"));)", {}},
        {R"(label->setText(QStringLiteral("Play"));)", {"x.cpp:1: \"Play\" in setText()"}},
        {R"(box.addButton(QCoreApplication::translate("Doc", "Keep Sending"), role);)", {}},
        {R"(setText(tr("%1 of %2").arg(QStringLiteral("messages")));)", {"x.cpp:1: \"messages\" in arg()"}},
        {R"(auto* b = w->findChild<QPushButton*>(QStringLiteral("m_btnPlay"));)", {}},
        {R"(ask({text, QStringLiteral("Close Anyway")});)", {"x.cpp:1: \"Close Anyway\" in ask()"}},
        {"return QStringLiteral(\"The file could not be opened.\");", {"x.cpp:1: \"The file could not be opened.\""}},
        {"return QStringLiteral(\"REVArodozDoc\"); // notr: object name", {}},
        {R"(std::fprintf(stderr, "mirelo-updater: %s\n", why);)", {}},
        {R"(setText(QString::asprintf("%02d:%02d.%03d", m, s, ms));)", {}},
        {R"(setText(QStringLiteral("\u201C%1\u201D").arg(name));)", {}},
        {"setText(tr(\"a long \"\n            \"sentence\"));", {}},
        {"setText(QStringLiteral(\"a long \"\n                       \"sentence\"));",
         {"x.cpp:1: \"a long sentence\" in setText()"}},
        {R"x(setText(QStringLiteral(R"(raw "words")")); wait(1'000); c = 'x';)x",
         {"x.cpp:1: \"raw \"words\"\" in setText()"}},
        {"// setText(QStringLiteral(\"Commented out\"));\n/* \"Nor this\" */\n#include \"app/Doc.h\"", {}},
        {"if (button->text() == QLatin1String(\"Close Anyway\")) {", {"x.cpp:1: \"Close Anyway\" in if()"}},
        {R"(QDBusInterface manager(QStringLiteral("org.freedesktop.login1"));)", {}},
        {R"(const QString text(QStringLiteral("Pick an output"));)", {"x.cpp:1: \"Pick an output\""}},
        {R"(return label(QStringLiteral("Pick an output"));)", {"x.cpp:1: \"Pick an output\" in label()"}},
        {"constexpr const char* kHint = QT_TRANSLATE_NOOP(\"Doc\", \"Pick an output\");", {}},
    };
    const fs::path file = fs::path(testing::TempDir()) / "x.cpp";
    for (const auto& c : cases) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << c.code;
        EXPECT_EQ(untranslated(file), c.found) << c.code;
    }
    fs::remove(file);
}

} // namespace
