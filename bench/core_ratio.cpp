// core-ratio: the core's CPU time per frame against memcpy.
//
//   core-ratio [--batches N] BYTEPOS...
//
// For each music position: the scene, the layer and its vertex conversion
// draw one frame on a device that discards every call, and the time is set
// against memcpy writing as many bytes as the layer wrote into its static
// buffers for that frame (records and indices). Both are timed in the
// thread's CPU time (so time lost to other processes does not count), in
// batches of repetitions of about a millisecond; each figure is the median
// batch. The frames' ratios are printed by scene, with their mean; the last
// line of standard output reads
// "RESULT frames=F ratio=R core_us=C memcpy_us=M bytes=B" (means over the
// frames).
#include <time.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "bench/discard_device.h"
#include "gu/gu.h"
#include "scene/scene.h"
#include "scene/timeline.h"

namespace {

constexpr const char* kUsage =
    "Usage: core-ratio [--batches N] BYTEPOS...\n"
    "\n"
    "Times one frame of the core (scene, layer, vertex conversion) at each music\n"
    "byte position on a device that discards every call, against memcpy of the\n"
    "bytes the layer wrote for that frame, and prints the ratios.\n"
    "\n"
    "  --batches N  timed batches per figure, the median is kept (default 15)\n"
    "  -h, --help   show this help\n"
    "\n"
    "Exit status: 0 measured, 2 bad usage.\n";

constexpr int32_t kSceneStarts[] = {INT32_MIN, kScene2Start, kScene3Start, kScene4Start,
                                    kScene5Start};

int scene_of(int32_t position)
{
    int scene = 0;
    while (scene + 1 < static_cast<int>(std::size(kSceneStarts)) &&
           position >= kSceneStarts[scene + 1]) {
        ++scene;
    }
    return scene + 1;
}

double thread_seconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Keeps the compiler from dropping or merging work on memory it cannot see used.
void touch(void* memory)
{
    asm volatile("" : : "r"(memory) : "memory");
}

// The median over batches of the mean time of one call of work, in seconds.
template <typename Work>
double median_time(Work work, int batches)
{
    // Enough repetitions for a batch of about a millisecond.
    int repetitions = 1;
    for (;;) {
        const double start = thread_seconds();
        for (int i = 0; i < repetitions; ++i) {
            work();
        }
        if (thread_seconds() - start > 1e-3 || repetitions >= (1 << 20)) {
            break;
        }
        repetitions *= 2;
    }
    std::vector<double> means;
    for (int b = 0; b < batches; ++b) {
        const double start = thread_seconds();
        for (int i = 0; i < repetitions; ++i) {
            work();
        }
        means.push_back((thread_seconds() - start) / repetitions);
    }
    std::nth_element(means.begin(), means.begin() + batches / 2, means.end());
    return means[static_cast<size_t>(batches / 2)];
}

struct FrameFigures {
    int scene;
    uint64_t bytes;
    double core;
    double copy;
};

}  // namespace

int main(int argc, char** argv)
{
    int batches = 15;
    std::vector<int32_t> positions;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        const bool is_batches = arg == "--batches";
        const std::string_view text = is_batches && i + 1 < argc ? argv[++i] : arg;
        int value = 0;
        const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() ||
            (is_batches && value < 1)) {
            std::fprintf(stderr, "core-ratio: %s is not a %s\nTry 'core-ratio --help'.\n",
                         std::string(text).c_str(),
                         is_batches ? "number of batches" : "byte position");
            return 2;
        }
        if (is_batches) {
            batches = value;
        } else {
            positions.push_back(value);
        }
    }
    if (positions.empty()) {
        std::fprintf(stderr, "core-ratio: no byte positions given\nTry 'core-ratio --help'.\n");
        return 2;
    }

    static DiscardDevice device;
    gu_attach_device(&device);
    scene_init();

    // As large as the layer's two buffers, so any frame's bytes fit.
    constexpr size_t kMaxBytes = sizeof gu_vertex_buffer + sizeof gu_index_buffer;
    std::vector<unsigned char> source(kMaxBytes, 0x5a);
    std::vector<unsigned char> target(kMaxBytes);

    std::vector<FrameFigures> frames;
    for (const int32_t position : positions) {
        music_pos = position;
        device.reset_bytes_written();
        render_frame();
        const uint64_t bytes = device.bytes_written();
        const double core = median_time([] { render_frame(); }, batches);
        const double copy = median_time(
            [&] {
                std::memcpy(target.data(), source.data(), bytes);
                touch(target.data());
            },
            batches);
        frames.push_back({scene_of(position), bytes, core, copy});
    }

    std::printf("%-6s %6s %10s %10s %11s %7s\n", "scene", "frames", "bytes", "core us", "memcpy us",
                "ratio");
    auto print_row = [](const char* label, const std::vector<const FrameFigures*>& rows) {
        double bytes = 0, core = 0, copy = 0, ratio = 0;
        for (const FrameFigures* f : rows) {
            bytes += static_cast<double>(f->bytes);
            core += f->core;
            copy += f->copy;
            ratio += f->core / f->copy;
        }
        const auto n = static_cast<double>(rows.size());
        std::printf("%-6s %6zu %10.0f %10.1f %11.1f %7.3f\n", label, rows.size(), bytes / n,
                    1e6 * core / n, 1e6 * copy / n, ratio / n);
        return std::vector<double>{bytes / n, core / n, copy / n, ratio / n};
    };
    for (int scene = 1; scene <= 5; ++scene) {
        std::vector<const FrameFigures*> rows;
        for (const FrameFigures& f : frames) {
            if (f.scene == scene) {
                rows.push_back(&f);
            }
        }
        if (!rows.empty()) {
            print_row(std::to_string(scene).c_str(), rows);
        }
    }
    std::vector<const FrameFigures*> all;
    for (const FrameFigures& f : frames) {
        all.push_back(&f);
    }
    const std::vector<double> mean = print_row("all", all);
    std::printf("RESULT frames=%zu ratio=%.3f core_us=%.1f memcpy_us=%.1f bytes=%.0f\n",
                frames.size(), mean[3], 1e6 * mean[1], 1e6 * mean[2], mean[0]);
    return 0;
}
