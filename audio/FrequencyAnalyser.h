// The magnitude spectrum of 512 sample frames: mixed to mono, shaped by a periodic Hann
// window and transformed by KissFFT. The scale puts a constant signal of 1.0 at 1.0 in
// the first value and a full-scale sine centred on a bin at 0.5 in that bin.
#pragma once

#include <array>
#include <cstdint>
#include <kiss_fft.h>

struct kiss_fftr_state;

class FrequencyAnalyser {
public:
    static constexpr int analysedFrames = 512;          // sample frames per transform
    static constexpr int binCount = analysedFrames / 2; // magnitudes written: bins 0 .. 255

    FrequencyAnalyser();
    ~FrequencyAnalyser();
    FrequencyAnalyser(const FrequencyAnalyser&) = delete;
    FrequencyAnalyser& operator=(const FrequencyAnalyser&) = delete;

    bool valid() const { return config != nullptr; } // false when KissFFT had no memory

    // Both write |X[k]| * 2 / analysedFrames for k = 0 .. binCount - 1 of their windowed input into
    // magnitudes, touch nothing else of it, and allocate nothing.

    // Analyses the analysedFrames mono samples in input(), full scale being -1 .. 1.
    float* input() { return samples.data(); }
    void analyse(float* magnitudes);
    // Analyses analysedFrames interleaved 16-bit stereo frames, the channels averaged to mono.
    void analyseStereo(const std::int16_t* frames, float* magnitudes);

private:
    void transform(float* magnitudes); // of windowed

    kiss_fftr_state* config = nullptr;
    std::array<float, analysedFrames> window{};
    std::array<float, analysedFrames> stereoWindow{}; // the window over 2 * 32768: mixing and scaling in one
    std::array<float, analysedFrames> samples{};
    std::array<float, analysedFrames> windowed{};
    std::array<kiss_fft_cpx, binCount + 1> bins{}; // the transform also yields the Nyquist bin
};
