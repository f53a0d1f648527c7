// 16-bit PCM WAV writer, little-endian regardless of the host.
#include "music/WavWriter.h"

#include "ByteFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace makedata {

namespace {

void tag(std::vector<unsigned char>& out, const char* four)
{
    for (int k = 0; k < 4; ++k)
        out.push_back(static_cast<unsigned char>(four[k]));
}

} // namespace

bool writeWav(const std::string& path, const StereoClip& audio)
{
    const size_t frames = std::min(audio.left.size(), audio.right.size());
    const auto dataBytes = static_cast<std::uint32_t>(frames * 4);
    std::vector<unsigned char> out;
    out.reserve(44 + dataBytes);
    tag(out, "RIFF");
    putLittleEndian(out, 36 + dataBytes, 4);
    tag(out, "WAVE");
    tag(out, "fmt ");
    putLittleEndian(out, 16, 4);
    putLittleEndian(out, 1, 2); // PCM
    putLittleEndian(out, 2, 2); // channels
    putLittleEndian(out, sampleRate, 4);
    putLittleEndian(out, sampleRate * 4, 4); // bytes per second
    putLittleEndian(out, 4, 2);              // bytes per frame
    putLittleEndian(out, 16, 2);             // bits per sample
    tag(out, "data");
    putLittleEndian(out, dataBytes, 4);
    auto sample = [&](float v) {
        const long q = std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
        putLittleEndian(out, static_cast<std::uint32_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(q))), 2);
    };
    for (size_t i = 0; i < frames; ++i) {
        sample(audio.left[i]);
        sample(audio.right[i]);
    }
    return writeBytes(path, out);
}

} // namespace makedata
