// Directory listing over opendir/readdir. std::string compares through
// char_traits<char>, which orders bytes as unsigned values, like memcmp.
#include "assets/DirectoryListing.h"

#include "base/ShownName.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <iostream>

bool listDirectory(const std::string& path, std::vector<std::string>& names)
{
    names.clear();
    DIR* dir = opendir(path.empty() ? "." : path.c_str());
    if (!dir)
        return false;
    while (const dirent* entry = readdir(dir))
        names.emplace_back(entry->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    return true;
}

bool listDirectoryOrSayWhy(const std::string& path, std::vector<std::string>& names)
{
    if (listDirectory(path, names))
        return true;
    if (errno != ENOENT)
        std::cerr << program_invocation_short_name << ": cannot read the folder " << shownName(path) << ": "
                  << std::strerror(errno) << std::endl;
    return false;
}
