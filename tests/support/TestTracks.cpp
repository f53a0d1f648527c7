// Test tracks: WAV writing, lame encoding and the reference decode.
#include "TestTracks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mpg123.h>
#include <numbers>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace testtracks {

namespace {

void putLittleEndian(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

// Runs a program to its end; true when it exits with status 0.
bool run(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

double binFrequency(int k)
{
    return k * 44100.0 / 512.0;
}

double busySignal(int frame, int channel, int rate)
{
    // A per-sample hash as noise, so every position is unlike every other.
    std::uint32_t h = static_cast<std::uint32_t>(frame) * 2654435761u + static_cast<std::uint32_t>(channel) * 40503u;
    h ^= h >> 15;
    h *= 2246822519u;
    h ^= h >> 13;
    const double noise = (h & 0xffff) / 65535.0 - 0.5;
    const double t = static_cast<double>(frame) / rate;
    const double glide = channel == 0 ? 220.0 + 40.0 * t : 330.0 + 20.0 * t;
    const double offset = channel == 0 ? 0.05 : -0.05;
    return 0.3 * std::sin(2.0 * std::numbers::pi * glide * t) + 0.1 * noise + offset;
}

Signal tone(int k, double amplitude)
{
    return [k, amplitude](int frame, int, int rate) {
        return amplitude * std::sin(2.0 * std::numbers::pi * binFrequency(k) * frame / rate);
    };
}

TrackDirectory::TrackDirectory()
{
    std::string pattern = "/tmp/brakvane-audio-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr)
        dir = pattern;
}

TrackDirectory::~TrackDirectory()
{
    if (!dir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
}

std::string TrackDirectory::makeMp3(const std::string& name, int rate, int channels, double seconds,
                                    const Signal& signal) const
{
    const int frames = static_cast<int>(seconds * rate);
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * channels * 2);
    std::string wav = "RIFF";
    putLittleEndian(wav, 36 + dataBytes, 4);
    wav += "WAVEfmt ";
    putLittleEndian(wav, 16, 4);
    putLittleEndian(wav, 1, 2); // PCM
    putLittleEndian(wav, static_cast<std::uint32_t>(channels), 2);
    putLittleEndian(wav, static_cast<std::uint32_t>(rate), 4);
    putLittleEndian(wav, static_cast<std::uint32_t>(rate * channels * 2), 4);
    putLittleEndian(wav, static_cast<std::uint32_t>(channels * 2), 2);
    putLittleEndian(wav, 16, 2);
    wav += "data";
    putLittleEndian(wav, dataBytes, 4);
    for (int frame = 0; frame < frames; ++frame) {
        for (int channel = 0; channel < channels; ++channel) {
            const double value = std::clamp(signal(frame, channel, rate), -1.0, 1.0);
            putLittleEndian(wav, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(value * 32767.0))),
                            2);
        }
    }
    const std::string wavPath = writeFile(name + ".wav", wav);
    const std::string mp3Path = file(name + ".mp3");
    const bool encoded = run({"lame", "--quiet", "-V", "0", "-m", channels == 1 ? "m" : "j", wavPath, mp3Path});
    return encoded ? mp3Path : "";
}

std::string TrackDirectory::writeFile(const std::string& name, const std::string& bytes) const
{
    const std::string path = file(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

Decoded decodeWithMpg123(const std::string& path)
{
    Decoded result;
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    if (handle == nullptr)
        return result;
    mpg123_param(handle, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
    mpg123_format_none(handle);
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (std::size_t i = 0; i < rateCount; ++i)
        mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    long rate = 0;
    int encoding = 0;
    if (mpg123_open(handle, path.c_str()) == MPG123_OK &&
        mpg123_getformat(handle, &rate, &result.channels, &encoding) == MPG123_OK) {
        result.rate = static_cast<int>(rate);
        std::vector<std::int16_t> chunk(8192);
        for (;;) {
            std::size_t done = 0;
            const int status = mpg123_read(handle, chunk.data(), chunk.size() * 2, &done);
            result.samples.insert(result.samples.end(), chunk.begin(), chunk.begin() + static_cast<long>(done / 2));
            if (status != MPG123_OK)
                break;
        }
    }
    mpg123_close(handle);
    mpg123_delete(handle);
    return result;
}

} // namespace testtracks
