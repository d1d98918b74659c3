// Micro-benchmarks of the core's hot paths on a device that discards every
// call: the layer's vertex conversion per vertex format, and one whole frame
// per scene.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/discard_device.h"
#include "gu/gu.h"
#include "scene/geometry.h"
#include "scene/scene.h"

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

// One position inside each scene.
constexpr int32_t kScenePositions[] = {3323760, 8464681 + 37770, 11000000, 14000000, 17500000};

void BM_RenderFrame(benchmark::State& state)
{
    set_up_scene();
    music_pos = kScenePositions[state.range(0) - 1];
    for (auto _ : state) {
        render_frame();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RenderFrame)->DenseRange(1, 5)->ArgName("scene");

// The bytes a frame converts (36 per record, 2 per index), copied plainly.
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
BENCHMARK(BM_MemcpyFrameBytes)->Arg(1 << 20);

}  // namespace

BENCHMARK_MAIN();
