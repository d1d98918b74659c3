// Every argument the show passes to the core's sines, cosines and powers,
// from scene_init and from render_frame at every frame of the show at 60
// frames a second (and a little past the music's end), against the long
// double references. This program builds its own copy of the math and scene
// sources with DEMO_MATH_RECORDING; the shipped libraries do not record.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <set>

#include "bench/discard_device.h"
#include "gu/gu.h"
#include "host/recording/recording_device.h"
#include "math/power.h"
#include "math/trig.h"
#include "scene/geometry.h"
#include "scene/scene.h"
#include "tests/math/reference.h"

namespace {

// The distinct arguments, by function, while recording is on.
bool recording = true;
std::set<float> arguments[3];

constexpr int32_t kBytesPerFrame = 176400 / 60;
// The music ends at byte 19,756,812; the frames go a little past it.
constexpr int32_t kPastTheEnd = 20000000;

// The shell's start: the textures in their slots, the device attached, the
// generator at its seed, scene_init; then every frame of the show.
class TrigShowArguments : public ::testing::Test {
protected:
    void SetUp() override
    {
        texture_slots[TEXTURE_SLOT_BARK] = &bark;
        texture_slots[TEXTURE_SLOT_LEAF] = &leaf;
        texture_slots[TEXTURE_SLOT_GROUND] = &ground;
        texture_slots[TEXTURE_SLOT_UNUSED] = nullptr;
        texture_slots[TEXTURE_SLOT_GRASS] = &grass;
        gu_attach_device(&device);
        random15_state = 1;
        scene_init();
        for (int32_t position = 0; position <= kPastTheEnd; position += kBytesPerFrame) {
            music_pos = position;
            render_frame();
            ++frames;
        }
        recording = false;
    }

    void TearDown() override
    {
        for (IDirect3DTexture9*& slot : texture_slots) {
            slot = nullptr;
        }
    }

    static const std::set<float>& sin_arguments() { return arguments[0]; }
    static const std::set<float>& cos_arguments() { return arguments[1]; }
    static const std::set<float>& pow4_arguments() { return arguments[2]; }

    // Accepts every call and does nothing, so that the frames cost little
    // more than the core's own work.
    DiscardDevice device;
    int frames = 0;
    RecordingTexture bark{"tree.dds"};
    RecordingTexture leaf{"leaf.dds"};
    RecordingTexture ground{"ground.dds"};
    RecordingTexture grass{"grass.dds"};
};

TEST_F(TrigShowArguments, AllMatchTheReferences)
{
    EXPECT_EQ(frames, kPastTheEnd / kBytesPerFrame + 1);
    EXPECT_GT(device.bytes_written(), 0u);
    ASSERT_GT(sin_arguments().size(), 1000u);
    ASSERT_GT(cos_arguments().size(), 1000u);
    ASSERT_FALSE(pow4_arguments().empty());
    std::printf("distinct arguments: %zu sin, %zu cos, %zu pow4\n", sin_arguments().size(),
                cos_arguments().size(), pow4_arguments().size());

    int mismatches = 0;
    float widest = 0.0f;
    for (float x : sin_arguments()) {
        widest = std::max(widest, x < 0.0f ? -x : x);
        const auto result = reference::same_float(reference::sin(x), portable_sin(x));
        if (!result && ++mismatches <= 10) {
            ADD_FAILURE() << "sin(" << reference::bits(x) << "): " << result.message();
        }
    }
    for (float x : cos_arguments()) {
        widest = std::max(widest, x < 0.0f ? -x : x);
        const auto result = reference::same_float(reference::cos(x), portable_cos(x));
        if (!result && ++mismatches <= 10) {
            ADD_FAILURE() << "cos(" << reference::bits(x) << "): " << result.message();
        }
    }
    for (float x : pow4_arguments()) {
        const auto long_double = static_cast<float>(std::pow(static_cast<long double>(x), 4.0L));
        EXPECT_TRUE(reference::same_float(long_double, portable_pow4(x))) << reference::bits(x);
        EXPECT_TRUE(reference::same_float(reference::pow4(x), portable_pow4(x)))
            << reference::bits(x);
    }
    EXPECT_EQ(mismatches, 0);
    std::printf("widest argument: %.9g\n", static_cast<double>(widest));
    // The random test's range covers the show's.
    EXPECT_LE(widest, reference::kShowRange);
}

}  // namespace

void record_math_argument(MathCall call, float x)
{
    if (recording) {
        arguments[static_cast<int>(call)].insert(x);
    }
}
