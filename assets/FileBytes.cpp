// Whole-file reads over POSIX: one fstat for the size, then read() into a
// buffer that is not zero-filled first, since every byte is overwritten.
#include "assets/FileBytes.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes the descriptor on every way out of readFileBytes.
struct FileDescriptor {
    int fd;
    ~FileDescriptor()
    {
        if (fd >= 0)
            close(fd);
    }
};

} // namespace

bool readFileBytes(const std::string& path, FileBytes& out, std::size_t maxBytes, std::string* error)
{
    out.data.reset();
    out.size = 0;
    auto fail = [error](const char* reason) {
        if (error)
            *error = reason;
        return false;
    };
    // O_NONBLOCK keeps a named pipe from blocking the open; only regular files
    // are read, so it has no effect on the reads themselves.
    FileDescriptor file{open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0)
        return fail(std::strerror(errno));
    struct stat info{};
    if (fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0)
        return fail("not a regular file");
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes)
        return fail("file too large");

    const auto size = static_cast<std::size_t>(info.st_size);
    std::unique_ptr<unsigned char[]> data(new (std::nothrow) unsigned char[size > 0 ? size : 1]);
    if (!data)
        return fail("out of memory");
    std::size_t done = 0;
    while (done < size) {
        ssize_t got = read(file.fd, data.get() + done, size - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fail(std::strerror(errno));
        if (got == 0)
            break; // the file shrank while being read: keep what is there
        done += static_cast<std::size_t>(got);
    }
    out.data = std::move(data);
    out.size = done;
    return true;
}
