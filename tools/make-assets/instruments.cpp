#include "instruments.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "noise.h"

namespace assets {

namespace {

float seconds(int64_t frame)
{
    return static_cast<float>(frame) / kRate;
}

// Linear rise over `attack` seconds, then 1.
float attack_ramp(float t, float attack)
{
    return std::min(1.0f, t / attack);
}

// 1 while the note is held, then an exponential release.
float release_gain(int64_t frame, int64_t gate, float release_seconds)
{
    if (frame < gate) {
        return 1.0f;
    }
    return std::exp(-seconds(frame - gate) / release_seconds);
}

float cents_ratio(float cents)
{
    return std::exp2(cents / 1200.0f);
}

// The six square waves of an analogue metal sound (the classic drum-machine
// cymbal frequencies, shifted up), summed and normalised to [-1, 1].
class Metal {
public:
    explicit Metal(float shift)
    {
        constexpr std::array<float, 6> kBase = {205.3f, 304.4f, 369.6f, 522.7f, 540.0f, 800.0f};
        for (size_t i = 0; i < kBase.size(); ++i) {
            step_[i] = static_cast<double>(kBase[i] * shift) / kSampleRate;
        }
    }
    float next()
    {
        float sum = 0.0f;
        for (size_t i = 0; i < phase_.size(); ++i) {
            sum += phase_[i] < 0.5 ? 1.0f : -1.0f;
            phase_[i] += step_[i];
            if (phase_[i] >= 1.0) {
                phase_[i] -= 1.0;
            }
        }
        return sum / 6.0f;
    }

private:
    std::array<double, 6> phase_{};
    std::array<double, 6> step_{};
};

}  // namespace

Mono kick(float velocity)
{
    Mono out(static_cast<size_t>(frames_of(0.5f)));
    Sine body;
    Noise noise(7);
    Svf click_filter(2500.0f, 0.7f);
    for (size_t i = 0; i < out.size(); ++i) {
        const float t = seconds(static_cast<int64_t>(i));
        // The pitch drops fast from a punchy 200 Hz to a 45 Hz boom; the
        // level has a short punch on top of the boom, so the kick's energy
        // peaks right at the beat.
        const float hz = 45.0f + 110.0f * std::exp(-t / 0.016f) + 45.0f * std::exp(-t / 0.004f);
        const float tail = t > 0.4f ? 1.0f - (t - 0.4f) / 0.1f : 1.0f;
        const float level = 0.55f * std::exp(-t / 0.015f) + 0.45f * std::exp(-t / 0.22f);
        const float env = attack_ramp(t, 0.001f) * level * tail;
        const float click = click_filter.tick(noise.next()).high * std::exp(-t / 0.004f) * 0.35f;
        out[i] = soft_clip(1.3f * (body.next(hz) * env + click)) * velocity;
    }
    return out;
}

Mono clap(float velocity, uint32_t seed)
{
    Mono out(static_cast<size_t>(frames_of(0.45f)));
    Noise noise(seed);
    Svf tone(1250.0f, 1.1f);
    for (size_t i = 0; i < out.size(); ++i) {
        const float t = seconds(static_cast<int64_t>(i));
        // Three quick slaps, then the room.
        float env = 0.0f;
        for (int slap = 0; slap < 3; ++slap) {
            const float start = 0.0105f * static_cast<float>(slap);
            if (t >= start) {
                env = std::max(env, std::exp(-(t - start) / 0.0045f));
            }
        }
        if (t >= 0.021f) {
            env = std::max(env, 0.7f * std::exp(-(t - 0.021f) / 0.12f));
        }
        out[i] = tone.tick(noise.next()).band * env * 2.2f * velocity;
    }
    return out;
}

Mono snare(float velocity, uint32_t seed)
{
    Mono out(static_cast<size_t>(frames_of(0.3f)));
    Noise noise(seed);
    Sine body;
    Svf rattle(1800.0f, 0.7f);
    for (size_t i = 0; i < out.size(); ++i) {
        const float t = seconds(static_cast<int64_t>(i));
        const float hz = 185.0f * (1.0f + 0.35f * std::exp(-t / 0.012f));
        const float tone = body.next(hz) * std::exp(-t / 0.05f);
        const float hiss = rattle.tick(noise.next()).high * std::exp(-t / 0.09f);
        out[i] = (0.45f * tone + 0.75f * hiss) * attack_ramp(t, 0.0008f) * velocity;
    }
    return out;
}

Mono hat(float velocity, bool open, uint32_t seed)
{
    const float decay = open ? 0.13f : 0.022f;
    Mono out(static_cast<size_t>(frames_of(open ? 0.6f : 0.15f)));
    Noise noise(seed);
    Metal metal(2.1f);
    Svf high(7500.0f, 0.8f);
    OnePole soften(13000.0f);
    for (size_t i = 0; i < out.size(); ++i) {
        const float t = seconds(static_cast<int64_t>(i));
        const float source = 0.55f * metal.next() + 0.45f * noise.next();
        const float env = attack_ramp(t, 0.0005f) * std::exp(-t / decay);
        out[i] = soften.tick(high.tick(source).high) * env * velocity;
    }
    return out;
}

Stereo crash(float velocity, uint32_t seed)
{
    Stereo out(static_cast<size_t>(frames_of(3.0f)));
    Noise left(seed);
    Noise right(seed ^ 0x9e3779b9u);
    Metal metal(3.3f);
    Svf high_l(4000.0f, 0.7f);
    Svf high_r(4000.0f, 0.7f);
    for (size_t i = 0; i < out.size(); ++i) {
        const float t = seconds(static_cast<int64_t>(i));
        const float ring = 0.35f * metal.next();
        const float env = attack_ramp(t, 0.002f) * std::exp(-t / 0.8f) * velocity;
        out.l[i] = high_l.tick(left.next() + ring).high * env;
        out.r[i] = high_r.tick(right.next() + ring).high * env;
    }
    return out;
}

Mono impact(float velocity)
{
    Mono out(static_cast<size_t>(frames_of(2.5f)));
    Sine boom;
    Noise noise(3);
    Svf thump(220.0f, 0.7f);
    for (size_t i = 0; i < out.size(); ++i) {
        const float t = seconds(static_cast<int64_t>(i));
        const float hz = 34.0f + 55.0f * std::exp(-t / 0.06f);
        const float body = boom.next(hz) * std::exp(-t / 0.7f);
        const float dirt = thump.tick(noise.next()).low * std::exp(-t / 0.05f) * 1.5f;
        out[i] = soft_clip(1.5f * (body + dirt)) * attack_ramp(t, 0.002f) * velocity;
    }
    return out;
}

Stereo sweep(int64_t frames, float velocity, SweepShape shape, uint32_t seed)
{
    Stereo out(static_cast<size_t>(std::max<int64_t>(frames, 1)));
    Noise left(seed);
    Noise right(seed ^ 0x85ebca6bu);
    Svf filter_l(shape.from_hz, shape.q);
    Svf filter_r(shape.from_hz, shape.q);
    const float length = static_cast<float>(out.size());
    const int64_t fade = frames_of(0.002f);
    for (size_t i = 0; i < out.size(); ++i) {
        const float x = static_cast<float>(i) / length;
        if (i % 32 == 0) {
            const float hz = shape.from_hz * std::pow(shape.to_hz / shape.from_hz, x);
            filter_l.set(hz, shape.q);
            filter_r.set(hz, shape.q);
        }
        // Ends at full level; a 2 ms fade avoids a click at the cut.
        const int64_t left_over = static_cast<int64_t>(out.size() - i);
        const float cut =
            left_over < fade ? static_cast<float>(left_over) / static_cast<float>(fade) : 1.0f;
        const float env = std::pow(x, shape.curve) * cut * velocity;
        out.l[i] = filter_l.tick(left.next()).band * env;
        out.r[i] = filter_r.tick(right.next()).band * env;
    }
    return out;
}

Mono bass(float pitch, int64_t gate, float velocity, float cutoff_hz)
{
    const float hz = midi_hz(pitch);
    const int64_t release = frames_of(0.012f);
    Mono out(static_cast<size_t>(gate + 6 * release));
    Saw saw(hz);
    Sine sub;
    Svf filter(cutoff_hz, 1.2f);
    for (size_t i = 0; i < out.size(); ++i) {
        const auto frame = static_cast<int64_t>(i);
        const float t = seconds(frame);
        if (i % 16 == 0) {
            filter.set(cutoff_hz * (1.0f + 3.0f * std::exp(-t / 0.07f)), 1.2f);
        }
        const float tone = filter.tick(0.6f * saw.next()).low + 0.8f * sub.next(hz);
        const float env = attack_ramp(t, 0.004f) * release_gain(frame, gate, seconds(release));
        out[i] = soft_clip(1.3f * tone) * env * velocity;
    }
    return out;
}

Mono pluck(float pitch, int64_t gate, float velocity, float cutoff_hz)
{
    const float hz = midi_hz(pitch);
    const int64_t held = std::min(gate, frames_of(0.6f));
    Mono out(static_cast<size_t>(held + frames_of(0.12f)));
    Saw a(hz * cents_ratio(6.0f));
    Saw b(hz * cents_ratio(-6.0f), 0.37f);
    Svf filter(cutoff_hz, 1.6f);
    for (size_t i = 0; i < out.size(); ++i) {
        const auto frame = static_cast<int64_t>(i);
        const float t = seconds(frame);
        if (i % 16 == 0) {
            filter.set(cutoff_hz * (1.0f + 5.0f * std::exp(-t / 0.05f)), 1.6f);
        }
        const float env =
            attack_ramp(t, 0.002f) * std::exp(-t / 0.2f) * release_gain(frame, held, 0.025f);
        out[i] = filter.tick(0.5f * (a.next() + b.next())).low * env * velocity;
    }
    return out;
}

Stereo stab(std::span<const float> pitches, int64_t gate, float velocity, float cutoff_hz)
{
    const int64_t release = frames_of(0.02f);
    Stereo dry(static_cast<size_t>(gate + 6 * release));
    const float count = static_cast<float>(pitches.size());
    for (size_t n = 0; n < pitches.size(); ++n) {
        const float hz = midi_hz(pitches[n]);
        const Pan pan =
            pan_gains(count > 1 ? -0.6f + 1.2f * static_cast<float>(n) / (count - 1) : 0.0f);
        Saw a(hz * cents_ratio(8.0f), 0.1f * static_cast<float>(n));
        Saw b(hz * cents_ratio(-8.0f), 0.5f + 0.1f * static_cast<float>(n));
        for (size_t i = 0; i < dry.size(); ++i) {
            const float s = a.next() + b.next();
            dry.l[i] += s * pan.left;
            dry.r[i] += s * pan.right;
        }
    }
    Stereo out(dry.size());
    Svf left(cutoff_hz, 1.2f);
    Svf right(cutoff_hz, 1.2f);
    const float decay = std::max(0.08f, 0.45f * seconds(gate));
    const float level = velocity * 0.5f / std::sqrt(count);
    for (size_t i = 0; i < dry.size(); ++i) {
        const auto frame = static_cast<int64_t>(i);
        const float t = seconds(frame);
        if (i % 16 == 0) {
            const float hz = cutoff_hz * (1.0f + 4.0f * std::exp(-t / 0.06f));
            left.set(hz, 1.2f);
            right.set(hz, 1.2f);
        }
        const float env = attack_ramp(t, 0.002f) * std::exp(-t / decay) *
                          release_gain(frame, gate, seconds(release)) * level;
        out.l[i] = left.tick(dry.l[i]).low * env;
        out.r[i] = right.tick(dry.r[i]).low * env;
    }
    return out;
}

Stereo bells(std::span<const float> pitches, float velocity)
{
    Stereo out(static_cast<size_t>(frames_of(5.0f)));
    const float count = static_cast<float>(pitches.size());
    for (size_t n = 0; n < pitches.size(); ++n) {
        const double hz = midi_hz(pitches[n]);
        const Pan pan =
            pan_gains(count > 1 ? -0.7f + 1.4f * static_cast<float>(n) / (count - 1) : 0.0f);
        // Frequency modulation at an inharmonic ratio gives the bell its
        // metallic strike; the brightness fades faster than the tone.
        for (size_t i = 0; i < out.size(); ++i) {
            const float t = seconds(static_cast<int64_t>(i));
            const double carrier = std::fmod(hz * static_cast<double>(i) / kSampleRate, 1.0);
            const double modulator =
                std::fmod(3.5 * hz * static_cast<double>(i) / kSampleRate, 1.0);
            const float index = 2.2f * std::exp(-t / 0.35f);
            const float phase = kTwoPi * static_cast<float>(carrier) +
                                index * std::sin(kTwoPi * static_cast<float>(modulator));
            const float s = std::sin(phase) * attack_ramp(t, 0.003f) * std::exp(-t / 1.5f) *
                            velocity / std::sqrt(count);
            out.l[i] += s * pan.left;
            out.r[i] += s * pan.right;
        }
    }
    return out;
}

void add_pad_chord(Stereo& layer, int64_t at, int64_t gate, std::span<const float> pitches,
                   float velocity, float attack_seconds, uint32_t seed)
{
    constexpr float kRelease = 0.5f;
    const int64_t end = std::min<int64_t>(static_cast<int64_t>(layer.size()),
                                          at + gate + frames_of(6.0f * kRelease));
    if (at >= end) {
        return;
    }
    // The envelope is the same for every voice: a raised-cosine swell, then
    // the release.
    std::vector<float> envelope(static_cast<size_t>(end - at));
    const float level = velocity * 0.22f / std::sqrt(static_cast<float>(pitches.size()));
    for (size_t i = 0; i < envelope.size(); ++i) {
        const auto frame = static_cast<int64_t>(i);
        const float t = seconds(frame);
        const float rise =
            t < attack_seconds
                ? 0.5f - 0.5f * std::cos(std::numbers::pi_v<float> * t / attack_seconds)
                : 1.0f;
        envelope[i] = rise * release_gain(frame, gate, kRelease) * level;
    }
    Rng rng(seed);
    for (float pitch : pitches) {
        for (int voice = -1; voice <= 1; ++voice) {
            const float detune = 9.0f * static_cast<float>(voice) + rng.range(-2.0f, 2.0f);
            Saw saw(midi_hz(pitch) * cents_ratio(detune), rng.unit());
            const Pan pan = pan_gains(0.7f * static_cast<float>(voice) + rng.range(-0.15f, 0.15f));
            float* left = layer.l.data() + at;
            float* right = layer.r.data() + at;
            for (size_t i = 0; i < envelope.size(); ++i) {
                const float s = saw.next() * envelope[i];
                left[i] += s * pan.left;
                right[i] += s * pan.right;
            }
        }
    }
}

}  // namespace assets
