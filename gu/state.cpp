// The state half of the layer: switches, compare codes, face order, shading
// and matrix modes, each turned at once into its Direct3D 9 calls. Nothing is
// filtered or deferred; the layer shadows only the two values Direct3D folds
// into one render state (culling on/off and the front-face winding).
#include <iterator>

#include "gu/gu.h"

IDirect3DDevice9* gu_device = nullptr;
int32_t gu_cull_enabled = 0;
int32_t gu_front_face_code = 0;

namespace {

// Feature switches, by code 0..14. A render-state switch passes the on value
// through unchanged; a light switch enables one fixed-function light.
enum class Switch { ignored, render_state, depth_test, face_culling, texturing, light };

struct SwitchRow {
    Switch kind;
    DWORD target;  // the render state, or the light index
};

constexpr SwitchRow kSwitches[] = {
    {Switch::render_state, D3DRS_ALPHATESTENABLE},   //  0 alpha test        -> state 15
    {Switch::depth_test, D3DRS_ZENABLE},             //  1 depth test        -> state 7, 0 or 1
    {Switch::ignored, 0},                            //  2 scissor test
    {Switch::ignored, 0},                            //  3 stencil test
    {Switch::render_state, D3DRS_ALPHABLENDENABLE},  //  4 blending          -> state 27
    {Switch::face_culling, D3DRS_CULLMODE},          //  5 face culling      -> state 22
    {Switch::ignored, 0},                            //  6 dither
    {Switch::render_state, D3DRS_FOGENABLE},         //  7 fog               -> state 28
    {Switch::ignored, 0},                            //  8 clip planes
    {Switch::texturing, 0},                          //  9 texturing         -> unbinds stage 0
    {Switch::render_state, D3DRS_LIGHTING},          // 10 lighting          -> state 137
    {Switch::light, 0},                              // 11 light 0
    {Switch::light, 1},                              // 12 light 1
    {Switch::light, 2},                              // 13 light 2
    {Switch::light, 3},                              // 14 light 3
};

// Depth compare codes, by code 0..7; any other code compares "always".
constexpr D3DCMPFUNC kDepthFuncs[] = {
    D3DCMP_NEVER,         // 0 GU_NEVER
    D3DCMP_ALWAYS,        // 1 GU_ALWAYS
    D3DCMP_EQUAL,         // 2 GU_EQUAL
    D3DCMP_NOTEQUAL,      // 3 GU_NOTEQUAL
    D3DCMP_LESS,          // 4 GU_LESS
    D3DCMP_LESSEQUAL,     // 5 GU_LEQUAL
    D3DCMP_GREATER,       // 6 GU_GREATER
    D3DCMP_GREATEREQUAL,  // 7 GU_GEQUAL
};

// Shade models, by mode 0..1; any other mode is ignored.
constexpr D3DSHADEMODE kShadeModels[] = {
    D3DSHADE_FLAT,     // 0 GU_FLAT
    D3DSHADE_GOURAUD,  // 1 GU_SMOOTH
};

// Matrix modes, by mode 0..2; any other mode is ignored.
constexpr D3DTRANSFORMSTATETYPE kMatrixModes[] = {
    D3DTS_PROJECTION,  // 0 GU_PROJECTION
    D3DTS_VIEW,        // 1 GU_VIEW
    D3DTS_WORLD,       // 2 GU_MODEL
};

// The codes attach switches off, in ascending order.
constexpr int32_t kAttachSwitchedOff[] = {
    GU_ALPHA_TEST, GU_DEPTH_TEST, GU_BLEND,  GU_CULL_FACE, GU_FOG,    GU_TEXTURE_2D,
    GU_LIGHTING,   GU_LIGHT0,     GU_LIGHT1, GU_LIGHT2,    GU_LIGHT3,
};

// A negative code counts as out of range, like one beyond the table's end.
template <typename T, size_t N>
const T* table_row(const T (&table)[N], int32_t code)
{
    return code >= 0 && static_cast<size_t>(code) < N ? &table[code] : nullptr;
}

// Direct3D keeps culling and winding in one state: culling counter-clockwise
// triangles keeps the clockwise ones as front faces (code 0), and the reverse.
DWORD cull_mode_for_front_face(int32_t front_face_code)
{
    return front_face_code == GU_CW ? D3DCULL_CCW : D3DCULL_CW;
}

void set_face_culling(int32_t on)
{
    if (on != 0) {
        gu_cull_enabled = on;
        gu_device->SetRenderState(D3DRS_CULLMODE, cull_mode_for_front_face(gu_front_face_code));
    } else {
        gu_cull_enabled = 0;
        gu_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }
}

}  // namespace

void gu_attach_device(IDirect3DDevice9* device)
{
    gu_device = device;
    for (int32_t code : kAttachSwitchedOff) {
        gu_disable(code);
    }
    gu_front_face_code = GU_CW;
}

void gu_enable(int32_t code)
{
    gu_set_state(code, 1);
}

void gu_disable(int32_t code)
{
    gu_set_state(code, 0);
}

void gu_set_state(int32_t code, int32_t on)
{
    const SwitchRow* row = table_row(kSwitches, code);
    if (row == nullptr) {
        return;
    }
    switch (row->kind) {
    case Switch::ignored:
        return;  // no call, nothing stored
    case Switch::render_state:
        gu_device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(row->target),
                                  static_cast<DWORD>(on));
        return;
    case Switch::depth_test:
        gu_device->SetRenderState(D3DRS_ZENABLE, on != 0 ? D3DZB_TRUE : D3DZB_FALSE);
        return;
    case Switch::face_culling:
        set_face_culling(on);
        return;
    case Switch::texturing:
        // Textures are bound by the scene itself; switching texturing off unbinds stage 0.
        if (on == 0) {
            gu_device->SetTexture(0, nullptr);
        }
        return;
    case Switch::light:
        gu_device->LightEnable(row->target, on);
        return;
    }
}

void gu_depth_func(int32_t code)
{
    const D3DCMPFUNC* row = table_row(kDepthFuncs, code);
    gu_device->SetRenderState(D3DRS_ZFUNC, row != nullptr ? *row : D3DCMP_ALWAYS);
}

void gu_alpha_func(int32_t func, int32_t ref)
{
    // func is already a Direct3D compare value.
    gu_device->SetRenderState(D3DRS_ALPHAFUNC, static_cast<DWORD>(func));
    gu_device->SetRenderState(D3DRS_ALPHAREF, static_cast<DWORD>(ref));
}

void gu_front_face(int32_t order)
{
    gu_front_face_code = order;
    if (gu_cull_enabled == 0) {
        return;  // takes effect when culling is next switched on
    }
    if (order == GU_CW || order == GU_CCW) {
        gu_device->SetRenderState(D3DRS_CULLMODE, cull_mode_for_front_face(order));
    }
}

void gu_shade_model(int32_t mode)
{
    if (const D3DSHADEMODE* row = table_row(kShadeModels, mode)) {
        gu_device->SetRenderState(D3DRS_SHADEMODE, *row);
    }
}

void gu_load_matrix(int32_t mode, const Mat4* m)
{
    // Mat4 and D3DMATRIX are both 16 row-major floats: the matrix goes through unchanged.
    if (const D3DTRANSFORMSTATETYPE* row = table_row(kMatrixModes, mode)) {
        gu_device->SetTransform(*row, reinterpret_cast<const D3DMATRIX*>(m));
    }
}
