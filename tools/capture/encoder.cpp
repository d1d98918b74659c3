#include "tools/capture/encoder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace capture {

namespace {

bool write_all(int fd, const uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

double thread_cpu_seconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

double seconds_of(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
}

// Waits for the child and returns its status, with the processor time it
// and its own children took.
int wait_for(pid_t pid, double* cpu_seconds)
{
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    *cpu_seconds = seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime);
    return status;
}

std::string describe_status(int status)
{
    if (WIFEXITED(status)) {
        return "exited with status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return std::string("was killed by signal ") + strsignal(WTERMSIG(status));
    }
    return "ended abnormally";
}

}  // namespace

Encoder::~Encoder()
{
    abort();
}

bool Encoder::start(const EncoderSettings& settings, std::string& error)
{
    char log_template[] = "/tmp/demo-capture-ffmpeg-XXXXXX";
    const int log_fd = mkstemp(log_template);
    if (log_fd < 0) {
        error = std::string("cannot create a log file for ffmpeg: ") + std::strerror(errno);
        return false;
    }
    log_path_ = log_template;

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe to ffmpeg: ") + std::strerror(errno);
        ::close(log_fd);
        return false;
    }

    const std::string size = std::to_string(settings.width) + "x" + std::to_string(settings.height);
    const std::string rate = std::to_string(settings.fps);
    // clang-format off
    std::vector<std::string> args = {
        "ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin",
        // Video: raw 4:2:0 frames on the pipe, BT.601 in limited range.
        "-f", "rawvideo", "-pix_fmt", "yuv420p", "-s", size, "-framerate", rate, "-i", "pipe:0",
        // Audio: the music of the range.
        "-i", settings.audio,
        "-map", "0:v", "-map", "1:a",
        "-c:v", "libx264", "-preset", settings.preset, "-crf", "20",
        "-colorspace", "smpte170m", "-color_range", "tv",
        "-c:a", "aac", "-b:a", "192k",
        "-movflags", "+faststart", "-f", "mp4", "-y", settings.output};
    // clang-format on
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, log_fd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, log_fd, STDERR_FILENO);
    // A process group of its own: Ctrl-C in the terminal reaches only us,
    // and we decide what becomes of ffmpeg and its file.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    const int spawned = posix_spawnp(&pid_, "ffmpeg", &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(fds[0]);
    ::close(log_fd);
    if (spawned != 0) {
        pid_ = -1;
        ::close(fds[1]);
        error = spawned == ENOENT ? "cannot run ffmpeg: it is not installed (Debian package ffmpeg)"
                                  : std::string("cannot run ffmpeg: ") + std::strerror(spawned);
        return false;
    }
    pipe_fd_ = fds[1];
    // A pipe that holds a whole frame: the writer hands it over in one call
    // instead of waking ffmpeg for every 64 KiB of the default size. Where
    // the system caps pipes lower, the default stays, and works.
    fcntl(pipe_fd_, F_SETPIPE_SZ, static_cast<int>(i420_size(settings.width, settings.height)));
    width_ = settings.width;
    height_ = settings.height;
    rows_ = settings.rows;
    writer_ = std::thread(&Encoder::writer_loop, this);
    return true;
}

bool Encoder::submit(std::vector<uint8_t>& frame)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !has_pending_ || broken_; });
    if (broken_) {
        return false;
    }
    pending_.swap(frame);
    has_pending_ = true;
    changed_.notify_all();
    if (frame.size() != pending_.size()) {
        frame.resize(pending_.size());
    }
    return true;
}

void Encoder::writer_loop()
{
    std::vector<uint8_t> writing;
    std::vector<uint8_t> yuv(i420_size(width_, height_));
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return has_pending_ || closing_; });
            if (!has_pending_) {
                return;
            }
            writing.swap(pending_);
        }
        const double start = thread_cpu_seconds();
        rgba_to_i420(writing, rows_, width_, height_, yuv);
        const double converted = thread_cpu_seconds() - start;
        const bool written = write_all(pipe_fd_, yuv.data(), yuv.size());
        std::lock_guard lock(mutex_);
        ++cpu_.frames;
        cpu_.conversion_seconds += converted;
        has_pending_ = false;
        broken_ = broken_ || !written;
        pending_.swap(writing);  // hand the buffer back for reuse
        changed_.notify_all();
        if (broken_) {
            return;
        }
    }
}

void Encoder::stop_writer()
{
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
        changed_.notify_all();
    }
    if (writer_.joinable()) {
        writer_.join();
    }
    if (pipe_fd_ >= 0) {
        ::close(pipe_fd_);
        pipe_fd_ = -1;
    }
}

bool Encoder::finish(std::string& error)
{
    stop_writer();
    if (pid_ < 0) {
        error = "ffmpeg is not running";
        return false;
    }
    double ffmpeg_seconds = 0;
    const int status = wait_for(pid_, &ffmpeg_seconds);
    pid_ = -1;
    {
        std::lock_guard lock(mutex_);
        cpu_.ffmpeg_seconds = ffmpeg_seconds;
    }
    const bool ok = !broken_ && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!ok) {
        error = "ffmpeg " + describe_status(status);
        const std::string tail = log_tail();
        if (!tail.empty()) {
            error += ": " + tail;
        }
    }
    std::remove(log_path_.c_str());
    return ok;
}

void Encoder::abort()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
    }
    stop_writer();
    if (pid_ > 0) {
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }
    if (!log_path_.empty()) {
        std::remove(log_path_.c_str());
        log_path_.clear();
    }
}

EncoderCpu Encoder::cpu() const
{
    std::lock_guard lock(mutex_);
    return cpu_;
}

std::string Encoder::log_tail() const
{
    std::ifstream log(log_path_);
    std::string line;
    std::string last;
    while (std::getline(log, line)) {
        if (!line.empty())
            last = line;
    }
    return last;
}

}  // namespace capture
