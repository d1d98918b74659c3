#include "host/gl/gl_state.h"

#include "host/gl/translate.h"

namespace host_d3d9 {

void GlState::reset()
{
    *this = GlState{};
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_SCISSOR_TEST);
    glBlendFunc(blend_source_, blend_destination_);
    glBlendEquation(blend_equation_);
    glBlendColor(0.0f, 0.0f, 0.0f, 0.0f);
    glDepthFunc(depth_func_);
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glFrontFace(front_face_);
    glCullFace(GL_BACK);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glPointSize(point_size_);
    glUseProgram(0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

bool* GlState::flag(GLenum capability)
{
    switch (capability) {
    case GL_BLEND:
        return &blend_;
    case GL_DEPTH_TEST:
        return &depth_test_;
    case GL_CULL_FACE:
        return &cull_face_;
    case GL_SCISSOR_TEST:
        return &scissor_test_;
    default:
        return &unknown_;
    }
}

void GlState::blend_color(uint32_t color)
{
    if (blend_color_ != color) {
        blend_color_ = color;
        const ColorF c = color_floats(color);
        glBlendColor(c.r, c.g, c.b, c.a);
    }
}

void GlState::sampler_parameter(GLuint sampler, GLenum parameter, GLint value)
{
    int slot;
    switch (parameter) {
    case GL_TEXTURE_MIN_FILTER:
        slot = 0;
        break;
    case GL_TEXTURE_MAG_FILTER:
        slot = 1;
        break;
    case GL_TEXTURE_WRAP_S:
        slot = 2;
        break;
    case GL_TEXTURE_WRAP_T:
        slot = 3;
        break;
    default:
        glSamplerParameteri(sampler, parameter, value);
        return;
    }
    if (sampler_values_[slot] != value) {
        sampler_values_[slot] = value;
        glSamplerParameteri(sampler, parameter, value);
    }
}

void GlState::sampler_border(GLuint sampler, uint32_t color)
{
    if (sampler_border_ != color) {
        sampler_border_ = color;
        const ColorF c = color_floats(color);
        const GLfloat values[4] = {c.r, c.g, c.b, c.a};
        glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, values);
    }
}

void GlState::sampler_lod_bias(GLuint sampler, float bias)
{
    if (sampler_lod_bias_ != bias) {
        sampler_lod_bias_ = bias;
        glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, bias);
    }
}

}  // namespace host_d3d9
