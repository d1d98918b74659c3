// demo-trace: what one frame asks of the device. Runs the start-up and one
// frame at a given music position on the recording device and prints every
// device call of the frame, one per line.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "gu/gu.h"
#include "host/recording/call_format.h"
#include "host/recording/recording_device.h"
#include "scene/scene.h"
#include "scene/timeline.h"

namespace {

constexpr const char* kUsage = "usage: demo-trace [--setup] POSITION\n";

constexpr const char* kHelp =
    R"(usage: demo-trace [--setup] POSITION

Prints the Direct3D 9 calls of the demo's frame at music byte POSITION.
The scene is generated (scene_init), then one frame is drawn (render_frame)
on a recording device; nothing is displayed and no file is read.

POSITION  a decimal integer: the music stream's playback position in bytes of
          decoded audio. The frame sees its low 32 bits as a signed number,
          so -2147483648 .. 4294967295 are accepted and 2147483648 and above
          act as negative positions (2^32 is subtracted), as in the demo.
--setup   also print the calls of attaching the device and of scene_init,
          before the frame's.
--help    show this text.

Output: a first line starting with '#' names the position, the scene and
the byte within the scene; every further line is one device call, in call
order, as Name(arguments):
  SetRenderState(D3DRS_CULLMODE=22, D3DCULL_CCW=3)
      render, sampler and transform states, primitive types and other
      enumerated values by their Direct3D name and number; a value without
      a name is a bare number. Float states (D3DRS_FOGSTART, D3DRS_FOGEND)
      show the float their bits hold.
  Clear(0, NULL, D3DCLEAR_TARGET|D3DCLEAR_ZBUFFER=0x3, 0xFF64C8DC, 1, 0)
      colours as 0xAARRGGBB.
  SetTransform(D3DTS_WORLD=256, [m00 m01 m02 m03; m10 ...; ...; ... m33])
      the 16 floats of the matrix, row by row.
  SetTexture(0, tree.dds)
      the texture by the file the demo loads into that slot, or NULL.
  DrawPrimitiveUP(D3DPT_TRIANGLESTRIP=5, primitives=56, records=58,
                  stride=36, records_fnv1a=0x...)
  DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST=4, min_index=0, records=8,
                  primitives=2, indices=6, D3DFMT_INDEX16=101, stride=36,
                  records_fnv1a=0x..., indices_fnv1a=0x...)
      primitive type and count, the records (and indices) the draw uses,
      the record stride in bytes, and 64-bit FNV-1a hashes of the bytes of
      those records and indices.
Floats are printed with %.9g, which reads back to the same 32-bit value.

Exit status: 0 on success, 2 for bad usage, 1 if the output cannot be written.
)";

int usage_error(const std::string& message)
{
    std::fprintf(stderr, "demo-trace: %s\n%s", message.c_str(), kUsage);
    return 2;
}

// The low 32 bits of a byte position, as the frame loop stores them.
bool parse_position(std::string_view text, int32_t* position)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return false;
    }
    if (value < INT32_MIN || value > int64_t{UINT32_MAX}) {
        return false;
    }
    *position = static_cast<int32_t>(static_cast<uint32_t>(value));
    return true;
}

void print_calls(const RecordingDevice& device)
{
    for (const DeviceCall& c : device.calls()) {
        std::printf("%s\n", format_call(c).c_str());
    }
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    // Lines end in "\n" on every build, so that traces compare byte for byte.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    bool with_setup = false;
    const char* position_text = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--setup") {
            with_setup = true;
        } else if (arg.size() > 1 && arg[0] == '-' && (arg[1] < '0' || arg[1] > '9')) {
            return usage_error("unknown option '" + std::string(arg) + "'");
        } else if (position_text != nullptr) {
            return usage_error("more than one position given");
        } else {
            position_text = argv[i];
        }
    }
    if (position_text == nullptr) {
        return usage_error("no music position given");
    }
    int32_t position = 0;
    if (!parse_position(position_text, &position)) {
        return usage_error("'" + std::string(position_text) +
                           "' is not a music position: expected a decimal integer from "
                           "-2147483648 to 4294967295");
    }

    RecordingDevice device;
    device.set_keep_draw_data(false);  // the hashes are enough
    RecordingTexture bark("tree.dds");
    RecordingTexture leaf("leaf.dds");
    RecordingTexture ground("ground.dds");
    RecordingTexture grass("grass.dds");
    texture_slots[TEXTURE_SLOT_BARK] = &bark;
    texture_slots[TEXTURE_SLOT_LEAF] = &leaf;
    texture_slots[TEXTURE_SLOT_GROUND] = &ground;
    texture_slots[TEXTURE_SLOT_GRASS] = &grass;

    gu_attach_device(&device);
    scene_init();
    if (with_setup) {
        std::printf("# setup\n");
        print_calls(device);
    }
    device.clear_calls();

    music_pos = position;
    render_frame();
    const int scene = scene_number(position);
    std::printf("# music_pos %ld: scene %d, scene byte %ld\n", static_cast<long>(position), scene,
                static_cast<long>(position) - static_cast<long>(kSceneStarts[scene - 1]));
    print_calls(device);

    for (IDirect3DTexture9*& slot : texture_slots) {
        slot = nullptr;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "demo-trace: cannot write the trace to standard output: %s\n",
                     std::strerror(errno));
        return 1;
    }
    return 0;
}
