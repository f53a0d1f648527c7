// The cost of Music::fetchSpectrum while the music plays, against the bare transform it
// is built on: a periodic Hann window over 512 floats and KissFFT's 512-point real FFT.
// Both are timed in alternating rounds of the same run; the ratio of their medians is
// printed. The music plays on SDL's dummy driver (real time, no sound) from an MP3 that
// lame makes for the run.
#include "BenchTiming.h"
#include "TestTracks.h"
#include "audio/Music.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <kiss_fftr.h>
#include <memory>
#include <numbers>
#include <vector>

namespace {

constexpr int rounds = 41;
constexpr int callsPerRound = 2000;

volatile float sink = 0.0f; // keeps the compiler from dropping the work

template <typename Work>
double nanosecondsPerCall(Work&& work)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < callsPerRound; ++i)
        work();
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / callsPerRound;
}

} // namespace

int main()
{
    if (std::getenv("SDL_AUDIODRIVER") == nullptr)
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    testtracks::TrackDirectory tracks;
    const std::string path = tracks.makeMp3("bench", 44100, 2, 20.0, testtracks::busySignal);
    if (path.empty()) {
        std::cerr << "audio_spectrum: lame could not make the track" << std::endl;
        return 1;
    }

    // The bare transform, set up once and laid out in memory as fetchSpectrum's is.
    constexpr int N = 512;
    struct Bare {
        std::array<float, N> window, input, windowed;
        std::array<kiss_fft_cpx, N / 2 + 1> bins;
    };
    const auto bareState = std::make_unique<Bare>();
    Bare& b = *bareState;
    kiss_fftr_cfg config = kiss_fftr_alloc(N, 0, nullptr, nullptr);
    for (int n = 0; n < N; ++n) {
        b.window[n] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / N));
        b.input[n] = static_cast<float>(testtracks::busySignal(n, 0, 44100));
    }
    const auto bare = [&] {
        for (int n = 0; n < N; ++n)
            b.windowed[n] = b.input[n] * b.window[n];
        kiss_fftr(config, b.windowed.data(), b.bins.data());
        sink = sink + b.bins[3].r;
    };

    std::vector<float> spectrum(512);
    std::vector<double> fetchTimes, bareTimes;
    {
        Music music(nullptr, path);
        music.play(0.0);
        if (music.fetchSpectrum(spectrum.data()) == -1) {
            std::cerr << "audio_spectrum: the music is not playing (no audio device?)" << std::endl;
            kiss_fftr_free(config);
            return 1;
        }
        const auto fetch = [&] {
            music.fetchSpectrum(spectrum.data());
            sink = sink + spectrum[3];
        };
        for (int round = 0; round < rounds; ++round) {
            // Alternate which goes first, so neither always runs on a warmer cache.
            if (round % 2 == 0) {
                bareTimes.push_back(nanosecondsPerCall(bare));
                fetchTimes.push_back(nanosecondsPerCall(fetch));
            } else {
                fetchTimes.push_back(nanosecondsPerCall(fetch));
                bareTimes.push_back(nanosecondsPerCall(bare));
            }
        }
    }
    kiss_fftr_free(config);

    const double fetchNs = median(fetchTimes);
    const double bareNs = median(bareTimes);
    std::printf("fetchSpectrum while playing: %.0f ns per call\n", fetchNs);
    std::printf("bare Hann window + KissFFT 512-point real transform: %.0f ns per call\n", bareNs);
    std::printf("RATIO fetchSpectrum cost / bare transform cost: %.2f (target <= 2.0)\n", fetchNs / bareNs);
    return 0;
}
