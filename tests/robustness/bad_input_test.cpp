// The demo, demo-still and demo-capture fed damaged input files, end to end.
// Each case copies the good files into a folder of its own and damages one of
// them: missing, empty, cut at half, overwritten with random bytes, replaced
// by a file of another format under the same name, or by something that is
// no file at all (a directory, a FIFO, /dev/zero through a symbolic link, a
// symbolic link to a directory, and for the music one to a block device),
// which must be refused without being waited on or read. A damaged texture
// leaves the geometry it covers untextured and the show goes on, with one
// warning naming the file; damaged music stops the demo and the capture with
// status 1 and a message naming the file and the cause, and demo-still never
// reads it. No damage may crash a program, hang it, or draw a sanitizer
// report.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tests/robustness/case_folder.h"
#include "tests/robustness/clean_end.h"
#include "tests/support/block_device.h"
#include "tests/support/child_process.h"
#include "tools/still/png_writer.h"

namespace {

namespace fs = std::filesystem;
using test_support::ChildOptions;
using test_support::ChildResult;
using test_support::ended_cleanly;

const fs::path kGoodFiles = ROBUSTNESS_ASSET_DIR;  // the four textures and a 1 s demo.mp3
const fs::path kCaseRoot = ROBUSTNESS_CASE_DIR;
constexpr double kTrackSeconds = 1.0;
constexpr const char* kInputFiles[] = {"tree.dds", "grass.dds", "ground.dds", "leaf.dds",
                                       "demo.mp3"};

// 62 s into the show: the tree, its leaves, the ground and the grass are all
// on screen. Every still case checks it, since a texture missing there must
// change the frame.
constexpr const char* kStillPosition = "10936800";
constexpr const char* kFrameSize = "160x90";

// A fifth of a second of video at the start of the track.
const std::vector<std::string> kCaptureArguments = {"--size", kFrameSize, "--fps",  "30",
                                                    "--to",   "0.2s",     "out.mp4"};

// Headless: the offscreen GL device, and SDL's dummy sound output, which
// opens on any machine and plays in real time. (Without it the audio library
// falls back to its silent clock, but only where no sound device opens.)
const std::vector<std::pair<std::string, std::string>> kHeadless = {
    {"SDL_VIDEODRIVER", "offscreen"}, {"SDL_AUDIODRIVER", "dummy"}};

// Generous, for the sanitizer build; a hung program still fails its case.
constexpr std::chrono::seconds kTimeLimit{60};

enum class Damage {
    missing,
    empty,
    cut_at_half,
    random_bytes,
    png_image,
    wav_sound,
    dds_image,
    directory,
    fifo,
    device,
    link_to_directory,
    block_device,
};

const char* damage_name(Damage damage)
{
    switch (damage) {
    case Damage::missing:
        return "missing";
    case Damage::empty:
        return "empty";
    case Damage::cut_at_half:
        return "cut_at_half";
    case Damage::random_bytes:
        return "random_bytes";
    case Damage::png_image:
        return "is_a_png";
    case Damage::wav_sound:
        return "is_a_wav";
    case Damage::dds_image:
        return "is_a_dds";
    case Damage::directory:
        return "is_a_directory";
    case Damage::fifo:
        return "is_a_fifo";
    case Damage::device:
        return "is_dev_zero";
    case Damage::link_to_directory:
        return "links_to_a_directory";
    case Damage::block_device:
        return "links_to_a_block_device";
    }
    return "unknown";
}

struct Case {
    std::string file;
    Damage damage;
    std::string cause;  // what the programs that give one say about the file
    // What the demo's line says about a texture: D3DX gives no cause but
    // for a path that is no file at all.
    std::string demo_cause = "missing, unreadable or not a texture";
};

// What every program says about a path that is no file, and the damages
// that make one.
const std::pair<Damage, const char*> kNotFiles[] = {
    {Damage::directory, "a directory, not a file"},
    {Damage::fifo, "a FIFO (named pipe), not a file"},
    {Damage::device, "a character device, not a file"},
    {Damage::link_to_directory, "a directory, not a file"},
};

std::string case_name(const Case& c)
{
    std::string name = c.file + "_" + damage_name(c.damage);
    for (char& letter : name) {
        if (letter == '.') {
            letter = '_';
        }
    }
    return name;
}

void PrintTo(const Case& c, std::ostream* out)
{
    *out << case_name(c);
}

std::vector<Case> texture_cases()
{
    // The causes as the DDS reader gives them (demo-still, demo-capture).
    const std::pair<Damage, const char*> damages[] = {
        {Damage::missing, "No such file"},     {Damage::empty, "empty"},
        {Damage::cut_at_half, "truncated"},    {Damage::random_bytes, "not a DDS file"},
        {Damage::png_image, "not a DDS file"}, {Damage::wav_sound, "not a DDS file"},
    };
    std::vector<Case> cases;
    for (const char* file : {"tree.dds", "grass.dds", "ground.dds", "leaf.dds"}) {
        for (const auto& [damage, cause] : damages) {
            cases.push_back({file, damage, cause});
        }
        for (const auto& [damage, cause] : kNotFiles) {
            cases.push_back({file, damage, cause, cause});
        }
    }
    return cases;
}

std::vector<Case> music_cases()
{
    // The causes as the audio library's scan gives them; the capture must
    // refuse each file for the same reason as the demo.
    std::vector<Case> cases = {
        {"demo.mp3", Damage::missing, "No such file"},
        {"demo.mp3", Damage::empty, "empty"},
        {"demo.mp3", Damage::cut_at_half, "cut short"},
        {"demo.mp3", Damage::random_bytes, "not MPEG audio"},
        {"demo.mp3", Damage::wav_sound, "a RIFF (WAVE) file"},
        {"demo.mp3", Damage::dds_image, "a DDS image"},
    };
    for (const auto& [damage, cause] : kNotFiles) {
        cases.push_back({"demo.mp3", damage, cause});
    }
    // The reader tells the kinds of device apart; once is enough for that.
    cases.push_back({"demo.mp3", Damage::block_device, "a block device, not a file"});
    return cases;
}

std::vector<uint8_t> read_bytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

void write_bytes(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

// The same bytes on every run.
std::vector<uint8_t> random_bytes(size_t size)
{
    std::mt19937 generator(20240611);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(generator() >> 24);
    }
    return bytes;
}

void put_le(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// Half a second of a 440 Hz tone as a 44100 Hz 16-bit stereo WAV file: a
// sound file a user might well have named demo.mp3.
std::vector<uint8_t> wav_sound()
{
    constexpr uint32_t kFrames = 22050;
    std::vector<uint8_t> out;
    const auto text = [&out](const char* chars) { out.insert(out.end(), chars, chars + 4); };
    text("RIFF");
    put_le(out, 36 + kFrames * 4, 4);
    text("WAVE");
    text("fmt ");
    put_le(out, 16, 4);      // chunk size
    put_le(out, 1, 2);       // PCM
    put_le(out, 2, 2);       // channels
    put_le(out, 44100, 4);   // frames per second
    put_le(out, 176400, 4);  // bytes per second
    put_le(out, 4, 2);       // bytes per frame
    put_le(out, 16, 2);      // bits per sample
    text("data");
    put_le(out, kFrames * 4, 4);
    for (uint32_t i = 0; i < kFrames; ++i) {
        const float phase = 2.0f * 3.14159265f * 440.0f * static_cast<float>(i) / 44100.0f;
        const auto sample = static_cast<int16_t>(8000.0f * std::sin(phase));
        put_le(out, static_cast<uint16_t>(sample), 2);
        put_le(out, static_cast<uint16_t>(sample), 2);
    }
    return out;
}

// A 64 x 64 checkerboard PNG: an image saved under a texture's name.
void write_png_image(const fs::path& path)
{
    constexpr int kSide = 64;
    std::vector<uint8_t> rgba(kSide * kSide * 4);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const uint8_t value = ((x / 8 + y / 8) % 2) != 0 ? 255 : 40;
            uint8_t* pixel = &rgba[static_cast<size_t>(y * kSide + x) * 4];
            pixel[0] = value;
            pixel[1] = value;
            pixel[2] = 128;
            pixel[3] = 255;
        }
    }
    std::string error;
    if (!write_png(path.string(), kSide, kSide, rgba.data(), error)) {
        throw std::runtime_error(error);
    }
}

