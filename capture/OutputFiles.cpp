// Output files with POSIX calls: errors come back as errno, and rename within
// one folder is atomic, so a reader never sees half a picture.
#include "capture/OutputFiles.h"

#include "capture/Interrupt.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string reasonFor(const std::string& what, const std::string& path)
{
    return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

bool writeAll(int fd, const unsigned char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

std::string withoutTrailingSlashes(const std::string& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    return trimmed;
}

// The folder part of a path ("." for a bare name).
std::string parentOf(const std::string& path)
{
    const std::string trimmed = withoutTrailingSlashes(path);
    const std::size_t slash = trimmed.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : trimmed.substr(0, slash);
}

std::string baseOf(const std::string& path)
{
    const std::string trimmed = withoutTrailingSlashes(path);
    const std::size_t slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string absolute(const std::string& path)
{
    if (!path.empty() && path[0] == '/')
        return path;
    std::error_code ignored;
    const std::filesystem::path cwd = std::filesystem::current_path(ignored);
    return cwd.empty() ? path : (cwd / path).string();
}

// Checks that folder exists and is a folder, for a new entry in it.
bool folderTakesEntries(const std::string& folder, const std::string& name, std::string& error)
{
    struct stat status{};
    if (::stat(folder.c_str(), &status) != 0) {
        error = reasonFor("write", name);
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        errno = ENOTDIR;
        error = reasonFor("write", name);
        return false;
    }
    return true;
}

// The mkostemp/mkdtemp pattern of a temporary entry in folder for the entry
// `base`: base + ".partial-XXXXXX", with base cut short (at the start of a
// character) where the whole would be longer than the folder's longest name,
// so that every name the folder takes can be written. False with errno
// ENAMETOOLONG when base itself is longer than that.
bool partialPattern(const std::string& folder, const std::string& base, std::string& pattern)
{
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    const std::size_t longest = limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX;
    const std::string suffix = ".partial-XXXXXX";
    if (base.size() > longest) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::size_t kept = std::min(base.size(), longest > suffix.size() ? longest - suffix.size() : 0);
    while (kept > 0 && kept < base.size() && (static_cast<unsigned char>(base[kept]) & 0xc0) == 0x80)
        --kept; // not in the middle of a UTF-8 sequence
    pattern = folder + "/" + base.substr(0, kept) + suffix;
    return true;
}

// Makes the folder's entry (a rename into it) durable.
void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The permissions a file replacing `existing` gets: those of the file it
// replaces (and its group, where the user may give it), so a re-capture never
// widens what the user had narrowed; a new file's under the umask otherwise.
// Set-user and set-group bits are not carried over to the new contents.
struct Replaced {
    bool exists = false;
    gid_t group = 0;
    mode_t mode = 0;
};

Replaced replacedFile(const std::string& existing)
{
    struct stat status{};
    if (::lstat(existing.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return {false, 0, static_cast<mode_t>(0666 & ~currentUmask())};
    return {true, status.st_gid, static_cast<mode_t>(status.st_mode & 01777)};
}

// Gives the file open as fd the permissions of the one it will replace. The
// group first: changing it may clear mode bits.
bool takeOverPermissions(int fd, const std::string& existing)
{
    const Replaced old = replacedFile(existing);
    // Where the user may not give that group, the user's own stays.
    if (old.exists && ::fchown(fd, static_cast<uid_t>(-1), old.group) != 0 && errno != EPERM)
        return false;
    return ::fchmod(fd, old.mode) == 0;
}

} // namespace

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

std::string temporaryFolder()
{
    const char* named = std::getenv("TMPDIR");
    return absolute(named && *named ? named : "/tmp");
}

int anonymousTemporaryFile(const std::string& prefix, std::string& error)
{
    const std::string folder = temporaryFolder();
    std::string pattern = folder + "/" + prefix + "-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        error = folder + ": " + std::strerror(errno);
        return -1;
    }
    ::unlink(pattern.c_str());
    return fd;
}

std::string descriptorPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

PendingFile::~PendingFile()
{
    if (fd >= 0)
        ::close(fd);
    if (!temporary.empty())
        ::unlink(temporary.c_str());
}

bool PendingFile::open(const std::string& path, std::string& error)
{
    target = path;
    struct stat status{};
    if (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        error = path + " is a folder; name a file";
        return false;
    }
    if (!path.empty() && path.back() == '/') {
        error = path + " names a folder; name a file";
        return false;
    }
    const std::string folder = parentOf(path);
    if (!folderTakesEntries(folder, path, error))
        return false;
    // mkostemp creates the file exclusively (never through a symbolic link)
    // under a name no other capture has.
    std::string pattern;
    if (partialPattern(folder, baseOf(path), pattern)) {
        pattern = absolute(pattern);
        fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    }
    if (fd < 0) {
        error = reasonFor("write", path);
        return false;
    }
    temporary = pattern;
    return true;
}

bool PendingFile::write(const std::vector<unsigned char>& bytes, std::string& error)
{
    if (!writeAll(fd, bytes.data(), bytes.size())) {
        error = reasonFor("write", target);
        return false;
    }
    return true;
}

bool PendingFile::commit(std::string& error)
{
    if (!takeOverPermissions(fd, target) || ::fsync(fd) != 0) {
        error = reasonFor("write", target);
        return false;
    }
    int renameErrno = 0;
    const bool ran = runUnlessInterrupted([&] {
        if (std::rename(temporary.c_str(), target.c_str()) != 0)
            renameErrno = errno;
    });
    if (!ran)
        return false;
    if (renameErrno != 0) {
        errno = renameErrno;
        error = reasonFor("write", target) + "; what was written is kept in " + temporary;
        temporary.clear();
        return false;
    }
    temporary.clear();
    syncFolder(parentOf(target));
    return true;
}

FrameFolder::~FrameFolder()
{
    discard();
}

bool FrameFolder::open(const std::string& folder, std::int64_t frameCount, std::string& error)
{
    discard();
    target = folder;
    frames = frameCount;
    digits = std::max<int>(6, static_cast<int>(std::to_string(std::max<std::int64_t>(0, frameCount - 1)).size()));
    struct stat link{};
    struct stat status{};
    std::string pattern;
    if (::lstat(folder.c_str(), &link) == 0) {
        if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
            error = folder + " exists and is not a folder";
            return false;
        }
        // The private folder inside the one asked for: the frames then move
        // within one file system whatever that folder is (".", a mount point,
        // a symbolic link), and the folder itself is never replaced.
        intoExisting = true;
        pattern = withoutTrailingSlashes(folder) + "/.frames.partial-XXXXXX";
    } else if (errno == ENOENT) {
        if (!folderTakesEntries(parentOf(folder), folder, error))
            return false;
        // Beside it, to become it in one rename at the end.
        intoExisting = false;
        if (!partialPattern(parentOf(folder), baseOf(folder), pattern)) {
            error = reasonFor("create", folder);
            return false;
        }
    } else {
        error = reasonFor("write into", folder);
        return false;
    }
    if (!::mkdtemp(pattern.data())) {
        error = reasonFor(intoExisting ? "write into" : "create", folder);
        return false;
    }
    partial = pattern;
    return true;
}

std::string FrameFolder::frameName(std::int64_t i) const
{
    char name[40];
    std::snprintf(name, sizeof name, "%0*lld.png", digits, static_cast<long long>(i));
    return name;
}

bool FrameFolder::write(std::int64_t i, const std::vector<unsigned char>& png, std::string& error)
{
    const std::string path = partial + "/" + frameName(i);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = reasonFor("write", path);
        return false;
    }
    const bool written = writeAll(fd, png.data(), png.size());
    const int savedErrno = errno;
    if (::close(fd) != 0 || !written) {
        if (!written)
            errno = savedErrno;
        error = reasonFor("write", path);
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

bool FrameFolder::commit(std::string& error)
{
    if (partial.empty()) {
        error = "nothing to move into " + target;
        return false;
    }
    // One sync of the file system for all frames, cheaper than one per file.
    const int fd = ::open(partial.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::syncfs(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!synced) {
        error = reasonFor("write", target);
        return false;
    }
    if (intoExisting)
        return moveFramesIn(error);

    // Into a new folder the whole private folder moves in one step, with the
    // permissions mkdir would have given it.
    if (::chmod(partial.c_str(), 0777 & ~currentUmask()) != 0) {
        error = reasonFor("create", target);
        return false;
    }
    int renameErrno = 0;
    if (!runUnlessInterrupted([&] {
            if (std::rename(partial.c_str(), target.c_str()) != 0)
                renameErrno = errno;
        }))
        return false;
    if (renameErrno == 0) {
        partial.clear();
        syncFolder(parentOf(target));
        return true;
    }
    // Someone else made the folder meanwhile: the frames go into it one by one.
    struct stat status{};
    if ((renameErrno == EEXIST || renameErrno == ENOTEMPTY) && ::stat(target.c_str(), &status) == 0 &&
        S_ISDIR(status.st_mode))
        return moveFramesIn(error);
    errno = renameErrno;
    error = reasonFor("create", target) + "; the frames are kept in " + partial;
    partial.clear();
    return false;
}

bool FrameFolder::moveFramesIn(std::string& error)
{
    // Each rename is atomic; all of them run with the interrupting signals
    // held back (a few milliseconds), so an interruption either leaves the
    // folder as it was or comes after the last frame is in.
    std::int64_t failedAt = -1;
    int renameErrno = 0;
    if (!runUnlessInterrupted([&] {
            for (std::int64_t i = 0; i < frames && failedAt < 0; ++i) {
                const std::string name = frameName(i);
                const std::string from = partial + "/" + name;
                const std::string to = target + "/" + name;
                // A frame that replaces one keeps its permissions (best effort:
                // the frame is whole either way).
                if (replacedFile(to).exists) {
                    const int fd = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
                    if (fd >= 0) {
                        takeOverPermissions(fd, to);
                        ::close(fd);
                    }
                }
                if (std::rename(from.c_str(), to.c_str()) != 0) {
                    failedAt = i;
                    renameErrno = errno;
                }
            }
        }))
        return false;
    if (failedAt >= 0) {
        errno = renameErrno;
        error = reasonFor("move frames into", target) + "; frames " + std::to_string(failedAt) + " to " +
                std::to_string(frames - 1) + " are kept in " + partial;
        partial.clear();
        return false;
    }
    syncFolder(target);
    discard();
    return true;
}

void FrameFolder::discard()
{
    if (partial.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(partial, ignored);
    partial.clear();
}
