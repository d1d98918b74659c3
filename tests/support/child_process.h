// Runs one of our programs as a user would, for end-to-end tests: in a
// folder of its own, with extra environment, its standard output and error
// collected in a file (so a chatty child never blocks on a full pipe), and a
// time limit after which it is killed, so a hung program fails its test
// instead of stalling the suite.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace test_support {

struct ChildOptions {
    std::vector<std::string> argv;  // argv[0] is the program's path
    std::filesystem::path folder;   // working folder; also holds the output file
    std::vector<std::pair<std::string, std::string>> environment;  // added or replaced
};

struct ChildResult {
    bool exited = false;     // ended by exit(), with exit_status
    int exit_status = -1;    //
    int signal = 0;          // or killed by this signal
    bool timed_out = false;  // still running at the limit, then killed
    std::string output;      // stdout and stderr, interleaved as written

    // "exit 1", "killed by SIGSEGV", "timed out": for failure messages.
    std::string describe() const;
};

class ChildProcess {
public:
    // Starts the program; started() tells whether it could be.
    explicit ChildProcess(const ChildOptions& options);
    ~ChildProcess();  // kills a child still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // Sends a signal to the child while it runs.
    void send(int signal) const;

    // True once the child has ended (its status is then kept for wait()).
    bool ended();

    // Waits for the end, at most `limit`, then kills it; returns how it ended.
    ChildResult wait(std::chrono::milliseconds limit);

    // What the child has written so far.
    std::string output() const;

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = 0;
    std::filesystem::path output_path_;
};

// Starts a program and waits for it.
ChildResult run_child(const ChildOptions& options, std::chrono::milliseconds limit);

// Whether a sanitizer (address, leak, undefined behaviour) reported anything
// in a program's output.
bool has_sanitizer_report(const std::string& output);

}  // namespace test_support
