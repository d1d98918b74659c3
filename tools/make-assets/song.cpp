#include "song.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <span>
#include <stdexcept>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "effects.h"
#include "instruments.h"

namespace assets {

namespace {

// Where a sound goes: the bus it plays on, its level and place in the stereo
// field, and how much of it feeds the reverb and the delay.
struct Route {
    float gain;
    float pan = 0.0f;
    float reverb = 0.0f;
    float delay = 0.0f;
    bool ducked = false;  // pushed down by each kick (the "pumping" of dance music)
};

// The mixing desk.
constexpr Route kKick{0.7f};
constexpr Route kClap{0.8f, 0.0f, 0.3f};
constexpr Route kSnare{0.35f, 0.0f, 0.3f};
constexpr Route kClosedHat{0.9f, 0.3f, 0.05f};
constexpr Route kOpenHat{0.7f, -0.25f, 0.08f};
constexpr Route kCrash{0.3f, 0.0f, 0.2f};
constexpr Route kImpact{0.35f, 0.0f, 0.2f};
constexpr Route kSweep{0.28f, 0.0f, 0.3f};
constexpr Route kBass{0.40f, 0.0f, 0.0f, 0.0f, true};
constexpr Route kArp{0.3f, 0.0f, 0.3f, 0.4f, true};
constexpr Route kStab{0.55f, 0.0f, 0.25f, 0.12f, true};
constexpr Route kBells{0.22f, 0.0f, 0.5f, 0.2f};
constexpr Route kPad{0.55f, 0.0f, 0.3f, 0.0f, true};

constexpr float kReverbWet = 3.0f;
// Dotted eighth: three sixteenths of the beat.
constexpr size_t kDelayFrames = (3 * kBeatFrames + 2) / 4;

class Mixer {
public:
    explicit Mixer(int64_t frames)
        : frames_(frames),
          plain_(static_cast<size_t>(frames)),
          ducked_(static_cast<size_t>(frames)),
          reverb_send_(static_cast<size_t>(frames)),
          delay_send_(static_cast<size_t>(frames))
    {
    }

    // Whether anything starting at `at` can be heard in this render.
    bool reaches(int64_t at) const { return at < frames_; }

    void add(int64_t at, std::span<const float> sound, const Route& route)
    {
        const Pan pan = pan_gains(route.pan);
        Stereo& bus = route.ducked ? ducked_ : plain_;
        const size_t n = overlap(at, sound.size());
        for (size_t i = 0; i < n; ++i) {
            const size_t o = static_cast<size_t>(at) + i;
            const float s = sound[i] * route.gain;
            bus.l[o] += s * pan.left;
            bus.r[o] += s * pan.right;
            reverb_send_[o] += s * route.reverb;
            delay_send_[o] += s * route.delay;
        }
    }

    void add(int64_t at, const Stereo& sound, const Route& route)
    {
        Stereo& bus = route.ducked ? ducked_ : plain_;
        const size_t n = overlap(at, sound.size());
        for (size_t i = 0; i < n; ++i) {
            const size_t o = static_cast<size_t>(at) + i;
            const float l = sound.l[i] * route.gain;
            const float r = sound.r[i] * route.gain;
            bus.l[o] += l;
            bus.r[o] += r;
            reverb_send_[o] += 0.5f * (l + r) * route.reverb;
            delay_send_[o] += 0.5f * (l + r) * route.delay;
        }
    }

    int64_t frames() const { return frames_; }
    Stereo& plain() { return plain_; }
    Stereo& ducked() { return ducked_; }
    std::vector<float>& reverb_send() { return reverb_send_; }
    std::vector<float>& delay_send() { return delay_send_; }

private:
    size_t overlap(int64_t at, size_t length) const
    {
        if (at >= frames_) {
            return 0;
        }
        return static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(length), frames_ - at));
    }

    int64_t frames_;
    Stereo plain_, ducked_;
    std::vector<float> reverb_send_, delay_send_;
};

// Denormal numbers in decaying filter and reverb tails are slow on x86; they
// are far below 16-bit resolution, so flush them to zero.
void flush_denormals()
{
#if defined(__SSE__)
    _mm_setcsr(_mm_getcsr() | 0x8040);
#endif
}

uint32_t seed_of(int64_t at, uint32_t salt)
{
    return static_cast<uint32_t>(at) * 2654435761u ^ salt;
}

// Silences `sound` from frame `at` on, with a 3 ms fade.
void choke(Mono& sound, int64_t at)
{
    const int64_t fade = frames_of(0.003f);
    for (int64_t i = std::max<int64_t>(at, 0); i < static_cast<int64_t>(sound.size()); ++i) {
        const int64_t into = i - at;
        sound[static_cast<size_t>(i)] *=
            into < fade ? 1.0f - static_cast<float>(into) / static_cast<float>(fade) : 0.0f;
    }
}

