// The whole track decoded, at once or a piece at a time (the same samples,
// with its progress): the spectrum at any moment, other rates and mono
// converted as playback converts them, and files that cannot be read.
#include "audio/TrackSpectrum.h"
#include "TestTracks.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

TEST(TrackSpectrum, TheSpectrumAtTIsThatOfThe512FramesEndingAtT)
{
    // Silence, then from exactly 1 s a tone centred on bin 20 at 0.6 of full scale.
    testtracks::TrackDirectory tracks;
    const std::string path = tracks.makeMp3("onset", 44100, 2, 2.0, [](int frame, int channel, int rate) {
        return frame >= rate ? testtracks::tone(20, 0.6)(frame, channel, rate) : 0.0;
    });
    ASSERT_FALSE(path.empty());
    TrackSpectrum track;
    ASSERT_TRUE(track.load(path));
    EXPECT_NEAR(static_cast<double>(track.frameCount()), 2.0 * 44100, 1.0);

    float bins[FrequencyAnalyser::binCount];
    track.spectrumAt(0.99, bins);
    EXPECT_LT(bins[20], 0.01f) << "all 512 frames before the onset";
    track.spectrumAt(1.0 + 512.0 / 44100 + 0.001, bins);
    EXPECT_NEAR(bins[20], 0.3, 0.02) << "all 512 frames after it: half the amplitude";
    track.spectrumAt(1.0 + 256.0 / 44100, bins);
    EXPECT_GT(bins[20], 0.05f) << "half the frames after it";
    EXPECT_LT(bins[20], 0.25f);

    // Outside the track: silence, never a crash.
    for (double t : {-5.0, 0.0, 2.5, 1e300, -1e300, std::nan("")}) {
        track.spectrumAt(t, bins);
        EXPECT_EQ(bins[20], 0.0f) << t;
    }
}

TEST(TrackSpectrum, OtherRatesAndMonoAreConvertedLikePlayback)
{
    testtracks::TrackDirectory tracks;
    const std::string path = tracks.makeMp3("mono", 22050, 1, 1.5, testtracks::tone(12, 0.6));
    ASSERT_FALSE(path.empty());
    TrackSpectrum track;
    ASSERT_TRUE(track.load(path));
    EXPECT_NEAR(static_cast<double>(track.frameCount()), 1.5 * 44100, 64.0);
    float bins[FrequencyAnalyser::binCount];
    track.spectrumAt(0.75, bins);
    EXPECT_NEAR(bins[12], 0.3, 0.03);

    // Decoding stops where it is no longer needed.
    TrackSpectrum part;
    ASSERT_TRUE(part.load(path, 0.5));
    EXPECT_NEAR(static_cast<double>(part.frameCount()), 0.5 * 44100, 2.0);
}

TEST(TrackSpectrum, UnreadableFilesLoadNothing)
{
    testtracks::TrackDirectory tracks;
    TrackSpectrum track;
    EXPECT_FALSE(track.load(tracks.file("missing.mp3")));
    EXPECT_FALSE(track.load(tracks.writeFile("text.mp3", std::string(5000, 'x'))));
    EXPECT_EQ(track.frameCount(), 0);
    EXPECT_FALSE(track.begin(tracks.file("missing.mp3")));
    EXPECT_FALSE(track.decodeMore(1000));
    EXPECT_EQ(track.frameCount(), 0);
    std::int16_t frames[8];
    track.copyFrames(-2, 4, frames);
    for (std::int16_t sample : frames)
        EXPECT_EQ(sample, 0);
}

namespace {

std::vector<std::int16_t> allFrames(const TrackSpectrum& track)
{
    std::vector<std::int16_t> frames(static_cast<std::size_t>(track.frameCount()) * TrackSpectrum::channelsPerFrame);
    track.copyFrames(0, static_cast<std::size_t>(track.frameCount()), frames.data());
    return frames;
}

} // namespace

TEST(TrackSpectrum, DecodingInPiecesIsDecodingWhole)
{
    testtracks::TrackDirectory tracks;
    const std::string path = tracks.makeMp3("busy", 44100, 2, 1.5, testtracks::busySignal);
    ASSERT_FALSE(path.empty());

    struct Case {
        double until;
        std::int64_t piece;
    };
    for (const Case c : {Case{TrackSpectrum::maxSeconds, 1}, Case{TrackSpectrum::maxSeconds, 1000},
                         Case{TrackSpectrum::maxSeconds, 1 << 20}, Case{0.7, 4096}}) {
        TrackSpectrum whole;
        ASSERT_TRUE(whole.load(path, c.until));
        TrackSpectrum pieces;
        ASSERT_TRUE(pieces.begin(path, c.until));
        double progress = pieces.progress();
        EXPECT_EQ(progress, 0.0);
        int calls = 0;
        while (pieces.decodeMore(c.piece)) {
            EXPECT_GE(pieces.progress(), progress) << "progress went back, piece " << c.piece;
            EXPECT_LT(pieces.progress(), 1.0);
            progress = pieces.progress();
            ++calls;
        }
        EXPECT_EQ(pieces.progress(), 1.0);
        EXPECT_FALSE(pieces.decodeMore(c.piece)) << "nothing more once done";
        EXPECT_GE(calls, whole.frameCount() / c.piece - 1) << "pieces larger than asked, piece " << c.piece;
        EXPECT_EQ(allFrames(pieces), allFrames(whole)) << "until " << c.until << ", piece " << c.piece;
    }
}
