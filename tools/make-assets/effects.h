#pragma once
// Time-based effects that run over a whole bus: a stereo reverb and a
// ping-pong delay. Both are causal, so the first seconds of the track come
// out the same whether or not the rest is rendered.

#include <array>
#include <cstddef>
#include <vector>

namespace assets {

// Schroeder-Moorer reverb in the Freeverb arrangement: eight damped comb
// filters in parallel and four all-pass filters in series per channel, the
// right channel's delays a little longer for width.
class Reverb {
public:
    Reverb(float room_size, float damping);
    // Reads a mono send and adds the wet stereo signal to left and right.
    void process(const std::vector<float>& send, std::vector<float>& left,
                 std::vector<float>& right, float wet);

private:
    struct Comb {
        std::vector<float> line;
        size_t pos = 0;
        float store = 0.0f;
        float tick(float in, float feedback, float damping);
    };
    struct AllPass {
        std::vector<float> line;
        size_t pos = 0;
        float tick(float in);
    };
    struct Channel {
        std::array<Comb, 8> combs;
        std::array<AllPass, 4> allpasses;
        float tick(float in, float feedback, float damping);
    };
    Channel left_, right_;
    float feedback_;
    float damping_;
};

// Echoes that bounce between left and right; each repeat is damped.
class PingPongDelay {
public:
    PingPongDelay(size_t frames, float feedback, float damping_hz);
    void process(const std::vector<float>& send, std::vector<float>& left,
                 std::vector<float>& right);

private:
    std::vector<float> left_line_, right_line_;
    float feedback_;
    float damping_;
};

}  // namespace assets
