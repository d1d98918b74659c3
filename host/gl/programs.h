// The fixed-function pipeline of Direct3D 9, as far as the device emulates
// it, in GLSL: one small program per combination of the features that change
// the shader's code (texturing, fog mode, alpha test, flat shading); every
// other parameter is a uniform. Programs are compiled on first use and kept
// for the device's life.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "host/gl/gl_api.h"

namespace host_d3d9 {

// Fog modes by their D3DFOGMODE numbers.
enum class FogMode : uint8_t { none = 0, exp = 1, exp2 = 2, linear = 3 };

struct ProgramKey {
    bool textured;
    FogMode fog;
    bool alpha_test;
    bool flat;

    uint32_t index() const
    {
        return uint32_t{textured} | static_cast<uint32_t>(fog) << 1 | uint32_t{alpha_test} << 3 |
               uint32_t{flat} << 4;
    }
};

inline constexpr uint32_t kProgramCount = 32;

// Counts the changes of each group of uniforms; a program that has seen an
// older count uploads the group again before it draws.
struct UniformVersions {
    uint64_t transform = 0;
    uint64_t fog = 0;
    uint64_t alpha = 0;
    uint64_t lighting = 0;
};

struct Program {
    GLuint name = 0;
    GLint clip_from_model = -1;  // mat4: world x view x projection, adjusted for GL
    GLint view_depth = -1;       // vec4: view-space z as a dot product with (x, y, z, 1)
    GLint fog = -1;              // vec2: linear (end, 1 / (end - start)); exp, exp2 (density, 0)
    GLint fog_color = -1;        // vec3
    GLint alpha_test = -1;       // ivec4: reference, pass if below, equal, above
    GLint diffuse_mask = -1;     // vec4: the vertex colour's factor, by lighting
    UniformVersions uploaded{~0ull, ~0ull, ~0ull, ~0ull};
};

class ProgramCache {
public:
    // The program for the key, compiled now if it is new (which leaves the
    // new program in use). Null, with the compiler's message in *error, if it
    // does not compile.
    Program* get(ProgramKey key, std::string* error);

    // Deletes every program; the device's context must be current.
    void destroy();

private:
    std::array<Program, kProgramCount> programs_{};
};

}  // namespace host_d3d9
