// demo-capture: records the show to an MP4, or a contact sheet to a PNG,
// rendering every frame offscreen from its music position.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/capture/encoder.h"
#include "tools/capture/music.h"
#include "tools/capture/options.h"
#include "tools/capture/sheet.h"
#include "tools/still/frame_renderer.h"
#include "tools/still/png_writer.h"

namespace {

using namespace capture;
using Clock = std::chrono::steady_clock;

// The signal that interrupted the capture, or 0.
std::atomic<int> interrupted{0};

void on_interrupt(int signal_number)
{
    interrupted = signal_number;
}

// An interrupted capture ends as the signal would have ended it: 130 for
// SIGINT, 143 for SIGTERM.
int interrupted_status()
{
    return 128 + interrupted;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "demo-capture: %s\n", message.c_str());
    return 1;
}

// A file removed when the capture ends, unless it was kept.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile()
    {
        if (!path_.empty())
            std::remove(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& path() const { return path_; }
    void keep() { path_.clear(); }

private:
    std::string path_;
};

// The temporary name of an output: hidden, beside it, so the final rename
// stays on one file system.
std::string partial_name(const std::string& output)
{
    const std::filesystem::path path(output);
    return (path.parent_path() / ("." + path.filename().string() + ".partial")).string();
}

// Fails early, with the system's reason, when the output's folder cannot take a file.
bool check_writable(const std::string& path, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot write \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    std::fclose(file);
    return true;
}

// A progress line on stderr: rewritten in place on a terminal, a new line
// every few seconds elsewhere (logs, CI).
class Progress {
public:
    explicit Progress(int64_t total)
        : total_(total),
          start_(Clock::now()),
          shown_(start_),
          terminal_(isatty(STDERR_FILENO) != 0),
          interval_(terminal_ ? std::chrono::milliseconds(250) : std::chrono::seconds(5))
    {
    }

    void update(int64_t done, bool last = false)
    {
        const auto now = Clock::now();
        if (!last && now - shown_ < interval_)
            return;
        shown_ = now;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
        const double left = rate > 0 ? static_cast<double>(total_ - done) / rate : 0;
        std::fprintf(stderr, "%sframe %lld/%lld (%.1f%%), %.1f fps, %d:%02d left%s",
                     terminal_ ? "\r" : "", static_cast<long long>(done),
                     static_cast<long long>(total_),
                     100.0 * static_cast<double>(done) / static_cast<double>(total_), rate,
                     static_cast<int>(left) / 60, static_cast<int>(left) % 60,
                     terminal_ && !last ? "   " : "\n");
    }

    double elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

private:
    int64_t total_;
    Clock::time_point start_;
    Clock::time_point shown_;
    bool terminal_;
    Clock::duration interval_;
};

int write_sheet(FrameRenderer& renderer, const Options& options, int64_t from, int64_t to)
{
    const std::vector<int64_t> positions = spread_positions(from, to, options.sheet_frames);
    ContactSheet sheet(options.sheet_frames, 320, options.width, options.height);
    std::vector<uint8_t> frame(static_cast<size_t>(options.width) * options.height * 4);
    for (size_t i = 0; i < positions.size(); ++i) {
        if (interrupted != 0)
            return interrupted_status();
        renderer.render(static_cast<int32_t>(positions[i]), frame);
        sheet.place(static_cast<int>(i), frame.data(), format_time(positions[i]));
    }
    std::string error;
    if (!write_png(options.sheet_output, static_cast<int>(sheet.image().width),
                   static_cast<int>(sheet.image().height), sheet.image().rgba.data(), error)) {
        return fail(error);
    }
    std::fprintf(stderr, "demo-capture: wrote %s (%d frames)\n", options.sheet_output.c_str(),
                 options.sheet_frames);
    return 0;
}

std::string frame_png_name(const std::string& dir, int64_t k)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(k));
    return (std::filesystem::path(dir) / name).string();
}

