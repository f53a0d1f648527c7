// Lists the names in one directory, sorted byte by byte, so that everything
// that walks a directory does so in the same order on every machine.
#pragma once

#include <string>
#include <vector>

// Every entry name of the directory, "." and ".." included when the file
// system reports them, in ascending byte order. The path may end in "/"; an
// empty path means the working directory. False (and no names) when the
// directory cannot be opened.
bool listDirectory(const std::string& path, std::vector<std::string>& names);
// listDirectory, and where the directory is there but cannot be read (no
// permission, not a folder, a loop of links), a line on standard error with
// the system's reason: the console's lines only show the folder as empty. A
// missing directory is passed over in silence.
bool listDirectoryOrSayWhy(const std::string& path, std::vector<std::string>& names);
