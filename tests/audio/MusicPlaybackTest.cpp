// Music playing real MP3 files on SDL's disk audio driver while the main thread fetches
// the spectrum flat out: what the device is handed, against libmpg123's own decode of
// the file, and the spectrum against what is being heard.
#include "MusicHarness.h"
#include "TestTracks.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace testtracks;

namespace {

constexpr int toneBin = 24;

class MusicPlayback : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(tracks.path().empty());
        capturePath = tracks.file("played.raw");
        useDiskAudio(capturePath);
    }

    std::string track(const std::string& name, int rate, int channels, double seconds, const Signal& signal)
    {
        const std::string path = tracks.makeMp3(name, rate, channels, seconds, signal);
        EXPECT_FALSE(path.empty()) << "lame could not make " << name;
        return path;
    }

    // Plays the file from `seconds` to its end and returns what the device was handed.
    std::vector<std::int16_t> playAndCapture(
        const std::string& path, double seconds, double volume = 100.0,
        const FetchObserver& observe = [](int, const float*) {})
    {
        ConsoleCapture console;
        {
            Music music(nullptr, path);
            if (volume != 100.0)
                music.setVolume(volume);
            EXPECT_TRUE(playToEnd(music, seconds, observe)) << "the music never ended";
        }
        EXPECT_EQ(console.text(), "Loading Music: " + path + "\n");
        return readCapture(capturePath);
    }

    // The sound frames of a capture: the first and one past the last frame louder than
    // the faint smear that MP3 coding leaves next to silence.
    static std::pair<std::size_t, std::size_t> soundSpan(const std::vector<std::int16_t>& capture)
    {
        const auto loud = [](std::int16_t s) { return std::abs(s) > 64; };
        const auto first = std::find_if(capture.begin(), capture.end(), loud);
        const auto last = std::find_if(capture.rbegin(), capture.rend(), loud);
        if (first == capture.end())
            return {0, 0};
        return {static_cast<std::size_t>(first - capture.begin()) / 2,
                static_cast<std::size_t>(capture.rend() - last + 1) / 2};
    }

    TrackDirectory tracks;
    std::string capturePath;
};

std::vector<std::int16_t> from(const Decoded& decoded, std::size_t frame)
{
    return {decoded.samples.begin() + static_cast<long>(std::min(frame * 2, decoded.samples.size())),
            decoded.samples.end()};
}

std::vector<std::int16_t> scaled(std::vector<std::int16_t> samples, double gain)
{
    for (std::int16_t& s : samples)
        s = static_cast<std::int16_t>(s * gain);
    return samples;
}

} // namespace

TEST_F(MusicPlayback, PlaysTheWholeTrackSampleForSample)
{
    const std::string path = track("busy", 44100, 2, 12.0, busySignal);
    const Decoded decoded = decodeWithMpg123(path);
    ASSERT_EQ(decoded.samples.size(), 12u * 44100u * 2u);
    expectPlayed(playAndCapture(path, 0.0), decoded.samples);
}

TEST_F(MusicPlayback, StartsTenAndAHalfSecondsIn)
{
    const std::string path = track("busy", 44100, 2, 12.0, busySignal);
    // 10.5 s is byte 1852200 of the decoded stream: frame 463050.
    expectPlayed(playAndCapture(path, 10.5), from(decodeWithMpg123(path), 463050));
}

TEST_F(MusicPlayback, PositionsBeforeTheStartOrPastTheEnd)
{
    const std::string path = track("busy", 44100, 2, 2.0, busySignal);
    expectPlayed(playAndCapture(path, -3.0), decodeWithMpg123(path).samples);
    for (double seconds : {2.0, 2.5, 1e12}) {
        const std::vector<std::int16_t> capture = playAndCapture(path, seconds);
        EXPECT_TRUE(std::all_of(capture.begin(), capture.end(), [](std::int16_t s) { return s == 0; }))
            << "sound played from " << seconds << " s";
    }
}

TEST_F(MusicPlayback, VolumeIsALinearGainThatLeavesTheSpectrumAlone)
{
    const std::string path = track("busy", 44100, 2, 2.0, busySignal);
    const Decoded decoded = decodeWithMpg123(path);
    expectPlayed(playAndCapture(path, 0.0, 50.0), scaled(decoded.samples, 0.5), 1);
    expectPlayed(playAndCapture(path, 0.0, 250.0), decoded.samples);

    float loudest = 0.0f;
    const std::vector<std::int16_t> silent = playAndCapture(path, 0.0, 0.0, [&](int, const float* spectrum) {
        loudest = std::max(loudest, *std::max_element(spectrum, spectrum + 256));
    });
    EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](std::int16_t s) { return s == 0; }));
    EXPECT_GT(loudest, 0.01f) << "the spectrum describes the music, whatever the volume";
}

