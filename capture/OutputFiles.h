// Where the pictures and videos of a capture go. Nothing appears under the
// name the user asked for until it is complete and on disk, and nothing that
// has been rendered is thrown away when only the last step fails.
//
// Everything that can be checked is checked when an output is opened, before
// the first frame: the name is not a folder where a file is meant (or a file
// where a folder is), its folder exists and takes new files. A file is written
// under a unique temporary name beside it (created exclusively, never through
// a symbolic link), synced, and renamed over the name, so two captures to one
// name each leave a whole file and never mix their bytes. Frames gather in a
// private folder and are moved in at the end. Whatever could not be moved
// stays where it is, and the error names it.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

// A file written under a temporary name and put under its own at the end.
class PendingFile {
public:
    PendingFile() = default;
    // Removes the temporary file unless it was committed or kept.
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Checks that path can become a file and creates the empty temporary
    // beside it. False with a reason.
    bool open(const std::string& path, std::string& error);
    // The temporary file: its descriptor (open for reading and writing) and
    // its absolute path.
    int descriptor() const { return fd; }
    const std::string& temporaryPath() const { return temporary; }

    bool write(const std::vector<unsigned char>& bytes, std::string& error);
    // Syncs the file, gives it the permissions of the file it replaces (its
    // mode, and its group where permitted) or else of a new file (the user's
    // umask), and renames it to the name asked for, unless the capture has
    // been interrupted (false, error left empty, the temporary removed by the
    // destructor). When the rename fails the temporary is kept and the error
    // says where.
    bool commit(std::string& error);

private:
    std::string target;
    std::string temporary; // empty when there is nothing to clean up
    int fd = -1;
};

// The frames of a folder capture.
class FrameFolder {
public:
    FrameFolder() = default;
    // Removes the private folder unless commit() has moved everything out or kept it.
    ~FrameFolder();
    FrameFolder(const FrameFolder&) = delete;
    FrameFolder& operator=(const FrameFolder&) = delete;

    // Prepares for frameCount frames bound for folder. An existing folder
    // (also ".", a symbolic link to a folder or a mount point) keeps its other
    // files, its mode and its place; frames of the same numbers are replaced.
    // A new one is made with the permissions of mkdir under the user's umask.
    // A frame that replaces a file keeps that file's mode and group.
    bool open(const std::string& folder, std::int64_t frameCount, std::string& error);
    // The file name of frame i: its number zero-padded to six digits or more.
    std::string frameName(std::int64_t i) const;
    bool write(std::int64_t i, const std::vector<unsigned char>& png, std::string& error);
    // Syncs the frames and moves them into the folder asked for, unless the
    // capture has been interrupted (false, error left empty). Frames that
    // cannot be moved are kept in the private folder, which the error names.
    bool commit(std::string& error);
    // Removes the private folder and everything in it.
    void discard();

private:
    bool moveFramesIn(std::string& error);

    std::string target;
    std::string partial; // empty when there is nothing to clean up
    bool intoExisting = false;
    std::int64_t frames = 0;
    int digits = 6;
};

// The user's umask, read without changing it for good.
mode_t currentUmask();

// The folder for temporary files: TMPDIR when set and not empty, else /tmp;
// absolute, so the name stays valid from any working folder.
std::string temporaryFolder();
// Creates a file exclusively in the temporary folder, removes its name at
// once and returns the open descriptor (read and write, close-on-exec): it
// goes away with the last descriptor, however the program ends. -1 with the
// reason as "FOLDER: what went wrong".
int anonymousTemporaryFile(const std::string& prefix, std::string& error);
// A path through which another program opens the very file descriptor fd
// refers to, whatever happens to its name; valid in a child that inherits fd
// under the same number.
std::string descriptorPath(int fd);
