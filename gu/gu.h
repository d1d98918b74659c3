// The GU compatibility layer: console-style graphics calls (numbered state
// switches, compare and face-order codes, matrix modes, flag-described
// vertex arrays) turned at once into Direct3D 9 device calls.
#pragma once

#include <cstdint>

#include "math/matrix.h"
#include "platform/platform.h"

// Feature switches (gu_enable / gu_disable).
enum : int {
    GU_ALPHA_TEST = 0,
    GU_DEPTH_TEST = 1,
    GU_SCISSOR_TEST = 2,
    GU_STENCIL_TEST = 3,
    GU_BLEND = 4,
    GU_CULL_FACE = 5,
    GU_DITHER = 6,
    GU_FOG = 7,
    GU_CLIP_PLANES = 8,
    GU_TEXTURE_2D = 9,
    GU_LIGHTING = 10,
    GU_LIGHT0 = 11,
    GU_LIGHT1 = 12,
    GU_LIGHT2 = 13,
    GU_LIGHT3 = 14,
};

// Depth compare codes (gu_depth_func).
enum : int {
    GU_NEVER = 0,
    GU_ALWAYS = 1,
    GU_EQUAL = 2,
    GU_NOTEQUAL = 3,
    GU_LESS = 4,
    GU_LEQUAL = 5,
    GU_GREATER = 6,
    GU_GEQUAL = 7,
};

// Front-face codes (gu_front_face), shade models, matrix modes.
enum : int { GU_CW = 0, GU_CCW = 1 };
enum : int { GU_FLAT = 0, GU_SMOOTH = 1 };
enum : int { GU_PROJECTION = 0, GU_VIEW = 1, GU_MODEL = 2 };

// Primitive codes (gu_draw_array).
enum : int {
    GU_POINTS = 0,
    GU_LINES = 1,
    GU_LINE_STRIP = 2,
    GU_TRIANGLES = 3,
    GU_TRIANGLE_STRIP = 4,
};

// Vertex-format fields (gu_draw_array's vtype). Each component is read as
// 32-bit values whatever nonzero value its field holds.
enum : uint32_t {
    GU_TEXTURE_32BITF = 0x3,
    GU_COLOR_8888 = 0x1C,
    GU_NORMAL_32BITF = 0x60,
    GU_VERTEX_32BITF = 0x180,
    GU_INDEX_16BIT = 0x1000,
};

// The layer's converted record: the layout of FVF 0x152
// (D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1).
struct DeviceVertex {
    float x, y, z;
    float nx, ny, nz;
    uint32_t diffuse;
    float u, v;
};
static_assert(sizeof(DeviceVertex) == 36);

inline constexpr DWORD kDeviceVertexFvf = 0x152;
inline constexpr int kGuVertexCapacity = 65536;
inline constexpr int kGuIndexCapacity = 655360;

// Layer state, program-wide.
extern IDirect3DDevice9* gu_device;
extern int32_t gu_cull_enabled;
extern int32_t gu_front_face_code;
extern DeviceVertex gu_vertex_buffer[kGuVertexCapacity];
extern uint16_t gu_index_buffer[kGuIndexCapacity];

void gu_attach_device(IDirect3DDevice9* device);
void gu_enable(int32_t code);
void gu_disable(int32_t code);
void gu_set_state(int32_t code, int32_t on);
void gu_depth_func(int32_t code);
void gu_alpha_func(int32_t func, int32_t ref);
void gu_front_face(int32_t order);
void gu_shade_model(int32_t mode);
void gu_load_matrix(int32_t mode, const Mat4* m);

void gu_draw_array(int32_t prim, uint32_t vtype, int32_t count, const void* indices,
                   const void* vertex_data);