// Renders the frames of [from, to) into the MP4 and/or the PNG folder.
int write_frames(FrameRenderer& renderer, const Options& options, const std::vector<uint8_t>& pcm,
                 int64_t from, int64_t to)
{
    const int64_t step = bytes_per_frame(options.fps);
    const int64_t frames = (to - from + step - 1) / step;
    const bool video = !options.output.empty();
    // Frames only for the video stay in the order GL reads them: the YUV
    // conversion reads them upside down for free. PNGs need them upright.
    const bool gl_rows = options.frames_dir.empty();

    std::string error;
    TemporaryFile partial(video ? partial_name(options.output) : std::string());
    std::optional<TemporaryFile> wav;
    Encoder encoder;
    if (video) {
        if (!check_writable(partial.path(), error))
            return fail(error);
        char wav_template[] = "/tmp/demo-capture-music-XXXXXX";
        const int wav_fd = mkstemp(wav_template);
        if (wav_fd < 0)
            return fail(std::string("cannot make a temporary file: ") + strerror(errno));
        close(wav_fd);
        wav.emplace(wav_template);
        const size_t audio_end = std::min(pcm.size(), static_cast<size_t>(to));
        if (!write_wav(wav->path(), pcm.data() + from, audio_end - static_cast<size_t>(from),
                       error)) {
            return fail("cannot write \"" + wav->path() + "\": " + error);
        }
        EncoderSettings settings{partial.path(), wav->path(), options.width, options.height,
                                 options.fps};
        settings.rows = gl_rows ? RowOrder::bottom_first : RowOrder::top_first;
        if (!options.preset.empty())
            settings.preset = options.preset;
        if (!encoder.start(settings, error)) {
            return fail(error);
        }
    }
    if (!options.frames_dir.empty()) {
        std::error_code made;
        std::filesystem::create_directories(options.frames_dir, made);
        if (made)
            return fail("cannot make \"" + options.frames_dir + "\": " + made.message());
    }

    std::vector<uint8_t> frame(static_cast<size_t>(options.width) * options.height * 4);
    Progress progress(frames);
    for (int64_t k = 0; k < frames; ++k) {
        if (interrupted != 0)
            break;
        renderer.render(
            static_cast<int32_t>(from + k * step), frame,
            gl_rows ? host_d3d9::RowOrder::bottom_first : host_d3d9::RowOrder::top_first);
        if (!options.frames_dir.empty() &&
            !write_png(frame_png_name(options.frames_dir, k), static_cast<int>(options.width),
                       static_cast<int>(options.height), frame.data(), error)) {
            encoder.abort();
            return fail(error);
        }
        if (video && !encoder.submit(frame))
            break;  // ffmpeg stopped: finish() says why
        progress.update(k + 1, k + 1 == frames);
    }
    // Ffmpeg may have seen the interrupt too (Ctrl-C reaches the whole
    // process group) and stopped: the interrupt is the reason, not ffmpeg.
    if (interrupted != 0) {
        encoder.abort();
        std::fprintf(stderr, "\ndemo-capture: interrupted; no video written\n");
        return interrupted_status();
    }
    if (!video)
        return 0;
    if (!encoder.finish(error))
        return fail(error);

    if (std::rename(partial.path().c_str(), options.output.c_str()) != 0) {
        return fail("cannot rename \"" + partial.path() + "\" to \"" + options.output +
                    "\": " + std::strerror(errno));
    }
    partial.keep();
    const double seconds = static_cast<double>(frames) / options.fps;
    std::fprintf(stderr, "demo-capture: wrote %s: %lld frames, %.2f s of show in %.1f s (%.2fx)\n",
                 options.output.c_str(), static_cast<long long>(frames), seconds,
                 progress.elapsed(), seconds / progress.elapsed());
    // What encoding cost, beside rendering: scripts/bench.sh sets the
    // capture's speed against what the machine allows from these.
    const EncoderCpu cpu = encoder.cpu();
    if (cpu.frames > 0) {
        const auto per_frame = [&](double total) {
            return 1e3 * total / static_cast<double>(cpu.frames);
        };
        std::fprintf(stderr,
                     "demo-capture: processor time a frame: ffmpeg %.2f ms, YUV conversion "
                     "%.2f ms\n",
                     per_frame(cpu.ffmpeg_seconds), per_frame(cpu.conversion_seconds));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string error;
    const auto options = parse_options(argc - 1, argv + 1, error);
    if (!options) {
        std::fprintf(stderr, "demo-capture: %s\nTry 'demo-capture --help'.\n", error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(usage(), stdout);
        return 0;
    }

    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);  // a dead ffmpeg shows as a failed write

    // The music decodes on a thread of its own while this one opens the
    // renderer (the device, llvmpipe's threads, the shaders, the textures):
    // both take a good part of a second, one core each. A music that cannot
    // be decoded is still the first thing reported.
    std::string music_error;
    std::optional<std::vector<uint8_t>> pcm;
    std::thread decoder([&] { pcm = decode_music(options->music, music_error); });
    FrameRenderer renderer;
    const bool opened =
        renderer.open(static_cast<int>(options->width), static_cast<int>(options->height), error);
    decoder.join();
    if (!pcm)
        return fail("cannot decode \"" + options->music + "\": " + music_error);
    const auto length = static_cast<int64_t>(pcm->size());
    const int64_t from = options->from.value_or(0);
    const int64_t to = std::min(options->to.value_or(length), length);
    if (from >= to) {
        return fail("the range starts at byte " + std::to_string(from) +
                    ", past the end of the music (" + std::to_string(length) + " bytes)");
    }
    if (!opened)
        return fail(error);
    // A texture that does not load leaves its geometry untextured in every
    // frame; the capture goes on, but says so, as demo-still does.
    for (const std::string& warning : renderer.texture_warnings())
        std::fprintf(stderr, "demo-capture: warning: %s\n", warning.c_str());

    int status = 0;
    if (options->sheet_frames > 0) {
        status = write_sheet(renderer, *options, from, to);
    }
    if (status == 0 && (!options->output.empty() || !options->frames_dir.empty())) {
        status = write_frames(renderer, *options, *pcm, from, to);
    }
    return status;
}