// Renders every event that starts within the mix and adds it on `route`.
template <typename Event, typename Make>
void play(const std::vector<Event>& events, Mixer& mix, const Route& route, Make make)
{
    for (const Event& e : events) {
        if (mix.reaches(e.at)) {
            mix.add(e.at, make(e), route);
        }
    }
}

void play_drums(const Score& score, Mixer& mix)
{
    play(score.kicks, mix, kKick, [](const Hit& h) { return kick(h.velocity); });
    play(score.claps, mix, kClap, [](const Hit& h) { return clap(h.velocity, seed_of(h.at, 1)); });
    play(score.snares, mix, kSnare,
         [](const Hit& h) { return snare(h.velocity, seed_of(h.at, 2)); });
    play(score.closed_hats, mix, kClosedHat,
         [](const Hit& h) { return hat(h.velocity, false, seed_of(h.at, 3)); });
    // A closed hat chokes a ringing open one, as on a real hi-hat.
    std::vector<int64_t> closing;
    for (const Hit& h : score.closed_hats) {
        closing.push_back(h.at);
    }
    std::sort(closing.begin(), closing.end());
    play(score.open_hats, mix, kOpenHat, [&closing](const Hit& h) {
        Mono ring = hat(h.velocity, true, seed_of(h.at, 4));
        const auto next = std::upper_bound(closing.begin(), closing.end(), h.at);
        if (next != closing.end()) {
            choke(ring, *next - h.at);
        }
        return ring;
    });
    play(score.crashes, mix, kCrash,
         [](const Hit& h) { return crash(h.velocity, seed_of(h.at, 5)); });
    play(score.impacts, mix, kImpact, [](const Hit& h) { return impact(h.velocity); });
    play(score.sweeps, mix, kSweep,
         [](const Sweep& s) { return sweep(s.frames, s.velocity, s.shape, seed_of(s.at, 6)); });
}

void play_notes(const Score& score, Mixer& mix)
{
    play(score.bass, mix, kBass,
         [](const Note& n) { return bass(n.pitch, n.gate, n.velocity, n.cutoff_hz); });
    // The arpeggio sways a little from side to side, note by note.
    for (size_t i = 0; i < score.arp.size(); ++i) {
        const Note& n = score.arp[i];
        if (mix.reaches(n.at)) {
            Route route = kArp;
            route.pan = i % 2 == 0 ? -0.3f : 0.3f;
            mix.add(n.at, pluck(n.pitch, n.gate, n.velocity, n.cutoff_hz), route);
        }
    }
    play(score.stabs, mix, kStab,
         [](const ChordHit& c) { return stab(c.pitches, c.gate, c.velocity, c.cutoff_hz); });
    play(score.bells, mix, kBells, [](const ChordHit& c) { return bells(c.pitches, c.velocity); });
}

// All pad chords go into one layer, which is then filtered along the
// pad_cutoff automation and scaled by pad_level.
Stereo render_pads(const Score& score, int64_t frames)
{
    Stereo layer(static_cast<size_t>(frames));
    for (const ChordHit& c : score.pads) {
        add_pad_chord(layer, c.at, c.gate, c.pitches, c.velocity, c.attack_seconds,
                      seed_of(c.at, 7));
    }
    Svf left(score.pad_cutoff.at(0), 0.9f);
    Svf right(score.pad_cutoff.at(0), 0.9f);
    float level = 0.0f;
    for (size_t i = 0; i < layer.size(); ++i) {
        if (i % 32 == 0) {
            const auto frame = static_cast<int64_t>(i);
            left.set(score.pad_cutoff.at(frame), 0.9f);
            right.set(score.pad_cutoff.at(frame), 0.9f);
            level = score.pad_level.at(frame);
        }
        layer.l[i] = left.tick(layer.l[i]).low * level;
        layer.r[i] = right.tick(layer.r[i]).low * level;
    }
    return layer;
}

// Gain of the ducked bus: each kick pulls it down by duck_depth within 4 ms,
// and it swells back over the next 300 ms.
std::vector<float> duck_gain(const Score& score, int64_t frames)
{
    std::vector<float> gain(static_cast<size_t>(frames), 1.0f);
    const int64_t attack = frames_of(0.004f);
    const int64_t recover = frames_of(0.3f);
    for (const Hit& k : score.kicks) {
        const float depth = score.duck_depth.at(k.at);
        if (depth <= 0.0f) {
            continue;
        }
        for (int64_t d = 0; d < attack + recover && k.at + d < frames; ++d) {
            const float x =
                d < attack ? static_cast<float>(d) / static_cast<float>(attack)
                           : 1.0f - static_cast<float>(d - attack) / static_cast<float>(recover);
            const float shape = d < attack ? x : x * x;
            float& g = gain[static_cast<size_t>(k.at + d)];
            g = std::min(g, 1.0f - depth * shape);
        }
    }
    return gain;
}

