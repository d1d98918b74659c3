// A device in front of another that passes every call on except the draws of
// chosen scene elements, told apart by their shape: stars are the only
// points, ground tiles 2-triangle strips, branches 56-triangle strips, grass
// the 16384-record indexed draw, leaves the 8-record indexed ones. Taking an
// element out of a frame shows what it costs to render.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

#include "platform/platform.h"

enum class Element : uint32_t {
    clear = 1,
    stars = 2,
    ground = 4,
    grass = 8,
    branches = 16,
    leaves = 32,
};

// The element of a name ("stars", "ground", ...); 0 for none.
inline uint32_t element_bit(std::string_view name)
{
    constexpr std::pair<std::string_view, Element> kNames[] = {
        {"clear", Element::clear}, {"stars", Element::stars},       {"ground", Element::ground},
        {"grass", Element::grass}, {"branches", Element::branches}, {"leaves", Element::leaves},
    };
    for (const auto& [text, element] : kNames) {
        if (text == name) {
            return static_cast<uint32_t>(element);
        }
    }
    return 0;
}

class ElementFilter final : public IDirect3DDevice9 {
public:
    ElementFilter(IDirect3DDevice9* inner, uint32_t skipped) : inner_(inner), skipped_(skipped) {}

    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override { return inner_->Reset(params); }
    HRESULT Present(const RECT* a, const RECT* b, HWND c, const RGNDATA* d) override
    {
        return inner_->Present(a, b, c, d);
    }
    HRESULT BeginScene() override { return inner_->BeginScene(); }
    HRESULT EndScene() override { return inner_->EndScene(); }
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override
    {
        return skips(Element::clear) ? D3D_OK
                                     : inner_->Clear(count, rects, flags, color, z, stencil);
    }
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override
    {
        return inner_->SetViewport(viewport);
    }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override
    {
        return inner_->SetTransform(state, matrix);
    }
    HRESULT LightEnable(DWORD index, BOOL enable) override
    {
        return inner_->LightEnable(index, enable);
    }
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override
    {
        return inner_->SetRenderState(state, value);
    }
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override
    {
        return inner_->SetTexture(stage, texture);
    }
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override
    {
        return inner_->SetSamplerState(sampler, type, value);
    }
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitive_count, const void* data,
                            UINT stride) override
    {
        const Element element = type == D3DPT_POINTLIST ? Element::stars
                                : primitive_count == 2  ? Element::ground
                                                        : Element::branches;
        return skips(element) ? D3D_OK
                              : inner_->DrawPrimitiveUP(type, primitive_count, data, stride);
    }
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT min_index, UINT vertex_count,
                                   UINT primitive_count, const void* indices, D3DFORMAT format,
                                   const void* data, UINT stride) override
    {
        const Element element = vertex_count > 8 ? Element::grass : Element::leaves;
        return skips(element)
                   ? D3D_OK
                   : inner_->DrawIndexedPrimitiveUP(type, min_index, vertex_count, primitive_count,
                                                    indices, format, data, stride);
    }
    HRESULT SetFVF(DWORD fvf) override { return inner_->SetFVF(fvf); }

private:
    bool skips(Element element) const { return (skipped_ & static_cast<uint32_t>(element)) != 0; }

    IDirect3DDevice9* inner_;
    uint32_t skipped_;
};
