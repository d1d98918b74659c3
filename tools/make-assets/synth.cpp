#include "synth.h"

#include <algorithm>

namespace assets {

float midi_hz(float note)
{
    return 440.0f * std::exp2((note - 69.0f) / 12.0f);
}

Pan pan_gains(float pan)
{
    const float angle = (std::clamp(pan, -1.0f, 1.0f) + 1.0f) * 0.25f * std::numbers::pi_v<float>;
    return {std::cos(angle), std::sin(angle)};
}

Noise::Noise(uint32_t seed) : state_(seed * 2654435761u + 0x6d2b79f5u)
{
    if (state_ == 0) {
        state_ = 0x6d2b79f5u;
    }
}

float Noise::next()
{
    // xorshift32: period 2^32 - 1, plenty for a few seconds of noise.
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(state_ >> 8) * (2.0f / 16777216.0f) - 1.0f;
}

namespace {

// The residual that rounds a naive sawtooth's jump into a band-limited one.
double poly_blep(double t, double dt)
{
    if (t < dt) {
        const double x = t / dt;
        return x + x - x * x - 1.0;
    }
    if (t > 1.0 - dt) {
        const double x = (t - 1.0) / dt;
        return x * x + x + x + 1.0;
    }
    return 0.0;
}

}  // namespace

float Saw::next()
{
    const double value = 2.0 * phase_ - 1.0 - poly_blep(phase_, step_);
    phase_ += step_;
    if (phase_ >= 1.0) {
        phase_ -= 1.0;
    }
    return static_cast<float>(value);
}

float Sine::next(float hz)
{
    const float value = std::sin(static_cast<float>(phase_) * kTwoPi);
    phase_ += static_cast<double>(hz) / kSampleRate;
    if (phase_ >= 1.0) {
        phase_ -= 1.0;
    }
    return value;
}

void Svf::set(float cutoff_hz, float q)
{
    const float hz = std::clamp(cutoff_hz, 10.0f, 0.45f * kRate);
    const float g = std::tan(std::numbers::pi_v<float> * hz / kRate);
    k_ = 1.0f / q;
    a1_ = 1.0f / (1.0f + g * (g + k_));
    a2_ = g * a1_;
    a3_ = g * a2_;
}

Svf::Out Svf::tick(float in)
{
    const float v3 = in - ic2_;
    const float v1 = a1_ * ic1_ + a2_ * v3;
    const float v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
    ic1_ = 2.0f * v1 - ic1_;
    ic2_ = 2.0f * v2 - ic2_;
    return {v2, v1, in - k_ * v1 - v2};
}

OnePole::OnePole(float cutoff_hz) : coefficient_(1.0f - std::exp(-kTwoPi * cutoff_hz / kRate)) {}

}  // namespace assets
