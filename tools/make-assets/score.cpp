#include "score.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>

namespace assets {

int64_t frame_at(int scene, double beat)
{
    return kSceneStart[static_cast<size_t>(scene - 1)] +
           static_cast<int64_t>(std::llround(beat * static_cast<double>(kBeatFrames)));
}

void Automation::point(int64_t at, float value)
{
    if (at < points_.back().first) {
        throw std::logic_error("Automation::point: breakpoints must come in time order");
    }
    points_.emplace_back(at, value);
}

float Automation::at(int64_t frame) const
{
    // The last breakpoint at or before `frame`.
    const auto after =
        std::upper_bound(points_.begin(), points_.end(), frame,
                         [](int64_t f, const std::pair<int64_t, float>& p) { return f < p.first; });
    if (after == points_.begin()) {
        return points_.front().second;
    }
    const auto& [from_frame, from_value] = *(after - 1);
    if (after == points_.end()) {
        return from_value;
    }
    const auto& [to_frame, to_value] = *after;
    const float x =
        static_cast<float>(frame - from_frame) / static_cast<float>(to_frame - from_frame);
    return from_value + (to_value - from_value) * x;
}

namespace {

// ------------------------------------------------------------- harmony ----
// The track is in D minor. Bass roots sit between A1 and G2; pad voicings
// move by small steps from chord to chord.

struct Chord {
    float root;
    std::array<float, 4> voicing;
};

constexpr Chord kDm9{38, {53, 57, 60, 64}};     // F A C E over D
constexpr Chord kBbmaj7{34, {53, 57, 58, 62}};  // F A Bb D over Bb
constexpr Chord kFmaj9{41, {57, 60, 64, 67}};   // A C E G over F
constexpr Chord kCadd9{36, {55, 60, 62, 64}};   // G C D E over C
constexpr Chord kGm7{43, {55, 58, 62, 65}};     // G Bb D F over G
constexpr Chord kA7{33, {55, 57, 61, 64}};      // G A C# E over A: the way home to D minor
constexpr Chord kDmaj9{38, {54, 57, 61, 64}};   // F# A C# E over D: the bright last chord

struct Span {
    double from;
    double beats;
    const Chord* chord;
};

// Chords one bar (four beats) each.
std::vector<Span> bars(std::initializer_list<const Chord*> chords)
{
    std::vector<Span> spans;
    double beat = 0.0;
    for (const Chord* chord : chords) {
        spans.push_back({beat, 4.0, chord});
        beat += 4.0;
    }
    return spans;
}

const Chord& chord_at(const std::vector<Span>& harmony, double beat)
{
    for (auto it = harmony.rbegin(); it != harmony.rend(); ++it) {
        if (beat >= it->from) {
            return *it->chord;
        }
    }
    return *harmony.front().chord;
}

std::vector<float> upper(const Chord& chord, float shift)
{
    std::vector<float> notes;
    for (float note : chord.voicing) {
        notes.push_back(note + shift);
    }
    return notes;
}

// The notes an arpeggio walks: the voicing an octave up, plus the lowest of
// them another octave higher as index 4.
float arp_note(const Chord& chord, int index, float shift)
{
    if (index >= 4) {
        return chord.voicing[0] + 24.0f + shift;
    }
    return chord.voicing[static_cast<size_t>(index)] + 12.0f + shift;
}

// Straight-line ramp from a to b as x runs from 0 to 1.
float ramp(float a, float b, double x)
{
    return a + (b - a) * static_cast<float>(std::clamp(x, 0.0, 1.0));
}

// ------------------------------------------------------------- writing ----

// Writes the events of one scene, with positions in that scene's beats.
class Section {
public:
    Section(Score& score, int scene, std::vector<Span> harmony)
        : score_(score), scene_(scene), harmony_(std::move(harmony))
    {
    }

    int64_t at(double beat) const { return frame_at(scene_, beat); }
    int64_t frames(double beats) const
    {
        return static_cast<int64_t>(std::llround(beats * static_cast<double>(kBeatFrames)));
    }
    const Chord& chord(double beat) const { return chord_at(harmony_, beat); }
    const std::vector<Span>& harmony() const { return harmony_; }

    // Calls f(beat) for beat = from, from + step, ... below `to`.
    static void each(double from, double to, double step, const std::function<void(double)>& f)
    {
        for (int i = 0;; ++i) {
            const double beat = from + step * i;
            if (beat >= to - 1e-9) {
                break;
            }
            f(beat);
        }
    }

