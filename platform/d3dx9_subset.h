// The one D3DX 9 call the core makes, declared for builds without the SDK.
#pragma once

#include "platform/d3d9_subset.h"

#define D3DXERR_INVALIDDATA MAKE_D3DHRESULT(2905)

HRESULT WINAPI D3DXCreateTextureFromFileA(IDirect3DDevice9* device, LPCSTR file,
                                          IDirect3DTexture9** texture);
