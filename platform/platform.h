// The one header through which the core (app, gu, scene) reaches the
// platform: windowing, Direct3D 9, D3DX 9 texture loading and the audio
// library. On Windows these are the real SDK headers; elsewhere they are our
// own declarations of exactly the subset the core calls, under the same
// names and values, so the core reads the same on both builds.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <d3d9.h>
// D3DX is loaded at run time (d3dx9_43.dll is not part of a fresh Windows
// install); the one function the core calls is declared here, with the SDK's
// signature, and defined by the Windows host.
HRESULT WINAPI D3DXCreateTextureFromFileA(IDirect3DDevice9* device, LPCSTR file,
                                          IDirect3DTexture9** texture);
// Its answer for a file it cannot load, as d3dx9.h defines it.
#ifndef D3DXERR_INVALIDDATA
#define D3DXERR_INVALIDDATA MAKE_D3DHRESULT(2905)
#endif
#else
#include "platform/win32_subset.h"

#include "platform/d3d9_subset.h"
#include "platform/d3dx9_subset.h"
#endif

#include "platform/audio.h"

// Why the program will not read `path` as an input file, in a few words
// ("a directory, not a file"), or null when it names a regular file or
// nothing at all. Looks without opening. The loaders refuse such paths with
// their usual failure (D3DXERR_INVALIDDATA, BASS_ERROR_FILEOPEN); this names
// the cause for the message. Both hosts define it (host/common/files).
const char* input_file_refusal(const char* path);
