// PNG files as write_png leaves them: decodable to the same pixels, complete
// or absent, and failures that name the file and the cause.
#include "tools/still/png_writer.h"

#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string temporary_folder(const char* name)
{
    const std::string folder = testing::TempDir() + name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

TEST(PngWriter, WritesTheImageAsRgba)
{
    const std::string folder = temporary_folder("png_writer_roundtrip");
    const std::string path = folder + "/out.png";
    std::vector<uint8_t> image(5 * 3 * 4);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    std::string error;
    ASSERT_TRUE(write_png(path, 5, 3, image.data(), error)) << error;

    int width = 0;
    int height = 0;
    int channels = 0;
    stbi_uc* decoded = stbi_load(path.c_str(), &width, &height, &channels, 4);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(width, 5);
    EXPECT_EQ(height, 3);
    EXPECT_EQ(std::vector<uint8_t>(decoded, decoded + image.size()), image);
    stbi_image_free(decoded);

    // Nothing but the PNG is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(PngWriter, ReplacesAnExistingFileWhole)
{
    const std::string folder = temporary_folder("png_writer_replace");
    const std::string path = folder + "/out.png";
    const std::vector<uint8_t> black(4 * 4 * 4, 0);
    const std::vector<uint8_t> white(2 * 2 * 4, 255);
    std::string error;
    ASSERT_TRUE(write_png(path, 4, 4, black.data(), error)) << error;
    ASSERT_TRUE(write_png(path, 2, 2, white.data(), error)) << error;
    int width = 0;
    int height = 0;
    int channels = 0;
    stbi_uc* decoded = stbi_load(path.c_str(), &width, &height, &channels, 4);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(width, 2);
    EXPECT_EQ(decoded[0], 255);
    stbi_image_free(decoded);
}

TEST(PngWriter, AFolderThatDoesNotExistIsReported)
{
    const std::string path = testing::TempDir() + "png_writer_no_such_folder/out.png";
    std::filesystem::remove_all(testing::TempDir() + "png_writer_no_such_folder");
    const std::vector<uint8_t> pixel(4, 0);
    std::string error;
    EXPECT_FALSE(write_png(path, 1, 1, pixel.data(), error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(PngWriter, AnEmptyImageIsRefused)
{
    std::string error;
    EXPECT_FALSE(write_png(testing::TempDir() + "empty.png", 0, 5, nullptr, error));
    EXPECT_NE(error.find("empty"), std::string::npos) << error;
}

}  // namespace
