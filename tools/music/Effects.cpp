// Reverb and echo of the music.
#include "music/Effects.h"

#include <algorithm>

namespace makedata {

namespace {

class Comb {
public:
    explicit Comb(size_t length) : buffer(length, 0.0f) {}
    float process(float in, float feedback, float damping)
    {
        const float out = buffer[index];
        store = out * (1.0f - damping) + store * damping;
        buffer[index] = in + store * feedback;
        index = (index + 1) % buffer.size();
        return out;
    }

private:
    std::vector<float> buffer;
    size_t index = 0;
    float store = 0;
};

class Allpass {
public:
    explicit Allpass(size_t length) : buffer(length, 0.0f) {}
    float process(float in)
    {
        const float delayed = buffer[index];
        buffer[index] = in + delayed * 0.5f;
        index = (index + 1) % buffer.size();
        return delayed - in;
    }

private:
    std::vector<float> buffer;
    size_t index = 0;
};

Clip reverbChannel(const StereoClip& send, size_t spread, float roomSize, float damping)
{
    static const size_t combLengths[] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const size_t allpassLengths[] = {556, 441, 341, 225};
    std::vector<Comb> combs;
    for (size_t l : combLengths)
        combs.emplace_back(l + spread);
    std::vector<Allpass> allpasses;
    for (size_t l : allpassLengths)
        allpasses.emplace_back(l + spread);
    const float feedback = 0.7f + 0.28f * std::clamp(roomSize, 0.0f, 1.0f);
    const size_t n = send.left.size();
    Clip out(n);
    for (size_t i = 0; i < n; ++i) {
        const float in = (send.left[i] + send.right[i]) * 0.5f * 0.1f;
        float acc = 0;
        for (Comb& c : combs)
            acc += c.process(in, feedback, damping);
        for (Allpass& a : allpasses)
            acc = a.process(acc);
        out[i] = acc;
    }
    return out;
}

} // namespace

StereoClip reverb(const StereoClip& send, float roomSize, float damping)
{
    return StereoClip{reverbChannel(send, 0, roomSize, damping), reverbChannel(send, 23, roomSize, damping)};
}

StereoClip pingPong(const StereoClip& send, double delaySeconds, float feedback)
{
    const size_t n = send.left.size();
    const auto d = static_cast<size_t>(delaySeconds * sampleRate);
    StereoClip out{Clip(n), Clip(n)};
    if (d == 0)
        return out;
    std::vector<float> lineL(d, 0.0f), lineR(d, 0.0f);
    Svf toneL, toneR;
    toneL.set(3500.0f, 0.7f);
    toneR.set(3500.0f, 0.7f);
    size_t k = 0;
    for (size_t i = 0; i < n; ++i) {
        const float outL = lineL[k];
        const float outR = lineR[k];
        toneL.process(outR * feedback);
        toneR.process(outL);
        // The mono input enters on the left; each repeat crosses to the other side.
        lineL[k] = (send.left[i] + send.right[i]) * 0.5f + toneL.low();
        lineR[k] = toneR.low();
        out.left[i] = outL;
        out.right[i] = outR;
        k = (k + 1) % d;
    }
    return out;
}

} // namespace makedata