    void kick(double beat, float v) { score_.kicks.push_back({at(beat), v}); }
    void clap(double beat, float v) { score_.claps.push_back({at(beat), v}); }
    void snare(double beat, float v) { score_.snares.push_back({at(beat), v}); }
    void closed_hat(double beat, float v) { score_.closed_hats.push_back({at(beat), v}); }
    void open_hat(double beat, float v) { score_.open_hats.push_back({at(beat), v}); }
    void crash(double beat, float v) { score_.crashes.push_back({at(beat), v}); }
    void impact(double beat, float v) { score_.impacts.push_back({at(beat), v}); }

    void bass(double beat, double beats, float pitch, float v, float cutoff)
    {
        score_.bass.push_back({at(beat), frames(beats), pitch, v, cutoff});
    }
    void arp(double beat, double beats, float pitch, float v, float cutoff)
    {
        score_.arp.push_back({at(beat), frames(beats), pitch, v, cutoff});
    }
    void pad(double beat, double beats, std::vector<float> pitches, float v, float attack)
    {
        score_.pads.push_back({at(beat), frames(beats), std::move(pitches), v, 0.0f, attack});
    }
    void stab(double beat, double beats, std::vector<float> pitches, float v, float cutoff)
    {
        score_.stabs.push_back({at(beat), frames(beats), std::move(pitches), v, cutoff, 0.0f});
    }
    void bells(double beat, std::vector<float> pitches, float v)
    {
        score_.bells.push_back({at(beat), 0, std::move(pitches), v, 0.0f, 0.0f});
    }
    // A sweep that ends exactly at frame `end`.
    void sweep_until(double from, int64_t end, float v, SweepShape shape)
    {
        score_.sweeps.push_back({at(from), end - at(from), v, shape});
    }

    // Pads hold each chord of the harmony that starts in [from, to).
    void pads(double from, double to, float v, float attack, bool octave_doubling = false)
    {
        for (const Span& span : harmony_) {
            if (span.from < from || span.from >= to) {
                continue;
            }
            std::vector<float> notes = upper(*span.chord, 0.0f);
            if (octave_doubling) {
                for (float note : span.chord->voicing) {
                    notes.push_back(note + 12.0f);
                }
            }
            pad(span.from, std::min(span.beats, to - span.from), notes, v, attack);
        }
    }

    // The classic drum layer: kick on every beat ...
    void four_on_the_floor(double from, double to, float v)
    {
        each(from, to, 1.0, [&](double b) { kick(b, v); });
    }
    // ... and a clap on the second and fourth beat of each bar.
    void backbeat(double from, double to, float v)
    {
        each(from, to, 1.0, [&](double b) {
            const int in_bar = static_cast<int>(b) % 4;
            if (in_bar == 1 || in_bar == 3) {
                clap(b, v);
            }
        });
    }
    // A snare roll, one hit every `step` beats, growing louder towards `to`.
    void roll(double from, double to, double step, float v_from, float v_to)
    {
        each(from, to, step,
             [&](double b) { snare(b, ramp(v_from, v_to, (b - from) / (to - from))); });
    }

