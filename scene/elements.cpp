#include "scene/elements.h"

#include <bit>

#include "gu/gu.h"
#include "scene/geometry.h"
#include "scene/scene.h"

IDirect3DTexture9* texture_slots[TEXTURE_SLOT_COUNT];
D3DCOLOR fog_color = 0;

namespace {

// The grass is drawn in world space as generated.
constexpr Mat4 kIdentity = {{
    {1.0f, 0.0f, 0.0f, 0.0f},
    {0.0f, 1.0f, 0.0f, 0.0f},
    {0.0f, 0.0f, 1.0f, 0.0f},
    {0.0f, 0.0f, 0.0f, 1.0f},
}};

// The identity moved to (x, y, z).
Mat4 translation(float x, float y, float z)
{
    Mat4 m = kIdentity;
    m.m[3][0] = x;
    m.m[3][1] = y;
    m.m[3][2] = z;
    return m;
}

}  // namespace

void bind_texture_slot(int32_t slot)
{
    gu_device->SetTexture(0, texture_slots[slot]);
    gu_device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    gu_device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    gu_device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
}

void set_fog_and_clear(D3DCOLOR color, float fog_start, float fog_end)
{
    // Clear and fog share one colour, so distant geometry fades into the background.
    gu_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0);
    gu_device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    gu_device->SetRenderState(D3DRS_FOGSTART, std::bit_cast<DWORD>(fog_start));
    gu_device->SetRenderState(D3DRS_FOGEND, std::bit_cast<DWORD>(fog_end));
    gu_device->SetRenderState(D3DRS_FOGCOLOR, color);
    fog_color = color;
}

void set_additive_blend(int32_t on, D3DCOLOR factor)
{
    if ((on & 0xFF) != 0) {
        // Fogged fragments fade towards black, so distant leaves add nothing.
        gu_device->SetRenderState(D3DRS_FOGCOLOR, 0);
        gu_device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        gu_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        gu_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_BLENDFACTOR);
        gu_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        gu_device->SetRenderState(D3DRS_BLENDFACTOR, factor);
    } else {
        gu_device->SetRenderState(D3DRS_FOGCOLOR, fog_color);
        gu_device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        gu_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    }
}

void draw_sky_dome(const Vec3* eye)
{
    // With the depth test off the stars are neither tested nor written, so
    // everything drawn later covers them.
    gu_disable(GU_DEPTH_TEST);
    gu_disable(GU_FOG);
    gu_disable(GU_CULL_FACE);
    gu_disable(GU_TEXTURE_2D);
    gu_disable(GU_ALPHA_TEST);
    // The dome travels with the camera and never comes nearer.
    const Mat4 world = translation(eye->x, eye->y, eye->z);
    gu_load_matrix(GU_MODEL, &world);
    gu_draw_array(GU_POINTS, GU_COLOR_8888 | GU_VERTEX_32BITF, kStars, nullptr, star_records);
    gu_enable(GU_DEPTH_TEST);
}

void draw_ground(int32_t x_from, int32_t x_to, int32_t z_from, int32_t z_to)
{
    gu_enable(GU_FOG);
    gu_disable(GU_CULL_FACE);
    gu_enable(GU_TEXTURE_2D);
    gu_disable(GU_ALPHA_TEST);
    bind_texture_slot(TEXTURE_SLOT_GROUND);
    for (int32_t k = z_from; k < z_to; ++k) {
        for (int32_t i = x_from; i < x_to; ++i) {
            const Mat4 world =
                translation(static_cast<float>(2 * i), 0.0f, static_cast<float>(2 * k));
            gu_load_matrix(GU_MODEL, &world);
            gu_draw_array(GU_TRIANGLE_STRIP, GU_TEXTURE_32BITF | GU_VERTEX_32BITF, kGroundRecords,
                          nullptr, ground_quad);
        }
    }
}

void draw_grass()
{
    gu_enable(GU_FOG);
    gu_disable(GU_CULL_FACE);
    gu_enable(GU_TEXTURE_2D);
    gu_enable(GU_ALPHA_TEST);
    gu_alpha_func(D3DCMP_GREATEREQUAL, 64);  // a Direct3D compare value: pass when alpha >= 64
    bind_texture_slot(TEXTURE_SLOT_GRASS);
    gu_load_matrix(GU_MODEL, &kIdentity);
    // Only the first 16384 records and indices are drawn: 5461 triangles,
    // the first 1365 tufts whole and one triangle of the next.
    constexpr int32_t kGrassDrawn = 16384;
    gu_draw_array(GU_TRIANGLES, GU_INDEX_16BIT | GU_TEXTURE_32BITF | GU_VERTEX_32BITF, kGrassDrawn,
                  grass_indices, grass_records);
}
