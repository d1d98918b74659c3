#include "host/gl/programs.h"

#include <vector>

namespace host_d3d9 {
namespace {

// Vertex stage: transform, pass the diffuse colour and texture coordinates
// through, and compute the vertex fog factor from the distance along the
// view axis. The diffuse mask is (1, 1, 1, 1) with lighting off; with
// lighting on it is (0, 0, 0, 1): no light is modelled, and with none
// Direct3D lights a vertex black and keeps its alpha. Direct3D uses the view-space z; the scene's
// right-handed view looks down -z, so the distance is its magnitude.
constexpr const char* kVertexShader = R"(
layout(location = 0) in vec3 a_position;
layout(location = 1) in vec4 a_diffuse;
layout(location = 2) in vec2 a_texcoord;

uniform mat4 u_clip_from_model;
uniform vec4 u_view_depth;
uniform vec2 u_fog;
uniform vec4 u_diffuse_mask;

COLOR_INTERPOLATION out vec4 v_diffuse;
out vec2 v_texcoord;
out float v_fog;

void main()
{
    vec4 position = vec4(a_position, 1.0);
    gl_Position = u_clip_from_model * position;
    v_diffuse = VERTEX_DIFFUSE(a_diffuse) * u_diffuse_mask;
    v_texcoord = a_texcoord;
#if FOG_MODE == 0
    v_fog = 1.0;
#else
    float distance = abs(dot(position, u_view_depth));
#if FOG_MODE == 3
    v_fog = clamp((u_fog.x - distance) * u_fog.y, 0.0, 1.0);
#elif FOG_MODE == 1
    v_fog = exp(-u_fog.x * distance);
#else
    v_fog = exp(-(u_fog.x * distance) * (u_fog.x * distance));
#endif
#endif
}
)";

// Pixel stage: texture stage 0 with Direct3D's default operations (colour =
// texture x diffuse, alpha = texture alpha; diffuse alone without a
// texture), fog blended toward the fog colour, then the alpha test on the
// 8-bit alpha against the 8-bit reference.
constexpr const char* kFragmentShader = R"(
COLOR_INTERPOLATION in vec4 v_diffuse;
in vec2 v_texcoord;
in float v_fog;

uniform sampler2D u_texture;
uniform vec3 u_fog_color;
uniform ivec4 u_alpha_test;

out vec4 o_color;

void main()
{
    vec4 color = v_diffuse;
#if TEXTURED
    vec4 texel = texture(u_texture, v_texcoord);
    color = vec4(texel.rgb * color.rgb, texel.a);
#endif
#if FOG_MODE != 0
    color.rgb = mix(u_fog_color, color.rgb, v_fog);
#endif
#if ALPHA_TEST
    int alpha = int(color.a * 255.0 + 0.5);
    int reference = u_alpha_test.x;
    bool pass = (alpha < reference && u_alpha_test.y != 0) ||
                (alpha == reference && u_alpha_test.z != 0) ||
                (alpha > reference && u_alpha_test.w != 0);
    if (!pass) {
        discard;
    }
#endif
    o_color = color;
}
)";

std::string prelude(ProgramKey key)
{
    std::string text = kShaderPrelude;
    text += "#define TEXTURED " + std::to_string(key.textured ? 1 : 0) + "\n";
    text += "#define FOG_MODE " + std::to_string(static_cast<int>(key.fog)) + "\n";
    text += "#define ALPHA_TEST " + std::to_string(key.alpha_test ? 1 : 0) + "\n";
    text += std::string("#define COLOR_INTERPOLATION ") + (key.flat ? "flat" : "smooth") + "\n";
    return text;
}

std::string info_log(GLuint object, bool is_program)
{
    GLint length = 0;
    if (is_program) {
        glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    } else {
        glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    }
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    if (is_program) {
        glGetProgramInfoLog(object, length, nullptr, text.data());
    } else {
        glGetShaderInfoLog(object, length, nullptr, text.data());
    }
    return text.data();
}

GLuint compile(GLenum stage, const std::string& prelude_text, const char* body, std::string* error)
{
    const GLuint shader = glCreateShader(stage);
    const char* parts[] = {prelude_text.c_str(), body};
    glShaderSource(shader, 2, parts, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        *error = "shader compilation failed: " + info_log(shader, false);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

GLuint link(ProgramKey key, std::string* error)
{
    const std::string text = prelude(key);
    const GLuint vertex = compile(GL_VERTEX_SHADER, text, kVertexShader, error);
    if (vertex == 0) {
        return 0;
    }
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, text, kFragmentShader, error);
    if (fragment == 0) {
        glDeleteShader(vertex);
        return 0;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        *error = "shader linking failed: " + info_log(program, true);
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

}  // namespace

Program* ProgramCache::get(ProgramKey key, std::string* error)
{
    Program& program = programs_[key.index()];
    if (program.name != 0) {
        return &program;
    }
    const GLuint name = link(key, error);
    if (name == 0) {
        return nullptr;
    }
    program = Program{};
    program.name = name;
    program.clip_from_model = glGetUniformLocation(name, "u_clip_from_model");
    program.view_depth = glGetUniformLocation(name, "u_view_depth");
    program.fog = glGetUniformLocation(name, "u_fog");
    program.fog_color = glGetUniformLocation(name, "u_fog_color");
    program.alpha_test = glGetUniformLocation(name, "u_alpha_test");
    program.diffuse_mask = glGetUniformLocation(name, "u_diffuse_mask");
    // The texture always comes from unit 0; the sampler uniform is set once.
    glUseProgram(name);
    glUniform1i(glGetUniformLocation(name, "u_texture"), 0);
    return &program;
}

void ProgramCache::destroy()
{
    for (Program& program : programs_) {
        if (program.name != 0) {
            glDeleteProgram(program.name);
        }
        program = Program{};
    }
}

}  // namespace host_d3d9
