// Micro-benchmarks of the hot paths, on a device that discards every call:
// the layer's vertex conversion per vertex format (the scene's own draws and
// every layout on a grass-sized batch), one whole frame per scene with the
// bytes it converts, memcpy of as many bytes, and the capture's RGBA to YUV
// conversion of a 960 x 544 frame.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/discard_device.h"
#include "gu/gu.h"
#include "scene/geometry.h"
#include "scene/scene.h"
#include "tools/capture/yuv.h"

namespace {

DiscardDevice device;

void set_up_scene()
{
    static bool done = false;
    if (!done) {
        gu_attach_device(&device);
        scene_init();
        done = true;
    }
}

void BM_DrawArrayStars(benchmark::State& state)
{
    set_up_scene();
    for (auto _ : state) {
        gu_draw_array(GU_POINTS, GU_COLOR_8888 | GU_VERTEX_32BITF, 4096, nullptr, star_records);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_DrawArrayStars);

void BM_DrawArrayTrunk(benchmark::State& state)
{
    set_up_scene();
    for (auto _ : state) {
        gu_draw_array(GU_TRIANGLE_STRIP, GU_TEXTURE_32BITF | GU_VERTEX_32BITF, 58, nullptr,
                      trunk_strip);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 58);
}
BENCHMARK(BM_DrawArrayTrunk);

void BM_DrawArrayGrass(benchmark::State& state)
{
    set_up_scene();
    for (auto _ : state) {
        gu_draw_array(GU_TRIANGLES, GU_INDEX_16BIT | GU_TEXTURE_32BITF | GU_VERTEX_32BITF, 16384,
                      grass_indices, grass_records);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 16384);
}
BENCHMARK(BM_DrawArrayGrass);

// 16384 points of any layout, from records of the largest size (36 bytes).
void BM_DrawArrayVtype(benchmark::State& state)
{
    set_up_scene();
    const auto vtype = static_cast<uint32_t>(state.range(0));
    static const std::vector<float> input(16384 * 9, 0.5f);
    for (auto _ : state) {
        gu_draw_array(GU_POINTS, vtype, 16384, nullptr, input.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 16384);
}
BENCHMARK(BM_DrawArrayVtype)
    ->ArgName("vtype")
    ->Arg(0x0)     // nothing read: every default
    ->Arg(0x183)   // texture and position (ground, trunk)
    ->Arg(0x19C)   // colour and position (stars)
    ->Arg(0x180)   // position alone
    ->Arg(0x1FF);  // every component

// One position inside each scene.
constexpr int32_t kScenePositions[] = {3323760, 8464681 + 37770, 11000000, 14000000, 17500000};

void BM_RenderFrame(benchmark::State& state)
{
    set_up_scene();
    music_pos = kScenePositions[state.range(0) - 1];
    device.reset_bytes_written();
    render_frame();
    const auto bytes = static_cast<int64_t>(device.bytes_written());
    for (auto _ : state) {
        render_frame();
        benchmark::ClobberMemory();
    }
    // The bytes the layer writes into its buffers, for comparison with memcpy.
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_RenderFrame)->DenseRange(1, 5)->ArgName("scene");

// Plain copies of a frame's bytes: 775528 in scenes 1 and 5, 922984 with
// the stars of scenes 2 to 4.
void BM_MemcpyFrameBytes(benchmark::State& state)
{
    const size_t bytes = static_cast<size_t>(state.range(0));
    std::vector<unsigned char> source(bytes, 1);
    std::vector<unsigned char> target(bytes);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_MemcpyFrameBytes)->Arg(775528)->Arg(922984);

// The capture's conversion of one 960 x 544 frame, read bottom row first.
void BM_RgbaToI420(benchmark::State& state)
{
    constexpr uint32_t kWidth = 960;
    constexpr uint32_t kHeight = 544;
    std::vector<uint8_t> rgba(size_t{kWidth} * kHeight * 4);
    for (size_t i = 0; i < rgba.size(); ++i) {
        rgba[i] = static_cast<uint8_t>(i * 7);
    }
    std::vector<uint8_t> i420(capture::i420_size(kWidth, kHeight));
    for (auto _ : state) {
        capture::rgba_to_i420(rgba, capture::RowOrder::bottom_first, kWidth, kHeight, i420);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_RgbaToI420);

}  // namespace

BENCHMARK_MAIN();
