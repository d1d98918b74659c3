#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace test_support {

namespace {

// The environment of this process with the options' variables set.
std::vector<std::string> child_environment(const ChildOptions& options)
{
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const auto& [key, value] : options.environment) {
            replaced = replaced || key == name;
        }
        if (!replaced) {
            entries.push_back(text);
        }
    }
    for (const auto& [key, value] : options.environment) {
        entries.push_back(key + "=" + value);
    }
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> list;
    for (std::string& text : strings) {
        list.push_back(text.data());
    }
    list.push_back(nullptr);
    return list;
}

int next_output_number = 0;

}  // namespace

std::string ChildResult::describe() const
{
    if (timed_out) {
        return "timed out";
    }
    if (exited) {
        return "exit " + std::to_string(exit_status);
    }
    return std::string("killed by SIG") + sigabbrev_np(signal);
}

ChildProcess::ChildProcess(const ChildOptions& options)
{
    output_path_ = options.folder / ("output-" + std::to_string(next_output_number++) + ".txt");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output_path_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);

    // The child starts with default signal handling and nothing blocked,
    // whatever the test runner has set.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<std::string> arguments = options.argv;
    std::vector<std::string> environment = child_environment(options);
    std::vector<char*> argv = pointers(arguments);
    std::vector<char*> envp = pointers(environment);
    pid_t pid = -1;
    if (!arguments.empty() &&
        posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data()) == 0) {
        pid_ = pid;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess()
{
    if (started() && !ended()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
    }
}

void ChildProcess::send(int signal) const
{
    if (started()) {
        kill(pid_, signal);
    }
}

bool ChildProcess::ended()
{
    if (!started()) {
        return true;
    }
    if (!reaped_ && waitpid(pid_, &status_, WNOHANG) == pid_) {
        reaped_ = true;
    }
    return reaped_;
}

ChildResult ChildProcess::wait(std::chrono::milliseconds limit)
{
    ChildResult result;
    if (!started()) {
        result.output = "the program could not be started";
        return result;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!ended() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!ended()) {
        result.timed_out = true;
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
        reaped_ = true;
    }
    result.exited = WIFEXITED(status_);
    result.exit_status = result.exited ? WEXITSTATUS(status_) : -1;
    result.signal = WIFSIGNALED(status_) ? WTERMSIG(status_) : 0;
    result.output = output();
    return result;
}

std::string ChildProcess::output() const
{
    std::ifstream file(output_path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

ChildResult run_child(const ChildOptions& options, std::chrono::milliseconds limit)
{
    ChildProcess child(options);
    return child.wait(limit);
}

bool has_sanitizer_report(const std::string& output)
{
    return output.find("Sanitizer") != std::string::npos ||
           output.find("runtime error:") != std::string::npos;
}

}  // namespace test_support
