#pragma once
// Sound-making primitives: band-limited oscillators, a state-variable filter,
// white noise and stereo buffers. All deterministic: same inputs, same samples.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

namespace assets {

inline constexpr int kSampleRate = 44100;
inline constexpr float kRate = static_cast<float>(kSampleRate);
inline constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

// Equal temperament, A4 = MIDI note 69 = 440 Hz.
float midi_hz(float note);

// Frames in `seconds`.
inline int64_t frames_of(float seconds)
{
    return static_cast<int64_t>(std::lround(seconds * kRate));
}

struct Stereo {
    std::vector<float> l, r;

    Stereo() = default;
    explicit Stereo(size_t frames) : l(frames), r(frames) {}
    size_t size() const { return l.size(); }
};

// Constant-power pan: -1 hard left, 0 centre, +1 hard right.
struct Pan {
    float left;
    float right;
};
Pan pan_gains(float pan);

// Uniform white noise in [-1, 1).
class Noise {
public:
    explicit Noise(uint32_t seed);
    float next();

private:
    uint32_t state_;
};

// Sawtooth with PolyBLEP corrections at the wrap, so high notes do not alias.
// The phase is kept in double precision: a pad note runs for seconds.
class Saw {
public:
    Saw(float hz, float phase = 0.0f) : phase_(phase) { set_hz(hz); }
    void set_hz(float hz) { step_ = static_cast<double>(hz) / kSampleRate; }
    float next();

private:
    double phase_;
    double step_ = 0.0;
};

// Sine oscillator whose frequency may change every sample.
class Sine {
public:
    explicit Sine(float phase = 0.0f) : phase_(phase) {}
    float next(float hz);

private:
    double phase_;
};

// Trapezoidal state-variable filter (Andrew Simper's form): stable under fast
// cutoff changes, one set of states gives low, band and high pass at once.
class Svf {
public:
    struct Out {
        float low, band, high;
    };
    Svf(float cutoff_hz, float q) { set(cutoff_hz, q); }
    void set(float cutoff_hz, float q);
    Out tick(float in);

private:
    float k_ = 1.0f, a1_ = 0.0f, a2_ = 0.0f, a3_ = 0.0f;
    float ic1_ = 0.0f, ic2_ = 0.0f;
};

// One-pole low pass, for damping in feedback loops.
class OnePole {
public:
    explicit OnePole(float cutoff_hz);
    float tick(float in)
    {
        state_ += coefficient_ * (in - state_);
        return state_;
    }

private:
    float coefficient_;
    float state_ = 0.0f;
};

// Gentle saturation that keeps |x| < 1 and is nearly linear below 0.5.
inline float soft_clip(float x)
{
    return std::tanh(x);
}

}  // namespace assets
