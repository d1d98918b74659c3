// Recorded device calls as text, one call per line, in the form
//
//   SetRenderState(D3DRS_CULLMODE=22, D3DCULL_CCW=3)
//   SetTransform(D3DTS_WORLD=256, [1 0 0 0; 0 1 0 0; 0 0 1 0; 0 0 0 1])
//   DrawPrimitiveUP(D3DPT_TRIANGLESTRIP=5, primitives=56, records=58, stride=36,
//                   records_fnv1a=0x...)          (on one line)
//
// Enumerated values carry their Direct3D name and number; a value without a
// name is printed as a bare number. Colours are 0xAARRGGBB, floats are
// printed with %.9g (enough digits to read back the same 32-bit value), and
// float render states (fog start and end, ...) are shown as the float their
// bits hold.
#pragma once

#include <array>
#include <ostream>
#include <string>

#include "host/recording/recording_device.h"

std::string format_call(const DeviceCall& device_call);

std::string format_float(float value);
std::string format_color(D3DCOLOR color);
std::string format_matrix(const std::array<float, 16>& matrix);
std::string format_render_state(D3DRENDERSTATETYPE state);
std::string format_render_state_value(D3DRENDERSTATETYPE state, DWORD value);
std::string format_transform_state(D3DTRANSFORMSTATETYPE state);
std::string format_sampler_state(D3DSAMPLERSTATETYPE type);
std::string format_sampler_state_value(D3DSAMPLERSTATETYPE type, DWORD value);
std::string format_primitive_type(D3DPRIMITIVETYPE type);
std::string format_swap_effect(D3DSWAPEFFECT effect);

// Stream output in the same form, so test failures show calls readably.
std::ostream& operator<<(std::ostream& out, const DeviceCall& device_call);
namespace call {
std::ostream& operator<<(std::ostream& out, const Reset& c);
std::ostream& operator<<(std::ostream& out, const Viewport& c);
std::ostream& operator<<(std::ostream& out, const Present& c);
std::ostream& operator<<(std::ostream& out, const BeginScene& c);
std::ostream& operator<<(std::ostream& out, const EndScene& c);
std::ostream& operator<<(std::ostream& out, const Clear& c);
std::ostream& operator<<(std::ostream& out, const Transform& c);
std::ostream& operator<<(std::ostream& out, const LightEnable& c);
std::ostream& operator<<(std::ostream& out, const RenderState& c);
std::ostream& operator<<(std::ostream& out, const Texture& c);
std::ostream& operator<<(std::ostream& out, const SamplerState& c);
std::ostream& operator<<(std::ostream& out, const Fvf& c);
std::ostream& operator<<(std::ostream& out, const Draw& c);
}  // namespace call