void damage_file(const fs::path& file, Damage damage)
{
    switch (damage) {
    case Damage::missing:
        fs::remove(file);
        break;
    case Damage::empty:
        write_bytes(file, {});
        break;
    case Damage::cut_at_half: {
        std::vector<uint8_t> bytes = read_bytes(file);
        bytes.resize(bytes.size() / 2);
        write_bytes(file, bytes);
        break;
    }
    case Damage::random_bytes:
        write_bytes(file, random_bytes(static_cast<size_t>(fs::file_size(file))));
        break;
    case Damage::png_image:
        fs::remove(file);
        write_png_image(file);
        break;
    case Damage::wav_sound:
        write_bytes(file, wav_sound());
        break;
    case Damage::dds_image:
        fs::copy_file(kGoodFiles / "tree.dds", file, fs::copy_options::overwrite_existing);
        break;
    case Damage::directory:
        fs::remove(file);
        fs::create_directory(file);
        break;
    case Damage::fifo:
        fs::remove(file);
        if (mkfifo(file.c_str(), 0600) != 0) {
            throw std::runtime_error("cannot make the FIFO " + file.string());
        }
        break;
    case Damage::device:
        fs::remove(file);
        fs::create_symlink("/dev/zero", file);
        break;
    case Damage::link_to_directory:
        fs::remove(file);
        fs::create_directory(file.parent_path() / "elsewhere");
        fs::create_directory_symlink("elsewhere", file);
        break;
    case Damage::block_device:
        fs::remove(file);
        fs::create_symlink(test_support::some_block_device(), file);
        break;
    }
}