void add_ducked(const Score& score, const Stereo& ducked, Stereo& out)
{
    const std::vector<float> gain = duck_gain(score, static_cast<int64_t>(out.size()));
    for (size_t i = 0; i < gain.size(); ++i) {
        out.l[i] += ducked.l[i] * gain[i];
        out.r[i] += ducked.r[i] * gain[i];
    }
}

// Dotted-eighth echoes of the delay send; a little of them feeds the reverb.
void add_echoes(const std::vector<float>& send, Stereo& out, std::vector<float>& reverb_send)
{
    PingPongDelay delay(kDelayFrames, 0.45f, 3500.0f);
    Stereo echoes(out.size());
    delay.process(send, echoes.l, echoes.r);
    for (size_t i = 0; i < echoes.size(); ++i) {
        out.l[i] += echoes.l[i];
        out.r[i] += echoes.r[i];
        reverb_send[i] += 0.15f * (echoes.l[i] + echoes.r[i]);
    }
}

// Soft knee above 0.75 of full scale: peaks round off towards 0.92 instead of
// clipping, which leaves room for the few percent an MP3 decoder may overshoot.
float limit(float x)
{
    constexpr float kKnee = 0.75f;
    constexpr float kCeiling = 0.92f;
    const float magnitude = std::abs(x);
    if (magnitude <= kKnee) {
        return x;
    }
    const float room = kCeiling - kKnee;
    return std::copysign(kKnee + room * std::tanh((magnitude - kKnee) / room), x);
}

int16_t to_pcm(float x)
{
    return static_cast<int16_t>(std::lround(std::clamp(limit(x), -1.0f, 1.0f) * 32767.0f));
}

}  // namespace

std::vector<int16_t> render_song(int64_t frames, const Progress& progress)
{
    if (frames < 0 || frames > kTrackFrames) {
        throw std::invalid_argument("render_song: length outside the track");
    }
    auto report = [&](std::string_view stage, double fraction) {
        if (progress) {
            progress(stage, fraction);
        }
    };
    flush_denormals();
    const Score score = compose();
    Mixer mix(frames);
    // The pads take as long as everything else together: render them on a
    // second thread into their own layer. Each thread sums into its own
    // buffers and the layer joins the mix at a fixed point, so the result does
    // not depend on timing.
    auto pads = std::async(std::launch::async, [&score, frames] {
        flush_denormals();
        return render_pads(score, frames);
    });
    report("drums", 0.0);
    play_drums(score, mix);
    report("notes", 0.2);
    play_notes(score, mix);
    report("pads", 0.4);
    mix.add(0, pads.get(), kPad);

    report("effects", 0.6);
    Stereo& out = mix.plain();
    add_ducked(score, mix.ducked(), out);
    add_echoes(mix.delay_send(), out, mix.reverb_send());
    report("reverb", 0.75);
    Reverb reverb(0.84f, 0.45f);
    reverb.process(mix.reverb_send(), out.l, out.r, kReverbWet);

    report("mix", 0.95);
    std::vector<int16_t> pcm(static_cast<size_t>(2 * frames));
    for (size_t i = 0; i < out.size(); ++i) {
        const float gain = score.master.at(static_cast<int64_t>(i));
        pcm[2 * i] = to_pcm(out.l[i] * gain);
        pcm[2 * i + 1] = to_pcm(out.r[i] * gain);
    }
    report("mix", 1.0);
    return pcm;
}

std::vector<int16_t> render_short_track(int64_t frames, const Progress& progress)
{
    std::vector<int16_t> pcm = render_song(frames, progress);
    const int64_t fade = std::min(frames, kShortTrackFadeFrames);
    if (fade < 2) {
        return pcm;
    }
    for (int64_t i = 0; i < fade; ++i) {
        const int64_t frame = frames - fade + i;
        const float gain = static_cast<float>(fade - 1 - i) / static_cast<float>(fade - 1);
        for (size_t c = 0; c < 2; ++c) {
            int16_t& s = pcm[static_cast<size_t>(2 * frame) + c];
            s = static_cast<int16_t>(std::lround(static_cast<float>(s) * gain));
        }
    }
    return pcm;
}

}  // namespace assets
