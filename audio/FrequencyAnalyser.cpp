// KissFFT behind FrequencyAnalyser: one real 512-point plan, made once and reused.
#include "audio/FrequencyAnalyser.h"

#include <cmath>
#include <kiss_fftr.h>
#include <numbers>

FrequencyAnalyser::FrequencyAnalyser() : config(kiss_fftr_alloc(analysedFrames, 0, nullptr, nullptr))
{
    // Periodic Hann: w[n] = 0.5 - 0.5 cos(2 pi n / N). It sums to N / 2, which the
    // magnitude scale of 2 / N turns into a gain of 1 for a constant signal.
    for (int n = 0; n < analysedFrames; ++n) {
        window[n] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / analysedFrames));
        stereoWindow[n] = window[n] / (2.0f * 32768.0f);
    }
}

FrequencyAnalyser::~FrequencyAnalyser()
{
    if (config != nullptr)
        kiss_fftr_free(config);
}

void FrequencyAnalyser::analyse(float* magnitudes)
{
    for (int n = 0; n < analysedFrames; ++n)
        windowed[n] = samples[n] * window[n];
    transform(magnitudes);
}

void FrequencyAnalyser::analyseStereo(const std::int16_t* frames, float* magnitudes)
{
    for (int n = 0; n < analysedFrames; ++n)
        windowed[n] = static_cast<float>(frames[2 * n] + frames[2 * n + 1]) * stereoWindow[n];
    transform(magnitudes);
}

void FrequencyAnalyser::transform(float* magnitudes)
{
    kiss_fftr(config, windowed.data(), bins.data());
    constexpr float scale = 2.0f / analysedFrames;
    for (int k = 0; k < binCount; ++k)
        magnitudes[k] = std::sqrt(bins[k].r * bins[k].r + bins[k].i * bins[k].i) * scale;
}
