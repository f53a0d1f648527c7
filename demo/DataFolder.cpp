// Finding data/ from the working directory, the program's own path and the
// environment. Entering its folder with chdir keeps every path the loaders
// open and print relative ("data/textures/..."), exactly as when the demo is
// started beside its data; the way back is held open, so returning does not
// depend on the old folder's name.
#include "demo/DataFolder.h"

#include "base/ShownName.h"

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

// Why a folder named by the user cannot serve as the one holding data/, or ""
// when it can.
std::string unusableBecause(const std::string& folder)
{
    auto reason = [](int error) -> std::string {
        switch (error) {
        case ENOENT:
            return "no such folder";
        case ENOTDIR:
            return "not a folder";
        case ELOOP:
            return "a loop of symbolic links";
        case EACCES:
            return "it cannot be read (permission denied)";
        default:
            return std::strerror(error);
        }
    };
    struct stat info{};
    if (::stat(folder.c_str(), &info) != 0)
        return reason(errno);
    if (!S_ISDIR(info.st_mode))
        return "not a folder";
    const std::string data = folder + "/data";
    if (::stat(data.c_str(), &info) != 0)
        return errno == ENOENT ? "it holds no data folder" : reason(errno);
    if (!S_ISDIR(info.st_mode))
        return "its data is not a folder";
    if (::access(data.c_str(), R_OK | X_OK) != 0)
        return "its data folder cannot be read";
    return "";
}

} // namespace

bool holdsDataFolder(const std::string& folder)
{
    struct stat info{};
    return !folder.empty() && ::stat((folder + "/data").c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string dataFolderPlaces()
{
    char working[4096];
    const std::string here = ::getcwd(working, sizeof working) ? working : ".";
    std::string places = "the working directory (" + here + ")";
    const std::string bin = programFolder();
    if (!bin.empty())
        places += ", beside the program (" + bin + "/" + BRAKVANE_DATA_FROM_BIN + ")";
    const char* named = std::getenv("BRAKVANE_DATA");
    places += named && *named ? " and BRAKVANE_DATA (" + std::string(named) + ")" : " and BRAKVANE_DATA (not set)";
    return places;
}

std::string findDataFolder()
{
    if (holdsDataFolder("."))
        return ".";
    const std::string bin = programFolder();
    if (!bin.empty()) {
        const std::string installed = bin + "/" + BRAKVANE_DATA_FROM_BIN;
        if (holdsDataFolder(installed))
            return installed;
    }
    const char* named = std::getenv("BRAKVANE_DATA");
    if (named && *named) {
        const std::string why = unusableBecause(named);
        if (why.empty())
            return named;
        // Otherwise the run would go on without data and without a word on why.
        std::cerr << program_invocation_short_name << ": BRAKVANE_DATA (" << shownName(named)
                  << ") is passed over: " << why << std::endl;
    }
    return ".";
}

DataFolderVisit::DataFolderVisit(const std::string& folder)
{
    if (folder == ".")
        return;
    home = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (home < 0) {
        std::cerr << program_invocation_short_name << ": cannot read data from " << shownName(folder)
                  << ": the working directory cannot be kept (" << std::strerror(errno) << ")" << std::endl;
        return;
    }
    if (::chdir(folder.c_str()) != 0) {
        std::cerr << program_invocation_short_name << ": cannot enter " << shownName(folder) << ": "
                  << std::strerror(errno) << std::endl;
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