// The lines of a program's output that start with prefix.
std::vector<std::string> lines_starting(const std::string& output, const std::string& prefix)
{
    std::vector<std::string> lines;
    std::istringstream stream(output);
    for (std::string line; std::getline(stream, line);) {
        if (line.starts_with(prefix)) {
            lines.push_back(line);
        }
    }
    return lines;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A case's folder holds the good files, one of them damaged; the programs
// run there as a user runs them, from the folder with their input files.
class CaseFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = test_support::fresh_case_folder(kCaseRoot);
        for (const char* file : kInputFiles) {
            fs::copy_file(kGoodFiles / file, folder_ / file);
        }
    }

    void TearDown() override
    {
        if (folder_.empty()) {
            return;  // skipped before it was made
        }
        if (HasFailure()) {
            std::printf("The case's files are kept in %s\n", folder_.c_str());
        } else {
            fs::remove_all(folder_);
        }
    }

    ChildResult run(const char* program, const std::vector<std::string>& arguments)
    {
        ChildOptions options;
        options.argv.push_back(program);
        options.argv.insert(options.argv.end(), arguments.begin(), arguments.end());
        options.folder = folder_;
        options.environment = kHeadless;
        return test_support::run_child(options, kTimeLimit);
    }

    ChildResult render_still(const std::string& png)
    {
        return run(DEMO_STILL_EXE, {kStillPosition, png, "--size", kFrameSize});
    }

    // The folder's entries but the runner's own output-N.txt files.
    std::set<std::string> listing() const
    {
        std::set<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder_)) {
            const std::string name = entry.path().filename().string();
            if (!(name.starts_with("output-") && name.ends_with(".txt"))) {
                names.insert(name);
            }
        }
        return names;
    }

    fs::path folder_;
};

class DamagedFile : public CaseFolder, public ::testing::WithParamInterface<Case> {
protected:
    void SetUp() override
    {
        if (GetParam().damage == Damage::block_device &&
            test_support::some_block_device().empty()) {
            GTEST_SKIP() << "no block device under /dev on this machine";
        }
        CaseFolder::SetUp();
    }

    void damage() { damage_file(folder_ / GetParam().file, GetParam().damage); }
};

class TextureDamage : public DamagedFile {};
class MusicDamage : public DamagedFile {};

