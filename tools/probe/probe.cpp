// demo-probe: renders chosen music positions with the demo's scene through
// the system's Direct3D 9 and writes each frame as a PNG, so pictures of the
// real device can be set beside those of ours. A test tool, not shipped.
//
// The frame is read from the back buffer before Present (afterwards a
// discarded back buffer holds nothing defined): GetBackBuffer, then
// GetRenderTargetData into a system-memory surface of the same format.
//
// --bench N renders the positions N times over (after one untimed pass) and
// prints the frames per second instead of writing pictures; each frame is
// read back into memory the same way before Present, so it is complete.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "gu/gu.h"
#include "scene/scene.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace {

constexpr const char* kUsage =
    "usage: demo-probe [--size WxH] OUTDIR BYTEPOS...\n"
    "       demo-probe [--size WxH] --bench N BYTEPOS...\n"
    "Renders the demo's frame at each music byte position through Direct3D 9\n"
    "and writes OUTDIR/frame-BYTEPOS.png. Textures are read from the working\n"
    "directory as the demo reads them.\n"
    "  --size WxH  back-buffer size (default 960x544)\n"
    "  --bench N   write no pictures: render the positions once untimed, then\n"
    "              N times over, each frame read back into memory before\n"
    "              Present, and print \"RESULT frames=F seconds=S fps=R\"\n";

struct Options {
    UINT width = 960;
    UINT height = 544;
    int bench_passes = 0;  // 0: write pictures
    std::string out_dir;
    std::vector<int32_t> positions;
};

bool parse_size(const char* text, UINT* width, UINT* height)
{
    unsigned w = 0;
    unsigned h = 0;
    char tail = 0;
    if (std::sscanf(text, "%ux%u%c", &w, &h, &tail) != 2 || w == 0 || h == 0 || w > 8192 ||
        h > 8192) {
        return false;
    }
    *width = w;
    *height = h;
    return true;
}

bool parse_position(const char* text, int32_t* position)
{
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < INT32_MIN || value > INT32_MAX) {
        return false;
    }
    *position = static_cast<int32_t>(value);
    return true;
}

// 0 when the arguments are good, 2 for bad usage, -1 after --help (exit 0).
int parse_arguments(int argc, char** argv, Options* options)
{
    std::vector<const char*> operands;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return -1;
        }
        if (arg == "--size") {
            if (i + 1 >= argc || !parse_size(argv[i + 1], &options->width, &options->height)) {
                std::fprintf(stderr, "demo-probe: --size wants WIDTHxHEIGHT, like 960x544\n");
                return 2;
            }
            ++i;
        } else if (arg == "--bench") {
            char* end = nullptr;
            const long passes = i + 1 < argc ? std::strtol(argv[i + 1], &end, 10) : 0;
            if (i + 1 >= argc || *end != '\0' || passes < 1 || passes > 1000000) {
                std::fprintf(stderr, "demo-probe: --bench wants a number of passes, like 3\n");
                return 2;
            }
            options->bench_passes = static_cast<int>(passes);
            ++i;
        } else {
            operands.push_back(argv[i]);
        }
    }
    // Without --bench the first operand is the output folder.
    const size_t first_position = options->bench_passes > 0 ? 0 : 1;
    if (operands.size() < first_position + 1) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (first_position == 1) {
        options->out_dir = operands[0];
    }
    for (size_t i = first_position; i < operands.size(); ++i) {
        int32_t position = 0;
        if (!parse_position(operands[i], &position)) {
            std::fprintf(stderr, "demo-probe: \"%s\" is not a byte position\n", operands[i]);
            return 2;
        }
        options->positions.push_back(position);
    }
    return 0;
}

LRESULT CALLBACK probe_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return DefWindowProcA(window, message, wparam, lparam);
}

struct Graphics {
    HWND window = nullptr;
    IDirect3D9* factory = nullptr;
    IDirect3DDevice9* device = nullptr;
};

