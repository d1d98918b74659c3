#include "effects.h"

#include <cmath>

#include "synth.h"

namespace assets {

namespace {

// Freeverb's tunings at 44.1 kHz.
constexpr std::array<size_t, 8> kCombFrames = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr std::array<size_t, 4> kAllPassFrames = {556, 441, 341, 225};
constexpr size_t kStereoSpread = 23;
constexpr float kInputGain = 0.015f;

}  // namespace

float Reverb::Comb::tick(float in, float feedback, float damping)
{
    const float out = line[pos];
    store = out * (1.0f - damping) + store * damping;
    line[pos] = in + store * feedback;
    if (++pos == line.size()) {
        pos = 0;
    }
    return out;
}

float Reverb::AllPass::tick(float in)
{
    const float delayed = line[pos];
    line[pos] = in + delayed * 0.5f;
    if (++pos == line.size()) {
        pos = 0;
    }
    return delayed - in;
}

float Reverb::Channel::tick(float in, float feedback, float damping)
{
    float sum = 0.0f;
    for (Comb& comb : combs) {
        sum += comb.tick(in, feedback, damping);
    }
    for (AllPass& allpass : allpasses) {
        sum = allpass.tick(sum);
    }
    return sum;
}

Reverb::Reverb(float room_size, float damping)
    : feedback_(0.7f + 0.28f * room_size), damping_(0.4f * damping)
{
    for (size_t i = 0; i < kCombFrames.size(); ++i) {
        left_.combs[i].line.assign(kCombFrames[i], 0.0f);
        right_.combs[i].line.assign(kCombFrames[i] + kStereoSpread, 0.0f);
    }
    for (size_t i = 0; i < kAllPassFrames.size(); ++i) {
        left_.allpasses[i].line.assign(kAllPassFrames[i], 0.0f);
        right_.allpasses[i].line.assign(kAllPassFrames[i] + kStereoSpread, 0.0f);
    }
}

void Reverb::process(const std::vector<float>& send, std::vector<float>& left,
                     std::vector<float>& right, float wet)
{
    for (size_t i = 0; i < send.size(); ++i) {
        const float in = send[i] * kInputGain;
        left[i] += left_.tick(in, feedback_, damping_) * wet;
        right[i] += right_.tick(in, feedback_, damping_) * wet;
    }
}

PingPongDelay::PingPongDelay(size_t frames, float feedback, float damping_hz)
    : left_line_(frames),
      right_line_(frames),
      feedback_(feedback),
      damping_(1.0f - std::exp(-kTwoPi * damping_hz / kRate))
{
}

void PingPongDelay::process(const std::vector<float>& send, std::vector<float>& left,
                            std::vector<float>& right)
{
    const size_t length = left_line_.size();
    float left_state = 0.0f;
    float right_state = 0.0f;
    size_t pos = 0;
    for (size_t i = 0; i < send.size(); ++i) {
        const float from_left = left_line_[pos];
        const float from_right = right_line_[pos];
        left_state += damping_ * (from_left - left_state);
        right_state += damping_ * (from_right - right_state);
        // The send enters on the left; each echo crosses to the other side.
        left_line_[pos] = send[i] + right_state * feedback_;
        right_line_[pos] = left_state * feedback_;
        left[i] += from_left;
        right[i] += from_right;
        if (++pos == length) {
            pos = 0;
        }
    }
}

}  // namespace assets
