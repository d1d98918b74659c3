// Host-only additions to our OpenGL Direct3D 9 device, for tools and tests:
// offscreen devices, read-back of the back buffer, texture loading from
// memory, and the reason behind the last failure.
//
// The device itself is reached through the ordinary Direct3D 9 calls:
// Direct3DCreate9, then CreateDevice. With a window (the focus window or
// hDeviceWindow, made by CreateWindowExA) it presents into that window; with
// neither it is offscreen and makes a hidden surface of its own, which works
// with no display at all (SDL_VIDEODRIVER=offscreen). The back buffer is
// BackBufferWidth x BackBufferHeight, or the window's client size where
// those are 0; an offscreen device needs both.
//
// What the device implements beyond the calls' plain effects:
// - FVF: only 0x152 (XYZ | NORMAL | DIFFUSE | TEX1, 36-byte records), the
//   layer's record. SetFVF with another value, or a draw with a stride other
//   than 36, fails with D3DERR_INVALIDCALL. Normals are read but unused.
// - Render states emulated: ZENABLE, ZWRITEENABLE, ZFUNC, ALPHATESTENABLE,
//   ALPHAFUNC, ALPHAREF, ALPHABLENDENABLE, SRCBLEND, DESTBLEND, BLENDOP,
//   BLENDFACTOR, CULLMODE, FILLMODE, SHADEMODE (flat or smooth colour),
//   FOGENABLE, FOGVERTEXMODE (linear, exp, exp2), FOGSTART, FOGEND,
//   FOGDENSITY, FOGCOLOR, POINTSIZE, COLORWRITEENABLE, LIGHTING. All others
//   are stored and ignored. FOGTABLEMODE is ignored (fog is per vertex).
//   A value outside a state's range acts as the state's default.
// - LIGHTING starts TRUE, as in Direct3D. Off, the vertex diffuse colour is
//   used as it is. On, the colour is what Direct3D computes with no light
//   enabled and the default material and ambient (0): black, with the
//   vertex's alpha (the diffuse material's alpha comes from the vertex
//   colour by default). Lights are not modelled: LightEnable is accepted and
//   has no effect, so an enabled light adds nothing either.
// - Sampler 0: MINFILTER, MAGFILTER, MIPFILTER, ADDRESSU, ADDRESSV,
//   BORDERCOLOR, MIPMAPLODBIAS. Texture stages other than 0, and samplers
//   other than 0, are accepted and unused (their default colour operation
//   is "disabled").
// - Lights: LightEnable is accepted and has no effect.
// - Present ignores its source rectangle and window override; it stretches
//   the back buffer over the destination rectangle, or without one over the
//   window's client area; around a destination rectangle the window is
//   black. An offscreen device's Present only flushes. As in Direct3D 9,
//   either rectangle needs a swap chain made with D3DSWAPEFFECT_COPY: with
//   any other swap effect such a Present fails with D3DERR_INVALIDCALL.
// - SetViewport: draws map to the viewport, and Clear stops at it, as in
//   Direct3D; it must lie inside the back buffer, with MinZ <= MaxZ in 0..1.
// - Reset makes new back and depth buffers (0 sizes again take the client
//   area's) and the new swap effect, unbinds the texture and returns every
//   render, sampler and transform state, the viewport and the FVF to its
//   default; the textures stay valid (all of this device's textures are
//   managed).
// - Drawing needs no BeginScene; BeginScene inside a scene and EndScene
//   outside one fail with D3DERR_INVALIDCALL.
// - Clear with a rectangle count but no rectangles clears the whole target,
//   as Direct3D's runtime treats it as a clear without rectangles.
// - A texture holds a reference to its device until its last Release. The
//   device holds a texture of its own while it is bound: a texture released
//   while bound stays usable until it is unbound, or until the device itself
//   goes, which then releases it too.
// - A draw that can change no pixel (no depth written, and a blend of
//   source x 0 + destination x 1 on every written channel) is skipped.
//
// D3DXCreateTextureFromFileA reads DDS files: DXT1, DXT3, DXT5, A8R8G8B8,
// X8R8G8B8, A8B8G8R8, X8B8G8R8, R8G8B8, R5G6B5, A1R5G5B5, X1R5G5B5,
// A4R4G4B4, X4R4G4B4, L8, A8L8 and A8, all decoded to RGBA8 at load (DXT
// too: llvmpipe would decode a compressed texel again at every sample, and
// decoding once makes the show's frames about a fifth faster to render). A
// file's mip chain is kept level for level; a file with one level gets a
// full chain (2 x 2 box filter).
// Results: D3DERR_INVALIDCALL for a null argument or a device not of this
// host; D3DXERR_INVALIDDATA for a file that cannot be opened or read and for
// an empty, truncated, malformed or unsupported one; D3DERR_NOTAVAILABLE for
// a texture beyond the driver's size limit; E_OUTOFMEMORY if there is not
// memory enough to decode it; D3DERR_OUTOFVIDEOMEMORY if the upload fails.
// On failure *texture is null and last_error() says why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/platform.h"

namespace host_d3d9 {

// Why the last failing call of CreateDevice, D3DXCreateTextureFromFileA or
// create_texture_from_dds on this thread failed, in words ("tree.dds: the
// file is truncated: ..."); empty if none has failed.
const char* last_error();

// A factory and an offscreen device of the given size in one call; the
// device keeps its factory alive. Null on failure (see last_error()).
IDirect3DDevice9* create_offscreen_device(uint32_t width, uint32_t height);

// True for devices made by this host's CreateDevice.
bool is_gl_device(IDirect3DDevice9* device);

struct Size {
    uint32_t width;
    uint32_t height;
};

// The back buffer's size; 0 x 0 for a device that is not ours.
Size back_buffer_size(IDirect3DDevice9* device);

enum class RowOrder {
    top_first,
    bottom_first,  // OpenGL's own order, which spares the device a flip
};

// Copies the back buffer into rgba as RGBA8 (bytes R, G, B, A), width x 4
// bytes a row, rows in the given order. Read before Present: with
// D3DSWAPEFFECT_DISCARD the content after Present is undefined. Fails with
// D3DERR_INVALIDCALL if rgba is smaller than width x height x 4 or the device
// is not ours.
HRESULT read_back_buffer(IDirect3DDevice9* device, std::span<uint8_t> rgba,
                         RowOrder order = RowOrder::top_first);

// D3DXCreateTextureFromFileA for a DDS file already in memory: the same
// formats, checks and results.
HRESULT create_texture_from_dds(IDirect3DDevice9* device, std::span<const uint8_t> file,
                                IDirect3DTexture9** texture);

struct TextureInfo {
    uint32_t width;
    uint32_t height;
    uint32_t levels;
};

// Size and levels of a texture made by this host; zeros otherwise.
TextureInfo texture_info(IDirect3DTexture9* texture);

}  // namespace host_d3d9
