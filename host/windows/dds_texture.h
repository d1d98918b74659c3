// Direct3D 9 textures from DDS files with our own reader: what D3DX's
// D3DXCreateTextureFromFileA does for the demo's textures, for systems
// without d3dx9_43.dll.
#pragma once

#include "platform/platform.h"

// Loads a DDS file into a new managed texture with its whole mip chain, as
// D3DXCreateTextureFromFileA would: the file's own levels when it carries
// them, box-filtered ones when it holds a single image. DXT data goes to the
// device unchanged; other formats are widened to A8R8G8B8. Returns D3D_OK,
// D3DERR_INVALIDCALL for null arguments, D3DXERR_INVALIDDATA for a file that
// cannot be read or is no DDS texture, or the device's error; *texture is set
// only on success.
HRESULT create_texture_from_dds_file(IDirect3DDevice9* device, const char* path,
                                     IDirect3DTexture9** texture);
