// The web build in a heap capped low (tests/web/node/CMakeLists.txt): music
// and a texture larger than the room left are refused with the desktop
// builds' memory errors, and the program goes on.
//
//     node memory-errors.js BIG_FILE
#include <cstdio>
#include <cstring>

#include "host/gl/gl_device.h"
#include "platform/audio.h"
#include "platform/d3dx9_subset.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: memory-errors BIG_FILE\n");
        return 2;
    }
    const char* big = argv[1];
    int failures = 0;

    BASS_Init(0, 44100, 0, nullptr, nullptr);  // no output: the silent clock
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, big, 0, 0, BASS_STREAM_PRESCAN);
    const int code = BASS_ErrorGetCode();
    std::printf("music: %s\n", audio_error_text(code));
    if (stream != 0 || code != BASS_ERROR_MEM ||
        std::strstr(audio_error_text(code), big) == nullptr) {
        ++failures;
    }

    // The file is refused before the device is asked for anything: a
    // stand-in handle does.
    auto* device = reinterpret_cast<IDirect3DDevice9*>(alignof(IDirect3DDevice9));
    IDirect3DTexture9* texture = nullptr;
    const HRESULT result = D3DXCreateTextureFromFileA(device, big, &texture);
    std::printf("texture: 0x%08X %s\n", static_cast<unsigned>(result), host_d3d9::last_error());
    if (result != E_OUTOFMEMORY || texture != nullptr ||
        std::strstr(host_d3d9::last_error(), big) == nullptr) {
        ++failures;
    }
    BASS_Free();
    std::printf("%s\n", failures == 0 ? "refused as on the desktop" : "FAILED");
    return failures == 0 ? 0 : 1;
}
