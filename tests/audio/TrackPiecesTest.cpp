// Decoding a track a piece at a time yields exactly what decoding it whole
// does, whatever the size of the pieces, and reports its progress on the way.
#include "TestTracks.h"
#include "audio/TrackSpectrum.h"

#include <gtest/gtest.h>
#include <vector>

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

    TrackSpectrum missing;
    EXPECT_FALSE(missing.begin(tracks.file("missing.mp3")));
    EXPECT_FALSE(missing.decodeMore(1000));
    EXPECT_EQ(missing.frameCount(), 0);
}
