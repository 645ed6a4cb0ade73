#include "CliProcess.h"

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

SCliResult CCliProcess::run(const std::vector<std::string>& args, const Environment& environment,
                            std::optional<std::uint64_t> addressSpaceBytes)
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
    std::vector<char*> envp;
    for (std::string& entry : envText) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    std::vector<std::string> argText;
    if (addressSpaceBytes) {
        argText = {"/usr/bin/prlimit", "--as=" + std::to_string(*addressSpaceBytes), "--"};
    }
    argText.push_back(MIRELO_CLI_PATH);
    argText.insert(argText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argText) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    CScratchDirectory outputs;
    const std::string outPath = (outputs / "stdout").string();
    const std::string errPath = (outputs / "stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    SCliResult result;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
        int wstatus = 0;
        while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
        }
        result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    return result;
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