TEST_P(TextureDamage, DemoWarnsOnceAndPlaysToTheEnd)
{
    damage();
    const auto start = std::chrono::steady_clock::now();
    const ChildResult result = run(DEMO_EXE, {});
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;

    ASSERT_TRUE(ended_cleanly(result));
    EXPECT_EQ(result.exit_status, 0) << result.output;
    // One line, about this file alone: the other textures loaded.
    const std::vector<std::string> said = lines_starting(result.output, "demo:");
    ASSERT_EQ(said.size(), 1u) << result.output;
    EXPECT_TRUE(contains(said[0], "cannot load \"" + GetParam().file +
                                      "\": " + GetParam().demo_cause + " (0x88760B59)"))
        << said[0];
    EXPECT_TRUE(contains(said[0], "drawn untextured")) << said[0];
    // The show lasts as long as its music: a demo that gave up at its first
    // frame would end at once with the same status.
    EXPECT_GE(took.count(), 0.8 * kTrackSeconds);
}

TEST_P(TextureDamage, StillDrawsThatGeometryUntextured)
{
    const ChildResult good = render_still("good.png");
    ASSERT_TRUE(ended_cleanly(good));
    ASSERT_EQ(good.exit_status, 0) << good.output;
    EXPECT_TRUE(lines_starting(good.output, "demo-still:").empty()) << good.output;

    damage();
    const ChildResult damaged = render_still("damaged.png");
    ASSERT_TRUE(ended_cleanly(damaged));
    ASSERT_EQ(damaged.exit_status, 0) << damaged.output;
    const std::vector<std::string> said = lines_starting(damaged.output, "demo-still: warning:");
    ASSERT_EQ(said.size(), 1u) << damaged.output;
    EXPECT_TRUE(contains(said[0], GetParam().file + ": ")) << said[0];
    EXPECT_TRUE(contains(said[0], GetParam().cause)) << said[0];
    EXPECT_TRUE(contains(said[0], "drawn untextured")) << said[0];

    // Whatever the damage, the frame is the one without the file.
    fs::remove(folder_ / GetParam().file);
    const ChildResult missing = render_still("missing.png");
    ASSERT_TRUE(ended_cleanly(missing));
    ASSERT_EQ(missing.exit_status, 0) << missing.output;

    const std::vector<uint8_t> damaged_frame = read_bytes(folder_ / "damaged.png");
    ASSERT_FALSE(damaged_frame.empty());
    EXPECT_TRUE(damaged_frame == read_bytes(folder_ / "missing.png"))
        << "the frame with the damaged file differs from the frame without it";
    EXPECT_FALSE(damaged_frame == read_bytes(folder_ / "good.png"))
        << GetParam().file << " makes no difference at byte " << kStillPosition
        << ": its geometry is not on screen there";
}

TEST_P(TextureDamage, CaptureWarnsOnceAndWritesTheVideo)
{
    damage();
    const ChildResult result = run(DEMO_CAPTURE_EXE, kCaptureArguments);

    ASSERT_TRUE(ended_cleanly(result));
    EXPECT_EQ(result.exit_status, 0) << result.output;
    const std::vector<std::string> said = lines_starting(result.output, "demo-capture: warning:");
    ASSERT_EQ(said.size(), 1u) << result.output;
    EXPECT_TRUE(contains(said[0], GetParam().file + ": ")) << said[0];
    EXPECT_TRUE(contains(said[0], GetParam().cause)) << said[0];

    // An MP4 file, complete: renamed from its temporary name.
    const std::vector<uint8_t> video = read_bytes(folder_ / "out.mp4");
    ASSERT_GE(video.size(), 8u);
    EXPECT_EQ(std::string(video.begin() + 4, video.begin() + 8), "ftyp");
    EXPECT_FALSE(fs::exists(folder_ / ".out.mp4.partial"));
}