void release_graphics(Graphics* graphics)
{
    for (IDirect3DTexture9*& slot : texture_slots) {
        if (slot != nullptr) {
            slot->Release();
            slot = nullptr;
        }
    }
    if (graphics->device != nullptr) {
        graphics->device->Release();
    }
    if (graphics->factory != nullptr) {
        graphics->factory->Release();
    }
    if (graphics->window != nullptr) {
        DestroyWindow(graphics->window);
    }
    UnregisterClassA("demo-probe", GetModuleHandleA(nullptr));
}

// A hidden window and a device whose back buffer has the asked size; the
// device is made as the demo makes it otherwise.
bool open_graphics(const Options& options, Graphics* graphics)
{
    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.style = CS_CLASSDC;
    // Windows calls it with its own convention (stdcall on x86).
    static_assert(std::is_same_v<decltype(&probe_window_proc), WNDPROC>);
    window_class.lpfnWndProc = probe_window_proc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "demo-probe";
    RegisterClassExA(&window_class);
    graphics->window =
        CreateWindowExA(0, "demo-probe", "demo-probe", WS_OVERLAPPEDWINDOW, 100, 100,
                        static_cast<int>(options.width), static_cast<int>(options.height), nullptr,
                        nullptr, window_class.hInstance, nullptr);
    if (graphics->window == nullptr) {
        std::fprintf(stderr, "demo-probe: cannot create a window (error %lu)\n", GetLastError());
        return false;
    }
    graphics->factory = Direct3DCreate9(D3D_SDK_VERSION);
    if (graphics->factory == nullptr) {
        std::fprintf(stderr, "demo-probe: Direct3DCreate9 returned null\n");
        return false;
    }
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = options.width;
    params.BackBufferHeight = options.height;
    params.Windowed = TRUE;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    const HRESULT result = graphics->factory->CreateDevice(
        D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, graphics->window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
        &params, &graphics->device);
    if (FAILED(result)) {
        std::fprintf(stderr, "demo-probe: CreateDevice failed with 0x%08lX\n",
                     static_cast<unsigned long>(result));
        return false;
    }
    return true;
}

// Copies the back buffer into system memory: GetRenderTargetData into a
// surface of the back buffer's format, made once and reused.
class BackBufferReader {
public:
    ~BackBufferReader()
    {
        if (copy_ != nullptr) {
            copy_->Release();
        }
    }

    // The frame as RGBA rows, top first (alpha 255); false on failure.
    bool read(IDirect3DDevice9* device, std::vector<uint8_t>* rgba, UINT* width, UINT* height)
    {
        IDirect3DSurface9* back = nullptr;
        bool ok = false;
        D3DLOCKED_RECT locked{};
        if (FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back)) ||
            !make_copy(device, back)) {
            std::fprintf(stderr, "demo-probe: cannot reach the back buffer\n");
        } else if (FAILED(device->GetRenderTargetData(back, copy_))) {
            std::fprintf(stderr, "demo-probe: cannot copy the back buffer to system memory\n");
        } else if (FAILED(copy_->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            std::fprintf(stderr, "demo-probe: cannot lock the copied back buffer\n");
        } else {
            rgba->resize(size_t{desc_.Width} * desc_.Height * 4);
            for (UINT y = 0; y < desc_.Height; ++y) {
                const auto* row = static_cast<const uint8_t*>(locked.pBits) +
                                  static_cast<size_t>(locked.Pitch) * y;
                uint8_t* out = rgba->data() + size_t{desc_.Width} * 4 * y;
                for (UINT x = 0; x < desc_.Width; ++x) {
                    // X8R8G8B8 lies in memory as B, G, R, X.
                    out[4 * x + 0] = row[4 * x + 2];
                    out[4 * x + 1] = row[4 * x + 1];
                    out[4 * x + 2] = row[4 * x + 0];
                    out[4 * x + 3] = 255;
                }
            }
            copy_->UnlockRect();
            *width = desc_.Width;
            *height = desc_.Height;
            ok = true;
        }
        if (back != nullptr) {
            back->Release();
        }
        return ok;
    }

