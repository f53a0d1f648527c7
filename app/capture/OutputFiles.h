// Where the pictures of a capture go. Nothing appears under the name the user
// asked for until it is complete: a picture is written as "NAME.partial" and
// renamed when whole, the frames of a folder gather in a private folder beside
// it and are moved in at the end, and both are removed when the capture stops
// early.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes bytes to path + ".partial", then renames it to path. False with a
// reason, and nothing left behind, when any step fails.
bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error);

class FrameFolder {
public:
    FrameFolder() = default;
    // Removes the private folder unless commit() has moved everything out.
    ~FrameFolder();
    FrameFolder(const FrameFolder&) = delete;
    FrameFolder& operator=(const FrameFolder&) = delete;

    // Prepares for frameCount frames bound for folder, which may exist (its
    // other files are kept, frames of the same numbers replaced) but must not
    // be anything other than a folder.
    bool open(const std::string& folder, std::int64_t frameCount, std::string& error);
    // The file name of frame i: its number zero-padded to six digits or more.
    std::string frameName(std::int64_t i) const;
    bool write(std::int64_t i, const std::vector<unsigned char>& png, std::string& error);
    // Moves the frames into the folder asked for.
    bool commit(std::string& error);
    // Removes the private folder and everything in it.
    void discard();

private:
    std::string target;
    std::string partial;  // empty when there is nothing to clean up
    std::int64_t frames = 0;
    int digits = 6;
};