    Automation& pad_cutoff() { return score_.pad_cutoff; }
    Automation& pad_level() { return score_.pad_level; }
    Automation& duck_depth() { return score_.duck_depth; }
    Automation& master() { return score_.master; }

private:
    Score& score_;
    int scene_;
    std::vector<Span> harmony_;
};

// The pads come in gently at each scene change, under whatever still rings
// from the scene before.
void pads_fade_in(Section& s)
{
    s.pad_level().point(s.at(0.0), 0.0f);
    s.pad_level().point(s.at(1.0), 1.0f);
}

// ------------------------------------------------------------- scene 1 ----
// An intro that builds. The picture fades in from white over two beats: a
// bright bell chord and a soft wash. The tree grows from beat 24 to 64 and the
// music opens up with it: bass from 24, the arpeggio brightening, hats from
// 48, the kick at 64 when the tree stands at full size. The crown opens after
// 80 under a snare roll and a riser; the picture fades to black from 86 to 88
// while the music drops to a low boom and a swell that leads into scene 2.

void compose_intro(Score& score)
{
    std::vector<Span> harmony;
    const Chord* cycle[] = {&kDm9, &kBbmaj7, &kFmaj9, &kCadd9};
    for (int i = 0; i < 10; ++i) {
        harmony.push_back({8.0 * i, 8.0, cycle[i % 4]});
    }
    harmony.push_back({80.0, 4.0, &kGm7});
    harmony.push_back({84.0, 2.0, &kA7});
    Section s(score, 1, harmony);

    // The tree's size: 0 until beat 24, a quarter sine to 1 at beat 64.
    auto size = [](double beat) {
        return static_cast<float>(std::sin(std::clamp(beat - 24.0, 0.0, 40.0) * 0.039269909));
    };

    s.bells(0.0, upper(kDm9, 24.0f), 0.8f);
    s.crash(0.0, 0.3f);
    s.pads(0.0, 86.0, 1.0f, 1.2f);

    s.pad_cutoff().point(s.at(0.0), 7000.0f);
    s.pad_cutoff().point(s.at(2.0), 900.0f);
    s.pad_cutoff().point(s.at(24.0), 900.0f);
    Section::each(28.0, 65.0, 4.0, [&](double b) {
        s.pad_cutoff().point(s.at(b), 900.0f * (1.0f + 3.0f * size(b)));
    });
    s.pad_cutoff().point(s.at(80.0), 3600.0f);
    s.pad_cutoff().point(s.at(86.0), 6000.0f);
    s.pad_level().point(s.at(86.0), 1.0f);
    s.pad_level().point(s.at(88.0), 0.0f);

    // Arpeggio in eighths, up and down the chord, opening with the tree.
    const int walk[] = {0, 1, 2, 3, 2, 1};
    int step = 0;
    Section::each(8.0, 86.0, 0.5, [&](double b) {
        const float grow = b < 64.0 ? ramp(0.35f, 0.8f, (b - 8.0) / 56.0) : 0.85f;
        const float cutoff =
            b < 80.0 ? 800.0f * (1.0f + 4.0f * size(b)) : ramp(4000.0f, 7000.0f, (b - 80.0) / 6.0);
        s.arp(b, 0.5, arp_note(s.chord(b), walk[step++ % 6], 0.0f), grow, cutoff);
    });
    s.bells(24.0, upper(kCadd9, 24.0f), 0.35f);
    s.bells(64.0, upper(kDm9, 24.0f), 0.5f);

    // Bass: held roots from beat 24, growing with the tree.
    for (const Span& span : s.harmony()) {
        const double from = std::max(span.from, 24.0);
        const double to = std::min(span.from + span.beats, 86.0);
        if (from < to) {
            s.bass(from, to - from - 0.05, span.chord->root, 0.35f + 0.55f * size(from),
                   300.0f + 300.0f * size(from));
        }
    }

    // Drums.
    Section::each(48.0, 64.0, 1.0, [&](double b) { s.closed_hat(b + 0.5, 0.5f); });
    Section::each(64.0, 80.0, 1.0, [&](double b) {
        s.closed_hat(b, 0.35f);
        s.open_hat(b + 0.5, 0.55f);
    });
    Section::each(80.0, 86.0, 0.25,
                  [&](double b) { s.closed_hat(b, ramp(0.3f, 0.7f, (b - 80.0) / 6.0)); });
    Section::each(80.0, 86.0, 1.0, [&](double b) { s.open_hat(b + 0.5, 0.55f); });
    s.crash(64.0, 0.5f);
    s.four_on_the_floor(64.0, 86.0, 0.9f);
    s.backbeat(72.0, 86.0, 0.7f);
    s.roll(80.0, 84.0, 0.5, 0.2f, 0.45f);
    s.roll(84.0, 86.0, 0.25, 0.45f, 0.9f);
    s.sweep_until(78.0, s.at(86.0), 0.9f, {500.0f, 8000.0f, 2.5f, 2.0f});
    s.duck_depth().point(s.at(64.0), 0.0f);
    s.duck_depth().point(s.at(64.0), 0.35f);
    s.duck_depth().point(s.at(86.0), 0.35f);
    s.duck_depth().point(s.at(86.0), 0.0f);

    // Fade to black: a low boom, then a swell into the drop.
    s.impact(86.0, 0.8f);
    s.sweep_until(86.5, kSceneStart[1], 0.6f, {5000.0f, 9000.0f, 0.8f, 3.0f});
}

// ------------------------------------------------------------- scene 2 ----
// The night groove: kick on every beat, offbeat bass and open hats, claps from
// beat 8. At the music's byte 8464681 (beat 24 of the scene) the leaves start
// to pulse four times a beat, brightest on the third sixteenth; the music
// turns to sixteenths there too, with the accent on the same sixteenth (the
// open hat and a high arpeggio note). From beat 42 the camera tilts to the sky:
// the kick stops under a snare roll and a riser.

void compose_night_groove(Score& score)
{
    Section s(score, 2,
              bars({&kDm9, &kBbmaj7, &kFmaj9, &kCadd9, &kDm9, &kBbmaj7, &kFmaj9, &kCadd9, &kDm9,
                    &kBbmaj7, &kA7}));
    s.crash(0.0, 0.8f);
    s.impact(0.0, 0.5f);
    pads_fade_in(s);
    s.pads(0.0, 44.0, 0.75f, 0.15f);
    s.pad_cutoff().point(s.at(0.0), 1800.0f);
    s.pad_cutoff().point(s.at(40.0), 1800.0f);
    s.pad_cutoff().point(s.at(44.0), 3500.0f);
    s.duck_depth().point(s.at(0.0), 0.55f);
    s.duck_depth().point(s.at(42.0), 0.55f);
    s.duck_depth().point(s.at(42.0), 0.0f);

    s.four_on_the_floor(0.0, 42.0, 1.0f);
    s.backbeat(8.0, 42.0, 0.8f);
    Section::each(0.0, 42.0, 1.0, [&](double b) {
        const float root = s.chord(b).root;
        const bool lift = static_cast<int>(b) % 4 == 3;
        s.bass(b + 0.5, 0.4, root + (lift ? 12.0f : 0.0f), 0.9f, 600.0f);
        if (b >= 24.0) {
            s.bass(b + 0.75, 0.2, root + 12.0f, 0.55f, 600.0f);
        }
        s.open_hat(b + 0.5, 0.55f);
        if (b < 24.0) {
            s.closed_hat(b, 0.25f);
        } else {
            s.closed_hat(b, 0.3f);
            s.closed_hat(b + 0.25, 0.4f);
            s.closed_hat(b + 0.75, 0.45f);
        }
    });

    // Sixteenth arpeggio; the third sixteenth of each beat takes the high note.
    const int pattern[] = {0, 1, 4, 2, 1, 2, 4, 3};
    int step = 0;
    Section::each(24.0, 42.0, 0.25, [&](double b) {
        const int index = pattern[step++ % 8];
        s.arp(b, 0.22, arp_note(s.chord(b), index, 0.0f), index == 4 ? 1.0f : 0.5f, 2500.0f);
    });

    s.roll(40.0, 42.0, 0.5, 0.3f, 0.5f);
    s.roll(42.0, 44.0, 0.25, 0.5f, 1.0f);
    s.sweep_until(40.0, kSceneStart[2], 1.0f, {400.0f, 9000.0f, 2.5f, 2.0f});
}

// ------------------------------------------------------------- scene 3 ----
// An accent on every beat: the leaves flash on each beat and fade over it, and
// a chord stab does the same, on top of a rolling sixteenth bass.

void compose_beat_accents(Score& score)
{
    Section s(score, 3,
              bars({&kDm9, &kGm7, &kBbmaj7, &kCadd9, &kDm9, &kGm7, &kBbmaj7, &kCadd9, &kGm7,
                    &kBbmaj7, &kCadd9}));
    s.crash(0.0, 0.8f);
    s.impact(0.0, 0.4f);
    pads_fade_in(s);
    s.pads(0.0, 44.0, 0.6f, 0.15f);
    s.pad_cutoff().point(s.at(0.0), 2000.0f);
    s.pad_cutoff().point(s.at(40.0), 2000.0f);
    s.pad_cutoff().point(s.at(44.0), 4000.0f);
    s.duck_depth().point(s.at(0.0), 0.65f);
    s.duck_depth().point(s.at(42.0), 0.65f);
    s.duck_depth().point(s.at(42.0), 0.0f);

    s.four_on_the_floor(0.0, 42.0, 1.0f);
    s.backbeat(0.0, 42.0, 0.8f);
    Section::each(0.0, 42.0, 1.0, [&](double b) {
        const Chord& chord = s.chord(b);
        s.stab(b, 0.9, upper(chord, 12.0f), static_cast<int>(b) % 4 == 0 ? 1.0f : 0.8f, 2800.0f);
        s.bass(b + 0.25, 0.2, chord.root, 0.7f, 500.0f);
        s.bass(b + 0.5, 0.2, chord.root + 12.0f, 0.8f, 500.0f);
        s.bass(b + 0.75, 0.2, chord.root, 0.7f, 500.0f);
        s.open_hat(b + 0.5, 0.45f);
        Section::each(b, b + 1.0, 0.25,
                      [&](double h) { s.closed_hat(h, h == b + 0.75 ? 0.3f : 0.2f); });
    });

    const int pattern[] = {0, 2, 1, 3, 2, 4, 3, 1};
    int step = 0;
    Section::each(16.0, 40.0, 0.25, [&](double b) {
        s.arp(b, 0.22, arp_note(s.chord(b), pattern[step++ % 8], 0.0f), 0.45f, 3200.0f);
    });

    s.roll(42.0, 44.0, 0.25, 0.4f, 1.0f);
    s.sweep_until(40.0, kSceneStart[3], 1.0f, {400.0f, 9000.0f, 2.5f, 2.0f});
    s.sweep_until(43.0, kSceneStart[3], 0.6f, {6000.0f, 10000.0f, 0.8f, 3.0f});
}

// ------------------------------------------------------------- scene 4 ----
// Eighth notes: the scene opens with a white flash (crash and boom) and the
// leaves flash every half beat, as do the chord stabs and an octave bass.

void compose_eighths(Score& score)
{
    Section s(score, 4,
              bars({&kDm9, &kBbmaj7, &kFmaj9, &kCadd9, &kDm9, &kBbmaj7, &kFmaj9, &kCadd9, &kGm7,
                    &kBbmaj7, &kCadd9}));
    s.crash(0.0, 0.9f);
    s.impact(0.0, 0.6f);
    pads_fade_in(s);
    s.pads(0.0, 44.0, 0.6f, 0.15f);
    s.pad_cutoff().point(s.at(0.0), 2800.0f);
    s.pad_cutoff().point(s.at(40.0), 2800.0f);
    s.pad_cutoff().point(s.at(44.0), 5000.0f);
    s.duck_depth().point(s.at(0.0), 0.6f);
    s.duck_depth().point(s.at(42.0), 0.6f);
    s.duck_depth().point(s.at(42.0), 0.0f);

    s.four_on_the_floor(0.0, 42.0, 1.0f);
    s.backbeat(0.0, 42.0, 0.8f);
    Section::each(0.0, 42.0, 0.5, [&](double b) {
        const Chord& chord = s.chord(b);
        const bool on_beat = b == std::floor(b);
        if (b < 40.0) {
            s.stab(b, 0.45, upper(chord, 12.0f), on_beat ? 0.95f : 0.75f, 3800.0f);
        }
        s.bass(b, 0.4, chord.root + (on_beat ? 0.0f : 12.0f), on_beat ? 0.9f : 0.75f, 600.0f);
        if (!on_beat) {
            s.open_hat(b, 0.5f);
        }
        s.closed_hat(b, 0.25f);
        s.closed_hat(b + 0.25, 0.3f);
    });

    const int pattern[] = {0, 1, 2, 4, 3, 2, 1, 4};
    int step = 0;
    Section::each(8.0, 40.0, 0.25, [&](double b) {
        s.arp(b, 0.22, arp_note(s.chord(b), pattern[step++ % 8], 0.0f), 0.5f, 4500.0f);
    });

    s.roll(40.0, 42.0, 0.5, 0.3f, 0.55f);
    s.roll(42.0, 44.0, 0.25, 0.55f, 1.0f);
    s.sweep_until(40.0, kSceneStart[4], 1.0f, {400.0f, 10000.0f, 2.5f, 2.0f});
    s.sweep_until(42.5, kSceneStart[4], 0.6f, {6000.0f, 10000.0f, 0.8f, 3.0f});
}

// ------------------------------------------------------------- scene 5 ----
// The bright outro in the relative major. The drums thin out as the crown
// closes (half time from 16, none from 24) and the tree shrinks away; a riser,
// a snare roll and a swell climb through a bVI - bVII - I cadence to beat 32,
// where the picture turns white and a D major chord rings out. The picture
// then fades to black by beat 37 and so does the sound.

void compose_outro(Score& score)
{
    std::vector<Span> harmony = bars({&kFmaj9, &kCadd9, &kDm9, &kBbmaj7, &kFmaj9, &kCadd9, &kDm9});
    harmony.push_back({28.0, 2.0, &kBbmaj7});
    harmony.push_back({30.0, 2.0, &kCadd9});
    harmony.push_back({32.0, 5.0, &kDmaj9});
    Section s(score, 5, harmony);

    s.crash(0.0, 0.9f);
    s.impact(0.0, 0.6f);
    s.bells(0.0, upper(kFmaj9, 24.0f), 0.6f);
    pads_fade_in(s);
    s.pads(0.0, 32.0, 0.7f, 0.3f, true);
    s.pad_cutoff().point(s.at(0.0), 3500.0f);
    s.pad_cutoff().point(s.at(28.0), 3500.0f);
    s.pad_cutoff().point(s.at(32.0), 9000.0f);
    s.pad_cutoff().point(s.at(37.0), 2500.0f);
    s.pad_level().point(s.at(28.0), 1.0f);
    s.pad_level().point(s.at(32.0), 1.1f);
    s.duck_depth().point(s.at(0.0), 0.35f);
    s.duck_depth().point(s.at(24.0), 0.35f);
    s.duck_depth().point(s.at(24.0), 0.0f);

    s.four_on_the_floor(0.0, 16.0, 0.9f);
    Section::each(16.0, 24.0, 2.0, [&](double b) { s.kick(b, 0.8f); });
    s.backbeat(0.0, 16.0, 0.7f);
    Section::each(0.0, 24.0, 1.0, [&](double b) {
        s.open_hat(b + 0.5, ramp(0.45f, 0.25f, b / 24.0));
        if (b < 16.0) {
            Section::each(b, b + 1.0, 0.25, [&](double h) { s.closed_hat(h, 0.2f); });
        }
    });
    for (const Span& span : s.harmony()) {
        if (span.from < 32.0) {
            s.bass(span.from, span.beats - 0.2, span.chord->root, 0.8f, 400.0f);
        }
    }

    const int walk[] = {0, 1, 2, 3, 4, 3, 2, 1};
    int step = 0;
    Section::each(0.0, 31.0, 0.25, [&](double b) {
        const float fade = b < 24.0 ? 0.55f : ramp(0.55f, 0.25f, (b - 24.0) / 7.0);
        s.arp(b, 0.22, arp_note(s.chord(b), walk[step++ % 8], 12.0f), fade, 5000.0f);
    });

    // The swell to white.
    s.sweep_until(24.0, s.at(32.0), 1.0f, {300.0f, 10000.0f, 2.0f, 2.5f});
    s.sweep_until(30.0, s.at(32.0), 1.0f, {4000.0f, 12000.0f, 0.8f, 3.0f});
    s.roll(28.0, 30.0, 0.5, 0.3f, 0.5f);
    s.roll(30.0, 31.0, 0.25, 0.5f, 0.75f);
    s.roll(31.0, 32.0, 0.125, 0.75f, 1.0f);

    // White: the last chord, fading with the picture.
    std::vector<float> last = upper(kDmaj9, 0.0f);
    for (float note : kDmaj9.voicing) {
        last.push_back(note + 12.0f);
    }
    s.pad(32.0, 4.0, last, 0.7f, 0.02f);
    s.bells(32.0, upper(kDmaj9, 24.0f), 0.8f);
    s.crash(32.0, 0.8f);
    s.impact(32.0, 0.7f);
    s.bass(32.0, 4.0, kDmaj9.root, 0.9f, 400.0f);
    // Brightness of the picture from beat 32 is 1 - (t - 32) / 5; the sound
    // follows it a little faster than linearly, and is silent from beat 37.
    Section::each(32.0, 37.0, 0.25, [&](double b) {
        s.master().point(s.at(b), std::pow(1.0f - static_cast<float>(b - 32.0) * 0.2f, 1.5f));
    });
    s.master().point(s.at(37.0), 0.0f);
}

}  // namespace

Score compose()
{
    Score score;
    compose_intro(score);
    compose_night_groove(score);
    compose_beat_accents(score);
    compose_eighths(score);
    compose_outro(score);
    return score;
}

}  // namespace assets
