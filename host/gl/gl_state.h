// A copy of the OpenGL state the device sets, so that a draw only reaches GL
// for what actually changed. The scene repeats most of its render states
// before every element; the repeats stop here.
#pragma once

#include <cstdint>

#include "host/gl/gl_api.h"

namespace host_d3d9 {

class GlState {
public:
    // Puts GL into the state this copy starts from; call once on a fresh
    // context.
    void reset();

    void enable(GLenum capability, bool on)
    {
        bool* current = flag(capability);
        if (*current != on) {
            *current = on;
            if (on) {
                glEnable(capability);
            } else {
                glDisable(capability);
            }
        }
    }

    void blend_func(GLenum source, GLenum destination)
    {
        if (blend_source_ != source || blend_destination_ != destination) {
            blend_source_ = source;
            blend_destination_ = destination;
            glBlendFunc(source, destination);
        }
    }

    void blend_equation(GLenum equation)
    {
        if (blend_equation_ != equation) {
            blend_equation_ = equation;
            glBlendEquation(equation);
        }
    }

    // The constant colour, as a D3DCOLOR.
    void blend_color(uint32_t color);

    void depth_func(GLenum func)
    {
        if (depth_func_ != func) {
            depth_func_ = func;
            glDepthFunc(func);
        }
    }

    void depth_mask(bool on)
    {
        if (depth_mask_ != on) {
            depth_mask_ = on;
            glDepthMask(on ? GL_TRUE : GL_FALSE);
        }
    }

    // Bits 0..3: red, green, blue, alpha (D3DCOLORWRITEENABLE's order).
    void color_mask(uint32_t mask)
    {
        if (color_mask_ != mask) {
            color_mask_ = mask;
            glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);
        }
    }

    void front_face(GLenum winding)
    {
        if (front_face_ != winding) {
            front_face_ = winding;
            glFrontFace(winding);
        }
    }

    void polygon_mode(GLenum mode)
    {
        if (polygon_mode_ != mode) {
            polygon_mode_ = mode;
            glPolygonMode(GL_FRONT_AND_BACK, mode);
        }
    }

    void point_size(float size)
    {
        if (point_size_ != size) {
            point_size_ = size;
            glPointSize(size);
        }
    }

    void use_program(GLuint program)
    {
        if (program_ != program) {
            program_ = program;
            glUseProgram(program);
        }
    }

    // Texture unit 0 is the only unit in use and stays active.
    void bind_texture(GLuint texture)
    {
        if (texture_ != texture) {
            texture_ = texture;
            glBindTexture(GL_TEXTURE_2D, texture);
        }
    }

    // Forgets a deleted texture, which GL unbinds by itself.
    void texture_deleted(GLuint texture)
    {
        if (texture_ == texture) {
            texture_ = 0;
        }
    }

    // Parameters of the one sampler object, bound to unit 0: min and mag
    // filter, wrap s and t, border colour (a D3DCOLOR) and level-of-detail
    // bias.
    void sampler_parameter(GLuint sampler, GLenum parameter, GLint value);
    void sampler_border(GLuint sampler, uint32_t color);
    void sampler_lod_bias(GLuint sampler, float bias);

private:
    bool* flag(GLenum capability);

    bool blend_ = false;
    bool depth_test_ = false;
    bool cull_face_ = false;
    bool scissor_test_ = false;
    bool unknown_ = false;
    GLenum blend_source_ = GL_ONE;
    GLenum blend_destination_ = GL_ZERO;
    GLenum blend_equation_ = GL_FUNC_ADD;
    uint32_t blend_color_ = 0;
    GLenum depth_func_ = GL_LESS;
    bool depth_mask_ = true;
    uint32_t color_mask_ = 0xf;
    GLenum front_face_ = GL_CCW;
    GLenum polygon_mode_ = GL_FILL;
    float point_size_ = 1.0f;
    GLuint program_ = 0;
    GLuint texture_ = 0;
    // Sampler: min filter, mag filter, wrap s, wrap t.
    GLint sampler_values_[4] = {GL_NEAREST_MIPMAP_LINEAR, GL_LINEAR, GL_REPEAT, GL_REPEAT};
    uint32_t sampler_border_ = 0;
    float sampler_lod_bias_ = 0.0f;
};

}  // namespace host_d3d9
