// D3DX texture loading without linking D3DX: d3dx9_43.dll comes with the
// DirectX runtime, not with Windows, and a program that imports it does not
// start where it is missing. The library is looked up once at run time; when
// it is absent, textures are read by our own DDS loader instead.
#include <type_traits>

#include "host/windows/dds_texture.h"
#include "platform/platform.h"

namespace {

using CreateTextureFromFileA = HRESULT(WINAPI*)(IDirect3DDevice9*, LPCSTR, IDirect3DTexture9**);
// The pointer GetProcAddress gives is cast to this type unchecked: it must be
// the function as D3DX declares it, calling convention included (stdcall on x86).
static_assert(std::is_same_v<CreateTextureFromFileA, decltype(&::D3DXCreateTextureFromFileA)>);

CreateTextureFromFileA find_d3dx_loader()
{
    // The library stays loaded for the rest of the run, as an import would.
    const HMODULE library = LoadLibraryA("d3dx9_43.dll");
    if (library == nullptr) {
        return nullptr;
    }
    const FARPROC found = GetProcAddress(library, "D3DXCreateTextureFromFileA");
    // Through the generic function type, which converts to any other.
    return reinterpret_cast<CreateTextureFromFileA>(reinterpret_cast<void (*)()>(found));
}

}  // namespace

HRESULT WINAPI D3DXCreateTextureFromFileA(IDirect3DDevice9* device, LPCSTR file,
                                          IDirect3DTexture9** texture)
{
    static const CreateTextureFromFileA d3dx_loader = find_d3dx_loader();
    // A directory or a device under the file's name is refused before D3DX
    // opens it: reading a device such as a pipe would wait for ever.
    if (file != nullptr && input_file_refusal(file) != nullptr) {
        return D3DXERR_INVALIDDATA;
    }
    if (d3dx_loader != nullptr) {
        return d3dx_loader(device, file, texture);
    }
    return create_texture_from_dds_file(device, file, texture);
}
