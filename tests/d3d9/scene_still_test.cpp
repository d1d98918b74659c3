// Stills of the real scene, rendered through the frame renderer and checked
// for properties the scene scripts fix: the white first frame, the night
// background of scene 2, stars only in the night scenes, and leaves that add
// light only when their grey is above 0. The textures are the generated
// assets when they have been built, else small stand-ins made here; none of
// the properties depends on the texture images.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/dds/dds_files.h"
#include "tools/still/frame_renderer.h"

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 272;

// First music byte of each scene.
constexpr int32_t kScene2 = 6648556;
constexpr int32_t kScene3 = 9977248;
constexpr int32_t kScene4 = 13303876;
constexpr int32_t kScene5 = 16631032;

constexpr uint32_t kNight = 0x040810;
constexpr uint32_t kDay = 0x64c8dc;

const char* const kTextureNames[] = {"tree.dds", "leaf.dds", "ground.dds", "grass.dds"};

// A 4 x 4 texture of one colour with a mip chain of its own making.
void write_stand_in(const std::string& path, uint32_t argb)
{
    std::vector<uint8_t> texels;
    for (int i = 0; i < 16; ++i) {
        const auto w = dds_files::words32({argb});
        texels.insert(texels.end(), w.begin(), w.end());
    }
    const auto bytes = dds_files::file(4, 4, 0, dds_files::kA8R8G8B8, texels);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::string texture_folder()
{
    bool assets_built = true;
    for (const char* name : kTextureNames) {
        assets_built =
            assets_built && std::filesystem::exists(std::string(DEMO_ASSETS_DIR) + "/" + name);
    }
    if (assets_built) {
        return DEMO_ASSETS_DIR;
    }
    const std::string folder = testing::TempDir() + "scene_still_textures";
    std::filesystem::create_directories(folder);
    write_stand_in(folder + "/tree.dds", 0xff806040);
    write_stand_in(folder + "/leaf.dds", 0xff40c040);
    write_stand_in(folder + "/ground.dds", 0xff403020);
    write_stand_in(folder + "/grass.dds", 0xc040a020);
    return folder;
}

class SceneStills : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        renderer_ = new FrameRenderer();
        std::string error;
        ASSERT_TRUE(renderer_->open(kWidth, kHeight, error, texture_folder())) << error;
        EXPECT_TRUE(renderer_->texture_warnings().empty());
    }

    static void TearDownTestSuite()
    {
        delete renderer_;
        renderer_ = nullptr;
    }

    void SetUp() override { ASSERT_NE(renderer_, nullptr); }

    static std::vector<uint8_t> frame(int32_t position)
    {
        std::vector<uint8_t> rgba(static_cast<size_t>(kWidth) * kHeight * 4);
        EXPECT_TRUE(renderer_->render(position, rgba));
        return rgba;
    }

    static uint32_t rgb(const std::vector<uint8_t>& image, int x, int y)
    {
        const size_t i = (static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)) * 4;
        return uint32_t{image[i]} << 16 | uint32_t{image[i + 1]} << 8 | image[i + 2];
    }

    // Pixels of the upper third that differ from the background while all
    // eight neighbours show it: single-pixel stars.
    static int isolated_points(const std::vector<uint8_t>& image, uint32_t background)
    {
        int count = 0;
        for (int y = 1; y < kHeight / 3; ++y) {
            for (int x = 1; x < kWidth - 1; ++x) {
                if (rgb(image, x, y) == background) {
                    continue;
                }
                bool alone = true;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        if ((dx != 0 || dy != 0) && rgb(image, x + dx, y + dy) != background) {
                            alone = false;
                        }
                    }
                }
                count += alone;
            }
        }
        return count;
    }

    static FrameRenderer* renderer_;
};

FrameRenderer* SceneStills::renderer_ = nullptr;

// Clear and fog colour white with both fog distances 0: everything drawn is
// fogged to white, and the tree has size 0.
TEST_F(SceneStills, SceneOneStartsAllWhite)
{
    const auto image = frame(0);
    for (size_t i = 0; i < image.size(); i += 4) {
        ASSERT_EQ(rgb(image, static_cast<int>((i / 4) % kWidth), static_cast<int>(i / 4 / kWidth)),
                  0xffffffu)
            << "pixel " << i / 4;
    }
}

// Where nothing is drawn scene 2 shows its clear colour; the only things in
// the sky are stars, brighter than it.
TEST_F(SceneStills, SceneTwoSkyIsTheNightColourAndStars)
{
    const auto image = frame(kScene2 + 500000);
    int background = 0;
    int stars = 0;
    for (int x = 0; x < kWidth; ++x) {
        for (int y = 0; y < 10; ++y) {
            const uint32_t c = rgb(image, x, y);
            if (c == kNight) {
                ++background;
            } else {
                ++stars;
                EXPECT_GT((c >> 16) + ((c >> 8) & 0xff) + (c & 0xff), 0x04u + 0x08u + 0x10u)
                    << x << ", " << y;
            }
        }
    }
    EXPECT_GT(background, 10 * kWidth * 9 / 10);
    EXPECT_GT(stars, 0);
}

TEST_F(SceneStills, StarsShineOnlyInScenesTwoToFour)
{
    EXPECT_LT(isolated_points(frame(3000000), kDay), 5);                // scene 1
    EXPECT_GT(isolated_points(frame(kScene2 + 1000000), kNight), 100);  // scene 2
    EXPECT_GT(isolated_points(frame(kScene3 + 1000000), kNight), 100);  // scene 3
    EXPECT_GT(isolated_points(frame(kScene4 + 1000000), kNight), 100);  // scene 4
    EXPECT_LT(isolated_points(frame(kScene5 + 1000000), kDay), 5);      // scene 5
}

// Scene 2's leaves pulse from music byte 8464681 (grey 53); one byte earlier
// their grey is 0 and, blended additively with a black factor, they add
// nothing. The camera moves by a hair from byte to byte, which changes a few
// edge pixels: two dark frames a byte apart show how many.
TEST_F(SceneStills, LeavesAddLightOnlyWhenTheirGreyIsAboveZero)
{
    const auto before = frame(8464679);
    const auto dark = frame(8464680);
    const auto lit = frame(8464681);
    size_t darker = 0;
    size_t brighter = 0;
    size_t changed_while_dark = 0;
    for (size_t i = 0; i < dark.size(); i += 4) {
        for (size_t c = 0; c < 3; ++c) {
            darker += lit[i + c] + 2 < dark[i + c];
            brighter += lit[i + c] > dark[i + c] + 2;
            changed_while_dark += before[i + c] != dark[i + c];
        }
    }
    // A few edge pixels differ between any two neighbouring bytes; beyond
    // those the lit leaves only brighten, and clearly.
    EXPECT_LE(darker, changed_while_dark);
    EXPECT_GT(brighter, 1000u);
    EXPECT_LT(changed_while_dark, brighter / 20);
}

}  // namespace
