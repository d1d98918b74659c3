// A Direct3D 9 device that accepts every call and does nothing: what is left
// of a frame's cost is the core's own work (scene, layer, vertex conversion).
#pragma once

#include "platform/platform.h"

class DiscardDevice final : public IDirect3DDevice9 {
public:
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT Present(const RECT*, const RECT*, HWND, const RGNDATA*) override { return D3D_OK; }
    HRESULT BeginScene() override { return D3D_OK; }
    HRESULT EndScene() override { return D3D_OK; }
    HRESULT Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override
    {
        return D3D_OK;
    }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) override { return D3D_OK; }
    HRESULT LightEnable(DWORD, BOOL) override { return D3D_OK; }
    HRESULT SetRenderState(D3DRENDERSTATETYPE, DWORD) override { return D3D_OK; }
    HRESULT SetTexture(DWORD, IDirect3DBaseTexture9*) override { return D3D_OK; }
    HRESULT SetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD) override { return D3D_OK; }
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT, const void*, UINT stride) override
    {
        bytes_drawn_stride_ = stride;
        return D3D_OK;
    }
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*, D3DFORMAT,
                                   const void*, UINT stride) override
    {
        bytes_drawn_stride_ = stride;
        return D3D_OK;
    }
    HRESULT SetFVF(DWORD) override { return D3D_OK; }

private:
    // Written so the compiler cannot prove the draws unused.
    volatile UINT bytes_drawn_stride_ = 0;
};