TEST_P(MusicDamage, DemoRefusesToPlayIt)
{
    damage();
    const ChildResult result = run(DEMO_EXE, {});

    ASSERT_TRUE(ended_cleanly(result));
    EXPECT_EQ(result.exit_status, 1) << result.output;
    // One line: the music and why; the textures are fine.
    const std::vector<std::string> said = lines_starting(result.output, "demo:");
    ASSERT_EQ(said.size(), 1u) << result.output;
    EXPECT_TRUE(contains(said[0], "\"demo.mp3\"")) << said[0];
    EXPECT_TRUE(contains(said[0], GetParam().cause)) << said[0];
}

TEST_P(MusicDamage, CaptureRefusesItAndLeavesNoFile)
{
    damage();
    const std::set<std::string> before = listing();
    const ChildResult result = run(DEMO_CAPTURE_EXE, kCaptureArguments);

    ASSERT_TRUE(ended_cleanly(result));
    EXPECT_EQ(result.exit_status, 1) << result.output;
    const std::vector<std::string> said = lines_starting(result.output, "demo-capture:");
    ASSERT_EQ(said.size(), 1u) << result.output;
    EXPECT_TRUE(contains(said[0], "\"demo.mp3\"")) << said[0];
    EXPECT_TRUE(contains(said[0], GetParam().cause)) << said[0];
    // Neither the video nor its temporary file.
    EXPECT_EQ(listing(), before);
}

TEST_P(MusicDamage, StillNeverReadsIt)
{
    const ChildResult good = render_still("good.png");
    ASSERT_TRUE(ended_cleanly(good));
    ASSERT_EQ(good.exit_status, 0) << good.output;

    damage();
    const ChildResult damaged = render_still("damaged.png");
    ASSERT_TRUE(ended_cleanly(damaged));
    EXPECT_EQ(damaged.exit_status, 0) << damaged.output;
    EXPECT_TRUE(lines_starting(damaged.output, "demo-still:").empty()) << damaged.output;
    const std::vector<uint8_t> frame = read_bytes(folder_ / "damaged.png");
    ASSERT_FALSE(frame.empty());
    EXPECT_TRUE(frame == read_bytes(folder_ / "good.png"));
}

// Input files that are symbolic links to the files are the files.
class LinkedFiles : public CaseFolder {};

TEST_F(LinkedFiles, AreReadAsTheFilesTheyLinkTo)
{
    const ChildResult copies = render_still("copies.png");
    ASSERT_TRUE(ended_cleanly(copies));
    ASSERT_EQ(copies.exit_status, 0) << copies.output;
    for (const char* file : kInputFiles) {
        fs::remove(folder_ / file);
        fs::create_symlink(kGoodFiles / file, folder_ / file);
    }

    const auto start = std::chrono::steady_clock::now();
    const ChildResult demo = run(DEMO_EXE, {});
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(ended_cleanly(demo));
    EXPECT_EQ(demo.exit_status, 0) << demo.output;
    EXPECT_TRUE(lines_starting(demo.output, "demo:").empty()) << demo.output;
    EXPECT_GE(took.count(), 0.8 * kTrackSeconds);

    const ChildResult links = render_still("links.png");
    ASSERT_TRUE(ended_cleanly(links));
    ASSERT_EQ(links.exit_status, 0) << links.output;
    EXPECT_TRUE(lines_starting(links.output, "demo-still:").empty()) << links.output;
    EXPECT_TRUE(read_bytes(folder_ / "links.png") == read_bytes(folder_ / "copies.png"));

    const ChildResult capture = run(DEMO_CAPTURE_EXE, kCaptureArguments);
    ASSERT_TRUE(ended_cleanly(capture));
    EXPECT_EQ(capture.exit_status, 0) << capture.output;
    EXPECT_TRUE(lines_starting(capture.output, "demo-capture: warning:").empty()) << capture.output;
    EXPECT_EQ(lines_starting(capture.output, "demo-capture: wrote out.mp4").size(), 1u)
        << capture.output;
}

std::string param_name(const ::testing::TestParamInfo<Case>& info)
{
    return case_name(info.param);
}

INSTANTIATE_TEST_SUITE_P(BadInput, TextureDamage, ::testing::ValuesIn(texture_cases()), param_name);
INSTANTIATE_TEST_SUITE_P(BadInput, MusicDamage, ::testing::ValuesIn(music_cases()), param_name);

}  // namespace
