// Music when things go wrong: no file, a file that is not MP3, no sound device. Each is
// reported with its console lines, nothing plays, and the program can go on, including
// with another Music afterwards. Also what the destructor leaves of SDL.
#include "MusicHarness.h"
#include "TestTracks.h"

#include <SDL.h>
#include <algorithm>
#include <array>
#include <fstream>
#include <gtest/gtest.h>

using namespace testtracks;

namespace {

class MusicFailure : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(tracks.path().empty());
        capturePath = tracks.file("played.raw");
    }

    // Constructs a Music, plays it from 0 and fetches a spectrum; returns the console.
    std::string runThrough(const std::string& path)
    {
        ConsoleCapture console;
        {
            Music music(nullptr, path);
            music.setVolume(50.0);
            music.play(0.0);
            std::array<float, 512> buffer;
            buffer.fill(5.0f);
            EXPECT_EQ(music.fetchSpectrum(buffer.data()), -1);
            EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](float v) { return v == 5.0f; }));
        }
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << "the destructor left SDL audio running";
        return console.text();
    }

    // Afterwards a good file plays: the failure did not stop the program or the library.
    void expectAGoodFilePlays()
    {
        useDiskAudio(capturePath);
        const std::string path = tracks.makeMp3("good", 44100, 2, 1.0, busySignal);
        ConsoleCapture console;
        Music music(nullptr, path);
        music.play(0.0);
        std::array<float, 512> buffer{};
        EXPECT_EQ(music.fetchSpectrum(buffer.data()), 2048);
        EXPECT_EQ(console.text(), "Loading Music: " + path + "\n");
    }

    TrackDirectory tracks;
    std::string capturePath;
};

} // namespace

TEST_F(MusicFailure, MissingFile)
{
    useDiskAudio(capturePath);
    const std::string path = tracks.file("absent.mp3");
    EXPECT_EQ(runThrough(path), "Loading Music: " + path +
                                    "\n"
                                    "Musioc file not found\n"
                                    "Unable to init BASS playback\n");
    expectAGoodFilePlays();
}

TEST_F(MusicFailure, FilesThatAreNotMp3)
{
    useDiskAudio(capturePath);
    const std::string mp3 = tracks.makeMp3("real", 44100, 2, 1.0, busySignal);
    std::string header(100, '\0');
    std::ifstream(mp3, std::ios::binary).read(header.data(), 100);
    const std::vector<std::string> paths = {
        tracks.writeFile("text.mp3", "this is not music\n"),
        tracks.writeFile("empty.mp3", ""),
        tracks.file("real.wav"),                     // the PCM that lame encoded
        tracks.writeFile("header-only.mp3", header), // a frame header and no audio
        tracks.path(),                               // a directory
    };
    for (const std::string& path : paths) {
        EXPECT_EQ(runThrough(path), "Loading Music: " + path +
                                        "\n"
                                        "Musioc file not found\n"
                                        "Unable to init BASS playback\n");
    }
    expectAGoodFilePlays();
}

TEST_F(MusicFailure, NoSoundDevice)
{
    useNoAudioDevice();
    const std::string path = tracks.makeMp3("real", 44100, 2, 1.0, busySignal);
    // The stream still opens; it just has nothing to play on.
    EXPECT_EQ(runThrough(path), "Loading Music: " + path +
                                    "\n"
                                    "Unable to init BASS\n"
                                    "Unable to init BASS playback\n");
    const std::string absent = tracks.file("absent.mp3");
    EXPECT_EQ(runThrough(absent), "Loading Music: " + absent +
                                      "\n"
                                      "Unable to init BASS\n"
                                      "Musioc file not found\n"
                                      "Unable to init BASS playback\n");
    expectAGoodFilePlays();
}

TEST_F(MusicFailure, DestructorLeavesSdlVideoAlone)
{
    // The window layer may have SDL video up; the music shuts down only its own audio.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    useDiskAudio(capturePath);
    const std::string path = tracks.makeMp3("real", 44100, 2, 1.0, busySignal);
    {
        ConsoleCapture console;
        Music music(nullptr, path);
        music.play(0.0);
        EXPECT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    }
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    SDL_Quit();
}
