// Output files with POSIX calls: errors come back as errno, and rename within
// one folder is atomic, so a reader never sees half a picture.
#include "app/capture/OutputFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
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

bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = reasonFor("write", path);
        return false;
    }
    const bool written = writeAll(fd, bytes.data(), bytes.size());
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

// The folder part of a path, for a private folder beside it ("." for a bare name).
std::string parentOf(const std::string& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const std::size_t slash = trimmed.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : trimmed.substr(0, slash);
}

std::string baseOf(const std::string& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const std::size_t slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

} // namespace

bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error)
{
    const std::string partial = path + ".partial";
    if (!writeFile(partial, bytes, error))
        return false;
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        error = reasonFor("write", path);
        ::unlink(partial.c_str());
        return false;
    }
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
    struct stat status {};
    if (::stat(folder.c_str(), &status) == 0 && !S_ISDIR(status.st_mode)) {
        error = folder + " exists and is not a folder";
        return false;
    }
    // A private folder beside the target, so the final move stays on one file system.
    std::string pattern = parentOf(folder) + "/" + baseOf(folder) + ".partial-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        error = reasonFor("create a folder beside", folder);
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
    return writeFile(partial + "/" + frameName(i), png, error);
}

bool FrameFolder::commit(std::string& error)
{
    if (partial.empty()) {
        error = "nothing to move into " + target;
        return false;
    }
    // Into a new folder the whole private folder moves in one step.
    if (std::rename(partial.c_str(), target.c_str()) == 0) {
        partial.clear();
        return true;
    }
    if (errno != EEXIST && errno != ENOTEMPTY) {
        error = reasonFor("create", target);
        return false;
    }
    // An existing folder gets the frames one by one, each rename atomic.
    for (std::int64_t i = 0; i < frames; ++i) {
        const std::string name = frameName(i);
        if (std::rename((partial + "/" + name).c_str(), (target + "/" + name).c_str()) != 0) {
            error = reasonFor("write", target + "/" + name);
            return false;
        }
    }
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
