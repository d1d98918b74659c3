#pragma once
// The arrangement of the track: which instrument plays what and when, laid on
// the show's timeline. The picture is driven by the music's byte position, so
// every musical event sits on the beat grid of the scene it belongs to.

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "instruments.h"

namespace assets {

// One unit of the scene clock: 75540 bytes of 16-bit stereo, 18885 frames
// (about 140.07 beats per minute).
inline constexpr int64_t kBeatFrames = 18885;
inline constexpr int64_t kBytesPerFrame = 4;

// First frame of scenes 1 to 5 (their byte boundaries divided by 4). The
// scenes are not whole beats long, so each one restarts the beat grid.
inline constexpr std::array<int64_t, 5> kSceneStart = {0, 6648556 / 4, 9977248 / 4, 13303876 / 4,
                                                       16631032 / 4};

// Scene 5 has faded to silence by its beat 37; the track runs four more beats.
inline constexpr int64_t kSilentFromFrame = kSceneStart[4] + 37 * kBeatFrames;
inline constexpr int64_t kTrackFrames = kSceneStart[4] + 41 * kBeatFrames;

// The frame of a (possibly fractional) beat of scene 1..5.
int64_t frame_at(int scene, double beat);

struct Hit {
    int64_t at;
    float velocity;
};

struct Note {
    int64_t at;
    int64_t gate;
    float pitch;  // MIDI note number
    float velocity;
    float cutoff_hz;
};

struct ChordHit {
    int64_t at;
    int64_t gate;
    std::vector<float> pitches;
    float velocity;
    float cutoff_hz;       // stabs only; pads follow Score::pad_cutoff
    float attack_seconds;  // pads only
};

struct Sweep {
    int64_t at;
    int64_t frames;
    float velocity;
    SweepShape shape;
};

// A control value that runs in straight lines between breakpoints and holds
// its first and last values outside them.
class Automation {
public:
    explicit Automation(float initial) : points_{{0, initial}} {}
    // Breakpoints are given in time order; a second point at the same frame
    // makes a jump.
    void point(int64_t at, float value);
    float at(int64_t frame) const;

private:
    std::vector<std::pair<int64_t, float>> points_;
};

struct Score {
    std::vector<Hit> kicks, claps, snares, closed_hats, open_hats, crashes, impacts;
    std::vector<Note> bass, arp;
    std::vector<ChordHit> pads, stabs, bells;
    std::vector<Sweep> sweeps;
    Automation pad_cutoff{900.0f};
    Automation pad_level{1.0f};
    Automation duck_depth{0.0f};  // how far the kick pushes the music down
    Automation master{1.0f};
};

// The whole track.
Score compose();

}  // namespace assets
