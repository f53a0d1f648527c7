// 16-bit PCM WAV writer, little-endian regardless of the host.
#include "WavWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <vector>

namespace makedata {

namespace {

void put(std::vector<unsigned char>& out, std::uint32_t v, int bytes)
{
    for (int k = 0; k < bytes; ++k) {
        out.push_back(static_cast<unsigned char>((v >> (8 * k)) & 0xffu));
    }
}

void tag(std::vector<unsigned char>& out, const char* four)
{
    out.insert(out.end(), four, four + 4);
}

}  // namespace

bool writeWav(const std::string& path, const StereoClip& audio)
{
    const size_t frames = std::min(audio.left.size(), audio.right.size());
    const auto dataBytes = static_cast<std::uint32_t>(frames * 4);
    std::vector<unsigned char> out;
    out.reserve(44 + dataBytes);
    tag(out, "RIFF");
    put(out, 36 + dataBytes, 4);
    tag(out, "WAVE");
    tag(out, "fmt ");
    put(out, 16, 4);
    put(out, 1, 2);  // PCM
    put(out, 2, 2);  // channels
    put(out, sampleRate, 4);
    put(out, sampleRate * 4, 4);  // bytes per second
    put(out, 4, 2);               // bytes per frame
    put(out, 16, 2);              // bits per sample
    tag(out, "data");
    put(out, dataBytes, 4);
    auto sample = [&](float v) {
        const long q = std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
        put(out, static_cast<std::uint32_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(q))), 2);
    };
    for (size_t i = 0; i < frames; ++i) {
        sample(audio.left[i]);
        sample(audio.right[i]);
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    file.close();
    if (!file) {
        std::cerr << "makedata: cannot write " << path << std::endl;
        return false;
    }
    return true;
}

}  // namespace makedata
