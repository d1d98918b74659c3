// A Direct3D 9 device that accepts every call and does nothing: what is left
// of a frame's cost is the core's own work (scene, layer, vertex conversion).
//
// It keeps one tally, the bytes the layer wrote into its static buffers for
// the draws it received: 36 per converted record and 2 per copied index.
// The layer converts exactly the records a draw names for the primitives the
// scene uses (points, strips, indexed triangle lists, where it copies as many
// indices as it converts records); for a plain list or line list whose count
// is not a whole number of primitives, the few records beyond the last one
// go uncounted.
#pragma once

#include <cstdint>

#include "platform/platform.h"

class DiscardDevice final : public IDirect3DDevice9 {
public:
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT Reset(D3DPRESENT_PARAMETERS*) override { return D3D_OK; }
    HRESULT Present(const RECT*, const RECT*, HWND, const RGNDATA*) override { return D3D_OK; }
    HRESULT BeginScene() override { return D3D_OK; }
    HRESULT EndScene() override { return D3D_OK; }
    HRESULT Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override { return D3D_OK; }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) override { return D3D_OK; }
    HRESULT SetViewport(const D3DVIEWPORT9*) override { return D3D_OK; }
    HRESULT LightEnable(DWORD, BOOL) override { return D3D_OK; }
    HRESULT SetRenderState(D3DRENDERSTATETYPE, DWORD) override { return D3D_OK; }
    HRESULT SetTexture(DWORD, IDirect3DBaseTexture9*) override { return D3D_OK; }
    HRESULT SetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD) override { return D3D_OK; }
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitive_count, const void*,
                            UINT stride) override
    {
        bytes_written_ += uint64_t{records(type, primitive_count)} * stride;
        return D3D_OK;
    }
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT vertex_count, UINT, const void*,
                                   D3DFORMAT, const void*, UINT stride) override
    {
        bytes_written_ += uint64_t{vertex_count} * (stride + sizeof(uint16_t));
        return D3D_OK;
    }
    HRESULT SetFVF(DWORD) override { return D3D_OK; }

    // Bytes written into the layer's buffers since the last reset.
    uint64_t bytes_written() const { return bytes_written_; }
    void reset_bytes_written() { bytes_written_ = 0; }

private:
    static UINT records(D3DPRIMITIVETYPE type, UINT primitive_count)
    {
        switch (type) {
        case D3DPT_LINELIST:
            return 2 * primitive_count;
        case D3DPT_TRIANGLELIST:
            return 3 * primitive_count;
        case D3DPT_TRIANGLESTRIP:
            return primitive_count + 2;
        default:
            return primitive_count;
        }
    }

    uint64_t bytes_written_ = 0;
};
