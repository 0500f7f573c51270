#include "processes.hpp"

#include <spawn.h>
#include <unistd.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>

extern char** environ;

scratch_folder::scratch_folder()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/sortbench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a folder in " + pattern.substr(0, pattern.rfind('/')) + ": " +
                                 std::strerror(errno));
    }
    path_ = pattern;
}

scratch_folder::~scratch_folder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void run_again(const std::vector<std::vector<std::string>>& runs, const std::function<void(std::size_t)>& starting)
{
    std::random_device seed;
    std::mt19937 rng(seed());
    for (std::size_t k = 0; k < runs.size(); ++k) {
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::strncmp(*e, "SORTBENCH_LAYOUT_PAD=", 21) != 0) env.emplace_back(*e);
        }
        env.push_back("SORTBENCH_LAYOUT_PAD=" + std::string(rng() % 4096, 'x'));
        std::vector<std::string> args{program_invocation_name};
        args.insert(args.end(), runs[k].begin(), runs[k].end());
        std::vector<char*> argv, envp;
        for (std::string& a : args) argv.push_back(a.data());
        for (std::string& e : env) envp.push_back(e.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        const std::string what = "process " + std::to_string(k + 1) + " of " + std::to_string(runs.size());
        if (starting) starting(k);
        pid_t pid = 0;
        if (const int error = posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv.data(), envp.data())) {
            throw std::runtime_error(what + " did not start: " + std::strerror(error));
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0) {
            if (errno != EINTR) throw std::runtime_error(what + ": " + std::strerror(errno));
        }
        if (WIFSIGNALED(status)) {
            throw std::runtime_error(what + " was killed by signal " + std::to_string(WTERMSIG(status)));
        }
        if (WEXITSTATUS(status) != 0) {
            throw std::runtime_error(what + " failed with status " + std::to_string(WEXITSTATUS(status)));
        }
    }
}

std::vector<std::string> without_flag(const std::vector<std::string>& args, const std::string& flag)
{
    std::vector<std::string> out;
    const std::string bare = "--" + flag;
    for (const std::string& a : args) {
        if (a != bare && a.rfind(bare + "=", 0) != 0) out.push_back(a);
    }
    return out;
}

std::string become(const std::string& program, const std::vector<std::string>& args)
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "cannot find this program's own file: " + error.message();
    const std::string path = (self.parent_path() / program).string();
    std::vector<std::string> owned{path};
    owned.insert(owned.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : owned) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    execv(path.c_str(), argv.data());
    return "cannot run " + path + ": " + std::strerror(errno);
}