private:
    bool make_copy(IDirect3DDevice9* device, IDirect3DSurface9* back)
    {
        if (copy_ != nullptr) {
            return true;
        }
        if (FAILED(back->GetDesc(&desc_))) {
            return false;
        }
        if (desc_.Format != D3DFMT_X8R8G8B8 && desc_.Format != D3DFMT_A8R8G8B8) {
            std::fprintf(stderr, "demo-probe: back-buffer format %u is not 32-bit RGB\n",
                         static_cast<unsigned>(desc_.Format));
            return false;
        }
        return SUCCEEDED(device->CreateOffscreenPlainSurface(
            desc_.Width, desc_.Height, desc_.Format, D3DPOOL_SYSTEMMEM, &copy_, nullptr));
    }

    IDirect3DSurface9* copy_ = nullptr;
    D3DSURFACE_DESC desc_{};
};

// One frame, as the demo draws it, then read back before Present.
bool render_frame_at(IDirect3DDevice9* device, int32_t position, BackBufferReader* reader,
                     std::vector<uint8_t>* rgba, UINT* width, UINT* height)
{
    music_pos = position;
    if (SUCCEEDED(device->BeginScene())) {
        render_frame();
        device->EndScene();
    }
    const bool read = reader->read(device, rgba, width, height);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    return read;
}

bool write_position(IDirect3DDevice9* device, int32_t position, const std::string& out_dir,
                    BackBufferReader* reader)
{
    std::vector<uint8_t> rgba;
    UINT width = 0;
    UINT height = 0;
    if (!render_frame_at(device, position, reader, &rgba, &width, &height)) {
        return false;
    }
    const std::string path = out_dir + "/frame-" + std::to_string(position) + ".png";
    if (stbi_write_png(path.c_str(), static_cast<int>(width), static_cast<int>(height), 4,
                       rgba.data(), static_cast<int>(width * 4)) == 0) {
        std::fprintf(stderr, "demo-probe: %s: cannot write the file\n", path.c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

double seconds_now()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// One untimed pass (shader creation, texture upload), then the timed ones.
bool bench_positions(IDirect3DDevice9* device, const Options& options)
{
    BackBufferReader reader;
    std::vector<uint8_t> rgba;
    UINT width = 0;
    UINT height = 0;
    auto pass = [&] {
        for (const int32_t position : options.positions) {
            if (!render_frame_at(device, position, &reader, &rgba, &width, &height)) {
                return false;
            }
        }
        return true;
    };
    if (!pass()) {
        return false;
    }
    const double start = seconds_now();
    for (int i = 0; i < options.bench_passes; ++i) {
        if (!pass()) {
            return false;
        }
    }
    const double seconds = seconds_now() - start;
    const size_t frames = options.positions.size() * static_cast<size_t>(options.bench_passes);
    std::printf("RESULT frames=%u seconds=%.4f fps=%.2f\n", static_cast<unsigned>(frames), seconds,
                static_cast<double>(frames) / seconds);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    const int usage = parse_arguments(argc, argv, &options);
    if (usage != 0) {
        return usage < 0 ? 0 : usage;
    }

    Graphics graphics;
    bool ok = open_graphics(options, &graphics);
    if (ok) {
        gu_attach_device(graphics.device);
        for (const TextureFile& file : kTextureFiles) {
            if (FAILED(D3DXCreateTextureFromFileA(graphics.device, file.name,
                                                  &texture_slots[file.slot]))) {
                std::fprintf(stderr, "demo-probe: %s: not loaded, drawn untextured\n", file.name);
            }
        }
        scene_init();
        if (options.bench_passes > 0) {
            ok = bench_positions(graphics.device, options);
        } else {
            BackBufferReader reader;
            for (const int32_t position : options.positions) {
                ok = ok && write_position(graphics.device, position, options.out_dir, &reader);
            }
        }
    }
    release_graphics(&graphics);
    return ok ? 0 : 1;
}