TEST_F(MusicPlayback, ConvertsAMonoFileAtAnotherRate)
{
    const std::string path = track("mono", 22050, 1, 6.0, tone(toneBin, 0.9));
    std::vector<float> peak;
    // Started at 1 s, it plays the 5 s that follow, whatever the file's own
    // rate: positions count frames of the track as it is decoded (44.1 kHz).
    const std::vector<std::int16_t> capture =
        playAndCapture(path, 1.0, 100.0, [&](int, const float* spectrum) { peak.push_back(spectrum[toneBin]); });
    const auto [first, end] = soundSpan(capture);
    EXPECT_NEAR(static_cast<double>(end - first), 5.0 * 44100, 0.01 * 44100);
    for (std::size_t i = 0; i + 1 < capture.size(); i += 2)
        ASSERT_EQ(capture[i], capture[i + 1]) << "channels differ at frame " << i / 2;
    EXPECT_NEAR(median(peak), 0.45, 0.03) << "a tone of 0.9 full scale on bin " << toneBin;
}

TEST_F(MusicPlayback, SpectrumOfAFullScaleTone)
{
    const std::string path = track("tone", 44100, 2, 4.0, tone(toneBin, 1.0));
    std::vector<std::vector<float>> bins(256);
    bool allFullWindows = true;
    playAndCapture(path, 0.0, 100.0, [&](int result, const float* spectrum) {
        allFullWindows = allFullWindows && result == 2048;
        for (int k = 0; k < 256; ++k)
            bins[static_cast<std::size_t>(k)].push_back(spectrum[k]);
    });
    EXPECT_TRUE(allFullWindows) << "each fetch analyses 512 stereo 16-bit frames";
    ASSERT_FALSE(bins[0].empty());
    EXPECT_NEAR(median(bins[toneBin]), 0.5, 0.02);
    EXPECT_NEAR(median(bins[toneBin - 1]), 0.25, 0.02);
    EXPECT_NEAR(median(bins[toneBin + 1]), 0.25, 0.02);
    for (int k = 0; k < 256; ++k) {
        const bool nearTone = std::abs(k - toneBin) <= 1;
        EXPECT_TRUE(nearTone || median(bins[static_cast<std::size_t>(k)]) < 0.01) << "bin " << k;
    }
}

TEST_F(MusicPlayback, SpectrumOfSilence)
{
    const std::string path = track("silence", 44100, 2, 2.0, [](int, int, int) { return 0.0; });
    ConsoleCapture console;
    Music music(nullptr, path);
    std::array<float, 512> untouched;
    untouched.fill(3.0f);
    std::array<float, 512> buffer = untouched;
    EXPECT_EQ(music.fetchSpectrum(buffer.data()), -1) << "nothing plays before play";
    EXPECT_EQ(buffer, untouched);

    std::size_t fetches = 0;
    float loudest = 0.0f;
    EXPECT_TRUE(playToEnd(music, 0.0, [&](int result, const float* spectrum) {
        ++fetches;
        EXPECT_EQ(result, 2048);
        loudest = std::max(loudest, *std::max_element(spectrum, spectrum + 256));
    }));
    EXPECT_GT(fetches, 0u);
    EXPECT_EQ(loudest, 0.0f);
}

TEST_F(MusicPlayback, SpectrumFollowsWhatIsBeingHeard)
{
    // Silence, a tone, silence: the spectrum may show the tone only while the device is
    // playing it, not while it is merely decoded ahead, and must show it all that time.
    const auto signal = [](int frame, int channel, int rate) {
        return frame >= 66150 && frame < 132300 ? tone(toneBin, 1.0)(frame, channel, rate) : 0.0;
    };
    const std::string path = track("burst", 44100, 2, 4.5, signal);
    struct Sample {
        std::size_t writtenBefore, writtenAfter;
        float value;
    };
    std::vector<Sample> samples;
    const auto written = [&] {
        struct stat status{};
        return stat(capturePath.c_str(), &status) == 0 ? static_cast<std::size_t>(status.st_size) / 4 : 0;
    };
    std::size_t before = 0;
    const std::vector<std::int16_t> capture = playAndCapture(path, 0.0, 100.0, [&](int, const float* spectrum) {
        const std::size_t after = written();
        samples.push_back({before, after, spectrum[toneBin]});
        before = after;
    });
    const auto [onset, offset] = soundSpan(capture);
    ASSERT_GT(offset, onset + 40000);
    // The capture file trails the device by a period and a stdio buffer; the window
    // spans 512 frames: 4096 frames cover all of it.
    constexpr std::size_t slack = 4096;
    std::size_t heardInside = 0;
    for (const Sample& s : samples) {
        if (s.value > 0.25f) {
            EXPECT_GE(s.writtenAfter + slack, onset) << "tone shown before it was played";
            EXPECT_LE(s.writtenBefore, offset + slack) << "tone shown after it was played";
        }
        if (s.writtenBefore >= onset + slack && s.writtenAfter + slack <= offset) {
            ++heardInside;
            EXPECT_GT(s.value, 0.45f) << "tone missing while it was played";
        }
    }
    EXPECT_GT(heardInside, 0u);
}
