#include "tests/cli/CliProcess.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::string slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

CCliProcess::CCliProcess(const std::vector<std::string>& args, const Environment& environment,
                         const SCliOptions& options)
    : m_outPath(options.standardOutput.value_or((m_outputs / "stdout").string())),
      m_errPath((m_outputs / "stderr").string())
{
    std::vector<std::string> envText;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        if (environment.count(name) == 0) {
            envText.push_back(entry);
        }
    }
    for (const auto& [name, value] : environment) {
        if (value) {
            envText.push_back(name + "=" + *value);
        }
    }
    // Every send keeps a record: a test's goes to the child's own scratch
    // folder unless the test names another, never to the user's.
    if (environment.count("XDG_STATE_HOME") == 0) {
        envText.erase(std::remove_if(envText.begin(), envText.end(),
                                     [](const std::string& e) { return e.rfind("XDG_STATE_HOME=", 0) == 0; }),
                      envText.end());
        envText.push_back("XDG_STATE_HOME=" + (m_outputs / "state").string());
    }
    std::vector<char*> envp;
    for (std::string& entry : envText) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    std::vector<std::string> argText;
    if (options.addressSpaceBytes || options.fileSizeBytes) {
        argText = {"/usr/bin/prlimit"};
        if (options.addressSpaceBytes) {
            argText.push_back("--as=" + std::to_string(*options.addressSpaceBytes));
        }
        if (options.fileSizeBytes) {
            argText.push_back("--fsize=" + std::to_string(*options.fileSizeBytes));
        }
        argText.emplace_back("--");
    }
    argText.push_back(options.program.value_or(MIRELO_CLI_PATH));
    argText.insert(argText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argText) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    m_collectOutput = !options.standardOutput && !options.closedPipe;
    int pipeEnds[2] = {-1, -1};
    if (options.closedPipe && pipe2(pipeEnds, O_CLOEXEC) == 0) {
        ::close(pipeEnds[0]);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    } else {
        const int outFlags = options.standardOutput ? O_WRONLY : O_WRONLY | O_CREAT | O_TRUNC;
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_outPath.c_str(), outFlags, 0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, m_errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
    }
    if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        m_pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (pipeEnds[1] >= 0) {
        ::close(pipeEnds[1]);
    }
}

CCliProcess::~CCliProcess()
{
    if (!m_waited) {
        wait();
    }
}

std::string CCliProcess::errorSoFar() const
{
    return slurp(m_errPath);
}

SCliResult CCliProcess::wait()
{
    m_waited = true;
    SCliResult result;
    if (m_pid > 0) {
        int wstatus = 0;
        while (waitpid(m_pid, &wstatus, 0) < 0 && errno == EINTR) {
        }
        result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    }
    if (m_collectOutput) {
        result.out = slurp(m_outPath);
    }
    result.err = slurp(m_errPath);
    return result;
}

SCliResult CCliProcess::run(const std::vector<std::string>& args, const Environment& environment,
                            const SCliOptions& options)
{
    return CCliProcess(args, environment, options).wait();
}

CScratchDirectory::CScratchDirectory()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "mirelo-cli-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    m_path = pattern;
}

CScratchDirectory::~CScratchDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}
