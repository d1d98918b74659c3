#pragma once
// The instruments of the track. Each renders one note or hit from its start
// into a fresh buffer; the mixer places it on the timeline. Noise-based sounds
// take a seed so every hit is a little different yet the same on every run.

#include <cstdint>
#include <span>
#include <vector>

#include "synth.h"

namespace assets {

using Mono = std::vector<float>;

// Drums and effects.
Mono kick(float velocity);
Mono clap(float velocity, uint32_t seed);
Mono snare(float velocity, uint32_t seed);
Mono hat(float velocity, bool open, uint32_t seed);
Stereo crash(float velocity, uint32_t seed);
Mono impact(float velocity);

// Band-passed noise whose centre glides from from_hz to to_hz over `frames`
// while it swells (amplitude grows as position^curve) and ends at full level.
struct SweepShape {
    float from_hz;
    float to_hz;
    float q;
    float curve;
};
Stereo sweep(int64_t frames, float velocity, SweepShape shape, uint32_t seed);

// Pitched voices. `gate` is how long the note is held, in frames; the buffer
// runs on for the release. Pitches are MIDI note numbers.
Mono bass(float pitch, int64_t gate, float velocity, float cutoff_hz);
Mono pluck(float pitch, int64_t gate, float velocity, float cutoff_hz);
Stereo stab(std::span<const float> pitches, int64_t gate, float velocity, float cutoff_hz);
Stereo bells(std::span<const float> pitches, float velocity);

// Adds one held pad chord (three detuned saws per note, spread across the
// stereo field) into `layer` at frame `at`; the layer is filtered afterwards
// as a whole. Sound past the layer's end is dropped.
void add_pad_chord(Stereo& layer, int64_t at, int64_t gate, std::span<const float> pitches,
                   float velocity, float attack_seconds, uint32_t seed);

}  // namespace assets
