// Finding data/ from the working directory, the program's own path and the
// environment. Entering its folder with chdir keeps every path the loaders
// open and print relative ("data/textures/..."), exactly as when the demo is
// started beside its data; the way back is held open, so returning does not
// depend on the old folder's name.
#include "demo/DataFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

#ifndef BRAKVANE_DATA_FROM_BIN
#define BRAKVANE_DATA_FROM_BIN "../share/brakvane"
#endif

namespace {

bool holdsData(const std::string& folder)
{
    struct stat info {};
    return !folder.empty() && ::stat((folder + "/data").c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The folder of the running program, from /proc/self/exe; "" when unknown.
std::string programFolder()
{
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size())
        return "";
    path.resize(static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash == 0 ? 1 : slash);
}

} // namespace

std::string findDataFolder()
{
    if (holdsData("."))
        return ".";
    const std::string bin = programFolder();
    if (!bin.empty()) {
        const std::string installed = bin + "/" + BRAKVANE_DATA_FROM_BIN;
        if (holdsData(installed))
            return installed;
    }
    const char* named = std::getenv("BRAKVANE_DATA");
    if (named && holdsData(named))
        return named;
    return ".";
}

DataFolderVisit::DataFolderVisit(const std::string& folder)
{
    if (folder == ".")
        return;
    home = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (home < 0) {
        std::cerr << program_invocation_short_name << ": cannot read data from " << folder
                  << ": the working directory cannot be kept (" << std::strerror(errno) << ")" << std::endl;
        return;
    }
    if (::chdir(folder.c_str()) != 0) {
        std::cerr << program_invocation_short_name << ": cannot enter " << folder << ": " << std::strerror(errno)
                  << std::endl;
        ::close(home);
        home = -1;
    }
}

DataFolderVisit::~DataFolderVisit()
{
    if (home < 0)
        return;
    if (::fchdir(home) != 0)
        std::cerr << program_invocation_short_name
                  << ": cannot return to the working directory: " << std::strerror(errno) << std::endl;
    ::close(home);
}
